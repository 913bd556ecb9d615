// SaveFile and FileStream on every platform: a failed write never touches the
// old file and leaves no temporary behind; names and folders that cannot be
// created are refused with the path as passed and a reason; a stream replaces
// the file only when committed, and can patch and start again.
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
    const std::string shown = path == folder.File("tab\t.bmp") ? folder.File("tab\\t.bmp") : path;
    EXPECT_EQ(message, "Cannot create file " + shown);
    EXPECT_FALSE(reason.empty()) << path;
  }
  EXPECT_EQ(folder.EntryCount(), 2u);
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path() / "sub"));
}

// A name is shown with its control characters escaped: one error, one line,
// and no commands for the terminal that shows it.
TEST(FileWriter, ControlCharactersInANameAreEscapedInTheMessage) {
  TestFiles::ScratchFolder folder;
  const auto [message, reason] = ErrorOf(folder.File("no\nsuch\x1b[2J/x\x7f.bmp"), "data");
  EXPECT_EQ(message, "Cannot create file " + folder.File("no\\nsuch\\x1b[2J/x\\x7f.bmp"));
  EXPECT_EQ(reason.find('\n'), std::string::npos);
  EXPECT_EQ(ShownInMessage("tab\there\r\x01 \xc2\x9b[31m"), "tab\\there\\r\\x01 \\xc2\\x9b[31m");
  // Other UTF-8 (a continuation byte in 0x80..0x9f too) and backslashes stay.
  EXPECT_EQ(ShownInMessage("C:\\Bilder\\\xc4\x9bkr\xc3\xa1n.bmp"), "C:\\Bilder\\\xc4\x9bkr\xc3\xa1n.bmp");
  EXPECT_EQ(ShownInMessage(std::string("nul\0", 4)), "nul\\x00");
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

// ---- FileStream ----

std::span<const uint8_t> Span(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(FileStream, ReplacesTheFileOnlyWhenCommitted) {
  TestFiles::ScratchFolder folder;
  const std::string path = folder.File("wall.bmp");
  TestFiles::WriteText(path, "old");
  {
    Platform::FileStream stream(path);
    ASSERT_TRUE(stream.Status().Saved());
    EXPECT_TRUE(stream.Rewritable());
    for (int band = 0; band < 5; ++band) ASSERT_TRUE(stream.Write(Span(std::string(300000, char('a' + band)))));
    EXPECT_EQ(TestFiles::ReadAll(path), Bytes("old"));
    EXPECT_EQ(folder.EntryCount(), 2u);  // the file and the temporary one
    ASSERT_TRUE(stream.Commit());
    EXPECT_FALSE(stream.Write(Span("late")));  // nothing after the commit
  }
  const std::vector<uint8_t> written = TestFiles::ReadAll(path);
  ASSERT_EQ(written.size(), 1500000u);
  EXPECT_EQ(written[299999], 'a');
  EXPECT_EQ(written[1200000], 'e');
  EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST(FileStream, UncommittedOrFailedStreamsLeaveTheOldFileAndNoTemporary) {
  TestFiles::ScratchFolder folder;
  const std::string path = folder.File("wall.png");
  TestFiles::WriteText(path, "old");
  {
    Platform::FileStream abandoned(path);
    ASSERT_TRUE(abandoned.Write(Span(std::string(1000, 'x'))));
  }
  EXPECT_EQ(TestFiles::ReadAll(path), Bytes("old"));
  EXPECT_EQ(folder.EntryCount(), 1u);

  // The disk fills in the third piece: the count runs over the whole stream.
  WriteFault fault(2500000);
  Platform::FileStream stream(path);
  EXPECT_TRUE(stream.Write(Span(std::string(1000000, 'y'))));
  EXPECT_TRUE(stream.Write(Span(std::string(1000000, 'y'))));
  EXPECT_FALSE(stream.Write(Span(std::string(1000000, 'y'))));
  EXPECT_EQ(stream.Status().status, Platform::SaveResult::Status::WriteFailed);
  EXPECT_EQ(stream.Status().reason, "No space left on device");
  EXPECT_EQ(folder.EntryCount(), 1u) << "temporary file left behind";
  EXPECT_FALSE(stream.Write(Span("more")));
  EXPECT_FALSE(stream.Commit());
  EXPECT_EQ(TestFiles::ReadAll(path), Bytes("old"));
}

TEST(FileStream, PatchesWrittenBytesAndStartsAgain) {
  TestFiles::ScratchFolder folder;
  const std::string path = folder.File("patched.png");
  Platform::FileStream stream(path);
  ASSERT_TRUE(stream.Write(Span("header:????;body")));
  ASSERT_TRUE(stream.WriteAt(7, Span("1234")));
  ASSERT_TRUE(stream.Write(Span(";tail")));  // still appends after the patch
  ASSERT_TRUE(stream.Commit());
  EXPECT_EQ(TestFiles::ReadAll(path), Bytes("header:1234;body;tail"));

  Platform::FileStream again(path);
  ASSERT_TRUE(again.Write(Span("a first attempt, too long")));
  ASSERT_TRUE(again.Restart());
  ASSERT_TRUE(again.Write(Span("second")));
  ASSERT_TRUE(again.Commit());
  EXPECT_EQ(TestFiles::ReadAll(path), Bytes("second"));
  EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST(FileStream, AFileThatCannotBeMadeIsReportedAtOnce) {
  TestFiles::ScratchFolder folder;
  for (const std::string& path : {folder.File("no/such.bmp"), folder.File("*.bmp")}) {
    Platform::FileStream stream(path);
    EXPECT_EQ(stream.Status().status, Platform::SaveResult::Status::CannotCreate) << path;
    EXPECT_FALSE(stream.Status().reason.empty());
    EXPECT_FALSE(stream.Write(Span("x")));
    EXPECT_FALSE(stream.Commit());
    try {
      Platform::ThrowFileError(path, stream.Status());
    } catch (const Platform::FileError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot create file " + path);
    }
  }
  EXPECT_EQ(folder.EntryCount(), 0u);
}

}  // namespace
