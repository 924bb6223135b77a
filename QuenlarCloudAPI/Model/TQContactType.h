// TQContactType: one entry of a contact's lists: its kind ("type", such as "home" or "work"), its
// index and its preference rank. The four subclasses add what the entry holds: TQTelContactType,
// TQEmailContactType, TQInstantMessageType and TQAddressType.
//
// Read from one element of a contact object's list; immutable once made, so entries are shared
// between threads freely. Numbers are kept as the server sent them (raw JSON): a text sent where a
// number is declared stays a text.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/JSON.h"

class TQContactType {
 public:
  virtual ~TQContactType() = default;
  TQContactType(const TQContactType&) = delete;
  TQContactType& operator=(const TQContactType&) = delete;

  // The entry of one element: "type" (text form), "indx" and "preference" (raw). Never nullptr; a
  // value that is not an object gives an entry of nils.
  static std::shared_ptr<TQContactType> initWithDictionary(const tq::JSON& dictionary);

  const std::optional<std::string>& type() const { return type_; }
  const std::optional<tq::JSON>& indx() const { return indx_; }
  const std::optional<tq::JSON>& preference() const { return preference_; }

 protected:
  TQContactType() = default;

  // Takes the base fields; each subclass runs this first, then reads its own keys.
  void readDictionary(const tq::JSON& dictionary);

 private:
  std::optional<std::string> type_;
  std::optional<tq::JSON> indx_;
  std::optional<tq::JSON> preference_;
};
