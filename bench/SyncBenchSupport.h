// What the full sync's benchmarks share: the test server in a child process of its own (so that
// its tree and its answers weigh nothing in the measured process's memory), the library set up
// against it, and a full sync or a media list run and awaited.
//
// Header only, like BenchSupport.h. ServerProcess forks, so make it before anything starts a
// thread.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Platform/Bundle.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/Keychain.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "bench/BenchSupport.h"
#include "bench/LibrarySetup.h"
#include "testserver/CloudRoutes.h"
#include "testserver/ResourceTree.h"
#include "testserver/TestServer.h"

namespace bench {

// The test server with the cloud's routes, in a child process. `seed` fills its tree before it
// serves; change(tree) runs there for each request made with change().
class ServerProcess {
 public:
  using TreeWork = std::function<void(testserver::ResourceTree& tree)>;

  ServerProcess(const TreeWork& seed, TreeWork change) {
    std::array<int, 2> toChild{};
    std::array<int, 2> fromChild{};
    if (::pipe(toChild.data()) != 0 || ::pipe(fromChild.data()) != 0) {
      throw std::runtime_error("cannot make pipes");
    }
    child_ = ::fork();
    if (child_ == 0) {
      ::close(toChild[1]);
      ::close(fromChild[0]);
      serve(seed, change, toChild[0], fromChild[1]);
      ::_exit(0);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    commands_ = toChild[1];
    replies_ = fromChild[0];
    std::array<char, 16> port{};
    if (::read(replies_, port.data(), port.size() - 1) <= 0) {
      throw std::runtime_error("the server process did not start");
    }
    baseURL_ = "http://127.0.0.1:" + std::string(port.data());
  }

  ~ServerProcess() {
    const char quit = 'q';
    (void)!::write(commands_, &quit, 1);
    ::close(commands_);
    ::close(replies_);
    ::waitpid(child_, nullptr, 0);
  }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  const std::string& baseURL() const { return baseURL_; }

  // Runs the change on the server's tree and waits for it.
  void change() {
    const char command = 'c';
    char reply = 0;
    if (::write(commands_, &command, 1) != 1 || ::read(replies_, &reply, 1) != 1) {
      throw std::runtime_error("the server process did not answer");
    }
  }

 private:
  static void serve(const TreeWork& seed, const TreeWork& change, int commands, int replies) {
    testserver::TestServer server;
    testserver::installCloudRoutes(server);
    seed(server.state<testserver::ResourceTree>());
    const std::string port = std::to_string(server.port());
    (void)!::write(replies, port.data(), port.size());
    char command = 0;
    while (::read(commands, &command, 1) == 1 && command == 'c') {
      server.clearLog();
      change(server.state<testserver::ResourceTree>());
      (void)!::write(replies, &command, 1);
    }
  }

  pid_t child_ = -1;
  int commands_ = -1;
  int replies_ = -1;
  std::string baseURL_;
};

// A new temporary directory named from `prefix`, set up for the library as setUpLibrary() does;
// nullopt, said on stderr, when none can be made.
inline std::optional<std::filesystem::path> libraryDirectory(std::string_view prefix,
                                                             const std::string& baseURL) {
  auto made = makeTemporaryDirectory(prefix);
  if (!made) {
    std::fprintf(stderr, "cannot create a temporary directory\n");
    return std::nullopt;
  }
  setUpLibrary(*made, baseURL);
  return made;
}

// Runs a full sync and answers its combined response's status (0 for none).
inline int fullSync() {
  std::mutex mutex;
  std::condition_variable finished;
  std::optional<int> status;
  TQAPISDK::sharedInstance()->doFullSyncWithCompletionHandler(
      [&](const std::shared_ptr<TQAPIQueryResponse>& response) {
        std::lock_guard lock(mutex);
        status = response ? response->statusCode() : 0;
        finished.notify_all();
      });
  std::unique_lock lock(mutex);
  finished.wait(lock, [&] { return status.has_value(); });
  return *status;
}

// Sets the process's peak resident size back to its current size (Linux 4.0 and later), so that
// the next VmHWM reading is the peak of what follows.
inline void resetPeakResidentSize() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The output of a shell command line built by the benchmark itself.
inline std::string commandOutput(const std::string& command) {
  std::string output;
  if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
    std::array<char, 4096> buffer{};
    size_t count = 0;
    while ((count = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
      output.append(buffer.data(), count);
    }
    ::pclose(pipe);
  }
  return output;
}

}  // namespace bench
