// Waiting for a facade operation's host handler: what it was handed, on which queue, and how many
// calls were still live while it ran.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>

#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/support/TestSupport.h"

namespace testsupport {

template <class Model>
struct Delivered {
  Model model{};
  std::shared_ptr<TQAPIQueryResponse> response;
  bool onMainQueue = false;
  size_t liveCalls = 0;  // the facade's live calls while the handler ran
  int status() const { return response ? response->statusCode() : -1; }
};

// Runs `start(handler)` for an operation whose handler receives a `Model` and the outcome, and
// waits for the handler.
template <class Model, class Start>
Delivered<Model> await(Start start) {
  auto latch = std::make_shared<Latch>();
  auto delivered = std::make_shared<Delivered<Model>>();
  start(
      [latch, delivered](const Model& model, const std::shared_ptr<TQAPIQueryResponse>& response) {
        delivered->model = model;
        delivered->response = response;
        delivered->onMainQueue = tq::mainQueue().isCurrent();
        delivered->liveCalls = TQAPISDK::sharedInstance()->apiArray().count();
        latch->countDown();
      });
  EXPECT_TRUE(latch->wait());
  return *delivered;
}

// The same for an operation whose handler receives the outcome alone.
template <class Start>
Delivered<bool> awaitResponse(Start start) {
  return await<bool>([&](auto handler) {
    start([handler](const std::shared_ptr<TQAPIQueryResponse>& response) {
      handler(true, response);
    });
  });
}

}  // namespace testsupport
