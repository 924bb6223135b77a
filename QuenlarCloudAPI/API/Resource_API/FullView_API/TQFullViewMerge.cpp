#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQFullViewMerge.h"

#include <stdexcept>
#include <unordered_set>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQFullViewAnswerReader.h"
#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"
#include "QuenlarCloudAPI/Model/CoreData/TQWriteTransaction.h"
#include "QuenlarCloudAPI/Model/NSDictionary_TQResource.h"

namespace TQFullViewMerge {
namespace {

// Resources parsed before they are written: enough to keep the statement busy, few enough that
// an answer of any size needs little memory.
constexpr size_t kBatchSize = 512;

class UnreadableAnswer : public std::runtime_error {
 public:
  UnreadableAnswer() : std::runtime_error("unreadable fullview answer") {}
};

}  // namespace

Result merge(TQPersistentStore& store, uint64_t epoch, const std::optional<std::string>& folderKey,
             const std::optional<std::string>& eTag, const TQAnswerSpool& body, TQStoreError* error,
             const Progress& progress) {
  bool unreadable = false;
  const bool committed = store.performWrite(
      epoch,
      [&](TQWriteTransaction& write) {
        const std::optional<int64_t> folderRow =
            folderKey ? std::optional(write.writeETag(*folderKey, eTag)) : std::nullopt;
        std::vector<TQResourceValues> batch;
        batch.reserve(kBatchSize);
        std::unordered_set<int64_t> listed;  // rows the answer names as live
        std::vector<int64_t> inserted;
        std::vector<std::string> deletedPaths;
        size_t written = 0;
        const auto flush = [&] {
          inserted.clear();
          for (const auto& row : write.mergeResources(batch)) {
            listed.insert(row.rowID);
            if (row.inserted) {
              inserted.push_back(row.rowID);
            }
          }
          if (folderRow) {
            write.relateResources(*folderRow, inserted);
          }
          written += batch.size();
          batch.clear();
          if (progress) {
            progress(written);
          }
        };
        const bool readable = TQFullViewAnswerReader::read(
            body,
            [&](const tq::JSON& object) {
              batch.push_back(NSDictionary_TQResource::resourceValues(object));
              if (batch.size() == kBatchSize) {
                flush();
              }
            },
            [&](std::string path) { deletedPaths.push_back(std::move(path)); });
        if (!readable) {
          unreadable = true;
          throw UnreadableAnswer();
        }
        if (!batch.empty()) {
          flush();
        }
        if (!deletedPaths.empty()) {
          write.deleteResourcesAtPaths(deletedPaths, listed);
        }
      },
      error);
  if (committed) {
    return Result::Merged;
  }
  return unreadable ? Result::Unreadable : Result::NotStored;
}

}  // namespace TQFullViewMerge
