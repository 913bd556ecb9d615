// The settings window and the save dialog on the headless layer: start-up
// clamping, size captions, Save Settings and its 5-second return, the FPS
// readout during an export, the battery choice, the controls' layout, the
// export's grid, the save dialog's counter, file-name rule, folder memory and
// failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "engine/gradient.h"
#include "image/wallpaper_copy.h"
#include "live/pattern_view.h"
#include "platform/headless/headless.h"
#include "settings/memory_registry.h"
#include "settings/settings.h"
#include "tests/support/fresh_process.h"
#include "tools/Unit2.h"
#include "tools/Unit3.h"
#include "tools/wallpaper_export.h"

namespace fs = std::filesystem;
using namespace WallpaperExport;
using ui::headless::TheWorld;

namespace {

// The messages shown, without the "title|" prefix the headless layer records.
std::vector<std::string> Messages() {
  std::vector<std::string> out;
  for (const std::string& m : TheWorld().messageBoxes) out.push_back(m.substr(m.find('|') + 1));
  return out;
}

struct Stored {
  int speed = 25, bright = 1, algorithm = 7;
  bool rands = false;
  bool pixels = false;  // stored only when true, as a store from before the view
  int battery = -1;     // stored only when not -1, as a store from before the choice
};

class SettingsFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessState();
    FrameCount = 0;
    start_ = fs::current_path();
    folder_ = MakeFolder(fs::temp_directory_path() /
                         ("prismora-forms-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                          "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name()));
  }
  void TearDown() override {
    ui::headless::Reset();
    fs::current_path(start_);
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  // A fresh folder, named as the folder list will name it once entered.
  static std::string MakeFolder(const fs::path& path) {
    fs::remove_all(path);
    fs::create_directories(path);
    const fs::path before = fs::current_path();
    fs::current_path(path);
    std::string named = fs::current_path().string();
    fs::current_path(before);
    return named;
  }

  void Store(const Stored& s, const std::string& folder) {
    Settings::Registry reg(store_);
    ASSERT_TRUE(reg.CreateKey(Settings::kSettingsKey));
    reg.WriteInteger("Speed", s.speed);
    reg.WriteInteger("Bright", s.bright);
    reg.WriteInteger("Algoritm", s.algorithm);
    reg.WriteBool("Rands", s.rands);
    reg.WriteString("Path_Wall", folder);
    if (s.pixels) reg.WriteBool("Pixels", true);
    if (s.battery != -1) reg.WriteInteger("OnBattery", s.battery);
  }
  Settings::MemoryRegistry::Values& Key() { return store_.keys.begin()->second; }

  TForm2& Open(const Stored& s, int screenWidth = 1024, int screenHeight = 768) {
    Store(s, folder_);
    TheWorld().screenWidth = screenWidth;
    TheWorld().screenHeight = screenHeight;
    return OpenStored();
  }
  TForm2& OpenStored() {
    TForm2& form = ui::Application::Get().CreateForm<TForm2>(store_, folder_);
    form.Show();
    return form;
  }

  TOKRightDlg& Export(TForm2& form) {
    form.Button2.Click();
    EXPECT_NE(form.SaveDialog(), nullptr);
    return *form.SaveDialog();
  }

  Settings::MemoryRegistry store_;
  fs::path start_;
  std::string folder_;
};

// ---- Start-up: the bars clamp, and change handlers run only on a change ----

TEST_F(SettingsFormTest, StartUpBarsClampAndRunTheirHandlersOnlyOnAChange) {
  struct Case {
    Stored stored;
    int speedBar, speed, algorithmBar, algorithm;
  };
  // Above the range: clamped, and the change handler takes the bar's value.
  // Below it: the bar cannot move, so the stored value stays in force.
  for (const Case& c : {Case{{.speed = 70}, 50, 50, 7, 7}, Case{{.speed = -5}, 0, -5, 7, 7},
                        Case{{.algorithm = 13}, 25, 25, 12, 12}, Case{{.algorithm = 0}, 25, 25, 1, 0}}) {
    SCOPED_TRACE("stored Speed " + std::to_string(c.stored.speed) + ", Algoritm " +
                 std::to_string(c.stored.algorithm));
    ui::headless::Reset();
    TForm2& form = Open(c.stored);
    EXPECT_EQ(form.TrackBar1.Position(), c.speedBar);
    EXPECT_EQ(Gradient::Pattern.Speed, c.speed);
    EXPECT_EQ(form.TrackBar3.Position(), c.algorithmBar);
    EXPECT_EQ(Gradient::Pattern.Algorithm, c.algorithm);
    EXPECT_EQ(form.StaticText3.Text(), "Algorithm " + std::to_string(c.algorithm));
  }
  // Algorithm 0 holds until the bar is moved.
  TForm2& form = *static_cast<TForm2*>(ui::Application::Get().MainForm());
  form.TrackBar3.SetPosition(4);
  EXPECT_EQ(Gradient::Pattern.Algorithm, 4);
  EXPECT_EQ(form.StaticText3.Text(), "Algorithm 4");
}

