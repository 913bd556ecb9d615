// prismora --send: finding the instance, one exchange, the exit status.
#include "platform/linux/control_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "control/instance.h"
#include "control/reply.h"
#include "platform/linux/control_socket.h"
#include "platform/linux/unix_socket.h"

namespace posix {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? int(left) : 0;
}

// Waits for `events` on fd; false at the deadline or on an error.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int n = poll(&p, 1, MillisecondsLeft(deadline));
    if (n > 0) return true;
    if (n == 0 || errno != EINTR) return false;
  }
}

bool SendLine(int fd, std::string bytes, Clock::time_point deadline) {
  std::string_view left = bytes;
  while (!left.empty()) {
    const ssize_t n = send(fd, left.data(), left.size(), MSG_NOSIGNAL);
    if (n > 0) left.remove_prefix(size_t(n));
    else if (n < 0 && errno == EINTR) continue;
    else if (n < 0 && errno == EAGAIN && WaitFor(fd, POLLOUT, deadline)) continue;
    else return false;
  }
  return true;
}

// Lines until the final one, the end of the connection or the deadline.
Exchange ReadReply(int fd, Clock::time_point deadline) {
  Exchange e;
  control::ReplyReader reader;
  std::string partial;
  char buffer[4096];
  while (true) {
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      if (WaitFor(fd, POLLIN, deadline)) continue;
      e.result = Exchange::Failed;
      e.message = "no answer within the time allowed";
      return e;
    }
    if (n <= 0) break;
    partial.append(buffer, size_t(n));
    for (size_t end; (end = partial.find('\n')) != std::string::npos;) {
      e.lines.push_back(partial.substr(0, end));
      partial.erase(0, end + 1);
      if (reader.Add(e.lines.back())) {
        e.result = Exchange::Answered;
        return e;
      }
    }
    if (partial.size() > 1 << 20) break;  // no instance of ours writes such lines
  }
  e.result = Exchange::Failed;
  e.message = "the connection ended before the answer did";
  return e;
}

bool IsBusy(const Exchange& e) {
  return e.result == Exchange::Answered && !e.lines.empty() &&
         e.lines.back() == control::ErrorLine(control::kBusyError);
}

}  // namespace

Exchange ExchangeLine(const std::string& path, const std::string& line, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  Exchange e;
  int error = 0;
  const int fd = ConnectUnix(path, deadline, error);
  if (fd < 0) {
    if (error == ENOENT || error == ECONNREFUSED) return e;  // NoInstance
    e.result = Exchange::Failed;
    e.message = "cannot connect to " + path + ": " + std::strerror(error);
    return e;
  }
  const std::optional<ucred> peer = PeerOf(fd);
  if (!peer || peer->uid != geteuid()) {
    e.result = Exchange::Failed;
    e.message = "the socket " + path + " belongs to another user";
  } else if (!SendLine(fd, line + "\n", deadline)) {
    e.result = Exchange::Failed;
    e.message = "cannot send to " + path + ": " + std::strerror(errno);
  } else {
    shutdown(fd, SHUT_WR);  // one request: the instance may close after its answer
    e = ReadReply(fd, deadline);
    if (e.result == Exchange::Failed) e.message = "the running prismora at " + path + " gave " + e.message;
  }
  close(fd);
  return e;
}

SendEnvironment SendEnvironment::FromProcess() {
  auto get = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value ? value : "");
  };
  return {get("XDG_RUNTIME_DIR"), get("WAYLAND_DISPLAY"), get("DISPLAY")};
}

SendOutcome SendCommand(const std::vector<std::string>& words, const std::string& output, const std::string& layer,
                        const SendEnvironment& environment, std::chrono::milliseconds timeout) {
  SendOutcome out;
  const control::RequestLine request = control::RequestLineFromWords(words, output);
  if (!request.error.empty()) {
    out.status = control::kSendBadCommand;
    out.message = request.error;
    return out;
  }
  out.status = control::kSendNoInstance;
  if (environment.runtimeDir.empty() || environment.runtimeDir[0] != '/') {
    out.message = "XDG_RUNTIME_DIR is not set, so no running prismora can be found";
    return out;
  }
  const auto names = control::InstanceNamesToTry(environment.waylandDisplay, environment.x11Display, layer);
  const auto deadline = Clock::now() + timeout;
  for (const std::string& name : names) {
    const std::string path = ControlSocketPath(environment.runtimeDir, name);
    Exchange e = ExchangeLine(path, request.line, timeout);
    // A busy instance is asked again until the deadline.
    while (IsBusy(e) && Clock::now() + std::chrono::milliseconds(50) < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      e = ExchangeLine(path, request.line, left);
    }
    if (e.result == Exchange::NoInstance) continue;
    if (e.result == Exchange::Failed || IsBusy(e)) {
      out.message = e.result == Exchange::Failed ? e.message : "the running prismora at " + path + " stayed busy";
      return out;
    }
    control::ReplyReader reader;
    for (const std::string& l : e.lines) reader.Add(l);
    const control::Reply& reply = reader.Result();
    out.status = reply.ok ? control::kSendDone : control::kSendBadCommand;
    out.data = reply.data;
    out.message = reply.error;
    return out;
  }
  std::string displays = environment.waylandDisplay.empty() ? "wayland-0" : environment.waylandDisplay;
  if (!environment.x11Display.empty()) displays += " or " + environment.x11Display;
  out.message = "no running prismora takes commands on " + displays + " (none listens in " +
                ControlFolder(environment.runtimeDir) + ")";
  return out;
}

int RunSend(const std::vector<std::string>& words, const std::string& output, const std::string& layer, FILE* out,
            FILE* err) {
  const SendOutcome o = SendCommand(words, output, layer, SendEnvironment::FromProcess());
  for (const std::string& line : o.data) std::fprintf(out, "%s\n", line.c_str());
  std::fflush(out);
  if (o.status != control::kSendDone) std::fprintf(err, "prismora: %s\n", o.message.c_str());
  return o.status;
}

}  // namespace posix
