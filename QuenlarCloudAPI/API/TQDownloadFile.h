// TQDownloadFile: where a download call keeps its body: a file in the Documents directory named
// by the request URL's percent-decoded last path component. A name that could reach outside the
// directory ("", ".", "..", or one holding "/" or NUL) is replaced by a fixed safe name.
//
// Placing replaces only a regular file of that name (never a directory or a link) and moves the
// session's temporary file into place (copying first only across file systems), so the place
// changes in one step. The file's device and inode are remembered: removing deletes the file only
// while the place still holds that same file.
//
// A name the library keeps for itself (TQLibraryFiles: the store and its journals, chunk
// directories, download copies, ...) is never replaced; the download takes a name beside it as
// below. A name stays claimed while any copy of the value lives (the call that owns the file keeps
// one). Placing a name another live value has claimed takes the first free "name (2).ext",
// "name (3).ext", ... beside it instead, one that no file holds yet, so two live calls that
// download the same name neither replace nor delete each other's file. Safe from any thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/URL.h"

class TQDownloadFile {
 public:
  // The name used when the URL names no usable file.
  static constexpr const char* kFallbackName = "download";

  // The file name for a download of `requestURL`.
  static std::string fileName(const std::optional<tq::URL>& requestURL);

  // Moves `temporaryFile` to `directory`/fileName(requestURL), or beside it when a live value has
  // claimed that name; nullopt when the place holds something other than a regular file, no free
  // name is found, or the file system refuses.
  static std::optional<TQDownloadFile> place(const std::optional<tq::URL>& requestURL,
                                             const std::filesystem::path& temporaryFile,
                                             const std::filesystem::path& directory);

  const std::filesystem::path& path() const { return path_; }

  // Deletes the file at `path` when it is still the file that was placed; nothing otherwise.
  void removeIfUnchanged(const std::filesystem::path& path) const;

 private:
  class Claim;

  TQDownloadFile(std::filesystem::path path, uint64_t device, uint64_t inode,
                 std::shared_ptr<const Claim> claim)
      : path_(std::move(path)), device_(device), inode_(inode), claim_(std::move(claim)) {}

  // Claims a place in `directory` for `name`; nullptr when none is free.
  static std::shared_ptr<const Claim> claimPlace(const std::filesystem::path& directory,
                                                 const std::string& name);

  std::filesystem::path path_;
  uint64_t device_;
  uint64_t inode_;
  std::shared_ptr<const Claim> claim_;
};