TEST_F(SettingsFormTest, RandomChoiceShowsAndSavesTheDrawnAlgorithm) {
  TForm2& form = Open({.algorithm = 7, .rands = true});
  const int drawn = Gradient::Pattern.Algorithm;
  EXPECT_TRUE(form.CheckBox1.Checked());
  EXPECT_GE(drawn, 1);
  EXPECT_LE(drawn, 12);
  EXPECT_EQ(form.TrackBar3.Position(), drawn);
  EXPECT_EQ(form.StaticText3.Text(), "Algorithm " + std::to_string(drawn));
  form.Button1.Click();
  Settings::Registry reg(store_);
  reg.OpenKey(Settings::kSettingsKey);
  EXPECT_EQ(reg.ReadInteger("Algoritm"), drawn);
}

TEST_F(SettingsFormTest, AReadErrorIsShownOnceTheWindowIsUpAndLosesNoValue) {
  Store({.speed = 30, .algorithm = 5}, folder_);
  Key().erase("Bright");
  TForm2& form = ui::Application::Get().CreateForm<TForm2>(store_, folder_);
  EXPECT_TRUE(Messages().empty());  // not before the window shows its preview
  form.Show();
  EXPECT_TRUE(ui::headless::SurfaceOf(form).created);
  EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to get data for 'Bright'"});
  // Every value but the failing one was read, and every creation step ran.
  EXPECT_EQ(form.TrackBar1.Position(), 30);
  EXPECT_EQ(form.TrackBar2.Position(), 3);  // the first run's size for 1024 wide
  EXPECT_EQ(form.TrackBar3.Position(), 5);
  EXPECT_EQ(Gradient::Pattern.GridColumns, 120);
  EXPECT_EQ(Gradient::Pattern.GridRows, 90);
  EXPECT_EQ(form.StaticText7.Text(), "1024x768-Your Desktop");
  ASSERT_NE(WallpaperImage, nullptr);
  EXPECT_EQ(WallpaperImage->BitCount(), 24);
  EXPECT_EQ(SaveCounter, 1);
  // Save Settings writes the good values back, and the missing one.
  form.Button1.Click();
  Settings::Registry reg(store_);
  ASSERT_TRUE(reg.OpenKey(Settings::kSettingsKey));
  EXPECT_EQ(reg.ReadInteger("Speed"), 30);
  EXPECT_EQ(reg.ReadInteger("Bright"), 3);
  EXPECT_EQ(reg.ReadInteger("Algoritm"), 5);
}

TEST_F(SettingsFormTest, ShownWindowHasItsSurfaceAndSize) {
  TForm2& form = Open({});
  const auto& surface = ui::headless::SurfaceOf(form);
  EXPECT_TRUE(surface.created);
  EXPECT_EQ(surface.format.depthBits, 16);
  EXPECT_EQ(std::vector<int>({surface.viewportX, surface.viewportY, surface.viewportW, surface.viewportH}),
            std::vector<int>({0, 100, 512, 382}));
  EXPECT_NE(std::find(TheWorld().log.begin(), TheWorld().log.end(), "SetOuterSize 520x515"), TheWorld().log.end());
}

// ---- The size caption and the desktop marker ----

