// The layer-shell mode on the headless layer window: each output its own
// picture, made when its surface is first sized and dropped when it goes;
// frames only when the compositor asks (the frame callbacks), paced per
// output on the virtual clock with the drift caught up; input ignored by the
// wallpaper and ending the saver (a key, a button, the pointer beyond 15
// pixels from where it entered); outputs under a full-screen window; and
// what follows a failed open: the X11 form, or a status and one line.
#include "host/layer_saver.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/headless/headless.h"
#include "platform/headless/headless_layer_window.h"

namespace {

using ui::headless::LayerEvent;
using ui::headless::TheLayerWindow;

LayerEvent Wait(int ms) { return {LayerEvent::Wait, 0, double(ms)}; }

embedded::PatternChoice Choice(bool random = false) { return embedded::PatternChoice{25, 7, random}; }

class LayerMode : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::headless::Reset();  // the password check's answer another test may have set
    ui::headless::ResetLayerWindow();
  }

  // Opens with the request and runs the script; true when opened.
  bool OpenAndRun(layered::LayerSaver& saver, bool takesInput) {
    ui::LayerRequest request;
    request.layer = takesInput ? ui::Layer::Overlay : ui::Layer::Background;
    request.takesInput = takesInput;
    if (saver.Open(request) != ui::LayerResult::Opened) return false;
    saver.Run();
    return true;
  }

  bool OpenOnLayer(layered::LayerSaver& saver, ui::Layer layer) {
    ui::LayerRequest request;
    request.layer = layer;
    if (saver.Open(request) != ui::LayerResult::Opened) return false;
    saver.Run();
    return true;
  }
};

TEST(PointerTravelTest, MoreThanFifteenPixelsAlongEitherAxisFromTheFirstPosition) {
  layered::PointerTravel t;
  EXPECT_FALSE(t.TooFar(500, 400));  // where it entered
  EXPECT_FALSE(t.TooFar(515, 385));  // 15 on each axis: not more than 15
  EXPECT_FALSE(t.TooFar(500, 400));
  EXPECT_TRUE(t.TooFar(515.5, 400));
  EXPECT_TRUE(t.TooFar(500, 384));
  // Measured from the entry, not from the last position: small steps add up.
  layered::PointerTravel steps;
  double x = 10;
  steps.TooFar(x, 0);
  bool ended = false;
  for (int i = 0; i < 20 && !ended; ++i) ended = steps.TooFar(x += 1, 0);
  EXPECT_TRUE(ended);
  EXPECT_EQ(x, 26);
}

TEST_F(LayerMode, EachOutputGetsItsOwnPictureWhileItIsThere) {
  TheLayerWindow().script = {{LayerEvent::Sized, 1, 1024, 768}, {LayerEvent::Sized, 2, 800, 600},
                             {LayerEvent::Shown, 1},           {LayerEvent::Shown, 2},
                             {LayerEvent::Shown, 2},           {LayerEvent::Sized, 3, 640, 480}};
  layered::LayerSaver saver(Choice(), 10000, 4242);
  ASSERT_TRUE(OpenAndRun(saver, false));
  const auto& pictures = saver.Pictures();
  ASSERT_EQ(pictures.size(), 3u);
  // Started together, they still differ: each drew its own values.
  EXPECT_NE(pictures.at(1).pattern->PhaseA, pictures.at(3).pattern->PhaseA);
  EXPECT_NE(pictures.at(1).pattern->OffsetX, pictures.at(3).pattern->OffsetX);
  for (const auto& [output, picture] : pictures) {
    EXPECT_EQ(picture.pattern->Speed, 25) << output;
    EXPECT_EQ(picture.pattern->Algorithm, 7) << output;
    EXPECT_EQ(picture.pattern->GridColumns, Gradient::kGridColumns);
    EXPECT_EQ(picture.pattern->GridRows, Gradient::kGridRows);
  }
  EXPECT_TRUE(TheLayerWindow().signalsInstalled);
  EXPECT_TRUE(TheLayerWindow().released);
  EXPECT_FALSE(TheLayerWindow().request.takesInput);
  EXPECT_EQ(TheLayerWindow().request.layer, ui::Layer::Background);
}

