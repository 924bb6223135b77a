// What the file tests share: waiting for one handler and keeping what it received, and the bytes
// and files the tests compare.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/support/TestSupport.h"

namespace filestest {

// What a host handler received, and where.
template <class Model>
struct Outcome {
  std::shared_ptr<Model> model;
  std::shared_ptr<TQAPIQueryResponse> response;
  bool onMainQueue = false;
  size_t liveCalls = 0;  // the facade's live calls while the handler ran
};

template <class Model>
struct Waiter {
  testsupport::Latch done;
  Outcome<Model> outcome;

  void record(std::shared_ptr<Model> model, std::shared_ptr<TQAPIQueryResponse> response) {
    outcome = {std::move(model), std::move(response), tq::mainQueue().isCurrent(),
               TQAPISDK::sharedInstance()->apiArray().count()};
    done.countDown();
  }
};

// Runs `start` with a handler of (model, response) and waits for it.
template <class Model, class Start>
Outcome<Model> await(Start start) {
  auto waiter = std::make_shared<Waiter<Model>>();
  start([waiter](const std::shared_ptr<Model>& model,
                 const std::shared_ptr<TQAPIQueryResponse>& response) {
    waiter->record(model, response);
  });
  EXPECT_TRUE(waiter->done.wait());
  return waiter->outcome;
}

// The same for a handler of the response alone.
template <class Start>
Outcome<void> awaitResponse(Start start) {
  auto waiter = std::make_shared<Waiter<void>>();
  start([waiter](const std::shared_ptr<TQAPIQueryResponse>& response) {
    waiter->record(nullptr, response);
  });
  EXPECT_TRUE(waiter->done.wait());
  return waiter->outcome;
}

inline std::string fileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace filestest
