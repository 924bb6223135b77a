// The address book of the stand-in cloud service: GET /cloud/1/contacts (pages, sort, query),
// POST /cloud/1/contacts, PUT and DELETE /cloud/1/contacts/<id>. Every route wants
// "Authorization: Bearer <token>" with a non-empty token (401 otherwise). Tests seed the book and
// shape its answers through server.state<AddressBook>().
//
// Listing: the query pairs page and count (whole non-negative numbers, else 400) pick one page;
// an absent page is page 1 and an absent count is 200. "sort" is "<key>+<asc|desc>" on a member
// of the stored contact ("id" and "version" included), ordered as JSON values order (absent
// first); "query" is "<member>:<value>" and keeps the contacts whose member's text is the value,
// where "*" stands for any run of characters. The answer nests the page as
// {"contactsResponse":{"account":{"addrbook":{"contacts":{"contact":[...],"itemcount":N}}}}},
// each contact with its "id" and "version", itemcount counting every contact the query keeps.
//
// Editing: POST stores its JSON object body under a new id ("contact-1", ...) at version 1 and
// answers 201 {"id","version"}; PUT wants the body's "version" to be the stored one (409
// otherwise), stores the body at the next version and answers 200 {"id","version"}; DELETE answers
// 200 {}. An unknown id is 404; a body that is not a JSON object is 400.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "testserver/Gate.h"
#include "testserver/TestServer.h"

namespace testserver {

class AddressBook {
 public:
  using JSON = nlohmann::ordered_json;

  // Stores `contact` (a JSON object; its own "id" and "version" members are dropped) under `id`.
  void put(const std::string& id, JSON contact, int64_t version = 1);
  // The stored contact with its "id" and "version"; nullopt for an unknown id.
  std::optional<JSON> contact(const std::string& id) const;
  size_t size() const;
  // Forgets every contact and every setting below.
  void clear();

  // Writes "itemcount" as text ("450") rather than as a number.
  void setItemCountAsText(bool asText);
  // Answers this "itemcount" (any JSON value; a discarded value leaves the member out) instead of
  // the true one; nullopt goes back to the true one.
  void setReportedItemCount(std::optional<JSON> itemcount);
  // Waits this long before answering each listing page.
  void setDelayPerPage(std::chrono::milliseconds delay);
  // Waits this long before answering page `page`, instead of the delay per page.
  void setPageDelay(int64_t page, std::chrono::milliseconds delay);
  // Holds the answer to page `page` until `gate` opens (or a minute passes).
  void holdPage(int64_t page, std::shared_ptr<Gate> gate);
  // Answers page `page` with `status` and an error body instead of its contacts.
  void failPage(int64_t page, int status);

  // The routes' work; each answers the status and body to send.
  std::pair<int, JSON> list(int64_t page, int64_t count, const std::string& sort,
                            const std::string& query) const;
  std::pair<int, JSON> create(const JSON& body);
  std::pair<int, JSON> update(const std::string& id, const JSON& body);
  std::pair<int, JSON> remove(const std::string& id);
  // Waits as setDelayPerPage(), setPageDelay() and holdPage() say for page `page`.
  void waitBeforePage(int64_t page) const;

 private:
  // Immutable once stored, so a listing reads its snapshot of the book outside the lock.
  struct Entry {
    JSON contact;
    int64_t version = 1;
  };
  using Stored = std::pair<std::string, std::shared_ptr<const Entry>>;

  static JSON withIdentity(const Stored& stored);
  static std::shared_ptr<const Entry> entryOf(JSON contact, int64_t version);

  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<const Entry>> contacts_;
  // The book in identifier order as listings read it; made again after a change, so concurrent
  // listings share one copy instead of each walking the map under the lock.
  mutable std::shared_ptr<const std::vector<Stored>> listed_;
  int64_t createdCount_ = 0;
  bool itemCountAsText_ = false;
  std::optional<JSON> reportedItemCount_;
  std::chrono::milliseconds delayPerPage_{0};
  std::map<int64_t, std::chrono::milliseconds> pageDelays_;
  std::map<int64_t, std::shared_ptr<Gate>> heldPages_;
  std::map<int64_t, int> failedPages_;
};

void installContactRoutes(TestServer& server);

}  // namespace testserver
