// TQMetadata: a folder listing (the model of a metadata listing and of every file-folder object):
// a TQResource describing the object itself, with its sub-folders and files.
//
// "folder" and "file" may each hold a list of resource objects or a single one (a list of one);
// elements that are not JSON objects are skipped. Sub-folders are read the same way, to any depth,
// without recursion, so a deeply nested answer cannot exhaust the stack. The lists are fixed once
// built and safe to read from any thread.
#pragma once

#include <memory>
#include <span>
#include <vector>

#include "QuenlarCloudAPI/Model/TQResource.h"
#include "QuenlarCloudAPI/Platform/JSON.h"

class TQMetadata : public TQResource {
 public:
  TQMetadata() = default;
  ~TQMetadata() override;

  // The listing of a file-folder object: its own fields, then "folder" as sub-folders and "file"
  // as files, in the answer's order.
  static std::shared_ptr<TQMetadata> initWithDict(const tq::JSON& dict);

  // Empty, never absent, when the object lacks the member.
  const std::vector<std::shared_ptr<TQMetadata>>& subFolders() const { return subFolders_; }
  const std::vector<std::shared_ptr<TQResource>>& subFiles() const { return subFiles_; }

  // The key table of TQResource, for sorting listings by key path.
  static std::span<const TQKeyValueEntry<TQMetadata>> keyValueTable() {
    return resourceKeyValueTable<TQMetadata>();
  }

 private:
  std::vector<std::shared_ptr<TQMetadata>> subFolders_;
  std::vector<std::shared_ptr<TQResource>> subFiles_;
};