TEST_F(SettingsFormTest, SizeCaptionMarksTheScreenWidthOnly) {
  EXPECT_EQ(Open({.bright = 3}, 1024, 768).StaticText7.Text(), "1024x768-Your Desktop");
  ui::headless::Reset();
  TForm2& wide = Open({.bright = 3}, 1280, 1024);
  EXPECT_EQ(wide.StaticText7.Text(), "1024x768");
  wide.TrackBar2.SetPosition(5);
  EXPECT_EQ(wide.StaticText7.Text(), "1280x1024-Your Desktop");
  EXPECT_EQ(Settings::WallpaperSizeChoice, 5);
  ui::headless::Reset();
  // Only the width compares: a 1024 x 600 screen still gets the marker.
  TForm2& flat = Open({.bright = 0}, 1024, 600);
  EXPECT_EQ(flat.StaticText7.Text(), "1024x600-Your Desktop");
  flat.TrackBar2.SetPosition(3);
  EXPECT_EQ(flat.StaticText7.Text(), "1024x768-Your Desktop");
  flat.TrackBar2.SetPosition(1);
  EXPECT_EQ(flat.StaticText7.Text(), "640x480");
}

// The screen's own size is what the export makes: the caption at start and
// the one Save Settings brings back both name it. Only a side beyond the
// export's limit is cut.
TEST_F(SettingsFormTest, StoredChoiceZeroExportsTheScreensRealSize) {
  TForm2& form = Open({.bright = 0}, 1920, 1080);
  EXPECT_EQ(form.TrackBar2.Position(), 1);
  EXPECT_EQ(form.StaticText7.Text(), "1920x1080-Your Desktop");
  EXPECT_EQ(WallpaperWidth, 1920);
  EXPECT_EQ(WallpaperHeight, 1080);
  form.Button1.Click();
  ui::headless::AdvanceTime(5000);
  EXPECT_EQ(form.StaticText7.Text(), "1920x1080-Your Desktop");

  ui::headless::Reset();
  TForm2& huge = Open({.bright = 0}, 20000, 9000);
  EXPECT_EQ(huge.StaticText7.Text(), "20000x9000-Your Desktop");
  EXPECT_EQ(WallpaperWidth, 16384);
  EXPECT_EQ(WallpaperHeight, 9000);
}

// Beyond the static planes the export renders into planes of its own: the
// picture is what the wallpaper command makes of the same pattern, and the
// preview's grid comes back.
TEST_F(SettingsFormTest, DesktopSizedExportMatchesTheWallpaperCommand) {
  TForm2& form = Open({.bright = 0, .algorithm = 7}, 1920, 1080);
  ui::headless::AdvanceTime(120);
  auto state = std::make_unique<Gradient::PatternState>(Gradient::Pattern);
  DIB::TDIB reference;
  DIB::RenderWallpaperImage(*state, 1920, 1080, 1, reference);

  TOKRightDlg& dialog = Export(form);
  EXPECT_TRUE(dialog.Visible());
  EXPECT_EQ(Gradient::Pattern.Column, 1921);
  EXPECT_EQ(Gradient::Pattern.Row, 1081);
  EXPECT_EQ(Gradient::Pattern.GridColumns, 120);
  EXPECT_EQ(Gradient::Pattern.GridRows, 90);
  ASSERT_EQ(WallpaperImage->Width(), 1920);
  ASSERT_EQ(WallpaperImage->Height(), 1080);
  EXPECT_TRUE(WallpaperImage->Pixels() == reference.Pixels());
  dialog.OKBtn.Click();
  EXPECT_EQ(fs::file_size(fs::path(folder_) / "Prismora1.bmp"), 54u + 5760u * 1080u);
}

// Planes that cannot be had stop the export before the image is touched: the
// last picture is still there for a dialog that saves it, and the preview
// runs on.
TEST_F(SettingsFormTest, PlanesBeyondReachLeaveTheLastPictureAndThePreview) {
  TForm2& form = Open({.bright = 1});
  TOKRightDlg& dialog = Export(form);
  dialog.CancelBtn.Click();
  const std::vector<uint8_t> last = WallpaperImage->Pixels();
  WallpaperWidth = 16385;  // one beyond the limit: refused as out of memory
  WallpaperHeight = 2000;
  form.Button2.Click();
  EXPECT_EQ(Messages(), std::vector<std::string>{"Out of memory"});
  EXPECT_EQ(WallpaperImage->Width(), 640);
  EXPECT_TRUE(WallpaperImage->Pixels() == last);
  EXPECT_EQ(Gradient::Pattern.GridColumns, 120);
  EXPECT_TRUE(form.Timer.Enabled());
  EXPECT_FALSE(dialog.Visible());
}

