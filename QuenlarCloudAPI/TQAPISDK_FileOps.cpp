// The facade's file operations: create a folder, copy, move, rename, delete and restore.
#include <memory>
#include <utility>

#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQCopyAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQCreateFolderAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQDeleteAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQMoveAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQRenameAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQRestoreAPI.h"
#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/TQResource.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"

namespace {

constexpr int kCreatedStatus = 201;
constexpr int kChangedStatus = 200;

// The item under "folder". The status already said the operation succeeded, so a JSON answer
// without that member still gives an item, one with empty fields, rather than none.
std::shared_ptr<TQResource> folderMemberOf(const TQAPIQueryResponse& response) {
  const auto json = response.jsonResponse();
  if (!json) {
    return nullptr;
  }
  const tq::JSON* folder = TQJSONReading::member(json.get(), "folder");
  return TQResource::initWithDict(folder != nullptr ? *folder : tq::JSON());
}

// The item under the answer's first member, whatever its key ("file" or "folder"); none for an
// answer with no member. The parsed answer keeps the server's key order, so "first" is the
// first the server wrote.
std::shared_ptr<TQResource> firstMemberOf(const TQAPIQueryResponse& response) {
  const auto json = response.jsonResponse();
  if (!json || !json->is_object() || json->empty()) {
    return nullptr;
  }
  return TQResource::initWithDict(json->begin().value());
}

}  // namespace

std::shared_ptr<TQCreateFolderAPI> TQAPISDK::createFolder(
    std::shared_ptr<TQCreateFolderAPIParams> params,
    TQResourceCompletionHandler completionHandler) {
  return startSingleCall<TQCreateFolderAPI>(std::move(params), kCreatedStatus, folderMemberOf,
                                            std::move(completionHandler));
}

std::shared_ptr<TQCopyAPI> TQAPISDK::copy(std::shared_ptr<TQFOPSAPIParams> params,
                                          TQResourceCompletionHandler completionHandler) {
  return startSingleCall<TQCopyAPI>(std::move(params), kChangedStatus, folderMemberOf,
                                    std::move(completionHandler));
}

std::shared_ptr<TQMoveAPI> TQAPISDK::move(std::shared_ptr<TQFOPSAPIParams> params,
                                          TQResourceCompletionHandler completionHandler) {
  return startSingleCall<TQMoveAPI>(std::move(params), kChangedStatus, folderMemberOf,
                                    std::move(completionHandler));
}

std::shared_ptr<TQRenameAPI> TQAPISDK::rename(std::shared_ptr<TQFOPSAPIParams> params,
                                              TQResourceCompletionHandler completionHandler) {
  return startSingleCall<TQRenameAPI>(std::move(params), kChangedStatus, firstMemberOf,
                                      std::move(completionHandler));
}

std::shared_ptr<TQDeleteAPI> TQAPISDK::deletePath(std::shared_ptr<TQDeleteParams> params,
                                                  TQAPICompletionHandler completionHandler) {
  return startSingleCall<TQDeleteAPI>(std::move(params), std::move(completionHandler));
}

std::shared_ptr<TQRestoreAPI> TQAPISDK::restore(std::shared_ptr<TQRestoreAPIParams> params,
                                                TQAPICompletionHandler completionHandler) {
  return startSingleCall<TQRestoreAPI>(std::move(params), std::move(completionHandler));
}
