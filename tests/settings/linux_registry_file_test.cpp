// The Linux .reg file store: the text it writes, export files it reads, the
// damage it survives, and how it replaces the file.
#include "platform/linux/linux_registry_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/error.h"
#include "platform/native_registry.h"
#include "settings/settings.h"
#include "tests/settings/scratch_store.h"

namespace fs = std::filesystem;
using Platform::LinuxRegistryFile;
using Settings::RegistryValue;

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

  struct Vars {
    int32_t speed = 0, size = 0, algorithm = 0;
    bool random = false;
    std::string folder;
    Settings::SettingsVariables refs() { return {speed, size, algorithm, random, folder}; }
  };
  // LoadSettings at 1024 wide; the error message, or "" when none.
  std::string Load(Vars& v) {
    LinuxRegistryFile store(file.string());
    try {
      Settings::LoadSettings(store, 1024, "/home/someone", v.refs());
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
    "\"Path_Wall\"=\"/home/someone\"\n";

TEST_F(StoreFileTest, FirstRunCreatesFoldersAndWritesAnExportFile) {
  Vars v;
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
  Vars v;
  EXPECT_EQ(Load(v), "");
  EXPECT_EQ(v.speed, 42);
  EXPECT_EQ(v.size, 2);
  EXPECT_EQ(v.algorithm, 12);
  EXPECT_FALSE(v.random);
  EXPECT_EQ(v.folder, "/mnt/%HOME%");
}

TEST_F(StoreFileTest, ValuesOfOtherTypesReadAsInvalidDataType) {
  const std::string head = "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Prismora]\n";
  WriteFile(file, head + "\"Speed\"=hex:19,00,00,00\n");
  Vars v;
  EXPECT_EQ(Load(v), "Invalid data type for 'Speed'");
  WriteFile(file, head +
                      "\"Speed\"=dword:1\n\"Bright\"=dword:1\n\"Algoritm\"=dword:1\n"
                      "\"Rands\"=dword:1\n\"Path_Wall\"=hex(7):61,00,00\n");
  EXPECT_EQ(Load(v), "Invalid data type for 'Path_Wall'");
}

TEST_F(StoreFileTest, DamagedLinesCountAsMissingAndSurviveARewrite) {
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
  Vars v;
  EXPECT_EQ(Load(v), "Failed to get data for 'Bright'");

  LinuxRegistryFile store(file.string());
  Vars save{10, 2, 5, true, ""};
  Settings::SaveSettings(store, save.refs());
  const std::string after = ReadFile(file);
  EXPECT_EQ(after,
            "REGEDIT4\n\n"
            "[HKEY_CURRENT_USER\\Software\\Prismora]\n"
            "\"Speed\"=dword:0000000a\n"
            "\"Bright\"=dword:zz\n"
            "\"Algoritm\"=dword:00000005\n"
            "\"Rands\"=dword:00000001\n"
            "\"Bright\"=dword:00000002\n"
            "\"Path_Wall\"=\"/data\n"
            "\n[HKEY_CURRENT_USER\\Software\\Neighbour]\n\"Keep\"=\"me\"\n");
  Vars again;
  EXPECT_EQ(Load(again), "");
  EXPECT_EQ(again.size, 2);
  EXPECT_EQ(again.folder, "");  // the truncated string still reads as missing
}

TEST_F(StoreFileTest, ValuesAfterADamagedSectionHeaderBelongToNoKey) {
  WriteFile(file,
            "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Prismora]\n\"Speed\"=dword:00000003\n"
            "[HKEY_CURRENT_USER\\Software\\Prismora\n\"Bright\"=dword:00000001\n");
  Vars v;
  EXPECT_EQ(Load(v), "Failed to get data for 'Bright'");
}

TEST_F(StoreFileTest, BinaryGarbageIsReadWithoutHarmAndKeptOnRewrite) {
  std::mt19937 random(4242);
  std::string garbage;
  for (int i = 0; i < 20000; ++i) garbage.push_back(char(random() & 0xFF));
  garbage += "\n\"Speed\"=hex(4):\\\n";  // a continuation that never comes
  WriteFile(file, garbage);
  Vars v;
  EXPECT_EQ(Load(v), "");  // no key in it: a first run
  EXPECT_EQ(v.speed, 25);
  const std::string after = ReadFile(file);
  ASSERT_GE(after.size(), garbage.size());
  EXPECT_EQ(after.substr(0, garbage.size()), garbage);
  Vars again;
  EXPECT_EQ(Load(again), "");
  EXPECT_EQ(again.algorithm, 7);
}

TEST_F(StoreFileTest, TheFileIsReplacedWholeNotRewrittenInPlace) {
  Vars v;
  ASSERT_EQ(Load(v), "");
  const fs::path link = dir / "old-store";
  fs::create_hard_link(file, link);
  LinuxRegistryFile store(file.string());
  Vars save{1, 1, 1, false, ""};
  Settings::SaveSettings(store, save.refs());
  EXPECT_EQ(ReadFile(link), kFirstRunText);  // the old file is untouched
  EXPECT_NE(ReadFile(file), kFirstRunText);
  for (const auto& entry : fs::directory_iterator(file.parent_path()))
    EXPECT_EQ(entry.path().filename(), "registry.reg");  // no temporary left behind
}

TEST_F(StoreFileTest, AStoreThatIsASymbolicLinkStaysOne) {
  const fs::path real = dir / "dotfiles" / "prismora.reg";
  WriteFile(real, "REGEDIT4\n; mine\n");
  fs::create_directories(file.parent_path());
  fs::create_symlink(real, file);
  Vars v;
  EXPECT_EQ(Load(v), "");
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(ReadFile(real), std::string("REGEDIT4\n; mine\n\n") + (kFirstRunText + 10));
}

TEST_F(StoreFileTest, AStoreThatCannotBeReadIsNeverOverwritten) {
  fs::create_directories(file);  // a folder where the file should be
  Vars v;
  EXPECT_EQ(Load(v), "");
  EXPECT_EQ(v.speed, 25);  // defaults in memory only
  EXPECT_TRUE(fs::is_directory(file));

  fs::remove(file);
  WriteFile(file, std::string(LinuxRegistryFile::kMaxFileBytes + 1, ';'));
  EXPECT_EQ(Load(v), "");
  EXPECT_EQ(fs::file_size(file), LinuxRegistryFile::kMaxFileBytes + 1);
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