// ---- Save Settings ----

TEST_F(SettingsFormTest, SaveSettingsWritesItsValuesAndCaptionReturnsFiveSecondsAfterFirstPress) {
  TForm2& form = Open({.speed = 10, .bright = 2, .algorithm = 5});
  form.TrackBar1.SetPosition(33);
  form.CheckBox1.SetChecked(true);
  store_.written.clear();
  form.Button1.Click();
  EXPECT_EQ(store_.written,
            (std::vector<std::string>{"Speed", "Bright", "Algoritm", "Rands", "Pixels", "OnBattery"}));
  EXPECT_EQ(form.StaticText7.Text(), "Save settings - OK!");
  ui::headless::AdvanceTime(3000);
  form.Button1.Click();  // does not restart the running period
  ui::headless::AdvanceTime(1999);
  EXPECT_EQ(form.StaticText7.Text(), "Save settings - OK!");
  ui::headless::AdvanceTime(1);
  EXPECT_EQ(form.StaticText7.Text(), "800x600");
  EXPECT_FALSE(form.Timer1.Enabled());
  Settings::Registry reg(store_);
  reg.OpenKey(Settings::kSettingsKey);
  EXPECT_EQ(reg.ReadInteger("Speed"), 33);
  EXPECT_TRUE(reg.ReadBool("Rands"));
}

// "Per Pixel" changes the live picture at once, unlike "Random", and is
// stored with the rest by Save Settings.
TEST_F(SettingsFormTest, PerPixelSwitchesTheLivePictureAtOnceAndSaveSettingsStoresIt) {
  TForm2& form = Open({});  // a store from before the view: the mesh
  EXPECT_FALSE(form.CheckBox2.Checked());
  EXPECT_EQ(live::PatternViewInUse(), live::PatternView::Mesh);
  store_.written.clear();
  form.CheckBox2.SetChecked(true);
  EXPECT_EQ(live::PatternViewInUse(), live::PatternView::Pixels);
  EXPECT_TRUE(store_.written.empty());
  form.Button1.Click();
  Settings::Registry reg(store_);
  reg.OpenKey(Settings::kSettingsKey);
  EXPECT_TRUE(reg.ReadBool("Pixels"));
  form.CheckBox2.SetChecked(false);
  EXPECT_EQ(live::PatternViewInUse(), live::PatternView::Mesh);
}

TEST_F(SettingsFormTest, AStoredPerPixelViewOpensTicked) {
  TForm2& form = Open({.pixels = true});
  EXPECT_TRUE(form.CheckBox2.Checked());
  EXPECT_EQ(live::PatternViewInUse(), live::PatternView::Pixels);
  form.CheckBox2.SetChecked(false);  // what the next test's window starts from
}

// What battery power does elsewhere: shown as stored (an older store, or one
// whose value is unusable, shows the default without a word), stored only by
// Save Settings, and read back by the next window. This window's own picture
// keeps drawing every frame whatever is chosen.
TEST_F(SettingsFormTest, TheBatteryChoiceIsShownStoredAndReadBack) {
  TForm2& form = Open({});
  const std::vector<std::string> items{"On battery: all frames", "On battery: 20 FPS", "On battery: paused"};
  EXPECT_EQ(ui::headless::Shown(form.ComboBox1).items, items);
  EXPECT_EQ(form.ComboBox1.Selected(), 1);
  EXPECT_EQ(ui::headless::Shown(form.ComboBox1).selected, 1);

  store_.written.clear();
  ui::headless::AdvanceTime(1000);
  int swaps = ui::headless::SurfaceOf(form).swaps;
  ui::headless::Choose(form.ComboBox1, 2);
  EXPECT_EQ(Settings::BatteryChoice, 2);
  EXPECT_TRUE(store_.written.empty());
  ui::headless::AdvanceTime(1000);
  EXPECT_EQ(ui::headless::SurfaceOf(form).swaps - swaps, 100);  // every 10 ms tick drew
  EXPECT_EQ(form.StaticText4.Text(), "FPS 100");
  form.Button1.Click();
  EXPECT_EQ(Settings::LoadBatteryChoice(store_), 2);
  EXPECT_TRUE(Messages().empty());

  for (int stored : {0, 2, 7, -1}) {
    SCOPED_TRACE("stored OnBattery " + std::to_string(stored));
    ui::headless::Reset();
    Settings::BatteryChoice = 1;
    TForm2& again = Open({.battery = stored});
    const int shown = stored == 0 || stored == 2 ? stored : 1;
    EXPECT_EQ(again.ComboBox1.Selected(), shown);
    EXPECT_EQ(ui::headless::Shown(again.ComboBox1).selected, shown);
    EXPECT_EQ(Settings::BatteryChoice, shown);
    EXPECT_TRUE(Messages().empty());
  }
}

