#include "testserver/FileRoutes.h"

#include <algorithm>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "testserver/AccountRoutes.h"
#include "testserver/ResourceTree.h"
#include "testserver/RouteSupport.h"

namespace testserver {
namespace {

using JSON = nlohmann::ordered_json;

// What one read of a file's content asks the tree for while streaming it.
constexpr int64_t kPieceSize = int64_t{1} << 20;

// Runs a change of the tree and answers `status` with the body it makes, or the refusal.
template <class Change>
void answerChange(httplib::Response& response, int status, Change change) {
  try {
    const JSON body = change();
    if (body.is_null()) {
      response.status = status;
    } else {
      answerJSON(response, status, body);
    }
  } catch (const TreeError& error) {
    answerJSON(response, error.status(), {{"error", error.what()}});
  }
}

// The request's JSON object; nullopt (with the answer written) for another content type or body.
std::optional<JSON> jsonBody(const httplib::Request& request, httplib::Response& response) {
  if (!request.get_header_value("Content-Type").starts_with("application/json")) {
    answerJSON(response, 415, {{"error", "JSON body expected"}});
    return std::nullopt;
  }
  JSON body = JSON::parse(request.body, nullptr, false);
  if (!body.is_object()) {
    answerJSON(response, 400, {{"error", "body is no JSON object"}});
    return std::nullopt;
  }
  return body;
}

// The texts of `keys` in `body`; nullopt (with a 400 written) when one is missing or no text.
std::optional<std::vector<std::string>> texts(const JSON& body,
                                              std::initializer_list<const char*> keys,
                                              httplib::Response& response) {
  std::vector<std::string> values;
  for (const char* key : keys) {
    const auto found = body.find(key);
    if (found == body.end() || !found->is_string()) {
      answerJSON(response, 400, {{"error", std::string("missing ") + key}});
      return std::nullopt;
    }
    values.push_back(found->get<std::string>());
  }
  return values;
}

// Streams `length` bytes read from the tree piece by piece, with or without a Content-Length.
void streamContent(const ResourceTree& tree, const std::string& path, int64_t length,
                   const std::string& mimeType, bool knownLength, httplib::Response& response) {
  const auto piece = [&tree, path](size_t offset, int64_t want, httplib::DataSink& sink) {
    const auto bytes =
        tree.readContent(path, static_cast<int64_t>(offset), std::min(want, kPieceSize));
    return bytes && !bytes->empty() && sink.write(bytes->data(), bytes->size());
  };
  if (knownLength) {
    response.set_content_provider(static_cast<size_t>(length), mimeType,
                                  [piece](size_t offset, size_t want, httplib::DataSink& sink) {
                                    return piece(offset, static_cast<int64_t>(want), sink);
                                  });
    return;
  }
  response.set_chunked_content_provider(
      mimeType, [piece, length](size_t offset, httplib::DataSink& sink) {
        if (static_cast<int64_t>(offset) >= length) {
          sink.done();
          return true;
        }
        return piece(offset, length - static_cast<int64_t>(offset), sink);
      });
}

void answerBytes(httplib::Response& response, std::string bytes, const std::string& mimeType,
                 bool knownLength) {
  if (knownLength) {
    response.set_content(bytes, mimeType);
    return;
  }
  response.set_chunked_content_provider(
      mimeType, [bytes = std::move(bytes)](size_t offset, httplib::DataSink& sink) {
        if (offset < bytes.size() && !sink.write(bytes.data() + offset, bytes.size() - offset)) {
          return false;
        }
        sink.done();
        return true;
      });
}

void serveFile(const ResourceTree& tree, const FileRouteSettings& settings,
               const httplib::Request& request, httplib::Response& response) {
  const std::string path = request.matches[1];
  const auto length = tree.contentLength(path);
  const auto object = tree.resourceObject(path);
  if (!length || !object) {
    answerJSON(response, 404, {{"error", "no such file"}, {"path", path}});
    return;
  }
  const std::string mimeType = object->value("mimeType", "application/octet-stream");
  streamContent(tree, path, *length, mimeType, settings.knownLength(), response);
}

// A whole decimal number above 0; nullopt for anything else.
std::optional<int64_t> positive(const std::string& text) {
  const auto value = wholeNumber(text);
  return value && *value > 0 ? value : std::nullopt;
}

// "xs", "s" or "m" as given, or "<w>x<h>"; nullopt when the query names neither properly.
std::optional<std::string> thumbnailDimensions(const httplib::Request& request) {
  if (request.has_param("size")) {
    std::string size = request.get_param_value("size");
    std::string lower = size;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower != "xs" && lower != "s" && lower != "m") {
      return std::nullopt;
    }
    return size;
  }
  const auto width = positive(request.get_param_value("tw"));
  const auto height = positive(request.get_param_value("th"));
  if (!width || !height) {
    return std::nullopt;
  }
  return std::to_string(*width) + "x" + std::to_string(*height);
}

void serveThumbnail(const ResourceTree& tree, const FileRouteSettings& settings,
                    const httplib::Request& request, httplib::Response& response) {
  const std::string token = request.matches[1];
  const auto items = tree.liveItems();
  const bool known = std::any_of(items.begin(), items.end(), [&token](const JSON& item) {
    const auto found = item.find("contentToken");
    return found != item.end() && found->is_string() && *found == token;
  });
  if (!known) {
    answerJSON(response, 404, {{"error", "no such content"}, {"contentToken", token}});
    return;
  }
  const auto dimensions = thumbnailDimensions(request);
  if (!dimensions) {
    answerJSON(response, 400, {{"error", "size, or tw and th, required"}});
    return;
  }
  answerBytes(response, thumbnailBody(token, *dimensions), "image/jpeg", settings.knownLength());
}

std::string lastComponent(const std::string& path) { return path.substr(path.rfind('/') + 1); }

void installFileOperations(TestServer& server, ResourceTree& tree) {
  server.route("POST", "/cloud/1/fops/createfolder",
               [&tree](const httplib::Request& request, httplib::Response& response) {
                 const auto body =
                     authorised(request, response) ? jsonBody(request, response) : std::nullopt;
                 const auto fields = body ? texts(*body, {"path", "name"}, response) : std::nullopt;
                 if (fields) {
                   answerChange(response, 201, [&] {
                     return JSON{{"folder", tree.createFolder((*fields)[0], (*fields)[1])}};
                   });
                 }
               });
  for (const char* operation : {"copy", "move", "rename"}) {
    const std::string name = operation;
    server.route(
        "POST", "/cloud/1/fops/" + name,
        [&tree, name](const httplib::Request& request, httplib::Response& response) {
          const auto body =
              authorised(request, response) ? jsonBody(request, response) : std::nullopt;
          const auto fields = body ? texts(*body, {"src", "target"}, response) : std::nullopt;
          if (!fields) {
            return;
          }
          const std::string& source = (*fields)[0];
          const std::string& target = (*fields)[1];
          answerChange(response, 200, [&] {
            if (name == "copy") {
              return JSON{{"folder", tree.copy(source, target)}};
            }
            if (name == "move") {
              return JSON{{"folder", tree.move(source, target)}};
            }
            JSON item = tree.rename(source, lastComponent(target));
            const char* kind = item.contains("contentToken") ? "file" : "folder";
            return JSON{{kind, std::move(item)}};
          });
        });
  }
  server.route("DELETE", "/cloud/1/fops/delete",
               [&tree](const httplib::Request& request, httplib::Response& response) {
                 if (!authorised(request, response)) {
                   return;
                 }
                 const std::string purge = request.get_param_value("purge");
                 if (!request.has_param("path") || (purge != "true" && purge != "false")) {
                   answerJSON(response, 400, {{"error", "path and purge required"}});
                   return;
                 }
                 answerChange(response, 204, [&] {
                   tree.remove(request.get_param_value("path"), purge == "true");
                   return JSON();
                 });
               });
  server.route("POST", "/cloud/1/fops/restore",
               [&tree](const httplib::Request& request, httplib::Response& response) {
                 const auto body =
                     authorised(request, response) ? jsonBody(request, response) : std::nullopt;
                 if (!body) {
                   return;
                 }
                 const auto paths = body->find("path");
                 if (paths == body->end() || !paths->is_array() || paths->empty() ||
                     !std::all_of(paths->begin(), paths->end(),
                                  [](const JSON& p) { return p.is_string(); })) {
                   answerJSON(response, 400, {{"error", "path must list paths"}});
                   return;
                 }
                 for (const auto& path : *paths) {
                   const auto object = tree.resourceObject(path.get<std::string>());
                   if (!object || object->value("deleted", false) != true) {
                     answerJSON(response, 404, {{"error", "not in the trash"}, {"path", path}});
                     return;
                   }
                 }
                 answerChange(response, 204, [&] {
                   for (const auto& path : *paths) {
                     tree.restore(path.get<std::string>());
                   }
                   return JSON();
                 });
               });
}

}  // namespace

std::string thumbnailBody(const std::string& contentToken, const std::string& dimensions) {
  return "thumbnail " + contentToken + " " + dimensions;
}

void installFileRoutes(TestServer& server) {
  auto& tree = server.state<ResourceTree>();
  auto& settings = server.state<FileRouteSettings>();
  server.route("GET", "/cloud/1/files(/.*)",
               [&tree, &settings](const httplib::Request& request, httplib::Response& response) {
                 if (authorised(request, response)) {
                   serveFile(tree, settings, request, response);
                 }
               });
  server.route("GET", "/cloud/1/thumbnails/(.+)",
               [&tree, &settings](const httplib::Request& request, httplib::Response& response) {
                 if (authorised(request, response)) {
                   serveThumbnail(tree, settings, request, response);
                 }
               });
  installFileOperations(server, tree);
}

}  // namespace testserver
