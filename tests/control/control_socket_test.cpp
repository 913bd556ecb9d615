// The control socket on real sockets: the instance runs in a child process
// of its own (as a mode would: a loop, the end on SIGTERM, SIGINT, SIGHUP),
// the test talks to it as clients do, friendly and hostile, and reads the
// child's resident memory. Also: the folder's and the socket's modes, a
// client of another user, one instance per name, --replace, a stale socket,
// and prismora --send's exit statuses.
#include "platform/linux/control_socket.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <random>
#include <thread>

#include "control/reply.h"
#include "control_test_support.h"
#include "platform/linux/control_client.h"
#include "platform/linux/unix_socket.h"

namespace {

using control_test::Clock;
using control_test::Loop;
using control_test::TempFolder;
using namespace std::chrono_literals;

const std::string kName = "wayland-test.background";
const std::string kTimeoutError = control::ErrorLine("no complete line within 1 second");
const std::string kBusy = control::ErrorLine(control::kBusyError);

// ---- an instance in a child process ----

// The child: claims the name, answers with the real command language over
// two outputs, ends cleanly on the termination signals.
int Serve(const std::string& runtimeDir, bool replace, bool ignoreTerm, int ready) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive the test
  posix::ClaimOutcome claim = posix::ClaimInstance(runtimeDir.c_str(), kName, replace);
  if (claim.result != posix::ClaimOutcome::Claimed) {
    [[maybe_unused]] ssize_t n = write(ready, "R", 1);
    return 3;
  }
  Loop loop;
  std::atomic<bool> end{false};
  loop.Wake().EndOnTerminationSignals(end);
  if (ignoreTerm) signal(SIGTERM, SIG_IGN);
  control::Steering steering({20, 7, false, false}, [] { return 5; });
  steering.AddOutput(1, "DP-1");
  steering.AddOutput(2, "HDMI-A-1");
  posix::ControlServer server(std::move(claim.claim), loop.Watcher(), [&](std::string_view line) {
    // "toggle" stands for a long frame: the loop is busy for 1.5 s.
    if (line == "toggle") std::this_thread::sleep_for(1500ms);
    const auto facts = [](int) { return control::OutputFacts{1920, 1080, 60, false, false, false}; };
    return control::Respond(steering, line, facts).lines;
  });
  std::string why;
  if (!server.Listen(why)) {
    [[maybe_unused]] ssize_t n = write(ready, "F", 1);
    return 4;
  }
  [[maybe_unused]] ssize_t n = write(ready, "L", 1);
  loop.RunUntil([&] { return end.load(); }, 10min);
  return 0;
}

class ForkedInstance {
 public:
  explicit ForkedInstance(const std::string& runtimeDir, bool replace = false, bool ignoreTerm = false) {
    int ready[2];
    EXPECT_EQ(pipe2(ready, O_CLOEXEC), 0);
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      _exit(Serve(runtimeDir, replace, ignoreTerm, ready[1]));
    }
    close(ready[1]);
    pollfd p{ready[0], POLLIN, 0};
    char c = 0;
    if (poll(&p, 1, 10000) == 1 && read(ready[0], &c, 1) == 1) listening_ = c == 'L';
    close(ready[0]);
  }
  ~ForkedInstance() {
    if (pid_ > 0 && status_ < 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool Listening() const { return listening_; }
  pid_t Pid() const { return pid_; }
  // The child's exit status once it ends (-1: still running at the deadline).
  int Wait(std::chrono::milliseconds limit = 10s) {
    const auto deadline = Clock::now() + limit;
    while (status_ < 0 && Clock::now() < deadline) {
      int s = 0;
      if (waitpid(pid_, &s, WNOHANG) == pid_) status_ = WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s);
      else std::this_thread::sleep_for(5ms);
    }
    return status_;
  }
  int EndWith(int signal) {
    kill(pid_, signal);
    return Wait();
  }
  long ResidentBytes() const {
    std::ifstream statm("/proc/" + std::to_string(pid_) + "/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
  }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  bool listening_ = false;
};

// ---- clients ----

std::string SocketOf(const TempFolder& dir) { return posix::ControlSocketPath(dir.Path(), kName); }

// A blocking connection whose reads give up after 5 seconds.
struct Client {
  explicit Client(const std::string& path) {
    int error = 0;
    fd = posix::ConnectUnix(path, Clock::now() + 5s, error);
    if (fd < 0) return;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    timeval limit{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  }
  ~Client() {
    if (fd >= 0) close(fd);
  }
  bool Send(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes.remove_prefix(size_t(n));
    }
    return true;
  }
  // Everything until the server closes (or 5 seconds of silence).
  std::string ReadToEnd() {
    std::string all;
    char buffer[65536];
    ssize_t n;
    while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) all.append(buffer, size_t(n));
    ended = n == 0 || (n < 0 && errno == ECONNRESET);
    return all;
  }
  int fd = -1;
  bool ended = false;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

std::vector<std::string> Ask(const std::string& path, const std::string& line) {
  const posix::Exchange e = posix::ExchangeLine(path, line, 5s);
  EXPECT_EQ(e.result, posix::Exchange::Answered) << e.message;
  return e.lines;
}

// The instance still answers as it should.
void ExpectAnswers(const std::string& path) {
  const std::vector<std::string> lines = Ask(path, "status");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("{\"output\":\"DP-1\",", 0), 0u);
  EXPECT_EQ(lines[2], control::OkLine());
}

