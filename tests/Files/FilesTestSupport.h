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
#include "tests/support/AwaitDelivery.h"
#include "tests/support/TestSupport.h"

namespace filestest {

// What a host handler received, and where: `liveCalls` counts the facade's live calls then.
template <class Model>
using Outcome = testsupport::Delivered<std::shared_ptr<Model>>;

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
