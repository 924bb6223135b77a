// TQAPILogger: the hub of the pipeline's optional tracing. Once the host calls startLogging(), it
// observes the three pipeline notifications on the default notification centre and hands each to
// every logger it holds. Nothing in the library starts it.
//
// Promises: the set of loggers may be changed from any thread at any time, also while
// notifications are being delivered: each delivery works over a copy of the set taken when it
// begins (so a logger removed during a delivery may still receive that one event), no logger is
// called under the hub's lock, and a removed logger is released outside it. startLogging() may be
// repeated: each event is still delivered once. Every member is safe from any thread.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "QuenlarCloudAPI/APILogger/TQAPILoggerProtocol.h"
#include "QuenlarCloudAPI/Platform/NotificationCenter.h"

class TQAPILogger : public std::enable_shared_from_this<TQAPILogger> {
  struct Key {};

 public:
  // A hub holding one new TQAPIConsoleLogger and observing nothing yet.
  explicit TQAPILogger(Key /*key*/);
  static std::shared_ptr<TQAPILogger> create();
  // Stops observing.
  ~TQAPILogger();
  TQAPILogger(const TQAPILogger&) = delete;
  TQAPILogger& operator=(const TQAPILogger&) = delete;

  // The process's hub, made on first use from any thread; it lives for the process.
  static std::shared_ptr<TQAPILogger> sharedLogger();

  // A copy of the set, in the order the loggers were added.
  std::vector<std::shared_ptr<TQAPILoggerProtocol>> loggers() const;
  // Adds a logger; one already in the set, or nullptr, changes nothing.
  void addLogger(std::shared_ptr<TQAPILoggerProtocol> logger);
  void removeLogger(const std::shared_ptr<TQAPILoggerProtocol>& logger);
  void removeAllLogger();

  // Stops, then observes TQAPIStartNotification, TQAPICompleteNotification and
  // TQAPIInfoMessageLogNotification from any sender.
  void startLogging();
  void stopLogging();

  // The three observers: messageLogger() with the notification's text; URLSessionTaskDidStart()
  // with its task; URLSessionTaskDidFinish() with its task, the outcome under
  // TQAPIQueryResponseKey and that outcome's error. A notification without a task, or without
  // text for a message, is passed over.
  void logInformation(const tq::Notification& notification) const;
  void networkRequestDidStart(const tq::Notification& notification) const;
  void networkRequestDidFinish(const tq::Notification& notification) const;

 private:
  mutable std::mutex loggersMutex_;
  std::vector<std::shared_ptr<TQAPILoggerProtocol>> loggers_;  // guarded by loggersMutex_

  // Held across registering and removing observers, so that two starts never leave two sets.
  std::mutex observingMutex_;
  std::vector<tq::NotificationCenter::ObserverToken> observers_;  // guarded by observingMutex_
};
