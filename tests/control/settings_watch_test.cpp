// The settings watch on real folders with inotify, driven by the loop a mode
// runs: the file replaced by a rename, written in place, written through a
// link; other files of the folder; folders that appear and go.
#include "platform/linux/settings_watch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "control_test_support.h"

namespace {

using control_test::Loop;
using control_test::TempFolder;
using namespace std::chrono_literals;

constexpr auto kQuiet = 300ms;  // long enough for a report that should not come

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::trunc) << text; }

// As the settings program saves: a temporary file beside it, renamed onto it.
void Replace(const std::string& path, const std::string& text) {
  Write(path + ".tmp123", text);
  ASSERT_EQ(rename((path + ".tmp123").c_str(), path.c_str()), 0);
}

struct Watched {
  explicit Watched(const std::string& file) : watch(loop.Watcher(), [this] { ++reports; }, 50ms) {
    std::string why;
    started = watch.Start(file, why);
    EXPECT_TRUE(started) << why;
  }
  // Waits for the next report; true when it came.
  bool Reported() {
    const int before = seen;
    const bool came = loop.RunUntil([&] { return reports > before; });
    seen = reports;
    return came;
  }
  // No report for a while.
  bool Quiet() {
    loop.RunFor(kQuiet);
    const bool quiet = reports == seen;
    seen = reports;
    return quiet;
  }
  Loop loop;
  int reports = 0, seen = 0;
  bool started = false;
  posix::SettingsWatch watch;
};

TEST(SettingsWatch, ARenameOntoTheFileOrAnInPlaceWriteIsOneReport) {
  TempFolder dir;
  const std::string file = dir.Path() + "/registry.reg";
  Write(file, "first");
  Watched w(file);
  EXPECT_TRUE(w.Quiet());  // starting reports nothing

  Replace(file, "second");
  EXPECT_TRUE(w.Reported());
  EXPECT_TRUE(w.Quiet());  // one report for the whole save

  Write(file, "third");  // opened, truncated, written, closed
  EXPECT_TRUE(w.Reported());
  EXPECT_TRUE(w.Quiet());

  for (int i = 0; i < 5; ++i) Replace(file, "burst " + std::to_string(i));
  EXPECT_TRUE(w.Reported());
  EXPECT_TRUE(w.Quiet());  // a burst makes one report

  unlink(file.c_str());  // a deletion is no new settings
  EXPECT_TRUE(w.Quiet());
  Write(file, "again");  // created anew
  EXPECT_TRUE(w.Reported());
}

TEST(SettingsWatch, OtherFilesInTheFolderAreNotReported) {
  TempFolder dir;
  const std::string file = dir.Path() + "/registry.reg";
  Write(file, "settings");
  Watched w(file);
  Write(file + ".lock", "");  // the store's lock beside the file
  Replace(dir.Path() + "/other.reg", "x");
  Write(dir.Path() + "/registry.reg~", "backup");
  mkdir((dir.Path() + "/sub").c_str(), 0700);
  Write(dir.Path() + "/sub/registry.reg", "not ours");
  int fd = open(file.c_str(), O_RDONLY);  // read, not written
  close(fd);
  EXPECT_TRUE(w.Quiet());
}

TEST(SettingsWatch, MissingFoldersAreWaitedForFromTheNearestParent) {
  TempFolder dir;
  const std::string a = dir.Path() + "/config", b = a + "/prismora", file = b + "/registry.reg";
  Watched w(file);
  EXPECT_EQ(w.watch.WatchedFolders(), (std::vector<std::string>{dir.Path()}));

  ASSERT_EQ(mkdir(a.c_str(), 0700), 0);
  EXPECT_TRUE(w.loop.RunUntil([&] { return w.watch.WatchedFolders()[0] == a; }));
  ASSERT_EQ(mkdir(b.c_str(), 0700), 0);
  EXPECT_TRUE(w.loop.RunUntil([&] { return w.watch.WatchedFolders()[0] == b; }));
  EXPECT_TRUE(w.Quiet());
  Replace(file, "first save");
  EXPECT_TRUE(w.Reported());

  // The folder goes: up to the parent; made again with the file at once
  // (as the store makes it): the file found there counts as a change.
  unlink(file.c_str());
  ASSERT_EQ(rmdir(b.c_str()), 0);
  EXPECT_TRUE(w.loop.RunUntil([&] { return w.watch.WatchedFolders()[0] == a; }));
  ASSERT_EQ(mkdir(b.c_str(), 0700), 0);
  Write(file, "saved again");
  EXPECT_TRUE(w.Reported());
  EXPECT_EQ(w.watch.WatchedFolders()[0], b);
}

TEST(SettingsWatch, AFolderTreeMadeAllAtOnceIsFollowedDown) {
  TempFolder dir;
  const std::string file = dir.Path() + "/x/y/z/registry.reg";
  Watched w(file);
  std::filesystem::create_directories(dir.Path() + "/x/y/z");
  Write(file, "made with its folders");
  EXPECT_TRUE(w.Reported());
  EXPECT_EQ(w.watch.WatchedFolders()[0], dir.Path() + "/x/y/z");
}

TEST(SettingsWatch, ASettingsFileThatIsALinkIsWatchedWhereItLeads) {
  TempFolder dir;
  const std::string real = dir.Path() + "/dotfiles", link = dir.Path() + "/prismora/registry.reg";
  ASSERT_EQ(mkdir(real.c_str(), 0700), 0);
  ASSERT_EQ(mkdir((dir.Path() + "/prismora").c_str(), 0700), 0);
  ASSERT_EQ(symlink("../dotfiles/registry.reg", link.c_str()), 0);  // to a file not there yet
  Watched w(link);
  EXPECT_EQ(w.watch.WatchedFolders(), (std::vector<std::string>{dir.Path() + "/prismora", real}));
  Replace(real + "/registry.reg", "saved through the link");
  EXPECT_TRUE(w.Reported());
  Write(real + "/unrelated", "x");
  EXPECT_TRUE(w.Quiet());
}

TEST(SettingsWatch, APathItCannotWatchSaysWhy) {
  Loop loop;
  posix::SettingsWatch watch(loop.Watcher(), [] {});
  std::string why;
  EXPECT_FALSE(watch.Start("", why));
  EXPECT_EQ(why, "the settings file has no absolute path (no home folder?)");
  posix::SettingsWatch relative(loop.Watcher(), [] {});
  EXPECT_FALSE(relative.Start("prismora/registry.reg", why));
}

}  // namespace
