#include "testserver/FavoriteRoutes.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "testserver/AccountRoutes.h"
#include "testserver/ResourceTree.h"
#include "testserver/RouteSupport.h"

namespace testserver {
namespace {

using JSON = nlohmann::ordered_json;

// The virtual folder a path lies in: its first component.
std::string virtualFolderOf(const std::string& path) {
  const auto end = path.find('/', 1);
  return path.substr(1, end == std::string::npos ? std::string::npos : end - 1);
}

// Which favorites a listing asks for.
struct Kind {
  bool folders = true;
  bool files = true;
  std::string mimePrefix;  // "" for every file
  bool documents = false;  // files of no image, audio or video type
};

std::optional<Kind> kindOf(const httplib::Request& request) {
  const bool hasType = request.has_param("type");
  const bool hasFileType = request.has_param("filetype");
  if (hasType && hasFileType) {
    return std::nullopt;
  }
  if (hasType) {
    const std::string type = request.get_param_value("type");
    if (type == "filefolder") {
      return Kind{};
    }
    if (type == "file" || type == "folder") {
      return Kind{.folders = type == "folder", .files = type == "file"};
    }
    return std::nullopt;
  }
  if (hasFileType) {
    const std::string fileType = request.get_param_value("filetype");
    Kind kind{.folders = false};
    if (fileType == "image") {
      kind.mimePrefix = "image/";
    } else if (fileType == "music") {
      kind.mimePrefix = "audio/";
    } else if (fileType == "video") {
      kind.mimePrefix = "video/";
    } else if (fileType == "documents") {
      kind.documents = true;
    } else {
      return std::nullopt;
    }
    return kind;
  }
  return Kind{};
}

bool fileMatches(const Kind& kind, const JSON& object) {
  const std::string mimeType = object.value("mimeType", "");
  const auto startsWith = [&](const char* prefix) { return mimeType.rfind(prefix, 0) == 0; };
  if (kind.documents) {
    return !startsWith("image/") && !startsWith("audio/") && !startsWith("video/");
  }
  return startsWith(kind.mimePrefix.c_str());
}

bool isFolder(const JSON& object) {
  // The tree gives folders uris of their own form.
  return object.value("uri", "").rfind("cloud://folder/", 0) == 0;
}

void listFavorites(ResourceTree& tree, const FavoriteState& state, const httplib::Request& request,
                   httplib::Response& response) {
  const std::string virtualFolder = request.get_param_value("virtualfolder");
  const auto kind = kindOf(request);
  if (virtualFolder.empty() || !kind) {
    answerJSON(response, 400, {{"error", "bad query"}});
    return;
  }
  const auto names = tree.virtualFolderNames();
  if (std::find(names.begin(), names.end(), virtualFolder) == names.end()) {
    answerJSON(response, 404, {{"error", "not found"}, {"virtualfolder", virtualFolder}});
    return;
  }
  const auto marked = state.marked(virtualFolder);
  JSON files = JSON::array();
  JSON folders = JSON::array();
  for (auto& item : tree.liveItems(virtualFolder)) {
    if (!marked.contains(item.value("uri", ""))) {
      continue;
    }
    if (isFolder(item)) {
      if (kind->folders) {
        folders.push_back(std::move(item));
      }
    } else if (kind->files && fileMatches(*kind, item)) {
      files.push_back(std::move(item));
    }
  }
  answerJSON(response, 200,
             {{"favorites", {{"file", std::move(files)}, {"folder", std::move(folders)}}}});
}

void markFavorites(const ResourceTree& tree, FavoriteState& state, const httplib::Request& request,
                   httplib::Response& response) {
  const JSON body = JSON::parse(request.body, nullptr, false);
  if (!body.is_object() || !body.contains("uri") || !body["uri"].is_array() ||
      body["uri"].empty() || !body.value("createVersion", JSON(true)).is_boolean()) {
    answerJSON(response, 400, {{"error", "bad body"}});
    return;
  }
  std::vector<std::pair<std::string, std::string>> marks;  // (virtual folder, uri)
  for (const auto& uri : body["uri"]) {
    const auto path = uri.is_string() ? tree.pathOfURI(uri.get<std::string>()) : std::nullopt;
    const auto object = path ? tree.resourceObject(*path) : std::nullopt;
    if (!object || object->value("deleted", false)) {
      answerJSON(response, 404, {{"error", "not found"}, {"uri", uri}});
      return;
    }
    marks.emplace_back(virtualFolderOf(*path), uri.get<std::string>());
  }
  for (const auto& [virtualFolder, uri] : marks) {
    state.mark(virtualFolder, uri);
  }
  response.status = 204;
}

void unmarkFavorite(FavoriteState& state, const httplib::Request& request,
                    httplib::Response& response) {
  const std::string createVersion = request.get_param_value("createVersion");
  if (!request.has_param("uri") || (createVersion != "1" && createVersion != "0")) {
    answerJSON(response, 400, {{"error", "bad query"}});
    return;
  }
  if (!state.unmark(request.get_param_value("uri"))) {
    answerJSON(response, 404, {{"error", "not a favorite"}});
    return;
  }
  response.status = 204;
}

}  // namespace

void FavoriteState::mark(const std::string& virtualFolder, const std::string& uri) {
  std::lock_guard lock(mutex_);
  byVirtualFolder_[virtualFolder].insert(uri);
}

bool FavoriteState::unmark(const std::string& uri) {
  std::lock_guard lock(mutex_);
  bool found = false;
  for (auto& [virtualFolder, uris] : byVirtualFolder_) {
    found = uris.erase(uri) > 0 || found;
  }
  return found;
}

std::set<std::string> FavoriteState::marked(const std::string& virtualFolder) const {
  std::lock_guard lock(mutex_);
  const auto found = byVirtualFolder_.find(virtualFolder);
  return found == byVirtualFolder_.end() ? std::set<std::string>() : found->second;
}

void installFavoriteRoutes(TestServer& server) {
  auto& tree = server.state<ResourceTree>();
  auto& state = server.state<FavoriteState>();
  server.route(
      "GET", "/cloud/1/favorites",
      withBearer([&tree, &state](const httplib::Request& request, httplib::Response& response) {
        listFavorites(tree, state, request, response);
      }));
  server.route(
      "PUT", "/cloud/1/favorites",
      withBearer([&tree, &state](const httplib::Request& request, httplib::Response& response) {
        markFavorites(tree, state, request, response);
      }));
  server.route("DELETE", "/cloud/1/favorites",
               withBearer([&state](const httplib::Request& request, httplib::Response& response) {
                 unmarkFavorite(state, request, response);
               }));
}

}  // namespace testserver
