#include "testserver/TagRoutes.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "testserver/AccountRoutes.h"
#include "testserver/ResourceTree.h"
#include "testserver/RouteSupport.h"

namespace testserver {
namespace {

using JSON = nlohmann::ordered_json;

constexpr std::string_view kTagsPrefix = "/cloud/1/tags";

bool isLive(const std::optional<JSON>& object) {
  return object && !object->value("deleted", false);
}

// The tags text of a resource object; "" when it has none.
std::string tagsOf(const JSON& object) {
  const auto attributes = object.find("systemAttributes");
  if (attributes == object.end() || !attributes->is_object()) {
    return "";
  }
  const auto tags = attributes->find("Tags");
  return tags != attributes->end() && tags->is_string() ? tags->get<std::string>() : "";
}

// The path of the live item whose uri is `uri`.
std::optional<std::string> livePathOf(const ResourceTree& tree, const std::string& uri) {
  const auto path = tree.pathOfURI(uri);
  return path && isLive(tree.resourceObject(*path)) ? path : std::nullopt;
}

void setTags(ResourceTree& tree, const std::string& path, const std::string& tags) {
  tree.update(path, {{"systemAttributes", {{"Tags", tags}}}});
}

void readTags(const ResourceTree& tree, const httplib::Request& request,
              httplib::Response& response) {
  const std::string path = request.path.substr(kTagsPrefix.size());
  const auto object = tree.resourceObject(path);
  if (!isLive(object)) {
    answerJSON(response, 404, {{"error", "not found"}, {"path", path}});
    return;
  }
  answerJSON(response, 200, {{"Tags", tagsOf(*object)}});
}

void writeTags(ResourceTree& tree, const httplib::Request& request, httplib::Response& response) {
  const JSON body = JSON::parse(request.body, nullptr, false);
  if (!body.is_object() || !body.contains("uri") || !body["uri"].is_string() ||
      !body.contains("Tags") || !body["Tags"].is_string() ||
      !body.value("createVersion", JSON(true)).is_boolean()) {
    answerJSON(response, 400, {{"error", "bad body"}});
    return;
  }
  const auto path = livePathOf(tree, body["uri"].get<std::string>());
  if (!path) {
    answerJSON(response, 404, {{"error", "not found"}, {"uri", body["uri"]}});
    return;
  }
  setTags(tree, *path, body["Tags"].get<std::string>());
  answerJSON(response, 200, {{"Tags", body["Tags"]}});
}

void removeTags(ResourceTree& tree, const httplib::Request& request, httplib::Response& response) {
  const std::string createVersion = request.get_param_value("createVersion");
  if (!request.has_param("uri") || (createVersion != "1" && createVersion != "0")) {
    answerJSON(response, 400, {{"error", "bad query"}});
    return;
  }
  const auto path = livePathOf(tree, request.get_param_value("uri"));
  if (!path) {
    answerJSON(response, 404, {{"error", "not found"}});
    return;
  }
  setTags(tree, *path, "");
  response.status = 204;
}

}  // namespace

void installTagRoutes(TestServer& server) {
  auto& tree = server.state<ResourceTree>();
  server.route("GET", "/cloud/1/tags(/.*)",
               withBearer([&tree](const httplib::Request& request, httplib::Response& response) {
                 readTags(tree, request, response);
               }));
  server.route("PUT", "/cloud/1/tags",
               withBearer([&tree](const httplib::Request& request, httplib::Response& response) {
                 writeTags(tree, request, response);
               }));
  server.route("DELETE", "/cloud/1/tags",
               withBearer([&tree](const httplib::Request& request, httplib::Response& response) {
                 removeTags(tree, request, response);
               }));
}

}  // namespace testserver
