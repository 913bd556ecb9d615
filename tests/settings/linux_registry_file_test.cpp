// The Linux .reg file store: the text it writes, export files it reads (UTF-16
// and CRLF ones too), the damage it reports and never overwrites, how it
// replaces the file, and two processes using it at once.
#include "platform/linux/linux_registry_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "base/error.h"
#include "platform/native_registry.h"
#include "settings/settings.h"
#include "tests/settings/scratch_store.h"

namespace fs = std::filesystem;
using Platform::LinuxRegistryFile;
using Settings::RegistryValue;
using Settings::SettingsValues;

namespace {

fs::path NewScratchFolder() {
  static int counter = 0;
  const fs::path dir = fs::temp_directory_path() /
                       ("prismora-settings-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
  fs::remove_all(dir);
  return dir;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

class StoreFileTest : public testing::Test {
 protected:
  void TearDown() override { fs::remove_all(dir); }

  // LoadSettings at 1024 wide; the error message, or "" when none.
  std::string Load(SettingsValues& v) {
    LinuxRegistryFile store(file.string());
    try {
      Settings::LoadSettings(store, 1024, "/home/someone", v.Variables());
    } catch (const PrismoraError& e) {
      return e.what();
    }
    return "";
  }

  fs::path dir = NewScratchFolder();
  fs::path file = dir / "deeper" / "registry.reg";
};

constexpr const char* kFirstRunText =
    "REGEDIT4\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Prismora]\n"
    "\"Speed\"=dword:00000019\n"
    "\"Bright\"=dword:00000003\n"
    "\"Algoritm\"=dword:00000007\n"
    "\"Rands\"=dword:00000001\n"
    "\"Path_Wall\"=\"/home/someone\"\n"
    "\"Pixels\"=dword:00000000\n";

TEST_F(StoreFileTest, FirstRunCreatesFoldersAndWritesAnExportFile) {
  SettingsValues v;
  EXPECT_EQ(Load(v), "");
  EXPECT_EQ(ReadFile(file), kFirstRunText);
  struct stat st;
  ASSERT_EQ(stat(file.parent_path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(StoreFileTest, ReadsExportFilesAsTheRegistryEditorWritesThem) {
  WriteFile(file,
            "REGEDIT4\r\n\r\n"
            "; exported settings\r\n"
            "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
            "\"Speed\"=dword:00000001\r\n\r\n"
            "[hkey_current_user\\software\\PRISMORA]\r\n"
            "\"SPEED\"=dword:0000002A\r\n"
            "\"Bright\"=hex(4):02,00,00,00\r\n"
            "\"Algoritm\"=dword:c\r\n"
            "\"Rands\"=dword:00000000\r\n"
            "\"Path_Wall\"=hex(2):2f,6d,6e,74,2f,\\\r\n"
            "  25,48,4f,4d,45,25,00\r\n");
  SettingsValues v;
  EXPECT_EQ(Load(v), "");
  EXPECT_EQ(v.Speed, 42);
  EXPECT_EQ(v.WallpaperSizeChoice, 2);
  EXPECT_EQ(v.Algorithm, 12);
  EXPECT_FALSE(v.RandomAlgorithm);
  EXPECT_EQ(v.WallpaperFolder, "/mnt/%HOME%");
}

TEST_F(StoreFileTest, ValuesOfOtherTypesReadAsInvalidDataType) {
  const std::string head = "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Prismora]\n";
  WriteFile(file, head + "\"Speed\"=hex:19,00,00,00\n");
  SettingsValues v;
  EXPECT_EQ(Load(v), "Invalid data type for 'Speed'");
  WriteFile(file, head +
                      "\"Speed\"=dword:1\n\"Bright\"=dword:1\n\"Algoritm\"=dword:1\n"
                      "\"Rands\"=dword:1\n\"Path_Wall\"=hex(7):61,00,00\n");
  EXPECT_EQ(Load(v), "Invalid data type for 'Path_Wall'");
}

// A damaged line reads as missing. Save Settings puts the value it writes in
// place of the damaged line of that name (never a second line beside it);
// a damaged line of a value it does not write stays as it was.
TEST_F(StoreFileTest, DamagedLinesCountAsMissingAndSaveSettingsReplacesThem) {
  const std::string before =
      "REGEDIT4\n\n"
      "[HKEY_CURRENT_USER\\Software\\Prismora]\n"
      "\"Speed\"=dword:0000000a\n"
      "\"Bright\"=dword:zz\n"
      "\"Algoritm\"=dword:00000005\n"
      "\"Rands\"=dword:00000001\n"
      "\"Path_Wall\"=\"/data\n"  // truncated string
      "\n[HKEY_CURRENT_USER\\Software\\Neighbour]\n\"Keep\"=\"me\"\n";
  WriteFile(file, before);
  SettingsValues v;
  EXPECT_EQ(Load(v), "Failed to get data for 'Bright'");

  LinuxRegistryFile store(file.string());
  SettingsValues save{10, 2, 5, true, ""};
  Settings::SaveSettings(store, save.Variables());
  const std::string after = ReadFile(file);
  EXPECT_EQ(after,
            "REGEDIT4\n\n"
            "[HKEY_CURRENT_USER\\Software\\Prismora]\n"
            "\"Speed\"=dword:0000000a\n"
            "\"Bright\"=dword:00000002\n"
            "\"Algoritm\"=dword:00000005\n"
            "\"Rands\"=dword:00000001\n"
            "\"Pixels\"=dword:00000000\n"
            "\"OnBattery\"=dword:00000001\n"
            "\"Path_Wall\"=\"/data\n"
            "\n[HKEY_CURRENT_USER\\Software\\Neighbour]\n\"Keep\"=\"me\"\n");
  SettingsValues again;
  EXPECT_EQ(Load(again), "");
  EXPECT_EQ(again.WallpaperSizeChoice, 2);
  EXPECT_EQ(again.WallpaperFolder, "");  // the truncated string still reads as missing
}

TEST_F(StoreFileTest, ValuesAfterADamagedSectionHeaderBelongToNoKey) {
  WriteFile(file,
            "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Prismora]\n\"Speed\"=dword:00000003\n"
            "[HKEY_CURRENT_USER\\Software\\Prismora\n\"Bright\"=dword:00000001\n");
  SettingsValues v;
  EXPECT_EQ(Load(v), "Failed to get data for 'Bright'");
}

// SaveSettings' error, or "" when none.
std::string SaveError(const fs::path& file, int32_t speed = 1, int32_t battery = 1) {
  LinuxRegistryFile store(file.string());
  int32_t size = 1, algorithm = 1;
  bool random = false;
  std::string folder;
  bool pixels = false;
  try {
    Settings::SaveSettings(store, {speed, size, algorithm, random, folder, pixels, battery});
  } catch (const PrismoraError& e) {
    return e.what();
  }
  return "";
}

TEST_F(StoreFileTest, ADamagedPixelsLineIsReplacedNotDoubled) {
  const std::string head = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Prismora]\r\n";
  const std::string rest =
      "\"Speed\"=dword:00000003\r\n\"Bright\"=dword:00000001\r\n\"Algoritm\"=dword:00000001\r\n"
      "\"Rands\"=dword:00000000\r\n\"Path_Wall\"=\"/data\"\r\n";
  WriteFile(file, head + "\"pixels\" = dword:-1\r\n" + rest);
  SettingsValues v;
  EXPECT_EQ(Load(v), "");  // a value later versions added: damaged reads as absent
  EXPECT_FALSE(v.PixelView);
  EXPECT_EQ(SaveError(file, 3), "");
  EXPECT_EQ(ReadFile(file), head + "\"Pixels\"=dword:00000000\r\n" + rest + "\"OnBattery\"=dword:00000001\r\n");
  // A line in another key, or a comment, is not the value's.
  WriteFile(file, head + rest + "\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Pixels\"=dword:-1\r\n");
  EXPECT_EQ(SaveError(file, 3), "");
  const std::string saved = ReadFile(file);
  EXPECT_NE(saved.find("[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Pixels\"=dword:-1\r\n"), std::string::npos);
  EXPECT_NE(saved.find("\"Path_Wall\"=\"/data\"\r\n\"Pixels\"=dword:00000000\r\n"), std::string::npos);
}

// A file that is not a registry file is someone else's: reported, and left
// exactly as it was by the first run and by Save Settings alike.
TEST_F(StoreFileTest, AFileThatIsNotARegistryFileIsReportedAndNeverRewritten) {
  std::mt19937 random(4242);
  std::string garbage;
  for (int i = 0; i < 20000; ++i) garbage.push_back(char(random() & 0xFF));
  garbage += "\n\"Speed\"=hex(4):\\\n";  // a continuation that never comes
  const fs::path passwd = dir / "passwd-copy";
  const std::string accounts = "root:x:0:0:root:/root:/bin/bash\n";
  WriteFile(passwd, accounts);
  for (const std::string& content : {garbage, std::string("[HKEY_CURRENT_USER\\Software\\Prismora]\n"), accounts}) {
    fs::remove(file);
    if (content == accounts) {
      fs::create_symlink(passwd, file);  // a link to a file that is no export
    } else {
      WriteFile(file, content);
    }
    SettingsValues v;
    EXPECT_EQ(Load(v), "Failed to get data for 'Speed'");
    EXPECT_EQ(v.Speed, 25);  // the first run's values, in memory only
    EXPECT_EQ(v.Algorithm, 7);
    EXPECT_EQ(SaveError(file), "Failed to set data for 'Speed'");
    EXPECT_EQ(ReadFile(file), content);
  }
  EXPECT_TRUE(fs::is_symlink(file));
}

TEST_F(StoreFileTest, TheFileIsReplacedWholeNotRewrittenInPlace) {
  SettingsValues v;
  ASSERT_EQ(Load(v), "");
  const fs::path link = dir / "old-store";
  fs::create_hard_link(file, link);
  EXPECT_EQ(SaveError(file), "");
  EXPECT_EQ(ReadFile(link), kFirstRunText);  // the old file is untouched
  EXPECT_NE(ReadFile(file), kFirstRunText);
  for (const auto& entry : fs::directory_iterator(file.parent_path()))
    EXPECT_NE(entry.path().extension(), ".tmp");  // no temporary left behind
  struct stat st;
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0077, 0u);  // a new store is private
}

TEST_F(StoreFileTest, AStoreThatIsASymbolicLinkStaysOne) {
  const fs::path real = dir / "dotfiles" / "prismora.reg";
  WriteFile(real, "REGEDIT4\n; mine\n");
  fs::create_directories(file.parent_path());
  fs::create_symlink(real, file);
  SettingsValues v;
  EXPECT_EQ(Load(v), "");
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(ReadFile(real), std::string("REGEDIT4\n; mine\n\n") + (kFirstRunText + 10));
}

// Anything where the file should be that cannot be read as one: the reads
// report it, the first run keeps its values in memory, Save Settings says
// that it saved nothing, and the thing itself stays as it was.
TEST_F(StoreFileTest, AStoreThatCannotBeReadIsReportedAndNeverOverwritten) {
  fs::create_directories(file);  // a folder where the file should be
  SettingsValues v;
  EXPECT_EQ(Load(v), "Failed to get data for 'Speed'");
  EXPECT_EQ(v.Speed, 25);
  EXPECT_EQ(SaveError(file), "Failed to set data for 'Speed'");
  EXPECT_TRUE(fs::is_directory(file));

  fs::remove(file);
  ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);  // nobody writes to it: reading must not wait
  EXPECT_EQ(Load(v), "Failed to get data for 'Speed'");
  EXPECT_EQ(SaveError(file), "Failed to set data for 'Speed'");
  EXPECT_TRUE(fs::is_fifo(file));

  fs::remove(file);
  const std::string big = "REGEDIT4\n" + std::string(LinuxRegistryFile::kMaxFileBytes, ';');
  WriteFile(file, big);
  EXPECT_EQ(Load(v), "Failed to get data for 'Speed'");
  EXPECT_EQ(SaveError(file), "Failed to set data for 'Speed'");
  EXPECT_EQ(fs::file_size(file), big.size());
}

// The store never writes a file it would refuse to read: a save that makes
// the file exactly kMaxFileBytes long is written and read back; one that
// would make it one byte longer writes nothing and is reported at once, and
// the next start still reads the file.
TEST_F(StoreFileTest, AStoreIsNeverWrittenPastTheSizeItReads) {
  const std::string head = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"Kept\"=dword:00000001\n\n";
  const auto padded = [&](size_t size) {
    std::string text = head;
    while (text.size() + 1 < size) text += text.size() % 100 == 0 ? '\n' : ';';
    return text + "\n";
  };
  // How much one Save Settings adds to a store without the key.
  WriteFile(file, padded(1000));
  ASSERT_EQ(SaveError(file), "");
  const size_t growth = fs::file_size(file) - 1000;

  const std::string atLimit = padded(LinuxRegistryFile::kMaxFileBytes - growth);
  WriteFile(file, atLimit);
  EXPECT_EQ(SaveError(file, 9), "");
  EXPECT_EQ(fs::file_size(file), LinuxRegistryFile::kMaxFileBytes);
  SettingsValues v;
  EXPECT_EQ(Load(v), "");
  EXPECT_EQ(v.Speed, 9);

  const std::string pastLimit = padded(LinuxRegistryFile::kMaxFileBytes - growth + 1);
  WriteFile(file, pastLimit);
  EXPECT_EQ(SaveError(file, 9), "Failed to set data for 'Speed'");
  EXPECT_EQ(ReadFile(file), pastLimit);
  // The first run's defaults do not fit either: reported, nothing written,
  // and the file stays readable for the next start.
  SettingsValues first;
  EXPECT_EQ(Load(first), "Failed to set data for 'Speed'");
  EXPECT_EQ(ReadFile(file), pastLimit);
  for (const auto& entry : fs::directory_iterator(file.parent_path()))
    EXPECT_NE(entry.path().extension(), ".tmp");
}

TEST_F(StoreFileTest, AFolderThatCannotBeCreatedMakesTheFirstRunSilentAndSaveSettingsFail) {
  WriteFile(dir / "deeper", "a file where the store's folder should be");
  SettingsValues v;
  EXPECT_EQ(Load(v), "");
  EXPECT_EQ(v.Speed, 25);
  EXPECT_EQ(SaveError(file), "Failed to set data for 'Speed'");
  EXPECT_EQ(ReadFile(dir / "deeper"), "a file where the store's folder should be");
}

const std::u16string kUtf16Store =
    u"Windows Registry Editor Version 5.00\r\n"
    u"\r\n"
    u"[HKEY_CURRENT_USER\\Software\\Prismora]\r\n"
    u"\"Speed\"=dword:0000000a\r\n"
    u"\"Bright\"=dword:00000002\r\n"
    u"\"Algoritm\"=dword:00000004\r\n"
    u"\"Rands\"=dword:00000000\r\n"
    u"\"Path_Wall\"=\"/home/zo\u00eb/Bilder\"\r\n"
    u"\r\n"
    u"[HKEY_CURRENT_USER\\Software\\Other]\r\n"
    u"\"Keep\"=\"\u65e5\u672c\"\r\n";

std::string Utf16File(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes.push_back(char(unit & 0xFF));
    bytes.push_back(char(unit >> 8));
  }
  return bytes;
}

TEST_F(StoreFileTest, AUtf16ExportIsReadAndRewrittenAsUtf16) {
  WriteFile(file, Utf16File(kUtf16Store));
  SettingsValues v;
  EXPECT_EQ(Load(v), "");
  EXPECT_EQ(v.Speed, 10);
  EXPECT_EQ(v.WallpaperSizeChoice, 2);
  EXPECT_EQ(v.Algorithm, 4);
  EXPECT_EQ(v.WallpaperFolder, "/home/zo\xC3\xAB/Bilder");
  EXPECT_EQ(ReadFile(file), Utf16File(kUtf16Store));  // a read writes nothing

  EXPECT_EQ(SaveError(file, 50), "");
  std::u16string expected = kUtf16Store;
  const std::u16string from = u"dword:0000000a\r\n\"Bright\"=dword:00000002\r\n\"Algoritm\"=dword:00000004";
  expected.replace(expected.find(from), from.size(),
                   u"dword:00000032\r\n\"Bright\"=dword:00000001\r\n\"Algoritm\"=dword:00000001");
  // The view and the battery choice, which the file lacked, are added after
  // the key's last value.
  const std::u16string last = u"/Bilder\"\r\n";
  expected.insert(expected.find(last) + last.size(),
                  u"\"Pixels\"=dword:00000000\r\n\"OnBattery\"=dword:00000001\r\n");
  EXPECT_EQ(ReadFile(file), Utf16File(expected));
}

TEST_F(StoreFileTest, ACrlfStoreKeepsCrlfLines) {
  WriteFile(file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Prismora]\r\n\"Path_Wall\"=\"/p\"\r\n");
  EXPECT_EQ(SaveError(file, 3), "");
  EXPECT_EQ(ReadFile(file),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Prismora]\r\n\"Path_Wall\"=\"/p\"\r\n"
            "\"Speed\"=dword:00000003\r\n\"Bright\"=dword:00000001\r\n\"Algoritm\"=dword:00000001\r\n"
            "\"Rands\"=dword:00000000\r\n\"Pixels\"=dword:00000000\r\n\"OnBattery\"=dword:00000001\r\n");
}

