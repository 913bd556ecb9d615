// The saver window TForm1 on the headless layer: what only its own logic
// decides. The mouse rule (tolerance per axis, creeping measured from the
// start point, inactive moves only re-anchor), keys only when active, a
// rejected password, the order of the ending's steps, the random algorithm,
// a creation that survives a settings read error, and battery power (a
// fake power source: at most 20 frames a second, paused, every frame).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/gradient.h"
#include "host/Unit1.h"
#include "live/pattern_view.h"
#include "platform/headless/headless.h"
#include "platform/power_source.h"
#include "tests/support/fresh_process.h"
#include "settings/memory_registry.h"
#include "settings/settings.h"

using ui::headless::TheWorld;

namespace {

struct Stored {
  int speed = 25, bright = 3, algorithm = 7;
  bool rands = false;
  bool pixels = false;  // stored only when true, as a store from before the view
  int onBattery = -1;  // -1: not stored, as a store from before the choice
};

// The power source the test switches, as the window's watch reports it.
struct FakePower {
  bool onBattery = false;
  bool watching = false;
  ui::NativeHandle window = 0;
  std::function<void(bool)> changed;

  void Switch(bool battery) {
    onBattery = battery;
    if (watching) changed(battery);
  }
  power::WindowPowerWatcher Watcher() {
    return [this](ui::NativeHandle w, std::function<void(bool)> report) -> std::unique_ptr<power::PowerWatch> {
      window = w;
      changed = std::move(report);
      watching = true;
      return std::make_unique<Watch>(*this);
    };
  }

  struct Watch : power::PowerWatch {
    explicit Watch(FakePower& p) : power(p) {}
    ~Watch() override { power.watching = false; }
    bool OnBattery() const override { return power.onBattery; }
    FakePower& power;
  };
};

class SaverFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessState();
    StartCursor = ui::Point{};
    TheWorld().cursor = {500, 400};
  }
  void TearDown() override { ui::headless::Reset(); }

  void Store(const Stored& s) {
    Settings::Registry reg(store_);
    ASSERT_TRUE(reg.CreateKey(Settings::kSettingsKey));
    reg.WriteInteger("Speed", s.speed);
    reg.WriteInteger("Bright", s.bright);
    reg.WriteInteger("Algoritm", s.algorithm);
    reg.WriteBool("Rands", s.rands);
    reg.WriteString("Path_Wall", "/tmp");
    if (s.pixels) reg.WriteBool("Pixels", true);
    if (s.onBattery >= 0) reg.WriteInteger("OnBattery", s.onBattery);
  }

  // Created and shown as the start-up does it, then made the active window.
  TForm1& Start(bool active = true) {
    TForm1& form = ui::Application::Get().CreateForm<TForm1>(store_, "/home/user", power_.Watcher());
    form.Show();
    ui::headless::SetActive(form, active);
    TheWorld().log.clear();
    return form;
  }

  // The cursor goes to (x, y) and the window hears of it.
  static void MoveTo(TForm1& form, int x, int y) {
    TheWorld().cursor = {x, y};
    form.NativeMouseMove(x, y);
  }

  static bool Ended(const TForm1& form) { return form.Freed() && ui::Application::Get().Terminated(); }

  // The pattern as `steps` ticks of a 10 ms timer from `start` (seeded
  // with `seed`) make it, against the one drawn; the generator is left as
  // the drawing left it.
  static void ExpectDrift(const Gradient::PatternState& start, uint32_t seed, int steps) {
    auto expected = std::make_unique<Gradient::PatternState>(start);
    const uint32_t after = Gradient::RandomSeed();
    Gradient::SetRandomSeed(seed);
    for (int i = 0; i < steps; ++i) Gradient::DriftFrame(*expected);
    EXPECT_EQ(Gradient::Pattern.PhaseA, expected->PhaseA);
    EXPECT_EQ(Gradient::Pattern.PhaseB, expected->PhaseB);
    EXPECT_EQ(Gradient::Pattern.OffsetX, expected->OffsetX);
    EXPECT_EQ(Gradient::RandomSeed(), after);
    Gradient::SetRandomSeed(after);
  }

  Settings::MemoryRegistry store_;
  FakePower power_;
};

