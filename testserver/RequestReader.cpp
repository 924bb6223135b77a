#include "testserver/RequestReader.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "testserver/Sha256.h"

namespace testserver {
namespace {

// httplib files the connection's addresses among the request headers; the client never sent them.
bool isAddedByHttplib(const std::string& name) {
  return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
         name == "LOCAL_PORT";
}

}  // namespace

ReceivedRequest readRequest(const httplib::Request& request, const httplib::ContentReader* reader,
                            const std::atomic<bool>& stopping, int64_t stopAfterBytes) {
  ReceivedRequest received;
  LoggedRequest& entry = received.entry;
  entry.method = request.method;
  entry.target = request.target;
  entry.path = request.path;
  for (const auto& header : request.headers) {
    if (!isAddedByHttplib(header.first)) {
      entry.headers.emplace_back(header);
    }
  }

  Sha256 hash;
  std::string text;  // the body while it may still be at most kLoggedBodyLimit bytes
  bool textual = true;
  bool keepingLarge = true;  // a larger body still goes to largeBody
  size_t largeCapacity = kHandlerBodyLimit;
  if (reader != nullptr && request.has_header("Content-Length")) {
    // Bodies announced as large go straight where they belong, so that no heap buffer of a few
    // MiB is left behind with the thread's arena.
    const auto announced = request.get_header_value<uint64_t>("Content-Length");
    textual = announced <= static_cast<uint64_t>(kLoggedBodyLimit);
    keepingLarge = announced <= static_cast<uint64_t>(kHandlerBodyLimit);
    if (textual) {
      text.reserve(static_cast<size_t>(announced));
    } else if (keepingLarge) {
      largeCapacity = static_cast<size_t>(announced);
    }
  }
  auto take = [&](const char* data, size_t size) {
    hash.update(data, size);
    entry.bodyLength += static_cast<int64_t>(size);
    if (textual && entry.bodyLength <= kLoggedBodyLimit) {
      text.append(data, size);
      return !stopping.load();
    }
    textual = false;
    if (keepingLarge) {
      if (!received.largeBody.isMapped()) {
        received.largeBody = MappedBuffer(largeCapacity);
        received.largeBody.append(text.data(), text.size());
      }
      if (!received.largeBody.append(data, size)) {
        keepingLarge = false;
        received.largeBody = MappedBuffer();
      }
    }
    if (!text.empty()) {
      std::string().swap(text);
    }
    return !stopping.load();
  };
  if (reader == nullptr) {
    take(request.body.data(), request.body.size());
  } else {
    try {
      entry.bodyComplete = (*reader)([&](const char* data, size_t size) {
        return take(data, size) && (stopAfterBytes < 0 || entry.bodyLength < stopAfterBytes);
      });
    } catch (const std::exception& error) {
      // httplib's reader throws for multipart bodies read as one stream; nobody sends those here.
      std::fprintf(stderr, "testserver: cannot read the body of %s %s: %s\n",
                   request.method.c_str(), request.path.c_str(), error.what());
      entry.bodyComplete = false;
    }
  }
  entry.bodySha256 = hash.finishHex();
  if (textual) {
    entry.body = std::move(text);
  }
  return received;
}

}  // namespace testserver
