// A call class and response operation for batch tests. The call GETs its record's path; its
// response operation reads, for status 200 only, an "items" array of text (a list result) or an
// "item" text (one object), and may be held inside main() so a test can act while it runs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIResponseOperation.h"
#include "tests/support/TestSupport.h"

// Holds a response operation inside main() until released.
struct TQResponseHold {
  testsupport::Latch entered;
  testsupport::Latch release;
};

class TQBatchTestAPIParams : public TQResourceAPIParams {
 public:
  std::string path = "/batch/test";
  std::shared_ptr<TQResponseHold> hold;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQBatchTestAPIParams>();
  }
};

class TQBatchTestResponseOperation : public TQResponseOperationOf<std::string> {
 public:
  explicit TQBatchTestResponseOperation(std::shared_ptr<TQResponseHold> hold = {})
      : hold_(std::move(hold)) {}

  void main() override {
    if (hold_) {
      hold_->entered.countDown();
      (void)hold_->release.wait();
    }
    const auto outcome = response();
    const auto json = outcome ? outcome->jsonResponse() : nullptr;
    if (!outcome || outcome->statusCode() != 200 || !json || !json->is_object()) {
      return;
    }
    if (const auto items = json->find("items"); items != json->end() && items->is_array()) {
      std::vector<std::string> texts;
      for (const auto& item : *items) {
        if (item.is_string()) {
          texts.push_back(item.get<std::string>());
        }
      }
      setResult(std::move(texts));
    } else if (const auto item = json->find("item"); item != json->end() && item->is_string()) {
      setResult({item->get<std::string>()});
    }
  }

 private:
  std::shared_ptr<TQResponseHold> hold_;
};

class TQBatchTestAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;
  using ResponseOperation = TQBatchTestResponseOperation;

  void prepareQuery() override {
    const auto params = validatedParams<TQBatchTestAPIParams>();
    setRequestURLString(serverBaseURLText() + params->path);
    setRequestHeaders({{"Accept", "application/json"}});
  }

  // The batch road's seam for a response operation that needs something of its call.
  std::shared_ptr<TQBatchTestResponseOperation> makeResponseOperation() const {
    return std::static_pointer_cast<TQBatchTestResponseOperation>(apiResponseOperationClass()());
  }

  TQAPIResponseOperationFactory apiResponseOperationClass() const override {
    const auto params = std::dynamic_pointer_cast<TQBatchTestAPIParams>(apiParams());
    return [hold = params ? params->hold : nullptr] {
      return std::make_shared<TQBatchTestResponseOperation>(hold);
    };
  }
};

inline std::shared_ptr<TQBatchTestAPIParams> batchParams(
    const std::string& path, std::shared_ptr<TQResponseHold> hold = {}) {
  auto params = std::make_shared<TQBatchTestAPIParams>();
  params->path = path;
  params->hold = std::move(hold);
  return params;
}

// A prepared call for `path`, made the way a facade operation makes one.
inline std::shared_ptr<TQBatchTestAPI> preparedBatchCall(
    const std::string& path, std::shared_ptr<TQResponseHold> hold = {}) {
  auto params = batchParams(path, std::move(hold));
  params->accessToken = "test-access-token";
  auto call = TQAPI::initWithParameters<TQBatchTestAPI>(params);
  call->prepareQuery();
  return call;
}
