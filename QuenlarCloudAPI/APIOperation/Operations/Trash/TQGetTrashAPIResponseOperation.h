// TQGetTrashAPIResponseOperation: reads one virtual folder's trash listing in a batch, on a
// thread of the batch queue: for status 200, one TQMetadata per trashed item, the answer's files
// before its folders; nothing for any other status.
#pragma once

#include <memory>
#include <vector>

#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIResponseOperation.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"

namespace TQTrashAnswer {

inline constexpr int kExpectedStatus = 200;

// The trashed items of an answer {"trashCan": {"file": [...], "folder": [...]}}: each element of
// "file", then each of "folder", in the answer's order. Every list may also arrive as a single
// object (a list of one), "trashCan" included; elements that are not objects are skipped, and an
// answer without these members has no items.
std::vector<std::shared_ptr<TQMetadata>> items(const TQAPIQueryResponse& response);

}  // namespace TQTrashAnswer

class TQGetTrashAPIResponseOperation
    : public TQParsingResponseOperation<std::shared_ptr<TQMetadata>, &TQTrashAnswer::items,
                                        TQTrashAnswer::kExpectedStatus> {};
