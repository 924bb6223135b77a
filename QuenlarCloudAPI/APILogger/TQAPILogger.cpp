#include "QuenlarCloudAPI/APILogger/TQAPILogger.h"

#include <algorithm>
#include <any>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/APILogger/TQAPIConsoleLogger.h"

namespace {

// The pipeline posts the task as std::shared_ptr<tq::URLSessionTask>; a host posting its own
// notifications may hand a task of a more precise type.
std::shared_ptr<tq::URLSessionTask> taskOf(const std::any& object) {
  if (const auto* task = std::any_cast<std::shared_ptr<tq::URLSessionTask>>(&object)) {
    return *task;
  }
  if (const auto* task = std::any_cast<std::shared_ptr<tq::URLSessionDataTask>>(&object)) {
    return *task;
  }
  if (const auto* task = std::any_cast<std::shared_ptr<tq::URLSessionDownloadTask>>(&object)) {
    return *task;
  }
  if (const auto* task = std::any_cast<std::shared_ptr<tq::URLSessionUploadTask>>(&object)) {
    return *task;
  }
  return nullptr;
}

std::optional<std::string> textOf(const std::any& object) {
  if (const auto* text = std::any_cast<std::string>(&object)) {
    return *text;
  }
  if (const auto* text = std::any_cast<std::string_view>(&object)) {
    return std::string(*text);
  }
  if (const auto* text = std::any_cast<const char*>(&object); text != nullptr && *text != nullptr) {
    return std::string(*text);
  }
  return std::nullopt;
}

}  // namespace

TQAPILogger::TQAPILogger(Key /*key*/) {
  loggers_.push_back(std::make_shared<TQAPIConsoleLogger>());
}

std::shared_ptr<TQAPILogger> TQAPILogger::create() { return std::make_shared<TQAPILogger>(Key{}); }

TQAPILogger::~TQAPILogger() { stopLogging(); }

std::shared_ptr<TQAPILogger> TQAPILogger::sharedLogger() {
  // Never destroyed: notifications may still be posted while the process's statics go away.
  static const auto* const shared = new std::shared_ptr<TQAPILogger>(create());
  return *shared;
}

std::vector<std::shared_ptr<TQAPILoggerProtocol>> TQAPILogger::loggers() const {
  std::lock_guard lock(loggersMutex_);
  return loggers_;
}

void TQAPILogger::addLogger(std::shared_ptr<TQAPILoggerProtocol> logger) {
  if (!logger) {
    return;
  }
  std::lock_guard lock(loggersMutex_);
  if (std::find(loggers_.begin(), loggers_.end(), logger) == loggers_.end()) {
    loggers_.push_back(std::move(logger));
  }
}

void TQAPILogger::removeLogger(const std::shared_ptr<TQAPILoggerProtocol>& logger) {
  std::shared_ptr<TQAPILoggerProtocol> removed;
  std::lock_guard lock(loggersMutex_);
  const auto found = std::find(loggers_.begin(), loggers_.end(), logger);
  if (found != loggers_.end()) {
    removed = std::move(*found);
    loggers_.erase(found);
  }
  // `removed` is declared before the lock, so it goes after unlocking.
}

void TQAPILogger::removeAllLogger() {
  std::vector<std::shared_ptr<TQAPILoggerProtocol>> removed;
  std::lock_guard lock(loggersMutex_);
  removed.swap(loggers_);
}

void TQAPILogger::startLogging() {
  auto& center = tq::NotificationCenter::defaultCenter();
  const std::weak_ptr<TQAPILogger> weakSelf = weak_from_this();
  std::lock_guard lock(observingMutex_);
  for (const auto& token : observers_) {
    center.removeObserver(token);
  }
  observers_.clear();
  const auto observe = [&](const char* name,
                           void (TQAPILogger::*handler)(const tq::Notification&) const) {
    observers_.push_back(
        center.addObserver(name, [weakSelf, handler](const tq::Notification& notification) {
          if (const auto self = weakSelf.lock()) {
            ((*self).*handler)(notification);
          }
        }));
  };
  observe(TQAPIStartNotification, &TQAPILogger::networkRequestDidStart);
  observe(TQAPICompleteNotification, &TQAPILogger::networkRequestDidFinish);
  observe(TQAPIInfoMessageLogNotification, &TQAPILogger::logInformation);
}

void TQAPILogger::stopLogging() {
  std::lock_guard lock(observingMutex_);
  if (observers_.empty()) {
    return;
  }
  auto& center = tq::NotificationCenter::defaultCenter();
  for (const auto& token : observers_) {
    center.removeObserver(token);
  }
  observers_.clear();
}

void TQAPILogger::logInformation(const tq::Notification& notification) const {
  const auto message = textOf(notification.object);
  if (!message) {
    return;
  }
  for (const auto& logger : loggers()) {
    logger->messageLogger(*message);
  }
}

void TQAPILogger::networkRequestDidStart(const tq::Notification& notification) const {
  const auto task = taskOf(notification.object);
  if (!task) {
    return;
  }
  for (const auto& logger : loggers()) {
    logger->URLSessionTaskDidStart(task);
  }
}

void TQAPILogger::networkRequestDidFinish(const tq::Notification& notification) const {
  const auto task = taskOf(notification.object);
  if (!task) {
    return;
  }
  std::shared_ptr<TQAPIQueryResponse> outcome;
  if (const auto found = notification.userInfo.find(TQAPIQueryResponseKey);
      found != notification.userInfo.end()) {
    if (const auto* response = std::any_cast<std::shared_ptr<TQAPIQueryResponse>>(&found->second)) {
      outcome = *response;
    }
  }
  const std::optional<tq::URLError> error = outcome ? outcome->error() : std::nullopt;
  for (const auto& logger : loggers()) {
    logger->URLSessionTaskDidFinish(task, outcome, error);
  }
}
