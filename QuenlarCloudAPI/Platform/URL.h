// URL: an absolute URL, standing in for the platform's URL type (web addresses and file URLs).
//
// Parsing and building go through libcurl's URL parser. Text that arrives raw is made valid:
// spaces, control characters and (in path and query) non-ASCII bytes are percent-encoded, while
// existing %XX escapes and the reserved characters of an already-formed URL are kept as they are;
// the fragment keeps its non-ASCII bytes. Dot segments are kept ("/a/../b" stays), and a URL
// without a path gets "/".
//
// A URL is a plain value: copyable, immutable, safe to read from any thread. There is no null
// URL: the factories that can fail return std::nullopt.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tq {

class URL {
 public:
  // Parses an absolute URL ("scheme://host/path?query#fragment"); nullopt when the text is not
  // one (no scheme, bad host, bad port, ...).
  static std::optional<URL> URLWithString(std::string_view text);

  // The file URL of a filesystem path; a relative path is taken from the working directory.
  static URL fileURLWithPath(const std::filesystem::path& path);

  const std::string& absoluteString() const { return absolute_; }
  const std::string& scheme() const { return scheme_; }
  // Empty for a URL without a host (file URLs).
  const std::string& host() const { return host_; }
  // Only a port written in the URL; nullopt means the scheme's default.
  std::optional<int> port() const { return port_; }
  // Percent-decoded path, without a trailing "/" (except for the root "/").
  std::string path() const;
  // The path as it is written in the URL, percent-encoded.
  const std::string& percentEncodedPath() const { return encodedPath_; }
  // The percent-encoded query without "?", nullopt when there is none.
  const std::optional<std::string>& query() const { return query_; }
  // The last segment of the path, percent-decoded; "/" for the root, "" for an empty path.
  std::string lastPathComponent() const;
  bool isFileURL() const { return scheme_ == "file"; }

  // This URL with `component` appended to its path after a "/"; the component's bytes are
  // percent-encoded as a path segment needs ('/' inside it separates segments), and every byte
  // reaches the URL: a NUL becomes %00, never the end of the component. Query kept.
  URL URLByAppendingPathComponent(std::string_view component) const;

  bool operator==(const URL& other) const { return absolute_ == other.absolute_; }

 private:
  URL() = default;
  // Reads every part back from a parsed libcurl URL handle; nullopt when it has none.
  static std::optional<URL> fromHandle(void* handle);

  std::string absolute_;
  std::string scheme_;
  std::string host_;
  std::optional<int> port_;
  std::string encodedPath_;
  std::optional<std::string> query_;
};

}  // namespace tq
