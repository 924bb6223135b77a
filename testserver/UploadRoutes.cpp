#include "testserver/UploadRoutes.h"

#include <stdlib.h>

#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <utility>

#include "testserver/OAuthState.h"
#include "testserver/ResourceTree.h"
#include "testserver/RouteSupport.h"
#include "testserver/Sha256.h"

namespace testserver {
namespace {

namespace fs = std::filesystem;
using JSON = nlohmann::ordered_json;

constexpr size_t kCopyBlock = size_t{1} << 20;

void refuse(httplib::Response& response, int status, const std::string& error) {
  answerJSON(response, status, {{"error", error}});
}

// A whole decimal number of at least `minimum`; nullopt for anything else.
std::optional<int64_t> number(const std::string& text, int64_t minimum) {
  const auto value = wholeNumber(text);
  return value && *value >= minimum ? value : std::nullopt;
}

bool isChecksum(const std::string& text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// The signature an upload's URLs carry: it holds a "/", which the URLs give escaped, so a client
// that escapes the server's URL again sends something else.
std::string signatureOf(int64_t id) { return "s/" + std::to_string(id); }
std::string escapedSignatureOf(int64_t id) { return "s%2F" + std::to_string(id); }

std::string filePathOf(const UploadState::Upload& upload) {
  return (upload.folder == "/" ? "" : upload.folder) + "/" + upload.name;
}

void writeFile(const fs::path& path, std::string_view bytes) {
  const fs::path partial = path.string() + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      throw std::runtime_error("cannot write " + partial.string());
    }
  }
  fs::rename(partial, path);
}

// The upload a byte POST or commit names, checked; nullopt (with the answer set) when refused.
std::optional<UploadState::Upload> knownUpload(UploadState& state, const httplib::Request& request,
                                               httplib::Response& response) {
  const auto id = number(request.matches[1].str(), 1);
  auto upload = id ? state.upload(*id) : std::nullopt;
  if (!upload) {
    refuse(response, 404, "no such upload");
    return std::nullopt;
  }
  if (request.get_param_value("uploadid") != std::to_string(upload->id) ||
      request.get_param_value("sig") != signatureOf(upload->id)) {
    refuse(response, 403, "the upload URL was changed");
    return std::nullopt;
  }
  if (upload->stored) {
    refuse(response, 409, "the upload is stored already");
    return std::nullopt;
  }
  return upload;
}

// Puts the file in the tree from `content` and answers it.
void store(UploadState& state, ResourceTree& tree, const UploadState::Upload& upload,
           const fs::path& content, httplib::Response& response) {
  try {
    JSON file = tree.putFile(filePathOf(upload), content, upload.size, upload.checksum);
    state.markStored(upload.id);
    answerJSON(response, 201, {{"file", std::move(file)}});
  } catch (const TreeError& error) {
    refuse(response, error.status(), error.what());
  }
}

void answerIntent(TestServer& server, UploadState& state, ResourceTree& tree,
                  const httplib::Request& request, httplib::Response& response) {
  const std::string folder = request.get_param_value("path");
  const std::string name = request.get_param_value("name");
  const auto size = number(request.get_param_value("size"), 1);
  const std::string checksum = request.get_param_value("checksum");
  const std::string chunk = request.get_param_value("chunk");
  if (folder.empty() || folder.front() != '/' || name.empty() || name == "." || name == ".." ||
      name.find('/') != std::string::npos || !size || !isChecksum(checksum) ||
      (chunk != "true" && chunk != "false")) {
    refuse(response, 400, "bad upload intent");
    return;
  }
  if (!tree.listing(ListingQuery{.path = folder, .count = 1})) {
    refuse(response, 404, "no folder " + folder);
    return;
  }
  const auto upload = state.announce(folder, name, *size, checksum, chunk == "true");
  for (auto& [step, answer] : state.takeFailuresForUpload()) {
    server.scriptOnce(
        "POST",
        step == UploadStep::Bytes ? uploadBytesPath(upload.id) : uploadCommitPath(upload.id),
        std::move(answer));
  }
  const std::string base = "http://" + request.get_header_value("Host");
  const std::string query =
      "?uploadid=" + std::to_string(upload.id) + "&sig=" + escapedSignatureOf(upload.id);
  JSON urls = {{"uploadurl", base + uploadBytesPath(upload.id) + query}};
  if (upload.chunked) {
    urls["commiturl"] = base + uploadCommitPath(upload.id) + query;
  }
  answerJSON(response, 200, {{"uploadurls", std::move(urls)}});
}

void answerWholeFile(UploadState& state, ResourceTree& tree, const UploadState::Upload& upload,
                     const httplib::Request& request, httplib::Response& response) {
  const LoggedRequest* received = TestServer::currentRequest();
  if (request.get_param_value("checksum") != upload.checksum) {
    refuse(response, 400, "the checksum is not the intent's");
    return;
  }
  if (received->bodyLength != upload.size) {
    refuse(response, 400, "the body is not the intent's size");
    return;
  }
  if (received->bodySha256 != upload.checksum) {
    refuse(response, 400, "the body does not match the checksum");
    return;
  }
  const std::string_view body = TestServer::currentBody();
  if (static_cast<int64_t>(body.size()) != upload.size) {
    refuse(response, 413, "the body is too large for the test server");
    return;
  }
  const fs::path file = state.wholeFile(upload.id);
  writeFile(file, body);
  store(state, tree, upload, file, response);
}

void answerChunk(UploadState& state, const UploadState::Upload& upload,
                 const httplib::Request& request, httplib::Response& response) {
  const auto offset = number(request.get_param_value("offset"), 1);
  const std::string_view body = TestServer::currentBody();
  const int64_t length = TestServer::currentRequest()->bodyLength;
  if (!offset || *offset > upload.size || length < 1 || length > upload.size) {
    refuse(response, 400, "bad chunk");
    return;
  }
  if (static_cast<int64_t>(body.size()) != length) {
    refuse(response, 413, "the chunk is too large for the test server");
    return;
  }
  if (!state.keepChunk(upload.id, *offset, body)) {
    refuse(response, 409, "the upload is stored already");
    return;
  }
  answerJSON(response, 201, {{"offset", *offset}, {"size", length}});
}

// Puts the chunks together in order into one file, hashing them on the way; the error, or "".
std::string assemble(const UploadState& state, const UploadState::Upload& upload,
                     const fs::path& target) {
  const auto& sizes = upload.chunkSizes;
  if (sizes.empty() || sizes.begin()->first != 1 ||
      sizes.rbegin()->first != static_cast<int64_t>(sizes.size())) {
    return "chunks are missing";
  }
  int64_t total = 0;
  const int64_t chunkSize = sizes.begin()->second;
  for (const auto& [offset, size] : sizes) {
    total += size;
    if (size > chunkSize || (size != chunkSize && offset != sizes.rbegin()->first)) {
      return "chunk " + std::to_string(offset) + " has the wrong size";
    }
  }
  if (total != upload.size) {
    return "the chunks are not the intent's size";
  }
  Sha256 hash;
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  const auto buffer = std::make_unique<char[]>(kCopyBlock);
  for (const auto& [offset, size] : sizes) {
    std::ifstream in(state.chunkFile(upload.id, offset), std::ios::binary);
    while (in) {
      in.read(buffer.get(), static_cast<std::streamsize>(kCopyBlock));
      const auto got = static_cast<size_t>(in.gcount());
      hash.update(buffer.get(), got);
      out.write(buffer.get(), static_cast<std::streamsize>(got));
    }
  }
  out.close();
  if (!out) {
    return "the file could not be put together";
  }
  return hash.finishHex() == upload.checksum ? "" : "the chunks do not match the checksum";
}

void answerCommit(UploadState& state, ResourceTree& tree, const UploadState::Upload& upload,
                  httplib::Response& response) {
  if (!upload.chunked) {
    refuse(response, 400, "not a chunked upload");
    return;
  }
  if (TestServer::currentRequest()->bodyLength != 0) {
    refuse(response, 400, "a commit has no body");
    return;
  }
  const fs::path file = state.wholeFile(upload.id);
  if (const std::string error = assemble(state, upload, file); !error.empty()) {
    std::error_code ignored;
    fs::remove(file, ignored);
    refuse(response, 400, error);
    return;
  }
  store(state, tree, upload, file, response);
}

}  // namespace

