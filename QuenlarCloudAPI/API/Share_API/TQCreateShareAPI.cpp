#include "QuenlarCloudAPI/API/Share_API/TQCreateShareAPI.h"

#include <string>

#include "QuenlarCloudAPI/API/TQStringDictionary.h"

namespace {

tq::JSON numberJSON(const TQNumber& number) {
  if (number.isBoolean()) {
    return number.boolValue();
  }
  if (number.isInteger()) {
    return number.int64Value();
  }
  return number.doubleValue();
}

tq::JSON resourceJSON(const TQResourceShareAPIParams& resource) {
  tq::JSON object = tq::JSON::object();
  const auto setText = [&object](const char* key, const std::optional<std::string>& text) {
    if (text) {
      object[key] = *text;
    }
  };
  setText("name", resource.name);
  setText("type", resource.type);
  setText("subType", resource.subType);
  setText("location", resource.location);
  if (resource.size != 0) {
    object["size"] = resource.size;
  }
  return object;
}

}  // namespace

void TQCreateShareAPI::prepareQuery() {
  const auto params = validatedParams<TQCreateShareAPIParams>();

  tq::JSON body = tq::JSON::object();
  if (!params->name.empty()) {
    body["name"] = params->name;
  }
  if (params->expiresIn) {
    body["expiresIn"] = numberJSON(*params->expiresIn);
  }
  tq::JSON resources = tq::JSON::array();
  for (const auto& resource : params->resources) {
    resources.push_back(resourceJSON(resource));
  }
  body["resources"] = std::move(resources);

  setRequestMethod("POST");
  setRequestURLString(serverBaseURLText() + "/cloud/1/shares");
  setRequestBody(body.dump(-1, ' ', false, tq::JSON::error_handler_t::replace));
  TQStringDictionary headers = bearerJSONHeaders(params->accessToken);
  headers.set("Content-Type", "application/json");
  setRequestHeaders(std::move(headers));
}
