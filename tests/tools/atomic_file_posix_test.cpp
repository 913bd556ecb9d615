// POSIX-only behaviour of WriteFileAtomically: a real write failure from the
// kernel (file size limit), permissions kept, symbolic links written through.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "platform/error.h"
#include "tests/tools/test_files.h"
#include "tools/atomic_file.h"

namespace {

// RLIMIT_FSIZE makes write(2) fail with EFBIG once the file would pass the
// limit (SIGXFSZ ignored), just as a full disk fails part-way.
TEST(AtomicFilePosix, KernelWriteFailureKeepsTheOldFile) {
  TestFiles::ScratchFolder folder;
  const std::string path = folder.File("wall.bmp");
  TestFiles::WriteText(path, "old");
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error = "no error";
  try {
    WriteFileAtomically(path, std::string(100000, 'n'));
  } catch (const PrismoraError& e) {
    error = e.what();
  }
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(error, "Stream write error");
  EXPECT_EQ(TestFiles::ReadAll(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST(AtomicFilePosix, ReplacementKeepsThePermissionsOfTheOldFile) {
  TestFiles::ScratchFolder folder;
  const std::string path = folder.File("settings");
  TestFiles::WriteText(path, "old");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  WriteFileAtomically(path, std::string("new"));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(AtomicFilePosix, SymbolicLinkIsWrittenThroughNotReplaced) {
  TestFiles::ScratchFolder folder;
  TestFiles::WriteText(folder.File("real.bmp"), "old");
  std::filesystem::create_symlink(folder.File("real.bmp"), folder.File("link.bmp"));
  WriteFileAtomically(folder.File("link.bmp"), std::string("new"));
  EXPECT_TRUE(std::filesystem::is_symlink(folder.File("link.bmp")));
  EXPECT_EQ(TestFiles::ReadAll(folder.File("real.bmp")), (std::vector<uint8_t>{'n', 'e', 'w'}));
}

}  // namespace
