// Unix stream sockets as the control socket's server and client both use
// them: an address from a path, a connection with a deadline, the peer's
// credentials.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <optional>
#include <string>

namespace posix {

// False when the path does not fit a socket address.
bool SocketAddress(const std::string& path, sockaddr_un& address);

// A non-blocking, close-on-exec connection to the socket at `path`, or -1
// with `error` set (ENOENT or ECONNREFUSED: nothing listens there). A full
// backlog is tried again until the deadline (then ETIMEDOUT).
int ConnectUnix(const std::string& path, std::chrono::steady_clock::time_point deadline, int& error);

// The process, user and group at the other end of a connected socket.
std::optional<ucred> PeerOf(int fd);

}  // namespace posix