// ---- The mouse rule ----

TEST_F(SaverFormTest, FifteenPixelsAlongBothAxesDoNotEndTheSaver) {
  Store({});
  TForm1& form = Start();
  MoveTo(form, 500, 400);  // the event a still cursor sends when the window appears
  MoveTo(form, 515, 415);
  MoveTo(form, 485, 385);
  EXPECT_FALSE(form.Freed());
  EXPECT_EQ(TheWorld().passwordChecks, 0);
}

TEST_F(SaverFormTest, SixteenPixelsAlongEitherAxisEndTheSaver) {
  const int moves[][2] = {{516, 400}, {484, 400}, {500, 416}, {500, 384}};
  for (const auto& m : moves) {
    SetUp();
    Store({});
    TForm1& form = Start();
    MoveTo(form, m[0], m[1]);
    EXPECT_TRUE(Ended(form)) << "to " << m[0] << "," << m[1];
    EXPECT_EQ(TheWorld().passwordChecks, 1);
  }
}

TEST_F(SaverFormTest, CreepingIsMeasuredFromTheStartPoint) {
  Store({});
  TForm1& form = Start();
  for (int x = 503; x <= 515; x += 3) MoveTo(form, x, 400);  // 3 px steps up to 15 px
  EXPECT_FALSE(form.Freed());
  EXPECT_EQ(StartCursor.x, 500);
  MoveTo(form, 516, 400);
  EXPECT_TRUE(Ended(form));
}

TEST_F(SaverFormTest, MovesWhileNotActiveOnlyMoveTheStartPoint) {
  Store({});
  TForm1& form = Start(/*active=*/false);
  MoveTo(form, 900, 700);
  EXPECT_FALSE(form.Freed());
  EXPECT_EQ(TheWorld().passwordChecks, 0);
  EXPECT_EQ(StartCursor.x, 900);
  EXPECT_EQ(StartCursor.y, 700);

  ui::headless::SetActive(form, true);
  MoveTo(form, 915, 715);  // within 15 of the new start point
  EXPECT_FALSE(form.Freed());
  MoveTo(form, 900, 684);
  EXPECT_TRUE(Ended(form));
}

TEST_F(SaverFormTest, TheEventsCoordinatesAreNotUsed) {
  Store({});
  TForm1& form = Start();
  form.NativeMouseMove(1000, 10);  // the cursor itself has not moved
  EXPECT_FALSE(form.Freed());
  TheWorld().cursor = {600, 400};
  form.NativeMouseMove(0, 0);
  EXPECT_TRUE(Ended(form));
}

// ---- Keys ----

TEST_F(SaverFormTest, AKeyEndsTheSaverOnlyWhenActive) {
  Store({});
  TForm1& form = Start(/*active=*/false);
  form.NativeKeyDown('A');
  form.NativeKeyDown(ui::VK_ESCAPE_KEY);
  EXPECT_FALSE(form.Freed());
  EXPECT_EQ(TheWorld().passwordChecks, 0);

  ui::headless::SetActive(form, true);
  form.NativeKeyDown(0x10);  // even a shift key
  EXPECT_TRUE(Ended(form));
}

// ---- The password check and the ending ----

