// A call class for pipeline and logger tests: it sends whatever its record asks for (a path may
// carry its own query), so one class can drive every road of TQAPI against routes the test
// registers.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/API/TQStringDictionary.h"

class TQTestAPIParams : public TQResourceAPIParams {
 public:
  std::string path = "/cloud/1/test";
  std::string method = "GET";
  TQStringDictionary query;
  TQStringDictionary headers{{"Accept", "application/json"}};
  std::optional<std::string> body;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQTestAPIParams>();
  }
};

class TQTestAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override {
    const auto params = validatedParams<TQTestAPIParams>();
    std::string url = serverBaseURLText() + params->path;
    if (const auto query = paramterURLString(params->query); !query.empty()) {
      url += "?" + query;
    }
    setRequestURLString(url);
    setRequestHeaders(params->headers);
    setRequestBody(params->body);
    if (params->method != "GET") {
      setRequestMethod(params->method);
    }
  }
};

// A record that forgets to name its class, for the copy() check.
class TQForgetfulAPIParams : public TQResourceAPIParams {};

inline std::shared_ptr<TQTestAPIParams> testParams(const std::string& path) {
  auto params = std::make_shared<TQTestAPIParams>();
  params->path = path;
  return params;
}
