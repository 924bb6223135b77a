// Closing the test server's connections from the outside: httplib gives a handler no access to
// its socket, and an idle keep-alive connection would otherwise delay shutdown by the keep-alive
// time-out. Both functions find the sockets by their addresses among the process's open files.
//
// A socket is shut down (both directions), never closed: its owner still closes it, so a file
// descriptor is never closed twice. Safe to call from any thread.
#pragma once

#include <string>

namespace testserver {

// Shuts down the accepted connection on `localPort` whose peer is peerAddress:peerPort; false
// when no such connection is open.
bool shutdownConnection(int localPort, const std::string& peerAddress, int peerPort);

// As shutdownConnection, and the owner's close then resets the connection instead of ending it in
// order: a peer that is still sending (and would otherwise wait on a closed window) sees the
// connection reset.
bool resetConnection(int localPort, const std::string& peerAddress, int peerPort);

// Shuts down every accepted connection on `localPort` (the listening socket itself is left
// alone); returns how many it shut down.
int shutdownConnections(int localPort);

}  // namespace testserver