TEST_F(SaverFormTest, ARejectedPasswordKeepsTheSaverRunningWithTheCursorHidden) {
  Store({});
  TheWorld().passwordAnswer = false;
  TForm1& form = Start();
  form.NativeKeyDown('X');
  MoveTo(form, 600, 400);
  EXPECT_EQ(TheWorld().passwordChecks, 2);
  EXPECT_FALSE(form.Freed());
  EXPECT_FALSE(ui::Application::Get().Terminated());
  EXPECT_EQ(TheWorld().cursorCount, -1);
  EXPECT_TRUE(TheWorld().screenSaverRunning);
  const int swaps = ui::headless::SurfaceOf(form).swaps;
  ui::headless::AdvanceTime(50);
  EXPECT_EQ(ui::headless::SurfaceOf(form).swaps, swaps + 5);

  TheWorld().passwordAnswer = true;  // no limit on attempts
  form.NativeKeyDown('X');
  EXPECT_TRUE(Ended(form));
}

TEST_F(SaverFormTest, AcceptedInputEndsInTheDesignedOrder) {
  Store({});
  TForm1& form = Start();
  form.NativeKeyDown('Q');
  const std::vector<std::string> expected = {"CheckSaverPassword",    "ShowCursor(true)", "Surface.Release",
                                             "ScreenSaverRunning(0)", "Destroy Full",     "Terminate"};
  EXPECT_EQ(TheWorld().log, expected);
  EXPECT_EQ(TheWorld().cursorCount, 0);
  EXPECT_FALSE(TheWorld().screenSaverRunning);
  EXPECT_FALSE(ui::headless::SurfaceOf(form).created);
}

TEST_F(SaverFormTest, ACloseRequestReleasesTheSurfaceAndFlagBeforeTheWindowGoes) {
  Store({});
  TForm1& form = Start();
  EXPECT_TRUE(form.NativeCloseRequest());
  const std::vector<std::string> expected = {"Surface.Release", "ScreenSaverRunning(0)", "Destroy Full",
                                             "Terminate"};
  EXPECT_EQ(TheWorld().log, expected);
  EXPECT_TRUE(form.Freed());
  EXPECT_EQ(TheWorld().passwordChecks, 0);
}

TEST_F(SaverFormTest, NoFramesAreDrawnAfterTheEnd) {
  Store({});
  TForm1& form = Start();
  form.NativeKeyDown('Q');
  const int swaps = ui::headless::SurfaceOf(form).swaps;
  ui::headless::AdvanceTime(100);
  EXPECT_EQ(ui::headless::SurfaceOf(form).swaps, swaps);
}

// ---- Creation and the surface ----

TEST_F(SaverFormTest, CreationCoversTheScreenHidesTheCursorAndTellsTheSystem) {
  TheWorld().screenWidth = 1280;
  TheWorld().screenHeight = 1024;
  TForm1& form = ui::Application::Get().CreateForm<TForm1>(store_, "/home/user");
  EXPECT_EQ(form.ClientWidth(), 1280);
  EXPECT_EQ(form.ClientHeight(), 1024);
  EXPECT_EQ(Gradient::Pattern.GridColumns, 120);
  EXPECT_EQ(Gradient::Pattern.GridRows, 90);
  EXPECT_EQ(StartCursor.x, 500);
  EXPECT_EQ(StartCursor.y, 400);
  EXPECT_TRUE(TheWorld().screenSaverRunning);
  EXPECT_EQ(TheWorld().cursorCount, -1);
  // The first run's defaults, written to the store; they choose at random.
  EXPECT_EQ(Gradient::Pattern.Speed, 25);
  EXPECT_TRUE(Settings::RandomAlgorithm);
  EXPECT_GE(Gradient::Pattern.Algorithm, 1);
  EXPECT_LE(Gradient::Pattern.Algorithm, 12);
  EXPECT_EQ(store_.written.size(), 6u);

  form.Show();
  const auto& surface = ui::headless::SurfaceOf(form);
  EXPECT_TRUE(surface.created);
  EXPECT_EQ(surface.format.depthBits, 0);
  EXPECT_EQ(surface.format.colourBits, 32);
  EXPECT_EQ(surface.viewportW, 1280);
  EXPECT_EQ(surface.viewportH, 1024);
  ui::headless::AdvanceTime(100);
  EXPECT_EQ(surface.swaps, 10);
}

