// Where a name leads, on Linux: a descriptor the process already holds
// (/dev/fd/N, /proc/self/fd/N, a link to one, standard output) is written in
// place from where it stands, appending if it appends, and what it points to
// is never replaced or unlinked; every symbolic link on the way is checked,
// not only the last; the file is renamed into the folder that was checked,
// whatever happens to the names that led there meanwhile.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/file_writer.h"
#include "tests/support/test_files.h"

namespace fs = std::filesystem;
using Platform::SaveResult;
using Platform::TrySaveFile;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_ino;
}

// What the file behind a descriptor holds, read through a descriptor of its own.
std::string ContentOf(int fd) {
  std::ifstream in("/proc/self/fd/" + std::to_string(fd), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// ---- Outputs the process already holds ----------------------------------------

// Each name of descriptor fd that the writer must know as that descriptor.
std::vector<std::string> NamesOf(int fd, const TestFiles::ScratchFolder& folder) {
  const std::string n = std::to_string(fd);
  const std::string link = folder.File("to-fd.bmp");
  fs::remove(link);
  fs::create_symlink("/dev/fd/" + n, link);
  return {"/dev/fd/" + n, "/proc/self/fd/" + n, "/proc/" + std::to_string(getpid()) + "/fd/" + n,
          "/proc/thread-self/fd/" + n, "/proc/self/../self/./fd/" + n, link};
}

TEST(FileWriterHeld, AnAppendingDescriptorGetsThePictureAppended) {
  TestFiles::ScratchFolder folder;
  const std::string log = folder.File("log");
  TestFiles::WriteText(log, "header\n");
  const ino_t inode = InodeOf(log);
  const int fd = open(log.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(fd, 0);
  std::string expected = "header\n";
  for (const std::string& name : NamesOf(fd, folder)) {
    const std::string piece = "<" + name + ">";
    const SaveResult result = TrySaveFile(name, Bytes(piece));
    EXPECT_TRUE(result.Saved()) << name << ": " << result.reason;
    expected += piece;
  }
  EXPECT_EQ(ContentOf(fd), expected);
  EXPECT_EQ(InodeOf(log), inode) << "the file was replaced";
  EXPECT_NE(fcntl(fd, F_GETFD), -1) << "the descriptor was closed";
  close(fd);
  EXPECT_EQ(folder.EntryCount(), 2u);  // the log and the link: no temporary file, nothing else
}

// As `{ echo before; prismora-wallpaper --output /dev/stdout; echo after; } > file`:
// the bytes go where the shared position stands and move it on.
TEST(FileWriterHeld, ADescriptorIsWrittenFromWhereItStands) {
  TestFiles::ScratchFolder folder;
  const std::string file = folder.File("group");
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "before\n", 7), 7);
  Platform::FileStream stream("/dev/fd/" + std::to_string(fd));
  ASSERT_TRUE(stream.Status().Saved()) << stream.Status().reason;
  EXPECT_FALSE(stream.Rewritable());  // a PNG is counted first, then written once
  EXPECT_FALSE(stream.WriteAt(0, Span("x")));
  ASSERT_TRUE(stream.Write(Span("picture\n")));
  ASSERT_TRUE(stream.Commit());
  ASSERT_EQ(write(fd, "after\n", 6), 6);
  EXPECT_EQ(ContentOf(fd), "before\npicture\nafter\n");
  close(fd);
}

// The file behind the descriptor has been deleted: its link in /proc reads
// "/path (deleted)". Nothing is created, renamed or unlinked anywhere.
TEST(FileWriterHeld, ADeletedFileBehindADescriptorIsWrittenAndNothingIsMade) {
  TestFiles::ScratchFolder folder;
  const std::string file = folder.File("gone");
  const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(unlink(file.c_str()), 0);
  EXPECT_TRUE(TrySaveFile("/proc/self/fd/" + std::to_string(fd), Bytes("picture")).Saved());
  EXPECT_EQ(ContentOf(fd), "picture");
  EXPECT_EQ(folder.EntryCount(), 0u);
  close(fd);
}

TEST(FileWriterHeld, ADescriptorThatIsClosedOrOnlyReadsIsRefused) {
  TestFiles::ScratchFolder folder;
  const std::string file = folder.File("readonly");
  TestFiles::WriteText(file, "kept");
  const int reading = open(file.c_str(), O_RDONLY);
  ASSERT_GE(reading, 0);
  const SaveResult read = TrySaveFile("/dev/fd/" + std::to_string(reading), Bytes("x"));
  EXPECT_EQ(read.status, SaveResult::Status::CannotCreate);
  EXPECT_EQ(read.reason, "Not open for writing");
  const int closed = reading;
  close(reading);
  const SaveResult gone = TrySaveFile("/dev/fd/" + std::to_string(closed), Bytes("x"));
  EXPECT_EQ(gone.status, SaveResult::Status::CannotCreate);
  EXPECT_EQ(gone.reason, std::strerror(EBADF));
  EXPECT_EQ(TestFiles::ReadAll(file), Bytes("kept"));
  EXPECT_EQ(folder.EntryCount(), 1u);
}

// Standard output and standard error in a child where both are a file opened
// for appending.
TEST(FileWriterHeld, StandardOutputIsWrittenThroughItsDescriptor) {
  TestFiles::ScratchFolder folder;
  const std::string file = folder.File("out");
  TestFiles::WriteText(file, "header;");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = open(file.c_str(), O_WRONLY | O_APPEND);
    if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0 || dup2(fd, STDERR_FILENO) < 0) _exit(2);
    Platform::FileStream stream(Platform::FileStream::StandardOutput{});
    const bool saved = stream.Write(Span("as standard output;")) && stream.Commit() &&
                       TrySaveFile("/dev/stdout", Bytes("/dev/stdout;")).Saved() &&
                       TrySaveFile("/dev/stderr", Bytes("/dev/stderr;")).Saved();
    _exit(saved && fcntl(STDOUT_FILENO, F_GETFD) != -1 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  EXPECT_EQ(TestFiles::ReadAll(file), Bytes("header;as standard output;/dev/stdout;/dev/stderr;"));
  EXPECT_EQ(folder.EntryCount(), 1u);
}

// A folder that merely looks like /proc/self/fd is just a folder.
TEST(FileWriterHeld, OnlyProcfsNamesADescriptor) {
  TestFiles::ScratchFolder folder;
  fs::create_directories(folder.Path() / "proc" / "self" / "fd");
  const std::string name = folder.File("proc/self/fd/1");
  ASSERT_TRUE(TrySaveFile(name, Bytes("a file")).Saved());
  EXPECT_EQ(TestFiles::ReadAll(name), Bytes("a file"));
}

// ---- Links on the way -------------------------------------------------------

TEST(FileWriterLinks, LinksToFoldersOnTheWayAreFollowed) {
  TestFiles::ScratchFolder folder;
  fs::create_directories(folder.Path() / "real" / "deeper");
  fs::create_directory_symlink("real", folder.Path() / "relative");
  fs::create_directory_symlink(folder.Path() / "relative" / "deeper", folder.Path() / "absolute");
  TestFiles::WriteText(folder.File("real/deeper/wall.bmp"), "old");
  ASSERT_TRUE(TrySaveFile(folder.File("absolute/wall.bmp"), Bytes("new")).Saved());
  ASSERT_TRUE(TrySaveFile(folder.File("relative/deeper/../new.bmp"), Bytes("made")).Saved());
  EXPECT_EQ(TestFiles::ReadAll(folder.File("real/deeper/wall.bmp")), Bytes("new"));
  EXPECT_EQ(TestFiles::ReadAll(folder.File("real/new.bmp")), Bytes("made"));  // ".." of where the link led
  EXPECT_TRUE(fs::is_symlink(folder.Path() / "absolute"));
  EXPECT_EQ(fs::directory_entry(folder.Path() / "real" / "deeper").is_directory(), true);
}

TEST(FileWriterLinks, LoopsMissingTargetsAndFilesOnTheWayAreRefused) {
  TestFiles::ScratchFolder folder;
  fs::create_symlink("loop-b", folder.Path() / "loop-a");
  fs::create_symlink("loop-a", folder.Path() / "loop-b");
  fs::create_symlink("missing-folder/x.bmp", folder.Path() / "to-nowhere.bmp");
  fs::create_symlink("new-folder/", folder.Path() / "to-a-new-folder.bmp");
  fs::create_symlink("plain/", folder.Path() / "to-a-file-as-folder.bmp");
  TestFiles::WriteText(folder.File("plain"), "x");
  const std::pair<std::string, std::string> cases[] = {
      {"loop-a/x.bmp", std::strerror(ELOOP)},
      {"loop-a", std::strerror(ELOOP)},
      {"to-nowhere.bmp", "Symbolic link to a missing file"},
      {"to-a-new-folder.bmp", "Symbolic link to a missing file"},
      {"to-a-file-as-folder.bmp", std::strerror(ENOTDIR)},
      {"plain/x.bmp", std::strerror(ENOTDIR)},
  };
  for (const auto& [name, reason] : cases) {
    const SaveResult result = TrySaveFile(folder.File(name), Bytes("x"));
    EXPECT_EQ(result.status, SaveResult::Status::CannotCreate) << name;
    EXPECT_EQ(result.reason, reason) << name;
  }
  EXPECT_EQ(folder.EntryCount(), 6u);
  EXPECT_FALSE(fs::exists(folder.Path() / "missing-folder"));
  EXPECT_FALSE(fs::exists(folder.Path() / "new-folder"));
}

// The temporary file is made and renamed in the folder that was checked: a
// folder renamed, and a link put in its place, while the picture is written
// do not send it anywhere else.
TEST(FileWriterLinks, TheFolderCheckedIsTheFolderWritten) {
  TestFiles::ScratchFolder folder;
  fs::create_directory(folder.Path() / "chosen");
  fs::create_directory(folder.Path() / "elsewhere");
  Platform::FileStream stream(folder.File("chosen/wall.bmp"));
  ASSERT_TRUE(stream.Write(Span("picture")));
  fs::rename(folder.Path() / "chosen", folder.Path() / "moved");
  fs::create_directory_symlink("elsewhere", folder.Path() / "chosen");
  ASSERT_TRUE(stream.Commit());
  EXPECT_EQ(TestFiles::ReadAll(folder.File("moved/wall.bmp")), Bytes("picture"));
  EXPECT_TRUE(fs::is_empty(folder.Path() / "elsewhere"));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path() / "moved"), {}), 1);
}

