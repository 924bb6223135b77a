// TQShare: one page of the share listing: the shares, the links the server offers (the next
// page's among them) and the server's count. Immutable once made; safe to share between threads.
//
// Each list is nullopt when the answer lacks it; a single object where a list is expected counts
// as a list of one, and elements that are not objects are skipped.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "QuenlarCloudAPI/Model/TQLink.h"
#include "QuenlarCloudAPI/Model/TQShareItem.h"
#include "QuenlarCloudAPI/Platform/JSON.h"

class TQShare {
  class Key {
    Key() = default;
    friend class TQShare;
  };

 public:
  explicit TQShare(Key /*key*/) {}
  TQShare(const TQShare&) = delete;
  TQShare& operator=(const TQShare&) = delete;

  // Reads the answer's "shares" object: "count", "links" and "share". Anything but an object
  // gives a listing whose three fields are nullopt.
  static std::shared_ptr<TQShare> initWithDictionary(const tq::JSON& dictionary);

  const std::optional<std::vector<std::shared_ptr<TQLink>>>& links() const { return links_; }
  const std::optional<std::vector<std::shared_ptr<TQShareItem>>>& shareList() const {
    return shareList_;
  }
  // The count the server reports, as it sent it (TQShareReading::value).
  const std::optional<tq::JSON>& count() const { return count_; }

 private:
  std::optional<std::vector<std::shared_ptr<TQLink>>> links_;
  std::optional<std::vector<std::shared_ptr<TQShareItem>>> shareList_;
  std::optional<tq::JSON> count_;
};
