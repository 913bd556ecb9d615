// The portable rules of the windowing layer, run on the headless platform.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/headless/headless.h"

namespace fs = std::filesystem;
using namespace ui;

namespace {

struct Probe : Form {
  explicit Probe(bool dialog = false)
      : Form(FormDesign{"Probe", BorderStyle::Single, false, false, 100, 80, clSilver, true, true, dialog}) {}
  void FormShow() override { events.push_back("show"); }
  void FormKeyDown(int key) override { events.push_back("key " + std::to_string(key)); }
  void FormCloseQuery(bool& can) override {
    events.push_back("query");
    can = allowClose;
  }
  void FormClose(CloseAction& a) override {
    events.push_back("close");
    if (action) a = *action;
  }
  std::vector<std::string> events;
  bool allowClose = true;
  std::optional<CloseAction> action;
};

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override { headless::Reset(); }
  void TearDown() override { headless::Reset(); }
};

TEST_F(UiTest, TrackBarClampsAndFiresOnlyOnChange) {
  Probe& f = Application::Get().CreateForm<Probe>();
  TrackBar bar(f, {0, 0, 100, 12}, 1, 12, 1);
  int changes = 0;
  bar.OnChange = [&] { ++changes; };
  bar.SetPosition(1);
  EXPECT_EQ(changes, 0);
  bar.SetPosition(0);  // clamps to 1: no change
  EXPECT_EQ(bar.Position(), 1);
  EXPECT_EQ(changes, 0);
  bar.SetPosition(13);  // clamps to 12: a change
  EXPECT_EQ(bar.Position(), 12);
  EXPECT_EQ(changes, 1);
  bar.NativePositionChanged(12);
  EXPECT_EQ(changes, 1);
  bar.NativePositionChanged(5);
  EXPECT_EQ(changes, 2);
}

// A drop-down list always shows the choice in force: a bad starting index
// starts on the first item, a pick of no item (or of one past the end, as a
// platform might report) puts the box back, and only a real change runs
// OnChange.
TEST_F(UiTest, ChoiceBoxAlwaysShowsTheChoiceInForce) {
  Probe& f = Application::Get().CreateForm<Probe>();
  const std::vector<std::string> items{"one", "two", "three"};
  ChoiceBox bad(f, {0, 0, 100, 23}, items, 7);
  EXPECT_EQ(bad.Selected(), 0);
  EXPECT_EQ(headless::Shown(bad).selected, 0);
  EXPECT_EQ(ChoiceBox(f, {0, 0, 100, 23}, {}, 0).Selected(), -1);  // nothing to choose

  ChoiceBox box(f, {0, 30, 100, 23}, items, 1);
  EXPECT_EQ(headless::Shown(box).items, items);
  EXPECT_EQ(headless::Shown(box).selected, 1);
  int changes = 0;
  box.OnChange = [&] { ++changes; };
  box.SetSelected(1);
  box.SetSelected(3);
  box.SetSelected(-1);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(box.Selected(), 1);

  headless::Choose(box, 2);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(box.Selected(), 2);
  EXPECT_EQ(headless::Shown(box).selected, 2);
  for (int none : {-1, 3}) {
    headless::Choose(box, none);
    EXPECT_EQ(box.Selected(), 2);
    EXPECT_EQ(headless::Shown(box).selected, 2);
  }
  headless::Choose(box, 2);  // the same item again
  EXPECT_EQ(changes, 1);
  box.SetSelected(0);  // as a pick would
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(headless::Shown(box).selected, 0);

  // A handler's error is shown, and the choice stands.
  box.OnChange = [] { throw std::runtime_error("no"); };
  headless::Choose(box, 1);
  EXPECT_EQ(box.Selected(), 1);
  EXPECT_EQ(headless::TheWorld().messageBoxes.size(), 1u);
}

TEST_F(UiTest, TimerEnableDoesNotRestartARunningPeriod) {
  Probe& f = Application::Get().CreateForm<Probe>();
  Timer t(f, 5000, false);
  int ticks = 0;
  t.OnTimer = [&] { ++ticks; };
  t.SetEnabled(true);
  headless::AdvanceTime(3000);
  t.SetEnabled(true);
  headless::AdvanceTime(2000);
  EXPECT_EQ(ticks, 1);
  t.SetEnabled(false);
  headless::AdvanceTime(20000);
  EXPECT_EQ(ticks, 1);
}

TEST_F(UiTest, HandlerErrorsGoToAMessageBoxTitledWithTheApplication) {
  Application::Get().SetTitle("Prismora Screensaver");
  Probe& f = Application::Get().CreateForm<Probe>();
  Button b(f, {0, 0, 10, 10}, "Go");
  b.OnClick = [] { throw std::runtime_error("Stream write error"); };
  b.Click();
  ASSERT_EQ(headless::TheWorld().messageBoxes.size(), 1u);
  EXPECT_EQ(headless::TheWorld().messageBoxes[0], "Prismora Screensaver|Stream write error");
}

TEST_F(UiTest, ClosingTheMainFormFreesItAndTerminates) {
  Probe& f = Application::Get().CreateForm<Probe>();
  Application::Get().Run();
  EXPECT_EQ(f.events.front(), "show");
  f.allowClose = false;
  f.Close();
  EXPECT_FALSE(Application::Get().Terminated());
  f.allowClose = true;
  f.Close();
  EXPECT_TRUE(f.Freed());
  EXPECT_TRUE(Application::Get().Terminated());
}