mode_t ModeOf(const std::string& path) {
  struct stat st{};
  lstat(path.c_str(), &st);
  return st.st_mode;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// ---- the tests ----

TEST(ControlSocket, ThePrivateFolderAndSocketAreMadeAndRemovedOnEachTerminationSignal) {
  TempFolder dir;
  const std::string folder = posix::ControlFolder(dir.Path());
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);  // a folder too open is narrowed
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    ForkedInstance instance(dir.Path());
    ASSERT_TRUE(instance.Listening());
    EXPECT_EQ(ModeOf(folder) & 07777, 0700u);
    EXPECT_TRUE(S_ISSOCK(ModeOf(SocketOf(dir))));
    EXPECT_EQ(ModeOf(SocketOf(dir)) & 07777, 0600u);
    EXPECT_TRUE(Exists(folder + "/" + kName + ".lock"));
    ExpectAnswers(SocketOf(dir));
    EXPECT_EQ(instance.EndWith(signal), 0) << strsignal(signal);
    EXPECT_FALSE(Exists(SocketOf(dir))) << strsignal(signal);
    EXPECT_FALSE(Exists(folder + "/" + kName + ".lock"));
  }
}

TEST(ControlSocket, CommandsChangeTheInstanceAndEachLineGetsItsAnswer) {
  TempFolder dir;
  ForkedInstance instance(dir.Path());
  ASSERT_TRUE(instance.Listening());
  EXPECT_EQ(Ask(SocketOf(dir), "speed 9 --output HDMI-A-1"), (std::vector<std::string>{control::OkLine()}));
  const std::vector<std::string> status = Ask(SocketOf(dir), "status --output HDMI-A-1");
  ASSERT_EQ(status.size(), 2u);
  EXPECT_NE(status[0].find("\"speed\":9,"), std::string::npos) << status[0];
  EXPECT_EQ(Ask(SocketOf(dir), "speed 99"),
            (std::vector<std::string>{control::ErrorLine("speed takes a number from 0 to 50, not '99'")}));

  // Several lines on one connection, CRLF or LF, answered in order.
  Client c(SocketOf(dir));
  ASSERT_TRUE(c.Send("next\r\nstatus --output DP-1\njump\n"));
  shutdown(c.fd, SHUT_WR);
  const std::vector<std::string> lines = Lines(c.ReadToEnd());
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], control::OkLine());
  EXPECT_NE(lines[1].find("\"algorithm\":8,"), std::string::npos);
  EXPECT_EQ(lines[2], control::OkLine());
  EXPECT_EQ(lines[3].rfind("{\"ok\":false,\"error\":\"unknown command 'jump'", 0), 0u);
  EXPECT_TRUE(c.ended);
}

// A client whose whole line came while the loop was busy (a long frame)
// past its time is answered, not dropped for lateness; nor is the client
// whose long answer kept the loop busy.
TEST(ControlSocket, ALineThatCameWhileTheLoopWasBusyIsAnswered) {
  TempFolder dir;
  ForkedInstance instance(dir.Path());
  ASSERT_TRUE(instance.Listening());
  Client late(SocketOf(dir));
  ExpectAnswers(SocketOf(dir));  // by its answer `late` has been taken in too
  Client busy(SocketOf(dir));
  ASSERT_TRUE(busy.Send("toggle\n"));
  std::this_thread::sleep_for(200ms);  // inside the long answer now
  ASSERT_TRUE(late.Send("speed 3\n"));
  shutdown(late.fd, SHUT_WR);
  EXPECT_EQ(Lines(late.ReadToEnd()), (std::vector<std::string>{control::OkLine()}));
  shutdown(busy.fd, SHUT_WR);
  EXPECT_EQ(Lines(busy.ReadToEnd()), (std::vector<std::string>{control::OkLine()}));
}