// The message box comes once the saver draws, so that the pattern runs
// around it; the value that failed takes its first-run value.
// The saver draws the pattern in the stored view; a store from before the
// view draws the designed mesh.
TEST_F(SaverFormTest, TheStoredViewIsTheViewDrawn) {
  for (bool pixels : {false, true}) {
    ui::headless::Reset();
    Store({.pixels = pixels});
    Start();
    EXPECT_EQ(live::PatternViewInUse(), pixels ? live::PatternView::Pixels : live::PatternView::Mesh);
  }
}

TEST_F(SaverFormTest, ASettingsReadErrorIsShownOnceTheSaverDraws) {
  {
    Settings::Registry reg(store_);
    ASSERT_TRUE(reg.CreateKey(Settings::kSettingsKey));
    reg.WriteInteger("Speed", 30);
    reg.WriteString("Bright", "3");  // the wrong type
    reg.WriteInteger("Algoritm", 4);
    reg.WriteBool("Rands", false);
  }
  TForm1& form = ui::Application::Get().CreateForm<TForm1>(store_, "/home/user");
  EXPECT_TRUE(TheWorld().messageBoxes.empty());
  EXPECT_EQ(Gradient::Pattern.Speed, 30);
  EXPECT_EQ(Gradient::Pattern.Algorithm, 4);  // read after the failing value
  EXPECT_EQ(Settings::WallpaperSizeChoice, 3);
  EXPECT_EQ(form.ClientWidth(), 1024);
  EXPECT_EQ(Gradient::Pattern.GridColumns, 120);
  EXPECT_TRUE(TheWorld().screenSaverRunning);
  EXPECT_EQ(TheWorld().cursorCount, -1);
  ui::Application::Get().Run();
  EXPECT_TRUE(ui::headless::SurfaceOf(form).created);
  ASSERT_EQ(TheWorld().messageBoxes.size(), 1u);
  EXPECT_EQ(TheWorld().messageBoxes[0], "|Invalid data type for 'Bright'");
}

// ---- Frames nobody sees ----

// While the surface says nothing it draws is seen (the window covered, the
// display off) the ticks neither sweep nor draw; the first tick seen again
// brings the drift to the 10 ms clock: 100 steps after a second.
TEST_F(SaverFormTest, UnseenTicksDrawNothingAndTheDriftKeepsItsClock) {
  Store({});
  TForm1& form = Start();
  const auto& surface = ui::headless::SurfaceOf(form);
  const uint32_t seed = Gradient::RandomSeed();
  auto expected = std::make_unique<Gradient::PatternState>(Gradient::Pattern);
  ui::headless::AdvanceTime(30);
  EXPECT_EQ(surface.swaps, 3);
  TheWorld().surfacesSeen = false;
  const Gradient::PatternState before = Gradient::Pattern;
  ui::headless::AdvanceTime(970);
  EXPECT_EQ(surface.swaps, 3);
  EXPECT_EQ(Gradient::Pattern.PhaseA, before.PhaseA);
  TheWorld().surfacesSeen = true;
  ui::headless::AdvanceTime(10);
  EXPECT_EQ(surface.swaps, 4);
  const uint32_t after = Gradient::RandomSeed();
  Gradient::SetRandomSeed(seed);
  for (int i = 0; i < 101; ++i) Gradient::DriftFrame(*expected);
  EXPECT_EQ(Gradient::Pattern.PhaseA, expected->PhaseA);
  EXPECT_EQ(Gradient::Pattern.PhaseB, expected->PhaseB);
  EXPECT_EQ(Gradient::Pattern.OffsetX, expected->OffsetX);
  EXPECT_EQ(Gradient::RandomSeed(), after);
}

// ---- Every monitor ----

