// SaveFile on Linux: a real write failure from the kernel, devices and FIFOs
// written in place and never replaced, other special files refused, links
// followed only where that is safe, owner, group and mode kept, and the
// temporary file removed when a signal ends the process during the write.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/file_writer.h"
#include "tests/support/test_files.h"

namespace fs = std::filesystem;
using Platform::SaveResult;
using Platform::TrySaveFile;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

struct stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st;
}

bool IsRoot() { return geteuid() == 0; }

// Reads `want` bytes from a FIFO opened without blocking (an end of file
// before the writer has opened it is no end yet), for at most 20 seconds.
std::string ReadFromFifo(int fd, size_t want) {
  std::string received;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  char buffer[65536];
  while (received.size() < want && std::chrono::steady_clock::now() < deadline) {
    const ssize_t n = read(fd, buffer, std::min(sizeof buffer, want - received.size()));
    if (n > 0) received.append(buffer, size_t(n));
    else std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return received;
}

// RLIMIT_FSIZE makes write(2) fail with EFBIG once the file would pass the
// limit (SIGXFSZ ignored), just as a full disk fails part-way.
TEST(FileWriterPosix, KernelWriteFailureKeepsTheOldFile) {
  TestFiles::ScratchFolder folder;
  const std::string path = folder.File("wall.bmp");
  TestFiles::WriteText(path, "old");
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const SaveResult result = TrySaveFile(path, Bytes(std::string(100000, 'n')));
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(result.status, SaveResult::Status::WriteFailed);
  EXPECT_EQ(result.reason, std::strerror(EFBIG));
  EXPECT_EQ(TestFiles::ReadAll(path), Bytes("old"));
  EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST(FileWriterPosix, ReplacementKeepsModeAndNewFilesFollowTheRequestedAccess) {
  TestFiles::ScratchFolder folder;
  const std::string path = folder.File("settings");
  TestFiles::WriteText(path, "old");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  Platform::SaveFile(path, std::string("new"));
  EXPECT_EQ(StatOf(path).st_mode & 07777, 0640u);
  ASSERT_TRUE(TrySaveFile(folder.File("private"), Bytes("x"), Platform::NewFileAccess::OwnerOnly).Saved());
  EXPECT_EQ(StatOf(folder.File("private")).st_mode & 0077, 0u);
  // The existing file keeps its own mode whatever a new one would get.
  ASSERT_TRUE(TrySaveFile(path, Bytes("y"), Platform::NewFileAccess::OwnerOnly).Saved());
  EXPECT_EQ(StatOf(path).st_mode & 07777, 0640u);
}

TEST(FileWriterPosix, RootKeepsTheOwnerAndGroupOfAReplacedFile) {
  if (!IsRoot()) GTEST_SKIP() << "needs root to give a file to another user";
  TestFiles::ScratchFolder folder;
  const std::string path = folder.File("their.png");
  TestFiles::WriteText(path, "theirs");
  ASSERT_EQ(chown(path.c_str(), 4321, 8765), 0);
  ASSERT_EQ(chmod(path.c_str(), 0604), 0);
  Platform::SaveFile(path, std::string("replaced"));
  const struct stat st = StatOf(path);
  EXPECT_EQ(st.st_uid, 4321u);
  EXPECT_EQ(st.st_gid, 8765u);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
  EXPECT_EQ(TestFiles::ReadAll(path), Bytes("replaced"));
}

TEST(FileWriterPosix, LinksAreWrittenThroughAndALinkToNothingIsRefused) {
  TestFiles::ScratchFolder folder;
  TestFiles::WriteText(folder.File("real.bmp"), "old");
  fs::create_symlink(folder.File("real.bmp"), folder.File("link.bmp"));
  fs::create_symlink("link.bmp", folder.File("chain.bmp"));  // relative, through another link
  Platform::SaveFile(folder.File("chain.bmp"), std::string("new"));
  EXPECT_TRUE(fs::is_symlink(folder.File("link.bmp")));
  EXPECT_TRUE(fs::is_symlink(folder.File("chain.bmp")));
  EXPECT_EQ(TestFiles::ReadAll(folder.File("real.bmp")), Bytes("new"));

  fs::create_symlink(folder.File("gone.bmp"), folder.File("dangling.bmp"));
  const SaveResult result = TrySaveFile(folder.File("dangling.bmp"), Bytes("x"));
  EXPECT_EQ(result.status, SaveResult::Status::CannotCreate);
  EXPECT_TRUE(fs::is_symlink(folder.File("dangling.bmp")));
  EXPECT_FALSE(fs::exists(folder.File("gone.bmp")));
}

// A link that someone else planted in a shared sticky folder (/tmp) could
// make root replace any file: it is not followed.
TEST(FileWriterPosix, AnotherUsersLinkInAStickySharedFolderIsNotFollowed) {
  if (!IsRoot()) GTEST_SKIP() << "needs root to give a link to another user";
  TestFiles::ScratchFolder folder;
  const fs::path shared = folder.Path() / "shared";
  fs::create_directory(shared);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  const std::string victim = folder.File("passwd");
  TestFiles::WriteText(victim, "root:x:0:0");
  const std::string link = (shared / "wall.png").string();
  fs::create_symlink(victim, link);
  ASSERT_EQ(lchown(link.c_str(), 4321, 4321), 0);
  const SaveResult result = TrySaveFile(link, Bytes("picture"));
  EXPECT_EQ(result.status, SaveResult::Status::CannotCreate);
  EXPECT_EQ(TestFiles::ReadAll(victim), Bytes("root:x:0:0"));
  // The same link owned by us is followed.
  ASSERT_EQ(lchown(link.c_str(), 0, 0), 0);
  EXPECT_TRUE(TrySaveFile(link, Bytes("picture")).Saved());
  EXPECT_EQ(TestFiles::ReadAll(victim), Bytes("picture"));
}

// A file its user may not write is not replaced, though the folder would
// allow it (root, who may write anything, tries it as another user).
TEST(FileWriterPosix, AReadOnlyFileIsRefusedNotReplaced) {
  TestFiles::ScratchFolder folder;
  ASSERT_EQ(chmod(folder.Path().c_str(), 0777), 0);
  const std::string path = folder.File("kept.bmp");
  TestFiles::WriteText(path, "kept");
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (IsRoot() && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    const SaveResult result = TrySaveFile(path, Bytes("replaced"));
    _exit(result.status == SaveResult::Status::CannotCreate && result.reason == std::strerror(EACCES) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  EXPECT_EQ(TestFiles::ReadAll(path), Bytes("kept"));
  EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST(FileWriterPosix, CharacterDevicesAreWrittenInPlaceNeverReplaced) {
  ASSERT_TRUE(TrySaveFile("/dev/null", Bytes(std::string(3000000, 'z'))).Saved());
  EXPECT_TRUE(S_ISCHR(StatOf("/dev/null").st_mode));
  if (!IsRoot()) return;
  // A device node of our own: the same device as /dev/null, in a scratch folder.
  TestFiles::ScratchFolder folder;
  const std::string node = folder.File("null.bmp");
  ASSERT_EQ(mknod(node.c_str(), S_IFCHR | 0620, makedev(1, 3)), 0);
  ASSERT_EQ(chmod(node.c_str(), 0620), 0);  // whatever the umask
  ASSERT_TRUE(TrySaveFile(node, Bytes("picture")).Saved());
  const struct stat st = StatOf(node);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_EQ(st.st_rdev, makedev(1, 3));
  EXPECT_EQ(st.st_mode & 07777, 0620u);
  EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST(FileWriterPosix, AStreamToADeviceIsWrittenInPlaceAndCannotGoBack) {
  Platform::FileStream stream("/dev/null");
  ASSERT_TRUE(stream.Status().Saved());
  EXPECT_FALSE(stream.Rewritable());
  EXPECT_TRUE(stream.Write(Bytes(std::string(100000, 'z'))));
  EXPECT_FALSE(stream.WriteAt(0, Bytes("x")));
  EXPECT_FALSE(stream.Restart());
  EXPECT_TRUE(stream.Commit());
  EXPECT_TRUE(S_ISCHR(StatOf("/dev/null").st_mode));
}

TEST(FileWriterPosix, OtherSpecialFilesAreRefused) {
  TestFiles::ScratchFolder folder;
  const std::string socketPath = folder.File("sock.bmp");
  const int s = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(TrySaveFile(socketPath, Bytes("x")).status, SaveResult::Status::CannotCreate);
  EXPECT_TRUE(S_ISSOCK(StatOf(socketPath).st_mode));
  close(s);
  if (!IsRoot()) return;
  const std::string disk = folder.File("disk.bmp");
  ASSERT_EQ(mknod(disk.c_str(), S_IFBLK | 0600, makedev(7, 200)), 0);  // a loop device that need not exist
  EXPECT_EQ(TrySaveFile(disk, Bytes("x")).status, SaveResult::Status::CannotCreate);
  EXPECT_TRUE(S_ISBLK(StatOf(disk).st_mode));
}

TEST(FileWriterPosix, AFifoIsWrittenInPlaceAndOneNobodyReadsIsRefusedAtOnce) {
  TestFiles::ScratchFolder folder;
  const std::string fifo = folder.File("pipe.png");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const SaveResult unread = TrySaveFile(fifo, Bytes("x"));
  EXPECT_EQ(unread.status, SaveResult::Status::CannotCreate);
  EXPECT_FALSE(unread.reason.empty());

  const std::string payload(200000, 'q');  // more than a pipe holds
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // so that the writer may open it
  ASSERT_GE(reader, 0);
  std::string received;
  std::thread drain([&] { received = ReadFromFifo(reader, payload.size()); });
  const SaveResult result = TrySaveFile(fifo, Bytes(payload));
  drain.join();
  close(reader);
  EXPECT_TRUE(result.Saved()) << result.reason;
  EXPECT_EQ(received, payload);
  EXPECT_TRUE(S_ISFIFO(StatOf(fifo).st_mode));
  EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST(FileWriterPosix, AReaderThatGoesAwayGivesAWriteErrorNotADeadProgram) {
  TestFiles::ScratchFolder folder;
  const std::string fifo = folder.File("pipe.bmp");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  std::thread quitter([&] {
    (void)ReadFromFifo(reader, 100);
    close(reader);
  });
  const SaveResult result = TrySaveFile(fifo, Bytes(std::string(1 << 20, 'w')));
  quitter.join();
  EXPECT_EQ(result.status, SaveResult::Status::WriteFailed);
  EXPECT_EQ(result.reason, std::strerror(EPIPE));
  sigset_t pending;
  sigpending(&pending);
  EXPECT_FALSE(sigismember(&pending, SIGPIPE));
}

// ---- Signals during a write -------------------------------------------------

int signalToRaise = 0;
bool raised = false;
void RaiseAfterFirstPiece(size_t) {
  if (!raised) raise(signalToRaise);
  raised = true;
}

struct ProgressHook {
  explicit ProgressHook(void (*hook)(size_t)) { Platform::SetWriteProgressHookForTesting(hook); }
  ~ProgressHook() { Platform::SetWriteProgressHookForTesting(nullptr); }
};

TEST(FileWriterPosix, SigtermSigintOrSighupDuringAWriteRemoveTheTemporaryAndStillEndTheProcess) {
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    TestFiles::ScratchFolder folder;
    const std::string path = folder.File("big.bmp");
    TestFiles::WriteText(path, "old");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      signal(sig, SIG_DFL);
      signalToRaise = sig;
      raised = false;
      Platform::SetWriteProgressHookForTesting(RaiseAfterFirstPiece);
      (void)TrySaveFile(path, std::vector<uint8_t>(8 << 20, 7));
      _exit(0);  // not reached: the signal ends the child
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "status " << status;
    EXPECT_EQ(folder.EntryCount(), 1u) << "temporary file left behind";
    EXPECT_EQ(TestFiles::ReadAll(path), Bytes("old"));
  }
}

int handled = 0;
void CountingHandler(int) { ++handled; }

TEST(FileWriterPosix, APreviousHandlerStillRunsAndIsInPlaceAfterwards) {
  TestFiles::ScratchFolder folder;
  const std::string path = folder.File("wall.bmp");
  TestFiles::WriteText(path, "old");
  struct sigaction counting {}, saved {};
  counting.sa_handler = CountingHandler;
  sigemptyset(&counting.sa_mask);
  ASSERT_EQ(sigaction(SIGINT, &counting, &saved), 0);
  handled = 0;
  signalToRaise = SIGINT;
  raised = false;
  SaveResult result;
  {
    ProgressHook hook(RaiseAfterFirstPiece);
    result = TrySaveFile(path, std::vector<uint8_t>(3 << 20, 1));
  }
  struct sigaction after {};
  sigaction(SIGINT, &saved, &after);
  EXPECT_EQ(handled, 1);  // the program's own handler ran
  EXPECT_EQ(after.sa_handler, CountingHandler);
  // Its temporary file is gone, so the save cannot complete: nothing replaced.
  EXPECT_FALSE(result.Saved());
  EXPECT_EQ(TestFiles::ReadAll(path), Bytes("old"));
  EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST(FileWriterPosix, HandlersAreOnlyInstalledDuringTheWrite) {
  TestFiles::ScratchFolder folder;
  struct sigaction before {};
  sigaction(SIGTERM, nullptr, &before);
  ASSERT_TRUE(TrySaveFile(folder.File("x"), Bytes("x")).Saved());
  struct sigaction after {};
  sigaction(SIGTERM, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
}

}  // namespace
