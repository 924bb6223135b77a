// StringTable: one string table file ("Localizable.strings" and the like), read by our own small
// reader of the format: entries `"key" = "value";`, separated by white space and /* */ or //
// comments. Quoted text may hold the escapes \" \\ \n \t \r and \UXXXX (\uXXXX too; a surrogate
// pair written as two escapes makes one character). The file is UTF-8 (a leading byte-order mark
// is skipped) or UTF-16 with a byte-order mark.
//
// A file with a syntax error yields no table at all rather than a silently truncated one. A later
// entry for the same key replaces the earlier. Immutable once made; safe to share across threads.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tq {

class StringTable {
 public:
  // The table held in `bytes`, or nullopt when they do not follow the format.
  static std::optional<StringTable> parse(std::string_view bytes);

  // The value for `key`, or nullptr when the table has none.
  const std::string* find(const std::string& key) const;

  std::size_t size() const { return entries_.size(); }

 private:
  std::unordered_map<std::string, std::string> entries_;
};

}  // namespace tq
