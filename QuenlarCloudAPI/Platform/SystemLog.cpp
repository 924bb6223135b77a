#include "QuenlarCloudAPI/Platform/SystemLog.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

namespace tq {
namespace {

struct SinkHolder {
  std::mutex mutex;
  SystemLogSink sink;
};

SinkHolder& holder() {
  // Leaked on purpose: queues may log while static objects are being destroyed at exit.
  static auto* instance = new SinkHolder;
  return *instance;
}

void writeToStderr(std::string_view line) {
  std::string text(line);
  text.push_back('\n');
  std::fwrite(text.data(), 1, text.size(), stderr);
}

}  // namespace

void systemLog(std::string_view line) {
  auto& h = holder();
  std::lock_guard lock(h.mutex);
  if (h.sink) {
    h.sink(line);
  } else {
    writeToStderr(line);
  }
}

SystemLogSink setSystemLogSink(SystemLogSink sink) {
  auto& h = holder();
  std::lock_guard lock(h.mutex);
  return std::exchange(h.sink, std::move(sink));
}

}  // namespace tq
