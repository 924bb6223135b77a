#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQRenameVFolderAPI.h"

void TQRenameVFolderAPI::prepareQuery() {
  const auto params = validatedParams<TQRenameVFolderAPIParams>();
  setRequestMethod("PUT");
  setRequestURLString(serverBaseURLText() + "/cloud/1/virtualfolder");
  tq::JSON body = tq::JSON::object();
  body["src"] = params->src;
  body["target"] = params->target;
  setRequestBody(body.dump(-1, ' ', false, tq::JSON::error_handler_t::replace));
  TQStringDictionary headers = bearerJSONHeaders(params->accessToken);
  headers.set("Content-Type", "application/json");
  setRequestHeaders(std::move(headers));
}