// The kernel's fs.protected_symlinks, off for the test (and put back), so
// that only the writer's own check can refuse the link.
class ProtectedSymlinksOff {
 public:
  ProtectedSymlinksOff() {
    std::ifstream(kSetting) >> previous_;
    if (previous_ != "0") std::ofstream(kSetting) << "0";
    std::string now;
    std::ifstream(kSetting) >> now;
    off_ = now == "0";
  }
  ~ProtectedSymlinksOff() {
    if (!previous_.empty() && previous_ != "0") std::ofstream(kSetting) << previous_;
  }
  bool Off() const { return off_; }

 private:
  static constexpr const char* kSetting = "/proc/sys/fs/protected_symlinks";
  std::string previous_;
  bool off_ = false;
};

// As root, with another user's link /tmp/dl leading to a folder of theirs:
// --output /tmp/dl/x.bmp must not replace their x.bmp. Refused wherever on
// the way such a link lies, and named; one of ours or of the folder's owner
// is followed.
TEST(FileWriterLinks, AnotherUsersLinkOnTheWayInAStickySharedFolderIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give links and folders to another user";
  const ProtectedSymlinksOff unprotected;
  if (!unprotected.Off()) GTEST_SKIP() << "fs.protected_symlinks could not be switched off";
  TestFiles::ScratchFolder folder;
  const fs::path shared = folder.Path() / "shared";
  const fs::path theirs = folder.Path() / "theirs";
  fs::create_directory(shared);
  fs::create_directory(theirs);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  ASSERT_EQ(chown(theirs.c_str(), 4321, 4321), 0);
  const std::string victim = (theirs / "x.bmp").string();
  TestFiles::WriteText(victim, "their picture");
  const fs::path link = shared / "dl";
  fs::create_directory_symlink(theirs, link);
  ASSERT_EQ(lchown(link.c_str(), 4321, 4321), 0);
  // Through the link to their folder, and through a chain whose second link is theirs.
  fs::create_directory_symlink(link, folder.Path() / "ours");
  for (const fs::path& path : {link / "x.bmp", folder.Path() / "ours" / "x.bmp"}) {
    const SaveResult result = TrySaveFile(path.string(), Bytes("picture"));
    EXPECT_EQ(result.status, SaveResult::Status::CannotCreate) << path;
    EXPECT_EQ(result.reason, "Symbolic link in a shared folder, owned by another user: " + link.string()) << path;
  }
  EXPECT_EQ(TestFiles::ReadAll(victim), Bytes("their picture"));
  EXPECT_EQ(std::distance(fs::directory_iterator(theirs), {}), 1);
  // The same link is followed once it is ours, or once the folder is its owner's.
  ASSERT_EQ(lchown(link.c_str(), 0, 0), 0);
  EXPECT_TRUE(TrySaveFile((link / "x.bmp").string(), Bytes("our link")).Saved());
  EXPECT_EQ(TestFiles::ReadAll(victim), Bytes("our link"));
  ASSERT_EQ(lchown(link.c_str(), 4321, 4321), 0);
  ASSERT_EQ(chown(shared.c_str(), 4321, 4321), 0);
  EXPECT_TRUE(TrySaveFile((link / "x.bmp").string(), Bytes("the folder owner's link")).Saved());
  EXPECT_EQ(TestFiles::ReadAll(victim), Bytes("the folder owner's link"));
}

}  // namespace