// The first frame comes with the size; every later one waits for its
// output's frame callback, which a covered output, or one whose power is
// off, never gets.
TEST_F(LayerMode, NoFrameWithoutAFrameCallbackAndEachOutputOnItsOwn) {
  TheLayerWindow().script = {{LayerEvent::Sized, 1, 1024, 768}, {LayerEvent::Sized, 2, 800, 600}, Wait(500),
                             {LayerEvent::Shown, 2}, Wait(50), {LayerEvent::Shown, 2}, Wait(50)};
  layered::LayerSaver saver(Choice(), 10000, 1);
  ASSERT_TRUE(OpenAndRun(saver, false));
  EXPECT_EQ(TheLayerWindow().paints[1], 1);
  EXPECT_EQ(TheLayerWindow().paints[2], 3);
  const auto& pictures = saver.Pictures();
  EXPECT_EQ(pictures.at(1).pacing.FramesDrawn(), 1);
  EXPECT_EQ(pictures.at(1).pacing.StepsTaken(), 0);  // its first frame came at its start
  // The second output's last frame came 550 ms after its start: 55 steps.
  EXPECT_EQ(pictures.at(2).pacing.StepsTaken(), 55);
  saver.LayerSurfacePaint(99);  // an output never sized draws nothing and makes nothing
  EXPECT_EQ(pictures.size(), 2u);
}

// Callbacks sooner than --delay wait for it; with no delay each one draws.
TEST_F(LayerMode, AFrameCallbackDrawsOnceTheDelayHasPassed) {
  TheLayerWindow().script = {{LayerEvent::Sized, 1, 640, 480}, Wait(4), {LayerEvent::Shown, 1},
                             {LayerEvent::Shown, 1}};
  layered::LayerSaver paced(Choice(), 20000, 1);
  ASSERT_TRUE(OpenAndRun(paced, false));
  EXPECT_EQ(TheLayerWindow().paints[1], 1);  // 4 ms after the first frame: not yet
  ui::headless::ResetLayerWindow();
  TheLayerWindow().script = {{LayerEvent::Sized, 1, 640, 480}, {LayerEvent::Shown, 1}, Wait(19),
                             {LayerEvent::Shown, 1}, Wait(1)};
  layered::LayerSaver late(Choice(), 20000, 1);
  ASSERT_TRUE(OpenAndRun(late, false));
  EXPECT_EQ(TheLayerWindow().paints[1], 2);  // at 20 ms, by the time alone
  ui::headless::ResetLayerWindow();
  TheLayerWindow().script = {{LayerEvent::Sized, 1, 640, 480}, {LayerEvent::Shown, 1}, {LayerEvent::Shown, 1}};
  layered::LayerSaver unpaced(Choice(), 0, 1);
  ASSERT_TRUE(OpenAndRun(unpaced, false));
  EXPECT_EQ(TheLayerWindow().paints[1], 3);
}

// Shown again after three seconds unseen, the picture is where a 10 ms
// timer would have put it: the same values as 300 steps of the plain drift.
TEST_F(LayerMode, ShownAgainThePictureIsWhereTheTimerWouldHavePutIt) {
  TheLayerWindow().script = {{LayerEvent::Sized, 1, 640, 480}, Wait(3000), {LayerEvent::Shown, 1}};
  layered::LayerSaver saver(Choice(), 10000, 1);
  Gradient::SetRandomSeed(12345);
  ASSERT_TRUE(OpenAndRun(saver, false));
  Gradient::SetRandomSeed(12345);
  Gradient::PatternState expected{};
  embedded::InitPicture(expected, Choice());
  for (int i = 0; i < 300; ++i) Gradient::DriftFrame(expected);
  const Gradient::PatternState& p = *saver.Pictures().at(1).pattern;
  EXPECT_EQ(saver.Pictures().at(1).pacing.StepsTaken(), 300);
  EXPECT_EQ(p.PhaseA, expected.PhaseA);
  EXPECT_EQ(p.PhaseC, expected.PhaseC);
  EXPECT_EQ(p.OffsetY, expected.OffsetY);
  EXPECT_EQ(p.OffsetXVelocity, expected.OffsetXVelocity);
}

