// Socket addresses, connections with a deadline and peer credentials.
#include "platform/linux/unix_socket.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace posix {

bool SocketAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

int ConnectUnix(const std::string& path, std::chrono::steady_clock::time_point deadline, int& error) {
  sockaddr_un address;
  if (!SocketAddress(path, address)) {
    error = ENAMETOOLONG;
    return -1;
  }
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  for (;;) {
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return fd;
    error = errno;
    if (error == EINTR) continue;
    // A Unix socket whose backlog is full answers EAGAIN at once, and poll
    // cannot wait for room: look again a little later.
    if (error != EAGAIN || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (error == EAGAIN) error = ETIMEDOUT;
  close(fd);
  return -1;
}

std::optional<ucred> PeerOf(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || size != sizeof peer) return std::nullopt;
  return peer;
}

}  // namespace posix
