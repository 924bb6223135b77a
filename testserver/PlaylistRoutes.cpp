#include "testserver/PlaylistRoutes.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "testserver/AccountRoutes.h"
#include "testserver/PlaylistState.h"
#include "testserver/ResourceTree.h"
#include "testserver/RouteSupport.h"

namespace testserver {
namespace {

using JSON = PlaylistState::JSON;

void notFound(httplib::Response& response, const std::string& what) {
  answerJSON(response, 404, {{"error", "not found"}, {"what", what}});
}

void badRequest(httplib::Response& response, const std::string& why) {
  answerJSON(response, 400, {{"error", why}});
}

// The listing's sort and paging; nullopt for a bad paging value.
std::optional<PlaylistQuery> listingQuery(const httplib::Request& request) {
  PlaylistQuery query;
  // "name+asc" arrives as "name asc" once the query's "+" has been read as a space.
  const std::string sort = request.get_param_value("sort");
  const auto separator = sort.find_last_of("+ ");
  query.sortKey = sort.substr(0, separator);
  query.sortAscending = separator == std::string::npos || sort.substr(separator + 1) != "desc";
  const auto page = countParameter(request, "page", 0);
  const auto start = countParameter(request, "start", 0);
  const auto count = countParameter(request, "count", 0);
  if (!page || !start || !count) {
    return std::nullopt;
  }
  query.page = *page;
  query.start = *start;
  query.count = *count;
  return query;
}

// The list as the service answers it: a list, or its one element when single-object answers are
// on.
JSON listOrObject(const std::vector<JSON>& list, bool singleObjectAnswers) {
  if (singleObjectAnswers && list.size() == 1) {
    return list.front();
  }
  return JSON(list);
}

std::optional<JSON> objectBody(const httplib::Request& request) {
  JSON body = JSON::parse(request.body, nullptr, false);
  if (body.is_discarded() || !body.is_object()) {
    return std::nullopt;
  }
  return body;
}

bool nonEmptyText(const JSON& body, const char* key) {
  const auto found = body.find(key);
  return found != body.end() && found->is_string() && !found->get<std::string>().empty();
}

// The resource objects of `paths` (a list of text); nullopt, with the answer given, when one is
// not text or not in the tree.
std::optional<std::vector<JSON>> resourcesOf(const JSON& paths, const ResourceTree& tree,
                                             httplib::Response& response) {
  std::vector<JSON> resources;
  if (!paths.is_array()) {
    badRequest(response, "paths must be a list");
    return std::nullopt;
  }
  for (const auto& path : paths) {
    const auto resource =
        path.is_string() ? tree.resourceObject(path.get<std::string>()) : std::optional<JSON>();
    if (!resource) {
      badRequest(response, "no such file: " + path.dump());
      return std::nullopt;
    }
    resources.push_back(*resource);
  }
  return resources;
}

void addResources(PlaylistState& state, const std::string& uid,
                  const std::vector<JSON>& resources) {
  for (const auto& resource : resources) {
    state.addItem(uid, resource, "content of " + resource.value("path", std::string()));
  }
}

void answerDefinition(httplib::Response& response, int status, const PlaylistState& state,
                      const std::string& uid) {
  answerJSON(response, status, {{"playlistDefinition", *state.definition(uid)}});
}

void installPlaylistCollection(TestServer& server, PlaylistState& state, ResourceTree& tree) {
  server.route("GET", "/cloud/1/playlists",
               withBearer([&state](const httplib::Request& request, httplib::Response& response) {
                 const auto query = listingQuery(request);
                 if (!query) {
                   badRequest(response, "bad paging");
                   return;
                 }
                 const auto list = state.definitions(request.get_param_value("type"), *query);
                 answerJSON(
                     response, 200,
                     {{"playlistDefinitions",
                       {{"playlistDefinition", listOrObject(list, state.singleObjectAnswers())}}}});
               }));
  server.route(
      "POST", "/cloud/1/playlists",
      withBearer([&state, &tree](const httplib::Request& request, httplib::Response& response) {
        const auto body = objectBody(request);
        if (!body || !nonEmptyText(*body, "name") || !nonEmptyText(*body, "type")) {
          badRequest(response, "name and type required");
          return;
        }
        std::vector<JSON> resources;
        if (body->contains("paths")) {
          auto found = resourcesOf((*body)["paths"], tree, response);
          if (!found) {
            return;
          }
          resources = std::move(*found);
        }
        const std::string uid =
            state.addPlaylist({{"name", (*body)["name"]}, {"type", (*body)["type"]}});
        addResources(state, uid, resources);
        answerDefinition(response, 201, state, uid);
      }));
}

void installPlaylist(TestServer& server, PlaylistState& state) {
  server.route("GET", "/cloud/1/playlists/([^/]+)",
               withBearer([&state](const httplib::Request& request, httplib::Response& response) {
                 const std::string uid = request.matches[1];
                 if (!state.definition(uid)) {
                   notFound(response, uid);
                   return;
                 }
                 answerDefinition(response, 200, state, uid);
               }));
  server.route("PUT", "/cloud/1/playlists/([^/]+)",
               withBearer([&state](const httplib::Request& request, httplib::Response& response) {
                 const std::string uid = request.matches[1];
                 const auto body = objectBody(request);
                 if (!body || !nonEmptyText(*body, "name") || !nonEmptyText(*body, "type")) {
                   badRequest(response, "name and type required");
                   return;
                 }
                 if (!state.update(uid, {{"name", (*body)["name"]}, {"type", (*body)["type"]}})) {
                   notFound(response, uid);
                   return;
                 }
                 answerDefinition(response, 200, state, uid);
               }));
  server.route("DELETE", "/cloud/1/playlists/([^/]+)",
               withBearer([&state](const httplib::Request& request, httplib::Response& response) {
                 const std::string uid = request.matches[1];
                 if (!state.remove(uid)) {
                   notFound(response, uid);
                   return;
                 }
                 response.status = 204;
               }));
}

void installPlaylistItems(TestServer& server, PlaylistState& state, ResourceTree& tree) {
  server.route("GET", "/cloud/1/playlists/([^/]+)/items",
               withBearer([&state](const httplib::Request& request, httplib::Response& response) {
                 const std::string uid = request.matches[1];
                 const auto query = listingQuery(request);
                 if (!query) {
                   badRequest(response, "bad paging");
                   return;
                 }
                 const auto items = state.items(uid, *query);
                 if (!items) {
                   notFound(response, uid);
                   return;
                 }
                 answerJSON(
                     response, 200,
                     {{"playlist",
                       {{"playlistElement", listOrObject(*items, state.singleObjectAnswers())}}}});
               }));
  server.route(
      "PUT", "/cloud/1/playlists/([^/]+)/items",
      withBearer([&state, &tree](const httplib::Request& request, httplib::Response& response) {
        const std::string uid = request.matches[1];
        const auto body = objectBody(request);
        if (!body || !nonEmptyText(*body, "name") || !nonEmptyText(*body, "type")) {
          badRequest(response, "name and type required");
          return;
        }
        std::optional<std::vector<JSON>> resources;
        if (body->contains("paths")) {
          resources = resourcesOf((*body)["paths"], tree, response);
          if (!resources) {
            return;
          }
        }
        if (!state.update(uid, {{"name", (*body)["name"]}, {"type", (*body)["type"]}})) {
          notFound(response, uid);
          return;
        }
        if (resources) {
          state.clearItems(uid);
          addResources(state, uid, *resources);
        }
        answerDefinition(response, 200, state, uid);
      }));
  server.route(
      "POST", "/cloud/1/playlists/([^/]+)/items",
      withBearer([&state, &tree](const httplib::Request& request, httplib::Response& response) {
        const std::string uid = request.matches[1];
        const auto body = objectBody(request);
        if (!body || !body->contains("add")) {
          badRequest(response, "add required");
          return;
        }
        const auto resources = resourcesOf((*body)["add"], tree, response);
        if (!resources) {
          return;
        }
        if (!state.definition(uid)) {
          notFound(response, uid);
          return;
        }
        addResources(state, uid, *resources);
        answerJSON(response, 200, {{"paths", *resources}});
      }));
}

void installPlaylistItem(TestServer& server, PlaylistState& state) {
  server.route("GET", "/cloud/1/playlists/([^/]+)/items/([^/]+)",
               withBearer([&state](const httplib::Request& request, httplib::Response& response) {
                 const std::string uid = request.matches[1];
                 const std::string itemUID = request.matches[2];
                 const auto content = state.content(uid, itemUID);
                 if (!content) {
                   notFound(response, uid + "/" + itemUID);
                   return;
                 }
                 response.status = 200;
                 response.set_content(*content, "application/octet-stream");
               }));
  server.route("DELETE", "/cloud/1/playlists/([^/]+)/items/([^/]+)",
               withBearer([&state](const httplib::Request& request, httplib::Response& response) {
                 const std::string uid = request.matches[1];
                 const std::string itemUID = request.matches[2];
                 if (!state.removeItem(uid, itemUID)) {
                   notFound(response, uid + "/" + itemUID);
                   return;
                 }
                 response.status = 204;
               }));
}

}  // namespace

void installPlaylistRoutes(TestServer& server) {
  auto& state = server.state<PlaylistState>();
  auto& tree = server.state<ResourceTree>();
  installPlaylistCollection(server, state, tree);
  installPlaylist(server, state);
  installPlaylistItems(server, state, tree);
  installPlaylistItem(server, state);
}

}  // namespace testserver
