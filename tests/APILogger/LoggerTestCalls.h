// A call class for logger tests: it sends the method, path, query, headers and body its record
// holds, through the facade's single-call road, so the pipeline posts its notifications as for
// any call.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQLogTestAPIParams : public TQResourceAPIParams {
 public:
  std::string method = "GET";
  std::string pathAndQuery = "/cloud/1/log";
  TQStringDictionary headers{{"Accept", "application/json"}};
  std::optional<std::string> body;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQLogTestAPIParams>();
  }
};

class TQLogTestAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override {
    const auto params = validatedParams<TQLogTestAPIParams>();
    setRequestURLString(serverBaseURLText() + params->pathAndQuery);
    setRequestHeaders(params->headers);
    setRequestBody(params->body);
    if (params->method != "GET") {
      setRequestMethod(params->method);
    }
  }
};