TEST_F(UiTest, ASecondFormHidesOnCloseAndDialogKeysPressButtons) {
  Application::Get().CreateForm<Probe>();
  Probe& dlg = Application::Get().CreateForm<Probe>(true);
  Button ok(dlg, {0, 0, 10, 10}, "Save", Font(), true, false);
  Button cancel(dlg, {0, 0, 10, 10}, "Cancel", Font(), false, true);
  std::string pressed;
  ok.OnClick = [&] { pressed += "ok"; };
  cancel.OnClick = [&] { pressed += "cancel"; };
  dlg.Show();
  dlg.NativeKeyDown(VK_RETURN_KEY);
  dlg.NativeKeyDown(VK_ESCAPE_KEY);
  EXPECT_EQ(pressed, "okcancel");
  dlg.Close();
  EXPECT_FALSE(dlg.Visible());
  EXPECT_FALSE(dlg.Freed());
  EXPECT_FALSE(Application::Get().Terminated());
}

TEST_F(UiTest, RunWithoutAMainFormReturnsAtOnce) {
  Application::Get().Run();
  EXPECT_FALSE(headless::TheWorld().loopRan);
}

TEST_F(UiTest, FolderAndFileListsAreLinked) {
  const fs::path saved = fs::current_path();
  const fs::path root = fs::temp_directory_path() / ("prismora-ui-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(root);
  fs::create_directories(root / "sub");
  std::ofstream(root / "b.BMP") << "x";
  std::ofstream(root / "a.bmp") << "x";
  std::ofstream(root / "c.txt") << "x";
  Probe& f = Application::Get().CreateForm<Probe>();
  Edit edit(f, {0, 0, 10, 10}, "");
  FileListBox files(f, {0, 0, 10, 10});
  DirectoryListBox dirs(f, {0, 0, 10, 10});
  dirs.FileList = &files;
  files.FileEdit = &edit;
  ASSERT_TRUE(dirs.SetDirectory(root.string()));
  EXPECT_EQ(fs::current_path(), fs::canonical(root));
  EXPECT_EQ(files.Files(), (std::vector<std::string>{"a.bmp", "b.BMP"}));
  EXPECT_EQ(edit.Text(), "*.bmp");
  files.Select(1);
  EXPECT_EQ(edit.Text(), "b.BMP");
  EXPECT_EQ(dirs.Items().back(), (fs::canonical(root) / "sub").string());
  dirs.NativeItemChosen(static_cast<int>(dirs.Items().size()) - 1);
  EXPECT_TRUE(files.Files().empty());
  EXPECT_EQ(edit.Text(), "*.bmp");
  EXPECT_FALSE(dirs.SetDirectory((root / "missing").string()));
  EXPECT_EQ(fs::current_path(), fs::canonical(root / "sub"));
  fs::current_path(saved);
  fs::remove_all(root);
}

// The names in UTF-8, as the program keeps text, into a path and back.
fs::path PathOf(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }
std::string TextOf(const fs::path& p) {
  const std::u8string text = p.u8string();
  return std::string(text.begin(), text.end());
}

// CJK, Greek and a symbol: no single ANSI code page holds them all.
TEST_F(UiTest, FolderAndFileListsTakeNamesOutsideAnyCodePage) {
  const fs::path saved = fs::current_path();
  const fs::path root = fs::temp_directory_path() / ("prismora-ui-names-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(root);
  const fs::path folder = root / PathOf("壁纸 Ωμέγα");
  fs::create_directories(folder / PathOf("子 ☃"));
  std::ofstream(folder / PathOf("图.bmp")) << "x";
  Probe& f = Application::Get().CreateForm<Probe>();
  Edit edit(f, {0, 0, 10, 10}, "");
  FileListBox files(f, {0, 0, 10, 10});
  DirectoryListBox dirs(f, {0, 0, 10, 10});
  dirs.FileList = &files;
  files.FileEdit = &edit;
  ASSERT_TRUE(dirs.SetDirectory(TextOf(folder)));
  EXPECT_EQ(fs::current_path(), fs::canonical(folder));
  EXPECT_EQ(dirs.Directory(), TextOf(fs::canonical(folder)));
  EXPECT_EQ(files.Files(), std::vector<std::string>{"图.bmp"});
  files.Select(0);
  EXPECT_EQ(edit.Text(), "图.bmp");
  EXPECT_EQ(dirs.Items().back(), TextOf(fs::canonical(folder) / PathOf("子 ☃")));
  dirs.NativeItemChosen(static_cast<int>(dirs.Items().size()) - 1);
  EXPECT_EQ(fs::current_path(), fs::canonical(folder / PathOf("子 ☃")));
  fs::current_path(saved);
  fs::remove_all(root);
}

TEST(MaskTest, MatchesTheExtensionInAnyCase) {
  EXPECT_TRUE(MatchesMask("x.bmp", "*.bmp"));
  EXPECT_TRUE(MatchesMask("X.BMP", "*.bmp"));
  EXPECT_FALSE(MatchesMask("x.bmp.txt", "*.bmp"));
  EXPECT_FALSE(MatchesMask("bmp", "*.bmp"));
  EXPECT_TRUE(MatchesMask("anything", "*"));
}

}  // namespace