TEST_F(SaverFormTest, OneMonitorSetsItsViewportOnceAndEachFrameOnlyDrawsAndSwaps) {
  Store({});
  TForm1& form = Start();
  const auto& surface = ui::headless::SurfaceOf(form);
  EXPECT_EQ(surface.viewports.size(), 1u);
  ui::headless::AdvanceTime(50);
  EXPECT_EQ(surface.viewports.size(), 1u);
  EXPECT_EQ(surface.swaps, 5);
  const ui::Rect placed = ui::headless::BoundsOf(form);
  EXPECT_EQ(placed.left, 0);
  EXPECT_EQ(placed.top, 0);
  EXPECT_EQ(placed.width, 1024);
  EXPECT_EQ(placed.height, 768);
}

// 1024 x 768 and 1280 x 1024 side by side: one window over both, the whole
// mesh in each monitor's viewport every frame, one swap a frame.
TEST_F(SaverFormTest, TwoMonitorsGetOneWindowAndAViewportEachPerFrame) {
  TheWorld().monitors = {{0, 0, 1024, 768}, {1024, 0, 1280, 1024}};
  Store({});
  TForm1& form = Start();
  EXPECT_EQ(form.ClientWidth(), 2304);
  EXPECT_EQ(form.ClientHeight(), 1024);
  auto& surface = ui::headless::SurfaceOf(form);
  ASSERT_EQ(surface.viewports.size(), 1u);  // the set-up: the primary's
  EXPECT_EQ(surface.viewports[0].top, 256);
  EXPECT_EQ(surface.viewports[0].width, 1024);
  surface.viewports.clear();
  ui::headless::AdvanceTime(20);
  EXPECT_EQ(surface.swaps, 2);
  ASSERT_EQ(surface.viewports.size(), 4u);
  for (int frame = 0; frame < 2; ++frame) {
    const ui::Rect& a = surface.viewports[2 * frame];
    const ui::Rect& b = surface.viewports[2 * frame + 1];
    EXPECT_EQ((std::vector<int>{a.left, a.top, a.width, a.height}), (std::vector<int>{0, 256, 1024, 768}));
    EXPECT_EQ((std::vector<int>{b.left, b.top, b.width, b.height}), (std::vector<int>{1024, 0, 1280, 1024}));
  }
}

// Windows' virtual screen left of the primary: the window starts at -1280,
// and the mouse rule works in the same desktop coordinates.
TEST_F(SaverFormTest, ADesktopWithANegativeOriginKeepsTheMouseRule) {
  TheWorld().monitors = {{0, 0, 1024, 768}, {-1280, 0, 1280, 1024}};
  TheWorld().cursor = {-600, 300};
  Store({});
  TForm1& form = Start();
  const ui::Rect placed = ui::headless::BoundsOf(form);
  EXPECT_EQ((std::vector<int>{placed.left, placed.top, placed.width, placed.height}),
            (std::vector<int>{-1280, 0, 2304, 1024}));
  MoveTo(form, -615, 315);
  EXPECT_FALSE(form.Freed());
  MoveTo(form, -616, 300);
  EXPECT_TRUE(Ended(form));
}

// ---- The random algorithm ----

TEST_F(SaverFormTest, TheStoredAlgorithmIsUsedWhenRandsIsOff) {
  Store({.algorithm = 0, .rands = false});  // 0: the stored value is kept as it is
  Start();
  EXPECT_EQ(Gradient::Pattern.Algorithm, 0);
}

TEST_F(SaverFormTest, RandsPicksAnAlgorithmFromOneToTwelveAndLeavesTheStoreAlone) {
  for (int stored : {0, 13}) {
    SetUp();
    Store({.algorithm = stored, .rands = true});
    Start();
    EXPECT_GE(Gradient::Pattern.Algorithm, 1);
    EXPECT_LE(Gradient::Pattern.Algorithm, 12);
    Settings::Registry reg(store_);
    ASSERT_TRUE(reg.OpenKey(Settings::kSettingsKey));
    EXPECT_EQ(reg.ReadInteger("Algoritm"), stored);
  }
}