TEST(ControlSocket, SendGivesTheRepliesAndItsExitStatus) {
  TempFolder dir;
  const posix::SendEnvironment here{dir.Path(), "wayland-test", ""};
  // No instance yet: status 1, and a bad command is status 2 before any look.
  posix::SendOutcome none = posix::SendCommand({"status"}, "", "", here);
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.message.find("no running prismora takes commands on wayland-test"), std::string::npos);
  EXPECT_EQ(posix::SendCommand({"speed", "51"}, "", "", here).status, 2);
  EXPECT_EQ(posix::SendCommand({"status"}, "", "", {"", "wayland-test", ""}).status, 1);

  ForkedInstance instance(dir.Path());
  ASSERT_TRUE(instance.Listening());
  const posix::SendOutcome status = posix::SendCommand({"status"}, "", "", here);
  EXPECT_EQ(status.status, 0);
  EXPECT_EQ(status.data.size(), 2u);
  const posix::SendOutcome pause = posix::SendCommand({"pause"}, "DP-1", "", here);
  EXPECT_EQ(pause.status, 0);
  EXPECT_TRUE(pause.data.empty());
  const posix::SendOutcome wrong = posix::SendCommand({"pause"}, "DP-9", "", here);
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.message, "no output named 'DP-9'; the outputs are: DP-1, HDMI-A-1");
  // Another layer of the display has no instance.
  EXPECT_EQ(posix::SendCommand({"status"}, "", "top", here).status, 1);
}

TEST(ControlSocket, HostileClientsAreAnsweredOrDroppedAndCostNoLastingMemory) {
  TempFolder dir;
  ForkedInstance instance(dir.Path());
  ASSERT_TRUE(instance.Listening());
  const std::string path = SocketOf(dir);
  ExpectAnswers(path);
  const long before = instance.ResidentBytes();

  {  // A 1 MB line: an error once it passes 4 KiB, then the end.
    Client c(path);
    std::thread writer([&] { c.Send(std::string(1 << 20, 'a')); });
    EXPECT_EQ(c.ReadToEnd(), control::ErrorLine("a line longer than 4096 bytes") + "\n");
    EXPECT_TRUE(c.ended);
    shutdown(c.fd, SHUT_RDWR);  // the writer may still be waiting to send
    writer.join();
  }
  {  // Random bytes: an error, then the end.
    std::mt19937 random(7);
    std::string noise(65536, '\0');
    for (char& b : noise) b = static_cast<char>(random());
    Client c(path);
    c.Send(noise);
    EXPECT_EQ(c.ReadToEnd(), control::ErrorLine("not a line of text: a NUL byte or a control character") + "\n");
    EXPECT_TRUE(c.ended);
  }
  {  // Text that is not UTF-8, in a complete line.
    Client c(path);
    c.Send("status \xff\xfe\n");
    EXPECT_EQ(c.ReadToEnd(), control::ErrorLine("not a line of text: bytes that are not UTF-8") + "\n");
  }
  {  // Half a line, then the end of sending: an error at once.
    Client c(path);
    c.Send("stat");
    shutdown(c.fd, SHUT_WR);
    EXPECT_EQ(c.ReadToEnd(), control::ErrorLine("an unfinished line at the end") + "\n");
  }
  {  // Silent, and half a line left hanging: dropped after about a second.
    for (const char* start : {"", "stat"}) {
      Client c(path);
      const auto connected = Clock::now();
      c.Send(start);
      EXPECT_EQ(c.ReadToEnd(), kTimeoutError + "\n");
      EXPECT_TRUE(c.ended);
      const auto waited = Clock::now() - connected;
      EXPECT_GE(waited, 950ms);
      EXPECT_LT(waited, 3s);
    }
  }
  {  // 200 clients at once: 16 are taken (and dropped when silent), the rest
     // are told the instance is busy.
    std::vector<std::unique_ptr<Client>> crowd;
    for (int i = 0; i < 200; ++i) crowd.push_back(std::make_unique<Client>(path));
    int busy = 0, timedOut = 0;
    for (auto& c : crowd) {
      ASSERT_GE(c->fd, 0);
      const std::string reply = c->ReadToEnd();
      EXPECT_TRUE(c->ended);
      busy += reply == kBusy + "\n";
      timedOut += reply == kTimeoutError + "\n";
    }
    EXPECT_EQ(busy + timedOut, 200);
    EXPECT_GE(timedOut, 16);
    EXPECT_GT(busy, 0);
  }
  {  // A client that asks and asks but never reads: dropped when its replies
     // fill the socket, long before they are all written.
    size_t oneReply = 0;
    for (const std::string& line : Ask(path, "status")) oneReply += line.size() + 1;
    Client c(path);
    std::string requests;
    for (int i = 0; i < 100000; ++i) requests += "status\n";
    // More than the sockets hold: the instance must read on to take it all,
    // and it stops reading once it has dropped us.
    EXPECT_FALSE(c.Send(requests));
    pollfd p{c.fd, POLLRDHUP, 0};
    ASSERT_EQ(poll(&p, 1, 5000), 1);  // hung up while we read nothing
    EXPECT_TRUE(p.revents & (POLLHUP | POLLRDHUP));
    EXPECT_LT(c.ReadToEnd().size(), 100000 * oneReply / 10);
  }
  ExpectAnswers(path);
  const long after = instance.ResidentBytes();
  std::printf("instance resident memory: %ld KiB before the hostile clients, %ld KiB after\n", before / 1024,
              after / 1024);
#ifndef __SANITIZE_ADDRESS__  // its quarantine keeps freed blocks resident on purpose
  EXPECT_LT(after - before, 1 << 20);
#endif
}