// The battery choice in a file as a registry editor exports it, in either
// version: read, and put back in place by Save Settings, its line's
// encoding and line ends kept; a damaged line reads as the default, without
// an error, and is replaced rather than doubled.
TEST_F(StoreFileTest, TheBatteryChoiceRoundTripsThroughExportFiles) {
  // The key with these digits for the view and the battery choice; Save
  // Settings below stores the other values as they already are.
  const auto key = [](char16_t pixels, char16_t battery) {
    return u"[HKEY_CURRENT_USER\\Software\\Prismora]\r\n"
           u"\"Speed\"=dword:0000000a\r\n\"Bright\"=dword:00000001\r\n\"Algoritm\"=dword:00000001\r\n"
           u"\"Rands\"=dword:00000000\r\n\"Path_Wall\"=\"/p\"\r\n\"Pixels\"=dword:0000000" +
           std::u16string(1, pixels) + u"\r\n\"OnBattery\"=dword:0000000" + std::u16string(1, battery) +
           u"\r\n\"Note\"=\"after\"\r\n";
  };
  const auto version5 = [](const std::u16string& k) {
    return Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n" + k);
  };
  const auto regedit4 = [](const std::u16string& k) {
    std::string text = "REGEDIT4\r\n\r\n";
    for (char16_t unit : k) text.push_back(char(unit));
    return text;
  };
  for (const auto& encode : {std::function<std::string(const std::u16string&)>(version5),
                             std::function<std::string(const std::u16string&)>(regedit4)}) {
    const std::string text = encode(key(u'1', u'2'));
    WriteFile(file, text);
    SettingsValues v;
    EXPECT_EQ(Load(v), "");
    EXPECT_EQ(v.BatteryChoice, 2);
    EXPECT_TRUE(v.PixelView);
    EXPECT_EQ(ReadFile(file), text);  // a read writes nothing
    EXPECT_EQ(SaveError(file, 10, 0), "");
    EXPECT_EQ(ReadFile(file), encode(key(u'0', u'0')));
    SettingsValues again;
    EXPECT_EQ(Load(again), "");
    EXPECT_EQ(again.BatteryChoice, 0);
  }

  const std::string head = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Prismora]\n";
  const std::string rest = "\"Speed\"=dword:00000003\n\"Bright\"=dword:00000001\n\"Algoritm\"=dword:00000001\n"
                           "\"Rands\"=dword:00000000\n\"Path_Wall\"=\"/data\"\n\"Pixels\"=dword:00000000\n";
  WriteFile(file, head + "\"onbattery\"=dword:zz\n" + rest);
  SettingsValues v;
  v.BatteryChoice = 0;
  EXPECT_EQ(Load(v), "");
  EXPECT_EQ(v.BatteryChoice, 1);
  EXPECT_EQ(SaveError(file, 3, 2), "");
  EXPECT_EQ(ReadFile(file), head + "\"OnBattery\"=dword:00000002\n" + rest);
}