std::string uploadBytesPath(int64_t uploadID) {
  return "/cloud/1/fileupload/upload/" + std::to_string(uploadID);
}

std::string uploadCommitPath(int64_t uploadID) {
  return "/cloud/1/fileupload/commit/" + std::to_string(uploadID);
}

UploadState::UploadState() {
  std::string pattern = (fs::temp_directory_path() / "quenlar-uploads-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("the test server cannot make a directory for uploads");
  }
  directory_ = pattern;
}

UploadState::~UploadState() {
  std::error_code ignored;
  fs::remove_all(directory_, ignored);
}

void UploadState::attach(TestServer& server) {
  std::lock_guard lock(mutex_);
  server_ = &server;
}

void UploadState::failNext(UploadStep step, Answer answer) {
  TestServer* server = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (step != UploadStep::Intent) {
      failures_.emplace_back(step, std::move(answer));
      return;
    }
    server = server_;
  }
  if (server == nullptr) {
    throw std::logic_error("the upload routes are not installed");
  }
  server->scriptOnce("GET", kUploadIntentPath, std::move(answer));
}

std::vector<std::pair<UploadStep, Answer>> UploadState::takeFailuresForUpload() {
  std::lock_guard lock(mutex_);
  std::vector<std::pair<UploadStep, Answer>> taken(std::make_move_iterator(failures_.begin()),
                                                   std::make_move_iterator(failures_.end()));
  failures_.clear();
  return taken;
}