// Every control lies in the client area below the preview, and no two
// overlap: the window is designed at fixed pixels.
TEST_F(SettingsFormTest, TheControlsFitBelowThePreviewWithoutOverlapping) {
  TForm2& form = Open({});
  const std::vector<ui::Control*>& controls = form.Controls();
  const auto inside = [&](const ui::Rect& r) {
    return r.left >= 0 && r.top >= 383 && r.left + r.width <= form.Design().clientWidth &&
           r.top + r.height <= form.Design().clientHeight;
  };
  const auto overlap = [](const ui::Rect& a, const ui::Rect& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
  };
  for (size_t i = 0; i < controls.size(); ++i) {
    const ui::Rect& a = controls[i]->Design().bounds;
    EXPECT_TRUE(inside(a)) << "control " << i << " (" << controls[i]->Text() << ")";
    for (size_t j = i + 1; j < controls.size(); ++j)
      EXPECT_FALSE(overlap(a, controls[j]->Design().bounds))
          << "controls " << i << " and " << j << " (" << controls[i]->Text() << ", " << controls[j]->Text() << ")";
  }
  // The size caption only grows to the right: its widest text starts clear
  // of the battery choice.
  EXPECT_LT(form.ComboBox1.Design().bounds.left + form.ComboBox1.Design().bounds.width,
            form.StaticText7.Design().bounds.left);
}

TEST_F(SettingsFormTest, ASaveThatWritesNothingShowsOnlyTheError) {
  for (bool refuseCreate : {false, true}) {
    ui::headless::Reset();
    TForm2& form = Open({});
    store_.refuseWrites = !refuseCreate;
    store_.refuseCreate = refuseCreate;
    form.Button1.Click();
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to set data for 'Speed'"});
    EXPECT_EQ(form.StaticText7.Text(), "640x480");
    EXPECT_FALSE(form.Timer1.Enabled());
    store_.refuseWrites = store_.refuseCreate = false;
  }
}

// ---- Frames, FPS and the export ----

TEST_F(SettingsFormTest, FpsReadsZeroWhileTheExportHoldsTheFrames) {
  TForm2& form = Open({.bright = 1});
  ui::headless::AdvanceTime(1000);
  EXPECT_GE(std::stoi(form.StaticText4.Text().substr(4)), 99);
  const int swaps = ui::headless::SurfaceOf(form).swaps;
  TOKRightDlg& dialog = Export(form);
  EXPECT_FALSE(form.Timer.Enabled());
  ui::headless::AdvanceTime(1000);
  EXPECT_EQ(form.StaticText4.Text(), "FPS 0");
  ui::headless::AdvanceTime(1000);
  EXPECT_EQ(form.StaticText4.Text(), "FPS 0");
  EXPECT_EQ(ui::headless::SurfaceOf(form).swaps, swaps);
  dialog.CancelBtn.Click();
  EXPECT_TRUE(form.Timer.Enabled());
  ui::headless::AdvanceTime(1000);
  EXPECT_NE(form.StaticText4.Text(), "FPS 0");
}

