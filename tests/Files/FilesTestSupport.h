// What the file tests share: waiting for one host handler and keeping what it received, the
// download records, and reading a downloaded file.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/Files_API/TQFilesAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Thumbnail_API/TQThumbnailAPI.h"
#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/support/TestSupport.h"

namespace filestest {

// What a host handler received, and where: `liveCalls` counts the facade's live calls then.
template <class Model>
struct Outcome {
  std::shared_ptr<Model> model;
  std::shared_ptr<TQAPIQueryResponse> response;
  bool onMainQueue = false;
  size_t liveCalls = 0;
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

// Runs `start` with a handler of (model, response), or of the response alone when Model is void,
// and waits for it.
template <class Model, class Start>
Outcome<Model> await(Start start) {
  auto waiter = std::make_shared<Waiter<Model>>();
  if constexpr (std::is_void_v<Model>) {
    start([waiter](const auto& response) { waiter->record(nullptr, response); });
  } else {
    start([waiter](const auto& model, const auto& response) { waiter->record(model, response); });
  }
  EXPECT_TRUE(waiter->done.wait());
  return waiter->outcome;
}

inline std::shared_ptr<TQFilesAPIParams> fileRecord(std::string path) {
  auto params = std::make_shared<TQFilesAPIParams>();
  params->path = std::move(path);
  return params;
}

inline std::shared_ptr<TQThumbnailAPIParams> thumbnailRecord(std::string token, std::string size,
                                                             int32_t tw, int32_t th) {
  auto params = std::make_shared<TQThumbnailAPIParams>();
  params->contentToken = std::move(token);
  params->size = std::move(size);
  params->tw = tw;
  params->th = th;
  return params;
}

inline std::string fileText(const std::filesystem::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

}  // namespace filestest