TEST(ControlSocket, AClientOfAnotherUserIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to be another user";
  TempFolder dir;
  ForkedInstance instance(dir.Path());
  ASSERT_TRUE(instance.Listening());
  const std::string path = SocketOf(dir);
  // As `nobody`: 0 when the connection fails with EACCES (`reachable`
  // false), or when it is refused with the right reply.
  auto asNobody = [&](bool reachable) {
    const pid_t child = fork();
    if (child == 0) {
      if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0)
        _exit(10);
      int error = 0;
      const int fd = posix::ConnectUnix(path, Clock::now() + 5s, error);
      if (!reachable) _exit(fd < 0 && error == EACCES ? 0 : 11);
      if (fd < 0) _exit(12);
      fcntl(fd, F_SETFL, 0);
      char reply[512] = {};
      const ssize_t n = recv(fd, reply, sizeof reply - 1, MSG_WAITALL);
      const std::string expected =
          control::ErrorLine("refused: this prismora takes commands from its own user only") + "\n";
      _exit(n > 0 && reply == expected ? 0 : 13);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(asNobody(false), 0);  // the folder's and the socket's modes keep it out
  // Made reachable for the test: the peer check alone refuses.
  chmod(dir.Path().c_str(), 0711);
  chmod(posix::ControlFolder(dir.Path()).c_str(), 0711);
  chmod(path.c_str(), 0666);
  EXPECT_EQ(asNobody(true), 0);
  ExpectAnswers(path);
}

TEST(ControlSocket, ASecondInstanceIsRefusedAndReplaceTakesOver) {
  TempFolder dir;
  ForkedInstance first(dir.Path());
  ASSERT_TRUE(first.Listening());
  const posix::ClaimOutcome refused = posix::ClaimInstance(dir.Path().c_str(), kName, false);
  EXPECT_EQ(refused.result, posix::ClaimOutcome::AnotherInstance);
  EXPECT_EQ(refused.message, "another prismora (process " + std::to_string(first.Pid()) +
                                 ") already runs here and takes commands at " + SocketOf(dir) +
                                 "; --replace takes over from it");
  ForkedInstance second(dir.Path());
  EXPECT_FALSE(second.Listening());
  EXPECT_EQ(second.Wait(), 3);
  ExpectAnswers(SocketOf(dir));  // the first one still serves

  ForkedInstance third(dir.Path(), true);
  ASSERT_TRUE(third.Listening());
  EXPECT_EQ(first.Wait(), 0);  // asked to end, and ended cleanly
  ExpectAnswers(SocketOf(dir));
  EXPECT_EQ(third.EndWith(SIGTERM), 0);
  EXPECT_FALSE(Exists(SocketOf(dir)));
}

TEST(ControlSocket, ReplaceGivesUpOnAnInstanceThatDoesNotEnd) {
  TempFolder dir;
  ForkedInstance stubborn(dir.Path(), false, true);
  ASSERT_TRUE(stubborn.Listening());
  const posix::ClaimOutcome o = posix::ClaimInstance(dir.Path().c_str(), kName, true, 300ms);
  EXPECT_EQ(o.result, posix::ClaimOutcome::AnotherInstance);
  EXPECT_EQ(o.message, "the running prismora (process " + std::to_string(stubborn.Pid()) + ") at " + SocketOf(dir) +
                           " did not end within 300 ms");
  ExpectAnswers(SocketOf(dir));
}

TEST(ControlSocket, AStaleSocketIsReplacedAndTheServerServesInTheModesLoop) {
  TempFolder dir;
  ASSERT_EQ(mkdir(posix::ControlFolder(dir.Path()).c_str(), 0700), 0);
  {  // A socket file left by an instance that was killed.
    sockaddr_un address;
    ASSERT_TRUE(posix::SocketAddress(SocketOf(dir), address));
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    close(fd);
    std::ofstream(posix::ControlFolder(dir.Path()) + "/" + kName + ".lock") << "";
  }
  posix::ClaimOutcome claim = posix::ClaimInstance(dir.Path().c_str(), kName, false);
  ASSERT_EQ(claim.result, posix::ClaimOutcome::Claimed) << claim.message;
  Loop loop;
  {
    posix::ControlServer server(std::move(claim.claim), loop.Watcher(), [](std::string_view line) {
      if (line == "boom") throw std::runtime_error("out of luck");
      return std::vector<std::string>{"{\"output\":\"here\"}", control::OkLine()};
    });
    std::string why;
    ASSERT_TRUE(server.Listen(why)) << why;
    std::atomic<bool> done{false};
    posix::Exchange answer, boom;
    std::thread client([&] {
      answer = posix::ExchangeLine(SocketOf(dir), "status", 5s);
      boom = posix::ExchangeLine(SocketOf(dir), "boom", 5s);
      done = true;
    });
    EXPECT_TRUE(loop.RunUntil([&] { return done.load(); }));
    client.join();
    EXPECT_EQ(answer.lines, (std::vector<std::string>{"{\"output\":\"here\"}", control::OkLine()}));
    EXPECT_EQ(boom.lines, (std::vector<std::string>{control::ErrorLine("the command failed: out of luck")}));
    EXPECT_TRUE(loop.RunUntil([&] { return server.ClientCount() == 0; }));
  }
  EXPECT_FALSE(Exists(SocketOf(dir)));
  EXPECT_FALSE(Exists(posix::ControlFolder(dir.Path()) + "/" + kName + ".lock"));
}

TEST(ControlSocket, WithoutASafeRuntimeFolderThereIsNoSocketAndOneLineSaysWhy) {
  using posix::ClaimInstance;
  using posix::ClaimOutcome;
  const ClaimOutcome unset = ClaimInstance(nullptr, kName, false);
  EXPECT_EQ(unset.result, ClaimOutcome::NoSocket);
  EXPECT_EQ(unset.message, "XDG_RUNTIME_DIR is not set: no control socket; prismora --send cannot reach this instance");
  EXPECT_EQ(ClaimInstance("", kName, false).result, ClaimOutcome::NoSocket);
  EXPECT_EQ(ClaimInstance("run/user/0", kName, false).result, ClaimOutcome::NoSocket);

  TempFolder dir;
  EXPECT_EQ(ClaimInstance((dir.Path() + "/missing").c_str(), kName, false).result, ClaimOutcome::NoSocket);
  const std::string longName(120, 'n');
  const ClaimOutcome tooLong = ClaimInstance(dir.Path().c_str(), longName, false);
  EXPECT_EQ(tooLong.result, ClaimOutcome::NoSocket);
  EXPECT_NE(tooLong.message.find("too long"), std::string::npos);

  // Our folder's name taken by a link elsewhere: not followed.
  TempFolder elsewhere;
  ASSERT_EQ(symlink(elsewhere.Path().c_str(), posix::ControlFolder(dir.Path()).c_str()), 0);
  const ClaimOutcome link = ClaimInstance(dir.Path().c_str(), kName, false);
  EXPECT_EQ(link.result, ClaimOutcome::NoSocket);
  EXPECT_NE(link.message.find("is not a folder"), std::string::npos);
  if (geteuid() == 0) {  // a folder of another user
    unlink(posix::ControlFolder(dir.Path()).c_str());
    ASSERT_EQ(mkdir(posix::ControlFolder(dir.Path()).c_str(), 0700), 0);
    ASSERT_EQ(chown(posix::ControlFolder(dir.Path()).c_str(), 65534, 65534), 0);
    const ClaimOutcome foreign = ClaimInstance(dir.Path().c_str(), kName, false);
    EXPECT_EQ(foreign.result, ClaimOutcome::NoSocket);
    EXPECT_NE(foreign.message.find("belongs to another user"), std::string::npos);
  }
}

}  // namespace