TEST_F(SettingsFormTest, ExportRendersTheCurrentPatternAtPictureSizeThenRestoresThePreviewGrid) {
  TForm2& form = Open({.bright = 1, .algorithm = 4});
  ui::headless::AdvanceTime(250);
  EXPECT_EQ(Gradient::Pattern.GridColumns, 120);
  EXPECT_EQ(Gradient::Pattern.GridRows, 90);
  // What the export must produce: the same state rendered at 640 x 480.
  auto expected = std::make_unique<Gradient::PatternState>(Gradient::Pattern);
  expected->GridColumns = 640;
  expected->GridRows = 480;
  std::vector<uint16_t> r(481 * 641), g(r.size()), b(r.size());
  Gradient::RenderWallpaperInto(*expected, {r.data(), g.data(), b.data(), 641}, 1);
  DIB::TDIB reference;
  reference.SetBitCount(24);
  reference.SetWidth(640);
  reference.SetHeight(480);
  DIB::CopySamplesToImage({r.data(), g.data(), b.data(), 641}, 640, 480, reference);

  Export(form);
  // The sweep ran over 641 x 481 samples...
  EXPECT_EQ(Gradient::Pattern.Column, 641);
  EXPECT_EQ(Gradient::Pattern.Row, 481);
  // ...and the grid is the preview's again.
  EXPECT_EQ(Gradient::Pattern.GridColumns, 120);
  EXPECT_EQ(Gradient::Pattern.GridRows, 90);
  ASSERT_EQ(WallpaperImage->Width(), 640);
  ASSERT_EQ(WallpaperImage->Height(), 480);
  EXPECT_TRUE(WallpaperImage->Pixels() == reference.Pixels());
  EXPECT_EQ(Gradient::Pattern.PhaseA, expected->PhaseA);  // the export drifts nothing
}

TEST_F(SettingsFormTest, OutOfMemoryStopsTheExportWithTheGridUnchanged) {
  TForm2& form = Open({});
  Gradient::Pattern.GridColumns = 100;
  Gradient::Pattern.GridRows = 75;
  WallpaperWidth = 1 << 20;  // 3 MB a row: no BMP can hold 4096 of them
  WallpaperHeight = 4096;
  form.Button2.Click();
  EXPECT_EQ(Messages(), std::vector<std::string>{"Out of memory"});
  EXPECT_EQ(form.SaveDialog(), nullptr);
  EXPECT_EQ(Gradient::Pattern.GridColumns, 100);
  EXPECT_EQ(Gradient::Pattern.GridRows, 75);
  EXPECT_TRUE(form.Timer.Enabled());  // the preview runs on
}

// ---- The save dialog ----

TEST_F(SettingsFormTest, DialogNamesFilesAndCountsOnlySuccessfulSaves) {
  TForm2& form = Open({.bright = 1});
  TOKRightDlg& dialog = Export(form);
  EXPECT_TRUE(dialog.Visible());
  EXPECT_EQ(dialog.DirectoryListBox1.Directory(), folder_);
  EXPECT_EQ(dialog.Edit.Text(), "Prismora1");
  store_.written.clear();
  dialog.OKBtn.Click();
  EXPECT_FALSE(dialog.Visible());
  EXPECT_TRUE(form.Timer.Enabled());
  EXPECT_EQ(SaveCounter, 2);
  EXPECT_EQ(fs::file_size(fs::path(folder_) / "Prismora1.bmp"), 921654u);
  EXPECT_TRUE(store_.written.empty());  // same folder: "Path_Wall" not rewritten

  // The same dialog again, fields as new; a typed ".BMP" gets no second one.
  EXPECT_EQ(&Export(form), &dialog);
  EXPECT_EQ(dialog.Edit.Text(), "Prismora2");
  EXPECT_EQ(dialog.FileListBox1.Files(), std::vector<std::string>{"Prismora1.bmp"});
  dialog.Edit.SetText("sunset.BMP");
  dialog.OKBtn.Click();
  EXPECT_TRUE(fs::exists(fs::path(folder_) / "sunset.BMP"));
  EXPECT_EQ(SaveCounter, 3);

  // Picking an existing file replaces it under its own name.
  Export(form);
  EXPECT_EQ(dialog.FileListBox1.Selected(), -1);
  dialog.FileListBox1.Select(0);
  EXPECT_EQ(dialog.Edit.Text(), "Prismora1.bmp");
  dialog.OKBtn.Click();
  EXPECT_EQ(SaveCounter, 4);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2);
}

