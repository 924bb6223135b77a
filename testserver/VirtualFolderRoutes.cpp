#include "testserver/VirtualFolderRoutes.h"

#include <nlohmann/json.hpp>
#include <string>

#include "testserver/AccountRoutes.h"
#include "testserver/ResourceTree.h"
#include "testserver/RouteSupport.h"

namespace testserver {
namespace {

using JSON = nlohmann::ordered_json;

// Runs `change` when the request is authorised, answering the tree's refusals with their status.
template <class Change>
void changeTree(const httplib::Request& request, httplib::Response& response, Change change) {
  if (bearerToken(request).empty()) {
    answerJSON(response, 401, {{"error", "invalid_token"}});
    return;
  }
  try {
    change();
  } catch (const TreeError& error) {
    answerJSON(response, error.status(), {{"error", error.what()}});
  }
}

bool isFolderName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

std::string text(const JSON& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

}  // namespace

void installVirtualFolderRoutes(TestServer& server) {
  auto& tree = server.state<ResourceTree>();
  server.route("POST", "/cloud/1/virtualfolder/(.*)",
               [&tree](const httplib::Request& request, httplib::Response& response) {
                 changeTree(request, response, [&] {
                   const std::string name = request.matches[1];
                   if (!isFolderName(name)) {
                     answerJSON(response, 400, {{"error", "bad name"}, {"name", name}});
                     return;
                   }
                   const std::string path = tree.addVirtualFolder(name);
                   answerJSON(response, 201, {{"folder", *tree.resourceObject(path)}});
                 });
               });
  server.route("PUT", "/cloud/1/virtualfolder",
               [&tree](const httplib::Request& request, httplib::Response& response) {
                 changeTree(request, response, [&] {
                   const JSON body = JSON::parse(request.body, nullptr, false);
                   const std::string src = body.is_object() ? text(body, "src") : "";
                   const std::string target = body.is_object() ? text(body, "target") : "";
                   if (!isFolderName(src) || !isFolderName(target)) {
                     answerJSON(response, 400, {{"error", "bad body"}});
                     return;
                   }
                   answerJSON(response, 200, {{"folder", tree.renameVirtualFolder(src, target)}});
                 });
               });
  server.route("DELETE", "/cloud/1/virtualfolder",
               [&tree](const httplib::Request& request, httplib::Response& response) {
                 changeTree(request, response, [&] {
                   const std::string name = request.get_param_value("name");
                   const std::string force = request.get_param_value("force");
                   if (!isFolderName(name)) {
                     answerJSON(response, 400, {{"error", "bad name"}, {"name", name}});
                     return;
                   }
                   tree.removeVirtualFolder(name, force == "1" || force == "true");
                   answerJSON(response, 200, JSON::object());
                 });
               });
}

}  // namespace testserver
