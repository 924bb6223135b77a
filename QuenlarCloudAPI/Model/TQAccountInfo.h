// TQAccountInfo: the signed-in account's storage quota, used storage, identifier and alias, read
// from the account endpoint's answer. Immutable once made; safe to share between threads.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/JSON.h"

class TQAccountInfo {
 public:
  TQAccountInfo(const TQAccountInfo&) = delete;
  TQAccountInfo& operator=(const TQAccountInfo&) = delete;

  // Reads the answer: "quota" and "quotaUsed" of its "usage" object (0 when absent), the text
  // form of "id" (a number becomes its decimal text) and of "alias" (nullopt when absent or null).
  // An answer of any other shape gives a record with every field empty; never throws on content.
  static std::shared_ptr<TQAccountInfo> initWithDict(const tq::JSON& dict);

  int64_t quota() const { return quota_; }
  int64_t quotaUsed() const { return quotaUsed_; }
  const std::optional<std::string>& ID() const { return ID_; }
  const std::optional<std::string>& alias() const { return alias_; }

 private:
  TQAccountInfo() = default;

  int64_t quota_ = 0;
  int64_t quotaUsed_ = 0;
  std::optional<std::string> ID_;
  std::optional<std::string> alias_;
};
