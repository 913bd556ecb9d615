// SaveFile on Windows: names outside the ANSI code page, symbolic links
// (where the system makes them: Wine 8 does not), and a temporary file that
// goes with its process however that ends. Names are checked through the
// wide functions, which see them as they are.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/file_writer.h"
#include "platform/win32/win32_text.h"
#include "tests/support/test_files.h"

namespace {

using WinText::Utf8;
using WinText::Wide;

std::string Utf8Of(const std::filesystem::path& p) {
  const std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  const HANDLE h = FindFirstFileW(Wide(folder + "\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(Utf8(name));
  } while (FindNextFileW(h, &found));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadAll(const std::string& path) {
  const HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<cannot open>";
  std::string bytes;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
  CloseHandle(h);
  return bytes;
}

std::span<const uint8_t> Span(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(FileWriterWindows, NamesOutsideTheAnsiCodePageAreWrittenAsTheyAre) {
  TestFiles::ScratchFolder scratch;
  const std::string folder = Utf8Of(scratch.Path());
  // CJK, Greek and a symbol: no single ANSI code page holds them all.
  const std::string sub = folder + "\\壁纸 Ωμέγα";
  ASSERT_TRUE(CreateDirectoryW(Wide(sub).c_str(), nullptr));
  const std::string picture = sub + "\\中文 ☃.bmp";
  Platform::SaveFile(picture, std::string("first"));
  Platform::SaveFile(picture, std::string("second, replacing it"));
  EXPECT_EQ(ReadAll(picture), "second, replacing it");
  Platform::FileStream stream(sub + "\\Ωμέγα.png");
  ASSERT_TRUE(stream.Status().Saved()) << stream.Status().reason;
  ASSERT_TRUE(stream.Write(Span("streamed")));
  ASSERT_TRUE(stream.Commit());
  EXPECT_EQ(NamesIn(sub), (std::vector<std::string>{"Ωμέγα.png", "中文 ☃.bmp"}));
  EXPECT_EQ(ReadAll(sub + "\\Ωμέγα.png"), "streamed");

  const std::string missing = folder + "\\缺\\图.bmp";
  try {
    Platform::SaveFile(missing, std::string("x"));
    FAIL() << "no error";
  } catch (const Platform::FileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + missing);
    EXPECT_FALSE(e.Reason().empty());
  }
  EXPECT_EQ(NamesIn(folder), (std::vector<std::string>{"壁纸 Ωμέγα"}));
}

// A Windows symbolic link, or nothing where the system makes none (Wine 8's
// CreateSymbolicLinkW reports success and makes nothing).
bool MakeLink(const std::string& link, const std::string& target) {
  constexpr DWORD kUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE, Windows 10 1703 on
  if (!CreateSymbolicLinkW(Wide(link).c_str(), Wide(target).c_str(), kUnprivileged) &&
      !CreateSymbolicLinkW(Wide(link).c_str(), Wide(target).c_str(), 0))
    return false;
  const DWORD attributes = GetFileAttributesW(Wide(link).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A replaced file keeps the attributes its user set (hidden, system, archive,
// not indexed), as the Linux writer keeps a file's mode; a new file gets none.
TEST(FileWriterWindows, AReplacedFileKeepsItsAttributes) {
  TestFiles::ScratchFolder scratch;
  const std::string path = Utf8Of(scratch.Path()) + "\\hidden.bmp";
  ASSERT_TRUE(Platform::TrySaveFile(path, Span("old")).Saved());
  const DWORD set = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
  ASSERT_TRUE(SetFileAttributesW(Wide(path).c_str(), set));
  if ((GetFileAttributesW(Wide(path).c_str()) & FILE_ATTRIBUTE_HIDDEN) == 0)
    GTEST_SKIP() << "this file system keeps no hidden attribute";
  ASSERT_TRUE(Platform::TrySaveFile(path, Span("new")).Saved());
  EXPECT_EQ(ReadAll(path), "new");
  EXPECT_EQ(GetFileAttributesW(Wide(path).c_str()) & (set | FILE_ATTRIBUTE_SYSTEM), set);

  const std::string fresh = Utf8Of(scratch.Path()) + "\\fresh.bmp";
  ASSERT_TRUE(Platform::TrySaveFile(fresh, Span("x")).Saved());
  EXPECT_EQ(GetFileAttributesW(Wide(fresh).c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST(FileWriterWindows, ALinkKeepsLeadingToTheFileThatIsReplaced) {
  TestFiles::ScratchFolder scratch;
  const std::string folder = Utf8Of(scratch.Path());
  ASSERT_TRUE(CreateDirectoryW(Wide(folder + "\\other").c_str(), nullptr));
  Platform::SaveFile(folder + "\\other\\t.bmp", std::string("old"));
  if (!MakeLink(folder + "\\link.bmp", "other\\t.bmp")) GTEST_SKIP() << "this system makes no symbolic links";
  Platform::SaveFile(folder + "\\link.bmp", std::string("new picture"));
  EXPECT_EQ(ReadAll(folder + "\\other\\t.bmp"), "new picture");
  EXPECT_TRUE(GetFileAttributesW(Wide(folder + "\\link.bmp").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_EQ(NamesIn(folder + "\\other"), std::vector<std::string>{"t.bmp"});

  ASSERT_TRUE(MakeLink(folder + "\\nowhere.bmp", "missing.bmp"));
  const Platform::SaveResult refused = Platform::TrySaveFile(folder + "\\nowhere.bmp", Span("x"));
  EXPECT_EQ(refused.status, Platform::SaveResult::Status::CannotCreate);
  EXPECT_EQ(refused.reason, "Symbolic link to a missing file");
  EXPECT_EQ(NamesIn(folder), (std::vector<std::string>{"link.bmp", "nowhere.bmp", "other"}));
}

// A death test's child runs the test again from its start: it takes the
// parent's folder from the environment instead of making one of its own.
class SharedScratch {
 public:
  SharedScratch() {
    if (const char* given = std::getenv(kVariable); given && *given) {
      path_ = given;
      return;
    }
    owned_.emplace();
    path_ = Utf8Of(owned_->Path());
    _putenv_s(kVariable, path_.c_str());
  }
  ~SharedScratch() {
    if (owned_) _putenv_s(kVariable, "");
  }
  const std::string& Path() const { return path_; }

 private:
  static constexpr const char* kVariable = "PRISMORA_DEATH_TEST_FOLDER";
  std::optional<TestFiles::ScratchFolder> owned_;
  std::string path_;
};

// Ended from outside, with no code of ours running (the task manager; under
// Wine also SIGTERM or SIGKILL): the system removes the temporary file.
void WriteAndGetKilled(const std::string& path) {
  Platform::FileStream stream(path);
  if (!stream.Write(Span(std::string(100000, 'n')))) std::exit(1);
  TerminateProcess(GetCurrentProcess(), 7);
}

TEST(FileWriterWindowsDeathTest, ATemporaryFileGoesWithAProcessThatIsKilled) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const SharedScratch scratch;
  const std::string picture = scratch.Path() + "\\wall.bmp";
  if (NamesIn(scratch.Path()).empty()) Platform::SaveFile(picture, std::string("old"));  // the parent only
  EXPECT_EXIT(WriteAndGetKilled(picture), ::testing::ExitedWithCode(7), "");
  // Wine's server removes it once it has seen the process end, a moment later.
  const ULONGLONG deadline = GetTickCount64() + 10000;
  while (NamesIn(scratch.Path()).size() > 1 && GetTickCount64() < deadline) Sleep(10);
  EXPECT_EQ(NamesIn(scratch.Path()), std::vector<std::string>{"wall.bmp"});
  EXPECT_EQ(ReadAll(picture), "old");
}

}  // namespace