// A new size (a scale change) keeps the picture and its clock going.
TEST_F(LayerMode, ANewSizeKeepsThePictureGoing) {
  TheLayerWindow().script = {{LayerEvent::Sized, 1, 800, 600}, Wait(100),
                             {LayerEvent::Sized, 1, 1600, 1200, "HEADLESS-1"}};
  layered::LayerSaver saver(Choice(), 10000, 1);
  ASSERT_TRUE(OpenAndRun(saver, false));
  ASSERT_EQ(saver.Pictures().size(), 1u);
  EXPECT_EQ(saver.Pictures().at(1).width, 1600);
  EXPECT_EQ(saver.Pictures().at(1).pacing.StepsTaken(), 10);
  EXPECT_EQ(TheLayerWindow().paints[1], 2);
}

TEST_F(LayerMode, AnOutputThatGoesLosesItsPictureAndAReturningOneGetsANewOne) {
  TheLayerWindow().script = {{LayerEvent::Sized, 1, 1024, 768}, {LayerEvent::Sized, 2, 800, 600},
                             {LayerEvent::Gone, 2}, {LayerEvent::Shown, 2}, {LayerEvent::Shown, 1}};
  layered::LayerSaver saver(Choice(), 10000, 1);
  ASSERT_TRUE(OpenAndRun(saver, false));
  EXPECT_EQ(saver.Pictures().size(), 1u);
  EXPECT_EQ(saver.Pictures().count(2), 0u);
  EXPECT_EQ(TheLayerWindow().eventsPlayed, 5);
}

TEST_F(LayerMode, ARandomChoiceGivesEachOutputAnAlgorithmOfItsOwnFromOneToTwelve) {
  for (int i = 1; i <= 40; ++i) TheLayerWindow().script.push_back({LayerEvent::Sized, i, 640, 480});
  layered::LayerSaver saver(Choice(true), 10000, 7);
  ASSERT_TRUE(OpenAndRun(saver, false));
  std::set<int> algorithms;
  for (const auto& [output, picture] : saver.Pictures()) {
    EXPECT_GE(picture.pattern->Algorithm, 1);
    EXPECT_LE(picture.pattern->Algorithm, 12);
    algorithms.insert(picture.pattern->Algorithm);
  }
  EXPECT_GT(algorithms.size(), 3u);
}

TEST_F(LayerMode, TheWallpaperTakesNoInput) {
  TheLayerWindow().script = {{LayerEvent::Sized, 1, 1024, 768}, {LayerEvent::Key},
                             {LayerEvent::Button},              {LayerEvent::Pointer, 0, 0, 0},
                             {LayerEvent::Pointer, 0, 900, 900}, {LayerEvent::Shown, 1}};
  layered::LayerSaver saver(Choice(), 10000, 1);
  ASSERT_TRUE(OpenAndRun(saver, false));
  EXPECT_FALSE(TheLayerWindow().endRequested);
  EXPECT_EQ(TheLayerWindow().eventsPlayed, 6);
  EXPECT_FALSE(saver.EndedByInput());
}

TEST_F(LayerMode, TheSaverEndsOnAKeyOrAButton) {
  for (const LayerEvent::Kind kind : {LayerEvent::Key, LayerEvent::Button}) {
    ui::headless::ResetLayerWindow();
    TheLayerWindow().script = {{LayerEvent::Sized, 1, 1024, 768}, {LayerEvent::Shown, 1}, {kind},
                               {LayerEvent::Shown, 1}};
    layered::LayerSaver saver(Choice(), 10000, 1);
    ASSERT_TRUE(OpenAndRun(saver, true));
    EXPECT_TRUE(TheLayerWindow().request.takesInput);
    EXPECT_EQ(TheLayerWindow().request.layer, ui::Layer::Overlay);
    EXPECT_TRUE(TheLayerWindow().endRequested);
    EXPECT_EQ(TheLayerWindow().eventsPlayed, 3);  // nothing after the input
    EXPECT_TRUE(saver.EndedByInput());
    EXPECT_TRUE(TheLayerWindow().released);
  }
}

