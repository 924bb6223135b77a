// Running the facade's share operations to completion from a test, and making their records from
// designated fields, so that test tables stay one case a line.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/Share_API/TQCreateShareAPIParams.h"
#include "QuenlarCloudAPI/API/Share_API/TQDeleteShareAPIParams.h"
#include "QuenlarCloudAPI/API/Share_API/TQGetShareAPIParams.h"
#include "QuenlarCloudAPI/Model/TQShare.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/support/AwaitDelivery.h"
#include "tests/support/TestSupport.h"

namespace sharetest {

struct Listing {
  std::string cursor;
  int32_t count = 0;
  std::string since;
  std::string until;
  std::string filter = "outbound";
};

inline std::shared_ptr<TQGetShareAPIParams> record(const Listing& fields) {
  auto params = std::make_shared<TQGetShareAPIParams>();
  params->cursor = fields.cursor;
  params->count = fields.count;
  params->since = fields.since;
  params->until = fields.until;
  params->filter = fields.filter;
  return params;
}

struct Creation {
  std::string name;
  std::vector<TQResourceShareAPIParams> resources;
  std::optional<TQNumber> expiresIn;
};

inline std::shared_ptr<TQCreateShareAPIParams> record(Creation fields) {
  auto params = std::make_shared<TQCreateShareAPIParams>();
  params->name = std::move(fields.name);
  params->resources = std::move(fields.resources);
  params->expiresIn = fields.expiresIn;
  return params;
}

inline std::shared_ptr<TQDeleteShareAPIParams> deletion(std::string shareUID) {
  auto params = std::make_shared<TQDeleteShareAPIParams>();
  params->shareUID = std::move(shareUID);
  return params;
}

// What one operation handed its handler, and where.
template <class Model>
using Delivery = testsupport::Delivered<std::shared_ptr<Model>>;

inline Delivery<TQShare> fetch(const std::shared_ptr<TQGetShareAPIParams>& params) {
  return testsupport::await<std::shared_ptr<TQShare>>(
      [&](auto handler) { TQAPISDK::sharedInstance()->fetchShare(params, std::move(handler)); });
}

inline Delivery<TQShareItem> create(const std::shared_ptr<TQCreateShareAPIParams>& params) {
  return testsupport::await<std::shared_ptr<TQShareItem>>(
      [&](auto handler) { TQAPISDK::sharedInstance()->createShare(params, std::move(handler)); });
}

// Deletes the share `shareUID` and answers the outcome.
inline std::shared_ptr<TQAPIQueryResponse> remove(const std::string& shareUID) {
  return testsupport::awaitResponse([&](auto handler) {
           TQAPISDK::sharedInstance()->deleteShare(deletion(shareUID), handler);
         })
      .response;
}

}  // namespace sharetest
