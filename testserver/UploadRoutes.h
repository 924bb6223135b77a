// The upload endpoints of the stand-in cloud service:
//
//   GET  /cloud/1/fileupload/intent?path=&name=&size=&checksum=&chunk=true|false
//        200 {"uploadurls": {"uploadurl": ..., "commiturl": ... (chunked only)}}. The URLs carry a
//        query of their own already ("uploadid" and a "sig" holding an escaped "/"), which the
//        server checks on every later step, so a client that escapes them again is refused (403).
//   POST <uploadurl>&checksum=<sha256>   the whole file: 201 {"file": <resource object>} once its
//        length and SHA-256 match the intent's; the file is then in the resource tree (a new
//        version when the name exists).
//   POST <uploadurl>&offset=<n>          chunk n (from 1): 201 {"offset": n, "size": bytes}. Chunks
//        arrive in any order and side by side; a chunk sent again replaces the earlier one.
//   POST <commiturl>                     no body: 201 {"file": ...} once the chunks are 1..k with
//        equal sizes but the last, their bytes add up to the intent's size and hash to its
//        checksum; the file is then in the resource tree.
//
// Every step wants an access token that the OAuth state accepts (401 otherwise), and answers 400
// for a bad query or body, 404 for a missing folder or upload, 409 for an upload already stored.
// Bytes are kept in files on disk, in a directory the state owns, never whole in memory.
//
// Failures on demand: failNext() makes the next request of a step fail as a scripted Answer says,
// a status or a connection dropped while the client is still sending (Answer::dropAfterBodyBytes).
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "testserver/Answer.h"
#include "testserver/TestServer.h"

namespace testserver {

inline constexpr const char* kUploadIntentPath = "/cloud/1/fileupload/intent";

// The paths (without query) of an upload's byte POSTs and of its commit.
std::string uploadBytesPath(int64_t uploadID);
std::string uploadCommitPath(int64_t uploadID);

enum class UploadStep { Intent, Bytes, Commit };

class UploadState {
 public:
  // What the server knows of one upload.
  struct Upload {
    int64_t id = 0;
    std::string folder;
    std::string name;
    int64_t size = 0;
    std::string checksum;
    bool chunked = false;
    std::map<int64_t, int64_t> chunkSizes;  // offset -> bytes, of the chunks received
    bool stored = false;
  };

  UploadState();
  ~UploadState();
  // The server whose scripts failNext() fills; installUploadRoutes() sets it.
  void attach(TestServer& server);
  UploadState(const UploadState&) = delete;
  UploadState& operator=(const UploadState&) = delete;

  // The next request of `step` is answered with `answer` instead: the intent's at once, the byte
  // POST's or commit's of the next upload that an intent announces (its first byte POST, in
  // whatever order chunks arrive).
  void failNext(UploadStep step, Answer answer);

  // Every upload announced so far, by id (ids count from 1).
  std::vector<Upload> uploads() const;
  std::optional<Upload> upload(int64_t id) const;

  // ---- For the routes ----

  Upload announce(std::string folder, std::string name, int64_t size, std::string checksum,
                  bool chunked);
  // The failures to script for a newly announced upload, taken out.
  std::vector<std::pair<UploadStep, Answer>> takeFailuresForUpload();
  // Keeps chunk `offset` of an upload from `bytes`; false when the upload is unknown or stored.
  bool keepChunk(int64_t id, int64_t offset, std::string_view bytes);
  // A chunk's bytes on disk.
  std::filesystem::path chunkFile(int64_t id, int64_t offset) const;
  // A new file in the state's directory for an upload's whole bytes.
  std::filesystem::path wholeFile(int64_t id) const;
  // Marks the upload stored and drops its chunk files; false when it was stored already.
  bool markStored(int64_t id);

 private:
  mutable std::mutex mutex_;
  TestServer* server_ = nullptr;
  std::filesystem::path directory_;
  int64_t nextID_ = 1;
  std::map<int64_t, Upload> uploads_;
  std::deque<std::pair<UploadStep, Answer>> failures_;
};

void installUploadRoutes(TestServer& server);

}  // namespace testserver
