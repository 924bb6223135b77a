#include "tests/support/TestSupport.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX names it here

namespace testsupport {
namespace {

int64_t statusField(const std::string& name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(name + ":", 0) == 0) {
      return std::stoll(line.substr(name.size() + 1)) * 1024;  // reported in kB
    }
  }
  return -1;
}

}  // namespace

TemporaryDirectory::TemporaryDirectory() {
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate =
        base / ("quenlar-test-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = std::move(candidate);
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void Latch::countDown() {
  std::lock_guard lock(mutex_);
  if (count_ > 0 && --count_ == 0) {
    reachedZero_.notify_all();
  }
}

bool Latch::wait(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return reachedZero_.wait_for(lock, timeout, [this] { return count_ == 0; });
}

int Latch::count() const {
  std::lock_guard lock(mutex_);
  return count_;
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

int64_t residentSetSize() { return statusField("VmRSS"); }
int64_t peakResidentSetSize() { return statusField("VmHWM"); }

pid_t spawnTest(const std::string& testName, const std::vector<std::string>& settings) {
  std::vector<std::string> arguments = {"/proc/self/exe", "--gtest_filter=" + testName,
                                        "--gtest_also_run_disabled_tests"};
  std::vector<std::string> environment = settings;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    environment.emplace_back(*entry);
  }
  auto pointers = [](std::vector<std::string>& texts) {
    std::vector<char*> list;
    list.reserve(texts.size() + 1);
    for (auto& text : texts) {
      list.push_back(text.data());
    }
    list.push_back(nullptr);
    return list;
  };
  auto argv = pointers(arguments);
  auto envp = pointers(environment);
  pid_t child = 0;
  return posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), envp.data()) == 0 ? child : -1;
}

int exitStatusOf(pid_t child) {
  int status = 0;
  if (child <= 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
    return -1;
  }
  return WEXITSTATUS(status);
}

}  // namespace testsupport
