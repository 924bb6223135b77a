#include "QuenlarCloudAPI/Model/TQResourceItem_FOPSOperation.h"

#include <utility>

#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQCopyAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQDeleteAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQMoveAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQRenameAPI.h"
#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/TQAudio.h"
#include "QuenlarCloudAPI/Model/TQFolder.h"
#include "QuenlarCloudAPI/Model/TQPhoto.h"
#include "QuenlarCloudAPI/Model/TQResource.h"
#include "QuenlarCloudAPI/Model/TQVideo.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

namespace {

// Where the item lies in an answer: the member it is read from, or, for a rename, the first.
enum class Member { Folder, First };

// The resource object to read the item from: the member's value; an empty object when the answer
// has no such member (the item is then built from nothing); nullptr when the value is there but
// is not an object.
const tq::JSON* itemObjectOf(Member member, const tq::JSON* json) {
  static const tq::JSON kNothing = tq::JSON::object();
  const tq::JSON* value = nullptr;
  if (member == Member::Folder) {
    value = TQJSONReading::member(json, "folder");
  } else if (json != nullptr && json->is_object() && !json->empty() && !json->begin()->is_null()) {
    value = &*json->begin();
  }
  if (value == nullptr) {
    return &kNothing;
  }
  return value->is_object() ? value : nullptr;
}

// The facade's handler for a move, copy or rename: re-reads the answer as an item of the
// receiver's kind, then hands it to the host in a later turn of the main queue.
TQResourceCompletionHandler itemHandler(const std::shared_ptr<TQResourceItem>& item, Member member,
                                        TQResourceItemCompletionHandler completionHandler) {
  if (!item) {
    TQAPI::throwNilArgumentException();
  }
  return [weakItem = std::weak_ptr<TQResourceItem>(item), member,
          completionHandler = std::move(completionHandler)](
             const std::shared_ptr<TQResource>& /*resource*/,
             const std::shared_ptr<TQAPIQueryResponse>& response) {
    std::shared_ptr<TQResourceItem> result;
    const auto json = response->jsonResponse();
    const tq::JSON* object = itemObjectOf(member, json.get());
    if (const auto receiver = weakItem.lock(); receiver && object != nullptr) {
      result = TQResourceItem_FOPSOperation::processResponseWithResponse(*receiver, *object);
    }
    if (!completionHandler) {
      return;
    }
    tq::mainQueue().async([completionHandler, result = std::move(result), response] {
      completionHandler(result, response);
    });
  };
}

template <class Kind>
bool isKind(const TQResourceItem& item) {
  return dynamic_cast<const Kind*>(&item) != nullptr;
}

}  // namespace

namespace TQResourceItem_FOPSOperation {

std::shared_ptr<TQMoveAPI> moveItem(const std::shared_ptr<TQResourceItem>& item,
                                    std::shared_ptr<TQFOPSAPIParams> params,
                                    TQResourceItemCompletionHandler completionHandler) {
  auto handler = itemHandler(item, Member::Folder, std::move(completionHandler));
  return TQAPISDK::sharedInstance()->move(std::move(params), std::move(handler));
}

std::shared_ptr<TQCopyAPI> copyItem(const std::shared_ptr<TQResourceItem>& item,
                                    std::shared_ptr<TQFOPSAPIParams> params,
                                    TQResourceItemCompletionHandler completionHandler) {
  auto handler = itemHandler(item, Member::Folder, std::move(completionHandler));
  return TQAPISDK::sharedInstance()->copy(std::move(params), std::move(handler));
}

std::shared_ptr<TQRenameAPI> renameItem(const std::shared_ptr<TQResourceItem>& item,
                                        std::shared_ptr<TQFOPSAPIParams> params,
                                        TQResourceItemCompletionHandler completionHandler) {
  auto handler = itemHandler(item, Member::First, std::move(completionHandler));
  return TQAPISDK::sharedInstance()->rename(std::move(params), std::move(handler));
}

std::shared_ptr<TQDeleteAPI> deleteItemWithCompletionHandler(
    const TQResourceItem& item, TQAPICompletionHandler completionHandler) {
  auto params = std::make_shared<TQDeleteParams>();
  params->path = item.fullPath().value_or("");
  return TQAPISDK::sharedInstance()->deletePath(
      std::move(params), [completionHandler = std::move(completionHandler)](
                             const std::shared_ptr<TQAPIQueryResponse>& response) {
        if (completionHandler) {
          tq::mainQueue().async([completionHandler, response] { completionHandler(response); });
        }
      });
}

std::shared_ptr<TQResourceItem> processResponseWithResponse(const TQResourceItem& item,
                                                            const tq::JSON& dict) {
  if (!dict.is_object()) {
    return nullptr;
  }
  if (isKind<TQPhoto>(item)) {
    return TQPhoto::initWithDict(dict);
  }
  if (isKind<TQAudio>(item)) {
    return TQAudio::initWithDict(dict);
  }
  if (isKind<TQVideo>(item)) {
    return TQVideo::initWithDict(dict);
  }
  if (isKind<TQFile>(item)) {
    return TQFile::initWithDict(dict);
  }
  if (isKind<TQFolder>(item)) {
    return TQFolder::initWithDict(dict);
  }
  return nullptr;
}

}  // namespace TQResourceItem_FOPSOperation
