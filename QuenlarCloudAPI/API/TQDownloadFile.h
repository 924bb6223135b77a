// TQDownloadFile: where a download call keeps its body: a file in the Documents directory named
// by the request URL's percent-decoded last path component. A name that could reach outside the
// directory ("", ".", "..", or one holding "/" or NUL) is replaced by a fixed safe name.
//
// Placing replaces only a regular file of that name (never a directory or a link) and moves the
// session's temporary file into place (copying first only across file systems), so the place
// changes in one step. The file's device and inode are remembered: removing deletes the file only
// while the place still holds that same file, so two calls that download the same name never
// delete each other's file. Stateless apart from the value itself; safe from any thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/URL.h"

class TQDownloadFile {
 public:
  // The name used when the URL names no usable file.
  static constexpr const char* kFallbackName = "download";

  // The file name for a download of `requestURL`.
  static std::string fileName(const std::optional<tq::URL>& requestURL);

  // Moves `temporaryFile` to `directory`/fileName(requestURL); nullopt when the place holds
  // something other than a regular file or the file system refuses.
  static std::optional<TQDownloadFile> place(const std::optional<tq::URL>& requestURL,
                                             const std::filesystem::path& temporaryFile,
                                             const std::filesystem::path& directory);

  const std::filesystem::path& path() const { return path_; }

  // Deletes the file at `path` when it is still the file that was placed; nothing otherwise.
  void removeIfUnchanged(const std::filesystem::path& path) const;

 private:
  TQDownloadFile(std::filesystem::path path, uint64_t device, uint64_t inode)
      : path_(std::move(path)), device_(device), inode_(inode) {}

  std::filesystem::path path_;
  uint64_t device_;
  uint64_t inode_;
};
