#include "testserver/TrashRoutes.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "testserver/AccountRoutes.h"
#include "testserver/ResourceTree.h"
#include "testserver/RouteSupport.h"

namespace testserver {
namespace {

using JSON = nlohmann::ordered_json;

// The virtual folder the request names, when the request is authorised and the folder exists;
// otherwise answers the request and gives "".
std::string virtualFolderOf(const ResourceTree& tree, const httplib::Request& request,
                            httplib::Response& response) {
  if (bearerToken(request).empty()) {
    answerJSON(response, 401, {{"error", "invalid_token"}});
    return "";
  }
  std::string name = request.get_param_value("virtualfolder");
  const auto names = tree.virtualFolderNames();
  if (name.empty() || std::find(names.begin(), names.end(), name) == names.end()) {
    answerJSON(response, 404, {{"error", "no virtual folder"}, {"virtualfolder", name}});
    return "";
  }
  return name;
}

bool isFolder(const JSON& object) {
  const auto uri = object.find("uri");
  return uri != object.end() && uri->is_string() &&
         uri->get_ref<const std::string&>().starts_with("cloud://folder/");
}

// 0 for an absent or null member, 1 for a number, 2 for anything else.
int rank(const JSON& object, const std::string& key) {
  const auto found = object.find(key);
  if (found == object.end() || found->is_null()) {
    return 0;
  }
  return found->is_number() ? 1 : 2;
}

bool memberLess(const JSON& a, const JSON& b, const std::string& key) {
  const int rankA = rank(a, key);
  const int rankB = rank(b, key);
  if (rankA != rankB || rankA == 0) {
    return rankA < rankB;
  }
  if (rankA == 1) {
    return a.at(key).get<double>() < b.at(key).get<double>();
  }
  const JSON& valueA = a.at(key);
  const JSON& valueB = b.at(key);
  return valueA.is_string() && valueB.is_string()
             ? valueA.get_ref<const std::string&>() < valueB.get_ref<const std::string&>()
             : valueA.dump() < valueB.dump();
}

// "name+asc" arrives as "name asc" once the query's "+" has been read as a space.
void sortBy(std::vector<JSON>& items, const std::string& sort) {
  if (sort.empty()) {
    return;
  }
  const auto separator = sort.find_last_of("+ ");
  const std::string key = sort.substr(0, separator);
  const bool descending = separator != std::string::npos && sort.substr(separator + 1) == "desc";
  std::stable_sort(items.begin(), items.end(), [&](const JSON& a, const JSON& b) {
    return descending ? memberLess(b, a, key) : memberLess(a, b, key);
  });
}

void listTrash(const ResourceTree& tree, const httplib::Request& request,
               httplib::Response& response) {
  const std::string name = virtualFolderOf(tree, request, response);
  if (name.empty()) {
    return;
  }
  const std::string filter = request.get_param_value("filter");
  const std::string deep = request.get_param_value("deep");
  if ((!filter.empty() && filter != "file" && filter != "folder") ||
      (!deep.empty() && deep != "true" && deep != "false")) {
    answerJSON(response, 400, {{"error", "bad query"}});
    return;
  }
  std::vector<JSON> files;
  std::vector<JSON> folders;
  for (auto& item : tree.trash(name, deep == "true")) {
    (isFolder(item) ? folders : files).push_back(std::move(item));
  }
  if (filter == "file") {
    folders.clear();
  } else if (filter == "folder") {
    files.clear();
  }
  const std::string sort = request.get_param_value("sort");
  sortBy(files, sort);
  sortBy(folders, sort);
  JSON trashCan = {{"file", JSON::array()}, {"folder", JSON::array()}};
  for (auto& file : files) {
    trashCan["file"].push_back(std::move(file));
  }
  for (auto& folder : folders) {
    trashCan["folder"].push_back(std::move(folder));
  }
  answerJSON(response, 200, {{"trashCan", std::move(trashCan)}});
}

}  // namespace

void installTrashRoutes(TestServer& server) {
  auto& tree = server.state<ResourceTree>();
  server.route("GET", "/cloud/1/trash",
               [&tree](const httplib::Request& request, httplib::Response& response) {
                 listTrash(tree, request, response);
               });
  server.route("DELETE", "/cloud/1/trash",
               [&tree](const httplib::Request& request, httplib::Response& response) {
                 const std::string name = virtualFolderOf(tree, request, response);
                 if (!name.empty()) {
                   answerJSON(response, 200, {{"count", tree.emptyTrash(name)}});
                 }
               });
}

}  // namespace testserver
