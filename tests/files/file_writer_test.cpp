// SaveFile on every platform: a failed write never touches the old file and
// leaves no temporary behind; names and folders that cannot be created are
// refused with the path as passed and a reason.
#include "platform/file_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/test_files.h"

namespace {

using Platform::SaveFile;

// The error's message and reason, or "no error".
std::pair<std::string, std::string> ErrorOf(const std::string& path, const std::string& bytes) {
  try {
    SaveFile(path, bytes);
  } catch (const Platform::FileError& e) {
    return {e.what(), e.Reason()};
  }
  return {"no error", ""};
}

struct WriteFault {
  explicit WriteFault(int64_t after) { Platform::SetWriteFaultForTesting(after); }
  ~WriteFault() { Platform::SetWriteFaultForTesting(-1); }
};

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(FileWriter, FailedWriteLeavesTheOldFileIntact) {
  TestFiles::ScratchFolder folder;
  const std::string path = folder.File("wall.bmp");
  TestFiles::WriteText(path, "the previous wallpaper");
  const std::string picture(2359350, 'p');
  // Full disk at the start, in the middle (past the first piece) and one byte short.
  for (int64_t after : {int64_t{0}, int64_t{1500000}, int64_t{2359349}}) {
    WriteFault fault(after);
    const auto [message, reason] = ErrorOf(path, picture);
    EXPECT_EQ(message, "Stream write error") << after;
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(TestFiles::ReadAll(path), Bytes("the previous wallpaper"));
    EXPECT_EQ(folder.EntryCount(), 1u) << "temporary file left behind";
  }
  SaveFile(path, picture);  // and with the fault gone the save goes through
  EXPECT_EQ(TestFiles::ReadAll(path).size(), picture.size());
  EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST(FileWriter, FailedFirstWriteCreatesNoFile) {
  TestFiles::ScratchFolder folder;
  WriteFault fault(10);
  EXPECT_EQ(ErrorOf(folder.File("new.bmp"), std::string(100, 'a')).first, "Stream write error");
  EXPECT_EQ(folder.EntryCount(), 0u);
}

TEST(FileWriter, NamesAndFoldersThatCannotBeCreatedAreRefusedWithAReason) {
  TestFiles::ScratchFolder folder;
  TestFiles::WriteText(folder.File("plain"), "x");
  std::filesystem::create_directory(folder.Path() / "sub");
  const std::string bad[] = {
      folder.File("*.bmp"),        folder.File("what?.bmp"), folder.File("a<b.bmp"),
      folder.File("a|b.bmp"),      folder.File("tab\t.bmp"), folder.File("missing/x.bmp"),
      folder.File("plain/x.bmp"),  // a file where a folder should be
      folder.File("sub"),          // a folder where the file should be
      folder.File("sub/"),         "",
  };
  for (const std::string& path : bad) {
    const auto [message, reason] = ErrorOf(path, "data");
    EXPECT_EQ(message, "Cannot create file " + path);
    EXPECT_FALSE(reason.empty()) << path;
  }
  EXPECT_EQ(folder.EntryCount(), 2u);
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path() / "sub"));
}

TEST(FileWriter, ReplacesWholeAndResolvesRelativeNamesAgainstTheCurrentFolder) {
  TestFiles::ScratchFolder folder;
  TestFiles::WriteText(folder.File("Prismora1.bmp"), "a much longer previous content");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  SaveFile("Prismora1.bmp", std::string("abc"));
  SaveFile("empty.bmp", std::string());
  std::filesystem::current_path(previous);
  EXPECT_EQ(TestFiles::ReadAll(folder.File("Prismora1.bmp")), Bytes("abc"));
  EXPECT_EQ(std::filesystem::file_size(folder.File("empty.bmp")), 0u);
  EXPECT_EQ(folder.EntryCount(), 2u);
}

TEST(FileWriter, TrySaveFileReportsWithoutThrowing) {
  TestFiles::ScratchFolder folder;
  const std::vector<uint8_t> bytes{1, 2, 3};
  EXPECT_TRUE(Platform::TrySaveFile(folder.File("ok"), bytes).Saved());
  const Platform::SaveResult missing = Platform::TrySaveFile(folder.File("no/such"), bytes);
  EXPECT_EQ(missing.status, Platform::SaveResult::Status::CannotCreate);
  EXPECT_FALSE(missing.reason.empty());
}

}  // namespace