TEST_F(LayerMode, TheSaverEndsOnPointerTravelOfMoreThanFifteenPixelsAcrossOutputs) {
  // Entered on the first output at (1000, 300); the second output lies right
  // of it, so its positions continue the same coordinates.
  TheLayerWindow().script = {{LayerEvent::Sized, 1, 1024, 768}, {LayerEvent::Sized, 2, 800, 600},
                             {LayerEvent::Pointer, 0, 1000, 300}, {LayerEvent::Pointer, 0, 1010, 310},
                             {LayerEvent::Pointer, 0, 1015, 315}, {LayerEvent::Shown, 1},
                             {LayerEvent::Pointer, 0, 1016, 300}, {LayerEvent::Shown, 1}};
  layered::LayerSaver saver(Choice(), 10000, 1);
  ASSERT_TRUE(OpenAndRun(saver, true));
  EXPECT_TRUE(TheLayerWindow().endRequested);
  EXPECT_EQ(TheLayerWindow().eventsPlayed, 7);
}

// Frame callbacks that keep coming to an output under a full-screen window
// draw nothing there; the other output goes on, and the window gone, the
// covered one draws at once with its drift where the timer would have it.
TEST_F(LayerMode, UnderAFullScreenWindowABackgroundDrawsNothingWhateverTheCallbacks) {
  TheLayerWindow().script = {{LayerEvent::Sized, 1, 1024, 768}, {LayerEvent::Sized, 2, 800, 600},
                             {LayerEvent::FullScreen, 2, 1}};
  for (int i = 0; i < 5; ++i)
    for (const LayerEvent& e : {Wait(20), LayerEvent{LayerEvent::Shown, 1}, LayerEvent{LayerEvent::Shown, 2}})
      TheLayerWindow().script.push_back(e);
  TheLayerWindow().script.push_back({LayerEvent::FullScreen, 2, 0});
  layered::LayerSaver saver(Choice(), 10000, 1);
  ASSERT_TRUE(OpenOnLayer(saver, ui::Layer::Background));
  EXPECT_EQ(TheLayerWindow().paints[1], 6);
  EXPECT_EQ(TheLayerWindow().paints[2], 2);  // its first frame, then one as the window went
  EXPECT_EQ(saver.Pictures().at(2).pacing.StepsTaken(), 10);
  EXPECT_FALSE(saver.Facts(2).covered);
  // Covered again, it says so in its status, and stays paused while a
  // command asks for the pause after the window is gone.
  saver.LayerOutputUnderFullScreen(2, true);
  EXPECT_TRUE(saver.Facts(2).covered);
  EXPECT_FALSE(saver.Facts(1).covered);
  control::OutputSettings paused;
  paused.algorithm = 7;
  paused.speed = 25;
  paused.pausedByRequest = true;
  saver.ApplySettings(2, paused);
  saver.LayerOutputUnderFullScreen(2, false);
  EXPECT_TRUE(saver.Pictures().at(2).pacing.Held());
  EXPECT_FALSE(saver.Facts(2).covered);
}

// Known before the output's surface is sized: its picture starts paused. Top
// and overlay surfaces are above full-screen windows; bottom is below.
TEST_F(LayerMode, AFullScreenWindowHidesTheBackgroundAndBottomLayersOnly) {
  for (const ui::Layer layer : {ui::Layer::Background, ui::Layer::Bottom, ui::Layer::Top, ui::Layer::Overlay}) {
    ui::headless::ResetLayerWindow();
    TheLayerWindow().script = {{LayerEvent::FullScreen, 1, 1}, {LayerEvent::Sized, 1, 640, 480}, Wait(20),
                               {LayerEvent::Shown, 1}};
    layered::LayerSaver saver(Choice(), 10000, 1);
    ASSERT_TRUE(OpenOnLayer(saver, layer));
    const bool hidden = ui::FullScreenHides(layer);
    EXPECT_EQ(TheLayerWindow().paints[1], hidden ? 0 : 2) << ui::LayerName(layer);
    EXPECT_EQ(saver.Facts(1).covered, hidden) << ui::LayerName(layer);
  }
}

