// TQContactAPIParams: the record of the contact listing: which page to ask for, how the server
// and the local sort order the contacts, and which contacts to keep. Every field starts empty or
// 0, which asks for the whole address book in the server's order; a copy (copy()) carries the
// access token alone.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"
#include "QuenlarCloudAPI/Platform/JSON.h"

// The keys a contact listing sorts on.
enum TQContactSortKey : int32_t {
  TQContactSortKeyFirstName = 0,
  TQContactSortKeyLastName = 1,
  TQContactSortKeyCreated = 2,
  TQContactSortKeyModified = 3,
  TQContactSortKeyFavorite = 4,
  TQContactSortKeyVersion = 5,
  TQContactSortKeyID = 6,
};

class TQContactAPIParams : public TQResourceAPIParams {
 public:
  TQContactAPIParams() = default;

  // Page number (from 1); 0 means not given.
  int32_t page = 0;
  // Contacts per page; 0 means not given. Required when page is above 1.
  int32_t count = 0;
  // A sort string: a key word, "+", then "asc" or "desc" ("lastname+asc"). Sent to the server
  // and applied again to the gathered list; nil leaves both orders to the server.
  std::optional<std::string> sort;
  // A query in the search query syntax ("lastname:Smith"); empty asks for every contact.
  std::string query;

  // Sets `sort` to the key's wire name, "+", and "asc" or "desc". A value outside the seven keys
  // changes nothing.
  void setSortKey(TQContactSortKey key, bool isAscending);
  // Sets `query` to the single term "<field>:<value>", replacing any earlier query.
  void setQueryValue(const std::string& value, const std::string& field);

  // The local sort that `sort` describes, as {"sortType": key path, "sortOrder": ascending}:
  // "firstname", "lastname" and "id" name the key paths "firstName", "lastName" and "ID", any
  // other word itself; the order is ascending for "asc" and for a sort without "+", descending
  // otherwise. nullopt when `sort` is nil.
  std::optional<tq::JSON> getSortKeyWithValue() const;

  // In this order: the access token; then "Negative page", "Negative count" and "Positive count
  // required" (page above 1 without a count).
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQContactAPIParams>();
  }
};
