// WriteFileAtomically: a failed write never touches the old file and leaves
// no temporary behind; names and folders that cannot be created are refused
// with the path as passed.
#include <gtest/gtest.h>

#include "platform/error.h"
#include "tests/tools/test_files.h"
#include "tools/atomic_file.h"
#include "tools/dib.h"

namespace {

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const PrismoraError& e) {
    return e.what();
  }
  return "no error";
}

struct WriteFault {
  explicit WriteFault(int64_t after) { SetWriteFaultForTesting(after); }
  ~WriteFault() { SetWriteFaultForTesting(-1); }
};

TEST(AtomicFile, FailedWriteLeavesTheOldFileIntact) {
  TestFiles::ScratchFolder folder;
  const std::string path = folder.File("wall.bmp");
  TestFiles::WriteText(path, "the previous wallpaper");
  DIB::TDIB image;
  image.SetBitCount(24);
  image.SetWidth(1024);
  image.SetHeight(768);
  // Full disk at the start, in the middle (past the first chunk) and one byte short.
  for (int64_t after : {int64_t{0}, int64_t{1500000}, int64_t{2359349}}) {
    WriteFault fault(after);
    EXPECT_EQ(ErrorOf([&] { image.SaveToFile(path); }), "Stream write error") << after;
    EXPECT_EQ(TestFiles::ReadAll(path), std::vector<uint8_t>(std::begin("the previous wallpaper"),
                                                              std::end("the previous wallpaper") - 1));
    EXPECT_EQ(folder.EntryCount(), 1u) << "temporary file left behind";
  }
  image.SaveToFile(path);  // and with the fault gone the save goes through
  EXPECT_EQ(TestFiles::ReadAll(path).size(), 2359350u);
}

TEST(AtomicFile, FailedFirstWriteCreatesNoFile) {
  TestFiles::ScratchFolder folder;
  WriteFault fault(10);
  EXPECT_EQ(ErrorOf([&] { WriteFileAtomically(folder.File("new.bmp"), std::string(100, 'a')); }),
            "Stream write error");
  EXPECT_EQ(folder.EntryCount(), 0u);
}

TEST(AtomicFile, NamesAndFoldersThatCannotBeCreated) {
  TestFiles::ScratchFolder folder;
  TestFiles::WriteText(folder.File("plain"), "x");
  std::filesystem::create_directory(folder.Path() / "sub");
  const std::string bad[] = {
      folder.File("*.bmp"),           folder.File("what?.bmp"),      folder.File("a<b.bmp"),
      folder.File("a|b.bmp"),         folder.File("tab\t.bmp"),      folder.File("missing/x.bmp"),
      folder.File("plain/x.bmp"),  // a file where a folder should be
      folder.File("sub"),             // a folder where the file should be
      folder.File("sub/"),            "",
  };
  for (const std::string& path : bad) {
    EXPECT_EQ(ErrorOf([&] { WriteFileAtomically(path, std::string("data")); }), "Cannot create file " + path);
  }
  EXPECT_EQ(folder.EntryCount(), 2u);
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path() / "sub"));
}

TEST(AtomicFile, RelativePathIsResolvedAgainstTheCurrentFolder) {
  TestFiles::ScratchFolder folder;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  WriteFileAtomically("Prismora1.bmp", std::string("abc"));
  std::filesystem::current_path(previous);
  EXPECT_EQ(TestFiles::ReadAll(folder.File("Prismora1.bmp")), (std::vector<uint8_t>{'a', 'b', 'c'}));
  EXPECT_EQ(folder.EntryCount(), 1u);
}

}  // namespace