// ---- Two processes at once ----

// Runs `work` in `count` child processes that start together; true when
// every child returned true.
bool InChildrenAtOnce(int count, const std::function<bool(int)>& work) {
  int go[2];
  if (pipe(go) != 0) return false;
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    const pid_t child = fork();
    if (child == 0) {
      close(go[1]);
      char c;
      (void)!read(go[0], &c, 1);  // the start: the parent closes its end
      _exit(work(i) ? 0 : 1);
    }
    children.push_back(child);
  }
  close(go[0]);
  close(go[1]);
  bool ok = true;
  for (pid_t child : children) {
    int status = 0;
    ok = waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0 && ok;
  }
  return ok;
}

TEST_F(StoreFileTest, TwoFirstRunsAtOnceBothComeUpWithoutAnErrorAndLeaveAllFiveValues) {
  for (int round = 0; round < 10; ++round) {
    fs::remove_all(dir);
    const bool ok = InChildrenAtOnce(2, [&](int) {
      SettingsValues v;
      return Load(v).empty() && v.Speed == 25 && v.WallpaperSizeChoice == 3 && v.Algorithm == 7 && v.RandomAlgorithm;
    });
    EXPECT_TRUE(ok) << "round " << round;
    EXPECT_EQ(ReadFile(file), kFirstRunText) << "round " << round;
  }
}