// ---- Battery power ----

// A store from before the choice gives the default, at most 20 frames a
// second: from the switch to battery a frame on a 50 ms beat (20 in a
// second, one more in the first), the drift still one step per 10 ms; back
// on mains, once the gap in course has run out, every tick draws again.
TEST_F(SaverFormTest, OnBatteryTheDefaultIsTwentyFramesASecondWithTheSameDrift) {
  Store({});
  TForm1& form = Start();
  EXPECT_TRUE(power_.watching);
  EXPECT_EQ(power_.window, form.Handle());
  const auto& surface = ui::headless::SurfaceOf(form);
  const uint32_t seed = Gradient::RandomSeed();
  const auto start = std::make_unique<Gradient::PatternState>(Gradient::Pattern);
  ui::headless::AdvanceTime(100);
  EXPECT_EQ(surface.swaps, 10);
  power_.Switch(true);
  ui::headless::AdvanceTime(1000);
  EXPECT_EQ(surface.swaps, 10 + 21);  // at 110 ms, then on the 50 ms beat: 150, 200, ... 1100
  ExpectDrift(*start, seed, 110);
  ui::headless::AdvanceTime(1000);
  EXPECT_EQ(surface.swaps, 31 + 20);
  power_.Switch(false);
  ui::headless::AdvanceTime(50);  // the gap in course runs out
  ui::headless::AdvanceTime(100);
  EXPECT_EQ(surface.swaps, 51 + 1 + 10);
}

// "Paused": no frame while on battery, the drift caught up by the first
// frame on mains.
TEST_F(SaverFormTest, PausedOnBatteryDrawsNothingUntilMainsComesBack) {
  Store({.onBattery = 2});
  TForm1& form = Start();
  const auto& surface = ui::headless::SurfaceOf(form);
  const uint32_t seed = Gradient::RandomSeed();
  const auto start = std::make_unique<Gradient::PatternState>(Gradient::Pattern);
  ui::headless::AdvanceTime(30);
  power_.Switch(true);
  const Gradient::PatternState before = Gradient::Pattern;
  ui::headless::AdvanceTime(1000);
  EXPECT_EQ(surface.swaps, 3);
  EXPECT_EQ(Gradient::Pattern.PhaseA, before.PhaseA);
  power_.Switch(false);
  ui::headless::AdvanceTime(10);
  EXPECT_EQ(surface.swaps, 4);
  ExpectDrift(*start, seed, 104);
  ui::headless::AdvanceTime(50);
  EXPECT_EQ(surface.swaps, 9);
}

TEST_F(SaverFormTest, EveryFrameOnBatteryChangesNothing) {
  Store({.onBattery = 0});
  TForm1& every = Start();
  power_.Switch(true);
  ui::headless::AdvanceTime(100);
  EXPECT_EQ(ui::headless::SurfaceOf(every).swaps, 10);
}

// Started on battery, the choice holds from the first frame; the watch ends
// with the saver, before its window goes.
TEST_F(SaverFormTest, StartedOnBatteryAndTheWatchEndsWithTheSaver) {
  Store({.onBattery = 1});
  power_.onBattery = true;
  TForm1& form = Start();
  ui::headless::AdvanceTime(1000);
  EXPECT_EQ(ui::headless::SurfaceOf(form).swaps, 21);  // at 10 ms, then on the 50 ms beat: 50, 100, ... 1000
  ui::headless::AdvanceTime(1000);
  EXPECT_EQ(ui::headless::SurfaceOf(form).swaps, 21 + 20);
  EXPECT_TRUE(power_.watching);
  form.NativeKeyDown('Q');
  EXPECT_TRUE(Ended(form));
  EXPECT_FALSE(power_.watching);
}

}  // namespace
