#include "testserver/ContactRoutes.h"

#include <algorithm>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "testserver/AccountRoutes.h"
#include "testserver/RouteSupport.h"

namespace testserver {
namespace {

using JSON = AddressBook::JSON;

constexpr int64_t kDefaultPageSize = 200;

std::string textOf(const JSON& value) {
  return value.is_string() ? value.get<std::string>() : value.dump();
}

std::optional<JSON> jsonBody(const httplib::Request& request) {
  JSON body = JSON::parse(request.body, nullptr, false);
  if (body.is_discarded() || !body.is_object()) {
    return std::nullopt;
  }
  return body;
}

void answer(httplib::Response& response, const std::pair<int, JSON>& outcome) {
  answerJSON(response, outcome.first, outcome.second);
}

}  // namespace

std::shared_ptr<const AddressBook::Entry> AddressBook::entryOf(JSON contact, int64_t version) {
  if (contact.is_object()) {
    contact.erase("id");
    contact.erase("version");
  }
  return std::make_shared<const Entry>(Entry{std::move(contact), version});
}

JSON AddressBook::withIdentity(const Stored& stored) {
  JSON contact = stored.second->contact;
  contact["id"] = stored.first;
  contact["version"] = stored.second->version;
  return contact;
}

void AddressBook::put(const std::string& id, JSON contact, int64_t version) {
  auto entry = entryOf(std::move(contact), version);
  std::lock_guard lock(mutex_);
  contacts_[id] = std::move(entry);
  listed_.reset();
}

std::optional<JSON> AddressBook::contact(const std::string& id) const {
  std::lock_guard lock(mutex_);
  const auto found = contacts_.find(id);
  if (found == contacts_.end()) {
    return std::nullopt;
  }
  return withIdentity(*found);
}

size_t AddressBook::size() const {
  std::lock_guard lock(mutex_);
  return contacts_.size();
}

void AddressBook::clear() {
  std::lock_guard lock(mutex_);
  contacts_.clear();
  listed_.reset();
  itemCountAsText_ = false;
  reportedItemCount_.reset();
  delayPerPage_ = std::chrono::milliseconds(0);
  pageDelays_.clear();
  heldPages_.clear();
  failedPages_.clear();
}

void AddressBook::setItemCountAsText(bool asText) {
  std::lock_guard lock(mutex_);
  itemCountAsText_ = asText;
}

void AddressBook::setReportedItemCount(std::optional<JSON> itemcount) {
  std::lock_guard lock(mutex_);
  reportedItemCount_ = std::move(itemcount);
}

void AddressBook::setDelayPerPage(std::chrono::milliseconds delay) {
  std::lock_guard lock(mutex_);
  delayPerPage_ = delay;
}

void AddressBook::setPageDelay(int64_t page, std::chrono::milliseconds delay) {
  std::lock_guard lock(mutex_);
  pageDelays_[page] = delay;
}

void AddressBook::holdPage(int64_t page, std::shared_ptr<Gate> gate) {
  std::lock_guard lock(mutex_);
  heldPages_[page] = std::move(gate);
}

void AddressBook::failPage(int64_t page, int status) {
  std::lock_guard lock(mutex_);
  failedPages_[page] = status;
}

std::pair<int, JSON> AddressBook::list(int64_t page, int64_t count, const std::string& sort,
                                       const std::string& query) const {
  std::shared_ptr<const std::vector<Stored>> listed;
  bool itemCountAsText = false;
  std::optional<JSON> reportedItemCount;
  {
    std::lock_guard lock(mutex_);
    if (const auto failed = failedPages_.find(page); failed != failedPages_.end()) {
      return {failed->second, {{"error", "the page failed"}, {"page", page}}};
    }
    if (!listed_) {
      listed_ = std::make_shared<const std::vector<Stored>>(contacts_.begin(), contacts_.end());
    }
    listed = listed_;
    itemCountAsText = itemCountAsText_;
    reportedItemCount = reportedItemCount_;
  }

  // A member of a stored contact, "id" and "version" included.
  const auto valueOf = [](const Stored& stored, const std::string& key) -> JSON {
    if (key == "id") {
      return stored.first;
    }
    if (key == "version") {
      return stored.second->version;
    }
    const auto member = stored.second->contact.find(key);
    return member != stored.second->contact.end() ? *member : JSON();
  };

  const std::vector<Stored>& book = *listed;
  std::vector<const Stored*> kept;
  kept.reserve(book.size());
  const size_t colon = query.find(':');
  const std::string field = query.substr(0, colon);
  const std::string pattern = colon == std::string::npos ? "" : query.substr(colon + 1);
  for (const Stored& stored : book) {
    if (query.empty() || wildcardMatches(textOf(valueOf(stored, field)), pattern)) {
      kept.push_back(&stored);
    }
  }

  if (!sort.empty()) {
    // "lastname+asc" arrives as "lastname asc" when its "+" was sent unencoded.
    const size_t separator = sort.find_last_of("+ ");
    const std::string key = sort.substr(0, separator);
    const bool descending = separator != std::string::npos && sort.substr(separator + 1) == "desc";
    std::vector<std::pair<JSON, const Stored*>> keyed;
    keyed.reserve(kept.size());
    for (const Stored* stored : kept) {
      keyed.emplace_back(valueOf(*stored, key), stored);
    }
    std::stable_sort(keyed.begin(), keyed.end(), [descending](const auto& a, const auto& b) {
      return descending ? b.first < a.first : a.first < b.first;
    });
    for (size_t i = 0; i < keyed.size(); ++i) {
      kept[i] = keyed[i].second;
    }
  }

  JSON contacts = JSON::array();
  const auto size = static_cast<int64_t>(kept.size());
  const int64_t skipped = std::max<int64_t>(page - 1, 0);
  // Compared by division, so that no page or count, however large, overflows.
  if (count > 0 && skipped <= size / count) {
    const int64_t first = skipped * count;
    const int64_t last = first + std::min(count, size - first);
    for (int64_t i = first; i < last; ++i) {
      contacts.push_back(withIdentity(*kept[static_cast<size_t>(i)]));
    }
  }
  JSON inner = {{"contact", std::move(contacts)}};
  JSON itemcount = itemCountAsText ? JSON(std::to_string(size)) : JSON(size);
  if (reportedItemCount) {
    itemcount = std::move(*reportedItemCount);
  }
  if (!itemcount.is_discarded()) {
    inner["itemcount"] = std::move(itemcount);
  }
  return {200, {{"contactsResponse", {{"account", {{"addrbook", {{"contacts", inner}}}}}}}}};
}

std::pair<int, JSON> AddressBook::create(const JSON& body) {
  std::lock_guard lock(mutex_);
  const std::string id = "contact-" + std::to_string(++createdCount_);
  contacts_[id] = entryOf(body, 1);
  listed_.reset();
  return {201, {{"id", id}, {"version", 1}}};
}

std::pair<int, JSON> AddressBook::update(const std::string& id, const JSON& body) {
  std::lock_guard lock(mutex_);
  const auto found = contacts_.find(id);
  if (found == contacts_.end()) {
    return {404, {{"error", "no such contact"}, {"id", id}}};
  }
  const int64_t version = found->second->version;
  const auto sent = body.find("version");
  if (sent == body.end() || textOf(*sent) != std::to_string(version)) {
    return {409, {{"error", "version conflict"}, {"version", version}}};
  }
  found->second = entryOf(body, version + 1);
  listed_.reset();
  return {200, {{"id", id}, {"version", version + 1}}};
}

std::pair<int, JSON> AddressBook::remove(const std::string& id) {
  std::lock_guard lock(mutex_);
  if (contacts_.erase(id) == 0) {
    return {404, {{"error", "no such contact"}, {"id", id}}};
  }
  listed_.reset();
  return {200, JSON::object()};
}

void AddressBook::waitBeforePage(int64_t page) const {
  std::chrono::milliseconds delay{0};
  std::shared_ptr<Gate> gate;
  {
    std::lock_guard lock(mutex_);
    const auto pageDelay = pageDelays_.find(page);
    delay = pageDelay != pageDelays_.end() ? pageDelay->second : delayPerPage_;
    if (const auto held = heldPages_.find(page); held != heldPages_.end()) {
      gate = held->second;
    }
  }
  if (delay.count() > 0) {
    std::this_thread::sleep_for(delay);
  }
  if (gate) {
    gate->waitOpen(std::chrono::minutes(1));
  }
}

void installContactRoutes(TestServer& server) {
  auto& book = server.state<AddressBook>();
  const auto authorized = [](const httplib::Request& request, httplib::Response& response) {
    if (bearerToken(request).empty()) {
      answerJSON(response, 401, {{"error", "invalid_token"}});
      return false;
    }
    return true;
  };

  server.route("GET", "/cloud/1/contacts",
               [&book, authorized](const httplib::Request& request, httplib::Response& response) {
                 if (!authorized(request, response)) {
                   return;
                 }
                 const auto page = countParameter(request, "page", 1);
                 const auto count = countParameter(request, "count", kDefaultPageSize);
                 if (!page || !count) {
                   answerJSON(response, 400, {{"error", "bad paging"}});
                   return;
                 }
                 const auto outcome = book.list(*page, *count, request.get_param_value("sort"),
                                                request.get_param_value("query"));
                 book.waitBeforePage(*page);
                 answer(response, outcome);
               });

  server.route("POST", "/cloud/1/contacts",
               [&book, authorized](const httplib::Request& request, httplib::Response& response) {
                 if (!authorized(request, response)) {
                   return;
                 }
                 const auto body = jsonBody(request);
                 if (!body) {
                   answerJSON(response, 400, {{"error", "the body is not a JSON object"}});
                   return;
                 }
                 answer(response, book.create(*body));
               });

  server.route("PUT", "/cloud/1/contacts/(.+)",
               [&book, authorized](const httplib::Request& request, httplib::Response& response) {
                 if (!authorized(request, response)) {
                   return;
                 }
                 const auto body = jsonBody(request);
                 if (!body) {
                   answerJSON(response, 400, {{"error", "the body is not a JSON object"}});
                   return;
                 }
                 answer(response, book.update(request.matches[1].str(), *body));
               });

  server.route("DELETE", "/cloud/1/contacts/(.+)",
               [&book, authorized](const httplib::Request& request, httplib::Response& response) {
                 if (!authorized(request, response)) {
                   return;
                 }
                 answer(response, book.remove(request.matches[1].str()));
               });
}

}  // namespace testserver
