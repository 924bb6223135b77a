// TQGetFavoritesAPIResponseOperation: reads one virtual folder's favorites answer in a batch, on a
// thread of the batch queue. Its result is always a list, empty for any status but 200.
#pragma once

#include <memory>
#include <vector>

#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIResponseOperation.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"

namespace TQFavoritesReading {

// The favorites of an answer {"favorites": {"file": [...], "folder": [...]}}: one TQMetadata per
// resource object, the files first, then the folders, each in the answer's order. A member that
// holds one object counts as a list of one; elements that are not objects, and members that are
// absent or of any other type, add nothing. Never throws for the answer's shape.
std::vector<std::shared_ptr<TQMetadata>> favoritesOf(const TQAPIQueryResponse& response);

}  // namespace TQFavoritesReading

class TQGetFavoritesAPIResponseOperation final
    : public TQParsingResponseOperation<std::shared_ptr<TQMetadata>,
                                        &TQFavoritesReading::favoritesOf, 200> {};
