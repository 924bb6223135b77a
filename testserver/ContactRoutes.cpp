#include "testserver/ContactRoutes.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "testserver/AccountRoutes.h"

namespace testserver {
namespace {

using JSON = AddressBook::JSON;

constexpr int64_t kDefaultPageSize = 200;

void answerJSON(httplib::Response& response, int status, const JSON& body) {
  response.status = status;
  response.set_content(body.dump(), "application/json");
}

// A whole non-negative decimal number; `fallback` when absent; nullopt for anything else.
std::optional<int64_t> number(const httplib::Request& request, const char* key, int64_t fallback) {
  if (!request.has_param(key)) {
    return fallback;
  }
  const std::string text = request.get_param_value(key);
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) {
    return std::nullopt;
  }
  return value;
}

std::string textOf(const JSON& value) {
  return value.is_string() ? value.get<std::string>() : value.dump();
}

// `text` matches `pattern`, where "*" stands for any run of characters.
bool matches(std::string_view text, std::string_view pattern) {
  const size_t star = pattern.find('*');
  if (star == std::string_view::npos) {
    return text == pattern;
  }
  if (!text.starts_with(pattern.substr(0, star))) {
    return false;
  }
  const std::string_view rest = pattern.substr(star + 1);
  for (size_t from = star; from <= text.size(); ++from) {
    if (matches(text.substr(from), rest)) {
      return true;
    }
  }
  return false;
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

void AddressBook::put(const std::string& id, JSON contact, int64_t version) {
  if (contact.is_object()) {
    contact.erase("id");
    contact.erase("version");
  }
  std::lock_guard lock(mutex_);
  contacts_[id] = Entry{std::move(contact), version};
}

std::optional<JSON> AddressBook::contact(const std::string& id) const {
  std::lock_guard lock(mutex_);
  const auto found = contacts_.find(id);
  if (found == contacts_.end()) {
    return std::nullopt;
  }
  return withIdentity(id, found->second);
}

size_t AddressBook::size() const {
  std::lock_guard lock(mutex_);
  return contacts_.size();
}

void AddressBook::clear() {
  std::lock_guard lock(mutex_);
  contacts_.clear();
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

JSON AddressBook::withIdentity(const std::string& id, const Entry& entry) const {
  JSON contact = entry.contact;
  contact["id"] = id;
  contact["version"] = entry.version;
  return contact;
}

std::pair<int, JSON> AddressBook::list(int64_t page, int64_t count, const std::string& sort,
                                       const std::string& query) const {
  std::vector<JSON> kept;
  JSON itemcount;
  {
    std::lock_guard lock(mutex_);
    if (const auto failed = failedPages_.find(page); failed != failedPages_.end()) {
      return {failed->second, {{"error", "the page failed"}, {"page", page}}};
    }
    const size_t colon = query.find(':');
    for (const auto& [id, entry] : contacts_) {
      JSON contact = withIdentity(id, entry);
      if (!query.empty()) {
        const std::string field = query.substr(0, colon);
        const std::string value = colon == std::string::npos ? "" : query.substr(colon + 1);
        const auto member = contact.find(field);
        if (member == contact.end() || !matches(textOf(*member), value)) {
          continue;
        }
      }
      kept.push_back(std::move(contact));
    }
    const auto size = static_cast<int64_t>(kept.size());
    itemcount = itemCountAsText_ ? JSON(std::to_string(size)) : JSON(size);
    if (reportedItemCount_) {
      itemcount = *reportedItemCount_;
    }
  }

  if (!sort.empty()) {
    // "lastname+asc" arrives as "lastname asc" when its "+" was sent unencoded.
    const size_t separator = sort.find_last_of("+ ");
    const std::string key = sort.substr(0, separator);
    const bool descending = separator != std::string::npos && sort.substr(separator + 1) == "desc";
    std::stable_sort(kept.begin(), kept.end(), [&](const JSON& a, const JSON& b) {
      const JSON left = a.value(key, JSON());
      const JSON right = b.value(key, JSON());
      return descending ? right < left : left < right;
    });
  }

  JSON contacts = JSON::array();
  const auto size = static_cast<int64_t>(kept.size());
  const int64_t skipped = std::max<int64_t>(page - 1, 0);
  // Compared by division, so that no page or count, however large, overflows.
  if (count > 0 && skipped <= size / count) {
    const int64_t first = skipped * count;
    const int64_t last = first + std::min(count, size - first);
    for (int64_t i = first; i < last; ++i) {
      contacts.push_back(std::move(kept[static_cast<size_t>(i)]));
    }
  }
  JSON inner = {{"contact", std::move(contacts)}};
  if (!itemcount.is_discarded()) {
    inner["itemcount"] = std::move(itemcount);
  }
  return {200, {{"contactsResponse", {{"account", {{"addrbook", {{"contacts", inner}}}}}}}}};
}

std::pair<int, JSON> AddressBook::create(const JSON& body) {
  std::lock_guard lock(mutex_);
  const std::string id = "contact-" + std::to_string(++createdCount_);
  Entry entry{body, 1};
  entry.contact.erase("id");
  entry.contact.erase("version");
  contacts_[id] = std::move(entry);
  return {201, {{"id", id}, {"version", 1}}};
}

std::pair<int, JSON> AddressBook::update(const std::string& id, const JSON& body) {
  std::lock_guard lock(mutex_);
  const auto found = contacts_.find(id);
  if (found == contacts_.end()) {
    return {404, {{"error", "no such contact"}, {"id", id}}};
  }
  const auto sent = body.find("version");
  if (sent == body.end() || textOf(*sent) != std::to_string(found->second.version)) {
    return {409, {{"error", "version conflict"}, {"version", found->second.version}}};
  }
  Entry entry{body, found->second.version + 1};
  entry.contact.erase("id");
  entry.contact.erase("version");
  found->second = std::move(entry);
  return {200, {{"id", id}, {"version", found->second.version}}};
}

std::pair<int, JSON> AddressBook::remove(const std::string& id) {
  std::lock_guard lock(mutex_);
  if (contacts_.erase(id) == 0) {
    return {404, {{"error", "no such contact"}, {"id", id}}};
  }
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
                 const auto page = number(request, "page", 1);
                 const auto count = number(request, "count", kDefaultPageSize);
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