std::vector<UploadState::Upload> UploadState::uploads() const {
  std::lock_guard lock(mutex_);
  std::vector<Upload> all;
  for (const auto& [id, upload] : uploads_) {
    all.push_back(upload);
  }
  return all;
}

std::optional<UploadState::Upload> UploadState::upload(int64_t id) const {
  std::lock_guard lock(mutex_);
  const auto found = uploads_.find(id);
  return found == uploads_.end() ? std::nullopt : std::optional(found->second);
}

UploadState::Upload UploadState::announce(std::string folder, std::string name, int64_t size,
                                          std::string checksum, bool chunked) {
  std::lock_guard lock(mutex_);
  const int64_t id = nextID_++;
  Upload upload{.id = id,
                .folder = std::move(folder),
                .name = std::move(name),
                .size = size,
                .checksum = std::move(checksum),
                .chunked = chunked};
  uploads_.emplace(id, upload);
  return upload;
}

bool UploadState::keepChunk(int64_t id, int64_t offset, std::string_view bytes) {
  {
    std::lock_guard lock(mutex_);
    const auto found = uploads_.find(id);
    if (found == uploads_.end() || found->second.stored) {
      return false;
    }
  }
  // Written outside the lock, so chunks that arrive together are written together.
  const fs::path file = chunkFile(id, offset);
  fs::create_directories(file.parent_path());
  writeFile(file, bytes);
  std::lock_guard lock(mutex_);
  const auto found = uploads_.find(id);
  if (found == uploads_.end() || found->second.stored) {
    return false;
  }
  found->second.chunkSizes[offset] = static_cast<int64_t>(bytes.size());
  return true;
}

fs::path UploadState::chunkFile(int64_t id, int64_t offset) const {
  return directory_ / std::to_string(id) / std::to_string(offset);
}

fs::path UploadState::wholeFile(int64_t id) const {
  return directory_ / (std::to_string(id) + ".file");
}

bool UploadState::markStored(int64_t id) {
  {
    std::lock_guard lock(mutex_);
    const auto found = uploads_.find(id);
    if (found == uploads_.end() || found->second.stored) {
      return false;
    }
    found->second.stored = true;
  }
  std::error_code ignored;
  fs::remove_all(directory_ / std::to_string(id), ignored);
  return true;
}

void installUploadRoutes(TestServer& server) {
  auto& state = server.state<UploadState>();
  auto& tree = server.state<ResourceTree>();
  auto& oauth = server.state<OAuthState>();
  state.attach(server);
  server.route("GET", kUploadIntentPath,
               [&server, &state, &tree, &oauth](const httplib::Request& request,
                                                httplib::Response& response) {
                 if (oauth.checkBearer(request, response)) {
                   answerIntent(server, state, tree, request, response);
                 }
               });
  server.route(
      "POST", R"(/cloud/1/fileupload/upload/(\d+))",
      [&state, &tree, &oauth](const httplib::Request& request, httplib::Response& response) {
        if (!oauth.checkBearer(request, response)) {
          return;
        }
        if (const auto upload = knownUpload(state, request, response)) {
          if (upload->chunked) {
            answerChunk(state, *upload, request, response);
          } else {
            answerWholeFile(state, tree, *upload, request, response);
          }
        }
      });
  server.route(
      "POST", R"(/cloud/1/fileupload/commit/(\d+))",
      [&state, &tree, &oauth](const httplib::Request& request, httplib::Response& response) {
        if (!oauth.checkBearer(request, response)) {
          return;
        }
        if (const auto upload = knownUpload(state, request, response)) {
          answerCommit(state, tree, *upload, response);
        }
      });
}

}  // namespace testserver
