#include "testserver/SyncRoutes.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <nlohmann/json.hpp>
#include <string_view>
#include <utility>
#include <vector>

#include "testserver/AccountRoutes.h"
#include "testserver/ResourceTree.h"

namespace testserver {
namespace {

using JSON = nlohmann::ordered_json;

void answerJSON(httplib::Response& response, int status, const JSON& body) {
  response.status = status;
  response.set_content(body.dump(), "application/json");
}

// A list, or its one element when `single` is set and it has exactly one.
template <class Element>
JSON listOrSingle(std::vector<Element> elements, bool single) {
  if (single && elements.size() == 1) {
    return JSON(std::move(elements.front()));
  }
  JSON list = JSON::array();
  for (auto& element : elements) {
    list.push_back(std::move(element));
  }
  return list;
}

void answerFullView(ResourceTree& tree, const FullViewSwitches& switches,
                    const httplib::Request& request, httplib::Response& response) {
  if (bearerToken(request).empty()) {
    answerJSON(response, 401, {{"error", "invalid_token"}});
    return;
  }
  const std::string folder = request.get_param_value("virtualfolder");
  if (const int status = switches.failureOf(folder); status != 0) {
    answerJSON(response, status, {{"error", "scripted failure"}, {"virtualfolder", folder}});
    return;
  }
  auto view = tree.fullView(folder, request.get_header_value("X-Header-ETag"));
  if (!view) {
    answerJSON(response, 404, {{"error", "not found"}, {"virtualfolder", folder}});
    return;
  }
  if (!switches.omitETagHeader()) {
    response.set_header("X-Header-Etag", view->eTag);
  }
  if (view->unchanged) {
    response.status = 412;
    return;
  }
  const bool single = switches.singleObjectAnswers();
  JSON data = JSON::object();
  data["file"] = listOrSingle(std::move(view->files), single);
  data["folder"] = listOrSingle(std::move(view->folders), single);
  if (!view->deletedPaths.empty()) {
    data["deleted"] = {{"path", listOrSingle(std::move(view->deletedPaths), single)}};
  }
  answerJSON(response, 200, {{"data", std::move(data)}});
}

// ---- /search ----

std::string lowered(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

// Whole-text match with "*" as any run of characters.
bool wildcardMatches(std::string_view text, std::string_view pattern) {
  const size_t star = pattern.find('*');
  if (star == std::string_view::npos) {
    return text == pattern;
  }
  if (!text.starts_with(pattern.substr(0, star))) {
    return false;
  }
  const std::string_view rest = pattern.substr(star + 1);
  for (size_t from = star; from <= text.size(); ++from) {
    if (wildcardMatches(text.substr(from), rest)) {
      return true;
    }
  }
  return false;
}

bool termMatches(const JSON& object, std::string_view term) {
  const size_t colon = term.find(':');
  if (colon == std::string_view::npos) {
    return false;
  }
  const std::string key(term.substr(0, colon));
  const JSON* value = object.contains(key) ? &object[key] : nullptr;
  if (value == nullptr && object.contains("systemAttributes") &&
      object["systemAttributes"].contains(key)) {
    value = &object["systemAttributes"][key];
  }
  if (value == nullptr) {
    return false;
  }
  const std::string text = value->is_string() ? value->get<std::string>() : value->dump();
  return wildcardMatches(lowered(text), lowered(term.substr(colon + 1)));
}

bool queryMatches(const JSON& object, std::string_view query) {
  for (size_t from = 0;;) {
    const size_t join = query.find(" AND ", from);
    std::string_view term = query.substr(from, join == std::string_view::npos ? join : join - from);
    while (!term.empty() && (term.front() == '(' || term.front() == ' ')) {
      term.remove_prefix(1);
    }
    while (!term.empty() && (term.back() == ')' || term.back() == ' ')) {
      term.remove_suffix(1);
    }
    if (!termMatches(object, term)) {
      return false;
    }
    if (join == std::string_view::npos) {
      return true;
    }
    from = join + 5;
  }
}

int64_t number(const httplib::Request& request, const char* key) {
  const std::string text = request.get_param_value(key);
  int64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

void answerSearch(ResourceTree& tree, const httplib::Request& request,
                  httplib::Response& response) {
  if (bearerToken(request).empty()) {
    answerJSON(response, 401, {{"error", "invalid_token"}});
    return;
  }
  const std::string query = request.get_param_value("query");
  std::vector<JSON> found;
  for (auto& item : tree.liveItems()) {
    if (queryMatches(item, query)) {
      found.push_back(std::move(item));
    }
  }
  // "name+asc" arrives as "name asc" once the query's "+" has been read as a blank.
  const std::string sort = request.get_param_value("sort");
  if (const size_t blank = sort.find_last_of(" +"); blank != std::string::npos) {
    const std::string key = sort.substr(0, blank);
    const bool ascending = sort.substr(blank + 1) != "desc";
    std::stable_sort(found.begin(), found.end(), [&](const JSON& a, const JSON& b) {
      const std::string x = a.value(key, JSON()).dump();
      const std::string y = b.value(key, JSON()).dump();
      return ascending ? x < y : y < x;
    });
  }
  const int64_t page = number(request, "page");
  const int64_t count = number(request, "count");
  if (page > 0 && count > 0) {
    const auto first = static_cast<size_t>(
        std::min<int64_t>((page - 1) * count, static_cast<int64_t>(found.size())));
    const auto last = std::min(found.size(), first + static_cast<size_t>(count));
    found = std::vector<JSON>(found.begin() + static_cast<ptrdiff_t>(first),
                              found.begin() + static_cast<ptrdiff_t>(last));
  }
  JSON files = JSON::array();
  JSON folders = JSON::array();
  for (auto& item : found) {
    const bool isFile = !item.value("contentToken", std::string()).empty();
    (isFile ? files : folders).push_back(std::move(item));
  }
  answerJSON(response, 200, {{"file", std::move(files)}, {"folder", std::move(folders)}});
}

}  // namespace

void FullViewSwitches::setOmitETagHeader(bool omit) {
  std::lock_guard lock(mutex_);
  omitETagHeader_ = omit;
}

void FullViewSwitches::setSingleObjectAnswers(bool single) {
  std::lock_guard lock(mutex_);
  singleObjectAnswers_ = single;
}

void FullViewSwitches::setFailingFolder(const std::string& virtualFolder, int status) {
  std::lock_guard lock(mutex_);
  if (status == 0) {
    failingFolders_.erase(virtualFolder);
  } else {
    failingFolders_[virtualFolder] = status;
  }
}

bool FullViewSwitches::omitETagHeader() const {
  std::lock_guard lock(mutex_);
  return omitETagHeader_;
}

bool FullViewSwitches::singleObjectAnswers() const {
  std::lock_guard lock(mutex_);
  return singleObjectAnswers_;
}

int FullViewSwitches::failureOf(const std::string& virtualFolder) const {
  std::lock_guard lock(mutex_);
  const auto found = failingFolders_.find(virtualFolder);
  return found == failingFolders_.end() ? 0 : found->second;
}

void installSyncRoutes(TestServer& server) {
  auto& tree = server.state<ResourceTree>();
  auto& switches = server.state<FullViewSwitches>();
  server.route("GET", "/cloud/1/fullview",
               [&tree, &switches](const httplib::Request& request, httplib::Response& response) {
                 answerFullView(tree, switches, request, response);
               });
  server.route("GET", "/cloud/1/search",
               [&tree](const httplib::Request& request, httplib::Response& response) {
                 answerSearch(tree, request, response);
               });
}

}  // namespace testserver
