// TQOAuthLoginPageResponse: how the sign-in page ended, as text: the authorization code it
// received, the server's "error" value, or "cancelled" when the user cancelled. nullopt when the
// redirect carried neither a code nor an error. Safe from any thread.
#pragma once

#include <mutex>
#include <optional>
#include <string>

inline constexpr const char* TQOAuthLoginPageCancelled = "cancelled";

class TQOAuthLoginPageResponse {
 public:
  TQOAuthLoginPageResponse() = default;
  explicit TQOAuthLoginPageResponse(std::optional<std::string> response)
      : response_(std::move(response)) {}
  TQOAuthLoginPageResponse(const TQOAuthLoginPageResponse&) = delete;
  TQOAuthLoginPageResponse& operator=(const TQOAuthLoginPageResponse&) = delete;

  std::optional<std::string> response() const {
    std::lock_guard lock(mutex_);
    return response_;
  }
  void setResponse(std::optional<std::string> response) {
    std::lock_guard lock(mutex_);
    response_ = std::move(response);
  }

 private:
  mutable std::mutex mutex_;
  std::optional<std::string> response_;
};