// Each writer checks after every write that its own value is there: a write
// of the other's made from a copy read before it would have taken it away.
TEST_F(StoreFileTest, WritersAtTheSameTimeLoseNoneOfEachOthersValues) {
  SettingsValues v;
  ASSERT_EQ(Load(v), "");
  constexpr int kWrites = 60;
  const bool ok = InChildrenAtOnce(2, [&](int child) {
    const std::string name = child == 0 ? "Speed" : "Bright";
    LinuxRegistryFile store(file.string());
    for (int i = 1; i <= kWrites; ++i) {
      Settings::Registry reg(store);
      try {
        if (!reg.CreateKey(Settings::kSettingsKey)) return false;
        reg.WriteInteger(name, i);
        if (!reg.OpenKey(Settings::kSettingsKey) || reg.ReadInteger(name) != i) return false;
      } catch (const PrismoraError&) {
        return false;
      }
    }
    return true;
  });
  EXPECT_TRUE(ok);
  SettingsValues after;
  EXPECT_EQ(Load(after), "");
  EXPECT_EQ(after.Speed, kWrites);
  EXPECT_EQ(after.WallpaperSizeChoice, kWrites);
}

TEST(StoreFilePath, FollowsXdgConfigHomeThenHome) {
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "";
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  setenv("HOME", "/home/someone", 1);
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(LinuxRegistryFile::DefaultPath(), "/cfg/prismora/registry.reg");
  setenv("XDG_CONFIG_HOME", "", 1);
  EXPECT_EQ(LinuxRegistryFile::DefaultPath(), "/home/someone/.config/prismora/registry.reg");
  setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
  EXPECT_EQ(LinuxRegistryFile::DefaultPath(), "/home/someone/.config/prismora/registry.reg");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(LinuxRegistryFile::DefaultPath(), "/home/someone/.config/prismora/registry.reg");
  EXPECT_EQ(Platform::DefaultWallpaperFolder(), "/home/someone");
  if (oldXdg) setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  if (oldHome) setenv("HOME", savedHome.c_str(), 1);
  else unsetenv("HOME");
}

}  // namespace

// ---- The native scratch store for the shared settings tests ----

namespace {
class FileScratch : public ScratchStore {
 public:
  FileScratch() : dir_(NewScratchFolder()), store_((dir_ / "registry.reg").string()) {}
  ~FileScratch() override { fs::remove_all(dir_); }
  Settings::RegistryBackend& backend() override { return store_; }

 private:
  fs::path dir_;
  LinuxRegistryFile store_;
};
}  // namespace

std::unique_ptr<ScratchStore> MakeNativeScratchStore() { return std::make_unique<FileScratch>(); }
