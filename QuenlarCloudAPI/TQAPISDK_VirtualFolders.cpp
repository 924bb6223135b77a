// The facade's virtual-folder operations: create, rename and delete.
#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQCreateVFolderAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQDeleteVFolderAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQRenameVFolderAPI.h"
#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/TQResource.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"

namespace {

constexpr int kCreatedStatus = 201;
constexpr int kRenamedStatus = 200;

// The folder of an answer with the expected status. A "folder" member that is missing or not an
// object gives a record with no fields rather than none: the status said the change was made, and
// the host can read what the server sent from the response.
std::shared_ptr<TQResource> folderOf(const TQAPIQueryResponse& response) {
  const auto json = response.jsonResponse();
  if (!json) {
    return nullptr;
  }
  const tq::JSON* folder = TQJSONReading::member(json.get(), "folder");
  return TQResource::initWithDict(folder != nullptr && folder->is_object() ? *folder : tq::JSON());
}

}  // namespace

std::shared_ptr<TQCreateVFolderAPI> TQAPISDK::createVirtualFolder(
    std::shared_ptr<TQCreateVFolderAPIParams> params,
    TQVirtualFolderCompletionHandler completionHandler) {
  return startSingleCall<TQCreateVFolderAPI>(std::move(params), kCreatedStatus, folderOf,
                                             std::move(completionHandler));
}

std::shared_ptr<TQRenameVFolderAPI> TQAPISDK::renameVirtualFolder(
    std::shared_ptr<TQRenameVFolderAPIParams> params,
    TQVirtualFolderCompletionHandler completionHandler) {
  return startSingleCall<TQRenameVFolderAPI>(std::move(params), kRenamedStatus, folderOf,
                                             std::move(completionHandler));
}

std::shared_ptr<TQDeleteVFolderAPI> TQAPISDK::deleteVirtualFolder(
    std::shared_ptr<TQDeleteVFolderAPIParams> params, TQAPIResponseHandler completionHandler) {
  return startSingleCall<TQDeleteVFolderAPI>(std::move(params), std::move(completionHandler));
}