TEST_F(SettingsFormTest, FailedSaveKeepsTheDialogOpenAndAChangedFolderIsRememberedOnce) {
  TForm2& form = Open({.bright = 1});
  const std::string sub = MakeFolder(fs::path(folder_) / "sub");
  TOKRightDlg& dialog = Export(form);
  ASSERT_TRUE(dialog.DirectoryListBox1.SetDirectory(sub));
  EXPECT_EQ(dialog.Edit.Text(), "*.bmp");
  store_.written.clear();
  dialog.OKBtn.Click();
  EXPECT_EQ(Messages(), std::vector<std::string>{"Cannot create file *.bmp"});
  EXPECT_TRUE(dialog.Visible());
  EXPECT_EQ(SaveCounter, 1);
  EXPECT_FALSE(form.Timer.Enabled());
  EXPECT_EQ(store_.written, std::vector<std::string>{"Path_Wall"});

  dialog.Edit.SetText("pic");
  dialog.OKBtn.Click();
  EXPECT_TRUE(fs::exists(fs::path(sub) / "pic.bmp"));
  EXPECT_EQ(store_.written.size(), 1u);  // already remembered
  EXPECT_EQ(SaveCounter, 2);
  Export(form);
  EXPECT_EQ(dialog.DirectoryListBox1.Directory(), sub);
}

// Not the process's current folder, which the save would then remember.
TEST_F(SettingsFormTest, ARememberedFolderThatIsGoneOpensTheDefaultFolder) {
  const std::string elsewhere = MakeFolder(fs::path(folder_) / "elsewhere");
  TForm2& form = Open({.bright = 1});
  Key()["Path_Wall"] = Settings::StringValue(folder_ + "/gone");
  fs::current_path(elsewhere);
  TOKRightDlg& dialog = Export(form);
  EXPECT_EQ(dialog.DirectoryListBox1.Directory(), folder_);
  EXPECT_EQ(fs::current_path().string(), folder_);
  dialog.OKBtn.Click();
  EXPECT_TRUE(fs::exists(fs::path(folder_) / "Prismora1.bmp"));
  EXPECT_TRUE(fs::is_empty(elsewhere));
  EXPECT_EQ(Key().at("Path_Wall"), Settings::StringValue(folder_));
}

TEST_F(SettingsFormTest, DialogFallsBackToTheDefaultFolderAndStopsOnABadValue) {
  TForm2& form = Open({.bright = 1});
  Key().erase("Path_Wall");
  Settings::WallpaperFolder = "/nonexistent";
  TOKRightDlg& dialog = Export(form);
  EXPECT_EQ(Settings::WallpaperFolder, folder_);  // the default passed in
  dialog.CancelBtn.Click();
  EXPECT_EQ(SaveCounter, 1);
  EXPECT_TRUE(form.Timer.Enabled());

  Key()["Path_Wall"] = {Settings::kRegDword, {1, 0, 0, 0}};
  form.Button2.Click();
  EXPECT_EQ(Messages(), std::vector<std::string>{"Invalid data type for 'Path_Wall'"});
  EXPECT_FALSE(dialog.Visible());
  EXPECT_EQ(Gradient::Pattern.GridColumns, 120);
  EXPECT_TRUE(form.Timer.Enabled());
}

TEST_F(SettingsFormTest, CloseBoxHidesTheDialogAndEscapeClosesTheWindow) {
  TForm2& form = Open({.bright = 1});
  TOKRightDlg& dialog = Export(form);
  dialog.Close();
  EXPECT_FALSE(dialog.Visible());
  EXPECT_FALSE(dialog.Freed());
  EXPECT_TRUE(form.Timer.Enabled());
  EXPECT_FALSE(fs::exists(fs::path(folder_) / "Prismora1.bmp"));

  form.NativeKeyDown('A');
  EXPECT_FALSE(form.Freed());
  form.NativeKeyDown(ui::VK_ESCAPE_KEY);
  EXPECT_TRUE(form.Freed());
  EXPECT_FALSE(ui::headless::SurfaceOf(form).created);
  EXPECT_TRUE(ui::Application::Get().Terminated());
}

TEST(WallpaperFileName, AppendsBmpOnlyWhenMissing) {
  EXPECT_EQ(WallpaperFileName("sunset"), "sunset.bmp");
  EXPECT_EQ(WallpaperFileName("sunset.bmp"), "sunset.bmp");
  EXPECT_EQ(WallpaperFileName("Sunset.bMp"), "Sunset.bMp");
  EXPECT_EQ(WallpaperFileName("sunset.bmpx"), "sunset.bmpx.bmp");
  EXPECT_EQ(WallpaperFileName("bmp"), "bmp.bmp");
  EXPECT_EQ(WallpaperFileName("*.bmp"), "*.bmp");
}

}  // namespace
