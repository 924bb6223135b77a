#include "testserver/RequestLog.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace testserver {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::optional<std::string> LoggedRequest::header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (equalsIgnoringCase(key, name)) {
      return value;
    }
  }
  return std::nullopt;
}

size_t LoggedRequest::headerCount(std::string_view name) const {
  return static_cast<size_t>(std::count_if(headers.begin(), headers.end(), [&](const auto& h) {
    return equalsIgnoringCase(h.first, name);
  }));
}

void RequestLog::append(LoggedRequest request) {
  {
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(request));
  }
  grew_.notify_all();
}

std::vector<LoggedRequest> RequestLog::snapshot() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

std::vector<LoggedRequest> RequestLog::snapshot(const std::string& path) const {
  std::lock_guard lock(mutex_);
  std::vector<LoggedRequest> matching;
  std::copy_if(entries_.begin(), entries_.end(), std::back_inserter(matching),
               [&](const LoggedRequest& r) { return r.path == path; });
  return matching;
}

void RequestLog::clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

bool RequestLog::waitForSize(size_t n, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return grew_.wait_for(lock, timeout, [&] { return entries_.size() >= n; });
}

}  // namespace testserver
