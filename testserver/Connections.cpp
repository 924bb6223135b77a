#include "testserver/Connections.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <charconv>
#include <filesystem>
#include <optional>
#include <system_error>

namespace testserver {
namespace {

struct Endpoint {
  std::string address;
  int port = -1;
};

std::optional<Endpoint> endpointOf(const sockaddr_storage& storage) {
  std::array<char, INET6_ADDRSTRLEN> text{};
  if (storage.ss_family == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(&storage);
    if (inet_ntop(AF_INET, &in->sin_addr, text.data(), text.size()) == nullptr) {
      return std::nullopt;
    }
    return Endpoint{text.data(), ntohs(in->sin_port)};
  }
  if (storage.ss_family == AF_INET6) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&storage);
    if (inet_ntop(AF_INET6, &in6->sin6_addr, text.data(), text.size()) == nullptr) {
      return std::nullopt;
    }
    return Endpoint{text.data(), ntohs(in6->sin6_port)};
  }
  return std::nullopt;
}

// Calls `visit(fd, peer)` for each connected socket of this process whose local port is
// `localPort`. The server's workers close connections while the list is walked, and a number may
// be reused at once; the addresses are read right before the visit, so a reused number is only
// visited if it is again one of the server's connections, which the callers want anyway.
template <class Visit>
void forEachConnection(int localPort, Visit visit) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    const std::string name = entry.path().filename().string();
    int fd = -1;
    if (std::from_chars(name.data(), name.data() + name.size(), fd).ec != std::errc()) {
      continue;
    }
    sockaddr_storage local{};
    socklen_t localLength = sizeof(local);
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0) {
      continue;  // not a socket, or closed meanwhile
    }
    const auto localEndpoint = endpointOf(local);
    if (!localEndpoint || localEndpoint->port != localPort) {
      continue;
    }
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof(peer);
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) {
      continue;  // the listening socket, or a connection already gone
    }
    if (const auto peerEndpoint = endpointOf(peer)) {
      if (visit(fd, *peerEndpoint)) {
        return;
      }
    }
  }
}

}  // namespace

namespace {

bool shutdownPeer(int localPort, const std::string& peerAddress, int peerPort, bool reset) {
  bool found = false;
  forEachConnection(localPort, [&](int fd, const Endpoint& peer) {
    if (peer.port != peerPort || peer.address != peerAddress) {
      return false;
    }
    if (reset) {
      const linger abortive{.l_onoff = 1, .l_linger = 0};
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof(abortive));
    }
    found = ::shutdown(fd, SHUT_RDWR) == 0;
    return true;
  });
  return found;
}

}  // namespace

bool shutdownConnection(int localPort, const std::string& peerAddress, int peerPort) {
  return shutdownPeer(localPort, peerAddress, peerPort, false);
}

bool resetConnection(int localPort, const std::string& peerAddress, int peerPort) {
  return shutdownPeer(localPort, peerAddress, peerPort, true);
}

int shutdownConnections(int localPort) {
  int count = 0;
  forEachConnection(localPort, [&](int fd, const Endpoint&) {
    if (::shutdown(fd, SHUT_RDWR) == 0) {
      ++count;
    }
    return false;
  });
  return count;
}

}  // namespace testserver
