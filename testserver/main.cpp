// quenlar-testserver: serves the test server with the cloud's endpoints on 127.0.0.1 for manual
// runs and scripts. Prints the base URL as the first line of stdout, then serves until stdin
// reaches its end or SIGTERM / SIGINT arrives.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string_view>

#include "testserver/CloudRoutes.h"
#include "testserver/ResourceTree.h"
#include "testserver/TestServer.h"

namespace {

constexpr std::string_view kUsage =
    "usage: quenlar-testserver [--port N]\n"
    "Serves the test server on 127.0.0.1 (port N, default 0: any free port), prints its base URL\n"
    "as the first line, and serves until stdin ends or SIGTERM/SIGINT arrives.\n";

bool parsePort(std::string_view text, int& port) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  return error == std::errc() && end == text.data() + text.size() && port >= 0 && port <= 65535;
}

// Blocks until stdin ends or a termination signal arrives. The signals must already be blocked
// in every thread, so that they queue on `signals` instead of ending the process.
void waitForEnd(int signals) {
  std::array<pollfd, 2> watched{{{STDIN_FILENO, POLLIN, 0}, {signals, POLLIN, 0}}};
  std::array<char, 4096> discard{};
  for (;;) {
    if (poll(watched.data(), watched.size(), -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      return;
    }
    if (watched[1].revents != 0) {
      return;
    }
    if (watched[0].revents != 0) {
      const ssize_t count = read(STDIN_FILENO, discard.data(), discard.size());
      if (count <= 0 && !(count < 0 && errno == EINTR)) {
        return;
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  int port = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--port" && i + 1 < argc && parsePort(argv[i + 1], port)) {
      ++i;
    } else {
      std::cerr << (argument == "--help" ? "" : "quenlar-testserver: bad argument\n") << kUsage;
      return argument == "--help" ? 0 : 2;
    }
  }

  // Block the signals before the server starts its threads, which inherit the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGPIPE);  // a client hanging up is the server's business, not fatal
  if (pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
    std::cerr << "quenlar-testserver: cannot block signals\n";
    return 1;
  }
  sigdelset(&stopSignals, SIGPIPE);
  const int signals = signalfd(-1, &stopSignals, SFD_CLOEXEC);
  if (signals < 0) {
    std::cerr << "quenlar-testserver: cannot watch signals\n";
    return 1;
  }

  try {
    testserver::TestServer server(port);
    testserver::installCloudRoutes(server);
    // A fresh account has its virtual folders; files live inside them.
    server.state<testserver::ResourceTree>().addVirtualFolder("Documents");
    std::cout << server.baseURL() << std::endl;
    waitForEnd(signals);
  } catch (const std::exception& error) {
    std::cerr << "quenlar-testserver: " << error.what() << '\n';
    close(signals);
    return 1;
  }
  close(signals);
  return 0;
}
