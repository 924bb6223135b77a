// TQResourceItem(FOPSOperation): an item moves, copies, renames or deletes itself through the
// facade's file operations (TQAPISDK::move, copy, rename, deletePath), which prepare and start the
// call on the caller's thread and raise as they do. Any thread may call these.
//
// Move, copy and rename answer an item of the receiver's own kind (TQPhoto, TQAudio, TQVideo,
// TQFile or TQFolder; the media kinds are tried before TQFile, from which they derive), read from
// the answer whatever its status: from its "folder" member for a move or a copy, from its first
// member for a rename. An answer without that member gives an item with empty fields, so the host
// tells success from failure by the response's status. A member that is not a JSON object, a
// receiver of none of these kinds, or one released before the answer came, gives nullptr. The
// receiver is held weakly. The handler runs on the main queue.
#pragma once

#include <functional>
#include <memory>

#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/Platform/JSON.h"

class TQResourceItem;
class TQFOPSAPIParams;
class TQCopyAPI;
class TQMoveAPI;
class TQRenameAPI;
class TQDeleteAPI;

// Receives the item (see above) and the call's outcome once, on the main queue.
using TQResourceItemCompletionHandler =
    std::function<void(const std::shared_ptr<TQResourceItem>& item,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;

namespace TQResourceItem_FOPSOperation {

// `params` goes to the facade as the host filled it: the item does not put its own path in
// `source`. A nullptr receiver raises the nil-argument exception.
std::shared_ptr<TQMoveAPI> moveItem(const std::shared_ptr<TQResourceItem>& item,
                                    std::shared_ptr<TQFOPSAPIParams> params,
                                    TQResourceItemCompletionHandler completionHandler);
std::shared_ptr<TQCopyAPI> copyItem(const std::shared_ptr<TQResourceItem>& item,
                                    std::shared_ptr<TQFOPSAPIParams> params,
                                    TQResourceItemCompletionHandler completionHandler);
std::shared_ptr<TQRenameAPI> renameItem(const std::shared_ptr<TQResourceItem>& item,
                                        std::shared_ptr<TQFOPSAPIParams> params,
                                        TQResourceItemCompletionHandler completionHandler);

// Moves the item at its fullPath() to the trash (never purges); the handler receives the
// response alone, whatever its status.
std::shared_ptr<TQDeleteAPI> deleteItemWithCompletionHandler(
    const TQResourceItem& item, TQAPICompletionHandler completionHandler);

// A new item of `item`'s kind read from the resource object `dict`; nullptr when `item` is of
// none of the kinds above or `dict` is not a JSON object.
std::shared_ptr<TQResourceItem> processResponseWithResponse(const TQResourceItem& item,
                                                            const tq::JSON& dict);

}  // namespace TQResourceItem_FOPSOperation