TEST_F(LayerMode, AFailedOpenRunsNothing) {
  TheLayerWindow().openResult = ui::LayerResult::NoLayerShell;
  TheLayerWindow().script = {{LayerEvent::Sized, 1, 1024, 768}};
  layered::LayerSaver saver(Choice(), 10000, 1);
  EXPECT_FALSE(OpenAndRun(saver, false));
  EXPECT_FALSE(TheLayerWindow().ran);
  EXPECT_FALSE(TheLayerWindow().signalsInstalled);
  EXPECT_TRUE(saver.Pictures().empty());
}

TEST(AfterOpen, OpenedRuns) {
  const layered::OpenOutcome o = layered::AfterOpen(ui::LayerResult::Opened, "wayland-1", false, {}, "");
  EXPECT_EQ(o.action, layered::OpenOutcome::RunLayers);
  EXPECT_EQ(o.status, 0);
}

TEST(AfterOpen, NoCompositorOrNoLayerShellUseX11WhereThereIsADisplayElseStatusOne) {
  EXPECT_EQ(layered::AfterOpen(ui::LayerResult::NotBuilt, "wayland-1", true, {}, "").action,
            layered::OpenOutcome::UseX11);
  EXPECT_EQ(layered::AfterOpen(ui::LayerResult::NotBuilt, "wayland-1", false, {}, "").status, 1);
  for (const ui::LayerResult r : {ui::LayerResult::NoCompositor, ui::LayerResult::NoLayerShell}) {
    EXPECT_EQ(layered::AfterOpen(r, "wayland-1", true, {}, "").action, layered::OpenOutcome::UseX11);
    const layered::OpenOutcome o = layered::AfterOpen(r, "wayland-7", false, {}, "");
    EXPECT_EQ(o.action, layered::OpenOutcome::Fail);
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.message.find("'wayland-7'"), std::string::npos) << o.message;
    EXPECT_NE(o.message.find("DISPLAY"), std::string::npos) << o.message;
    EXPECT_EQ(o.message.find('\n'), std::string::npos);
  }
  EXPECT_NE(layered::AfterOpen(ui::LayerResult::NoLayerShell, nullptr, false, {}, "").message.find(
                "zwlr_layer_shell_v1"),
            std::string::npos);
  // Unset, the compositor tried is the default one.
  EXPECT_NE(layered::AfterOpen(ui::LayerResult::NoCompositor, "", false, {}, "").message.find("'wayland-0'"),
            std::string::npos);
}

TEST(AfterOpen, AnOutputNamedThatIsNotThereIsStatusTwoListingTheOutputsEvenWithADisplay) {
  const layered::OpenOutcome o =
      layered::AfterOpen(ui::LayerResult::NoSuchOutput, "wayland-1", true, {"HEADLESS-1", "HEADLESS-2"}, "DP-7");
  EXPECT_EQ(o.action, layered::OpenOutcome::Fail);
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.message, "no output named 'DP-7'; the outputs are: HEADLESS-1, HEADLESS-2");
  EXPECT_NE(layered::AfterOpen(ui::LayerResult::NoSuchOutput, "w", false, {}, "X").message.find("are: none"),
            std::string::npos);
}

TEST(AfterOpen, AnEglFailureIsStatusOneEvenWithADisplay) {
  const layered::OpenOutcome o = layered::AfterOpen(ui::LayerResult::Failed, "wayland-1", true, {}, "");
  EXPECT_EQ(o.action, layered::OpenOutcome::Fail);
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.message.find("EGL"), std::string::npos);
}

}  // namespace
