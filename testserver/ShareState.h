// ShareState: the stand-in service's shares, kept in the order they were made and found by "uid".
// Tests seed shares and inspect them; the routes (ShareRoutes.h) answer from them.
//
// Shares that create() makes are dated from kFirstCreation on, one minute apart, so that tests can
// pick a time window without a clock. The listing is paged by opaque cursors: Base64 text that
// holds "+", "/" and "=", as real cursors do, each valid once issued. Every member is safe from
// any thread; answers are copies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testserver {

// Milliseconds since the epoch as "yyyy-MM-ddTHH:mm:ss.SSSZ".
std::string shareDateText(int64_t milliseconds);
// "yyyy-MM-ddTHH:mm:ss", optionally ".SSS", then "Z" or an offset "+HH:MM" / "-HH:MM", as
// milliseconds since the epoch; nullopt for any other text.
std::optional<int64_t> shareDateMilliseconds(std::string_view text);

class ShareState {
 public:
  using JSON = nlohmann::ordered_json;

  // 2024-05-01T10:00:00.000Z, the creation date of the first share that create() makes.
  static constexpr int64_t kFirstCreation = 1714557600000;

  ShareState() = default;
  ShareState(const ShareState&) = delete;
  ShareState& operator=(const ShareState&) = delete;

  // Adds a share object as given. Throws std::invalid_argument when it has no text "uid" or one
  // already taken.
  void add(JSON share);
  // Makes a share from a creation body that the route checked ("name", "expiresIn", "resources")
  // and answers it: uid "share-<n>", dates, owner and sharer "user-1", a public invite key, a
  // "self" link under `baseURL`, and the resources with their own uids.
  JSON create(const JSON& body, const std::string& baseURL);
  // Removes the share with this uid; false when there is none.
  bool remove(const std::string& uid);
  std::vector<JSON> shares() const;

  struct Page {
    std::vector<JSON> shares;
    std::size_t total = 0;                  // shares in the window
    std::optional<std::string> nextCursor;  // when more shares follow
  };
  // Up to `count` of the shares created in [since, until) (an end that is nullopt is open; a share
  // without a readable "creationDate" is listed only without a window), from where `cursor` left
  // off (the first for nullopt). nullopt for a cursor this server never issued.
  std::optional<Page> page(const std::optional<std::string>& cursor, std::size_t count,
                           std::optional<int64_t> since, std::optional<int64_t> until);

 private:
  std::string cursorFor(std::size_t offset);  // under mutex_

  mutable std::mutex mutex_;
  std::vector<JSON> shares_;
  std::map<std::string, std::size_t> cursors_;  // issued cursor -> offset
  int64_t created_ = 0;
};

}  // namespace testserver
