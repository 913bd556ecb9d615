// The preview (switch P) on the headless embedded window: where its window
// goes, its own pattern whatever the settings, a key asking the password
// check, the pump ending, and a parent that names no window.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/gradient.h"
#include "host/funcs_preview.h"
#include "host/modes.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_gl_window.h"

namespace {

using ui::headless::GLWindowEvent;
using ui::headless::TheGLWindow;

class PreviewMode : public testing::Test {
 protected:
  void SetUp() override {
    ui::headless::Reset();
    ui::headless::ResetGLWindow();
    funcs::StopRequested = false;
    funcs::PreviewMode = false;
    std::memset(static_cast<void*>(&Gradient::Pattern), 0, sizeof Gradient::Pattern);
    Gradient::Pattern.Speed = 7;  // as stored settings would have left it
  }
  void TearDown() override { funcs::StopRequested = false; }
};

TEST_F(PreviewMode, AChildOfTheGivenWindowWithItsOwnPatternAndNoRelease) {
  TheGLWindow().script = {{GLWindowEvent::Paint}, {GLWindowEvent::Resize, 50, 40}, {GLWindowEvent::Paint},
                          {GLWindowEvent::Gone}};
  EXPECT_EQ(RunPreview(4242), 0);
  const auto& r = TheGLWindow();
  EXPECT_TRUE(funcs::PreviewMode);
  EXPECT_EQ(r.place, ui::GLWindowPlace::ChildOf);
  EXPECT_EQ(r.parent, 4242u);
  EXPECT_EQ(r.title, "ZiZoraz");
  EXPECT_EQ(r.format.colourBits, 32);
  EXPECT_EQ(r.format.depthBits, 0);
  EXPECT_EQ(r.swaps, 2);
  EXPECT_FALSE(r.signalsInstalled);  // not a mode that owns the signals
  EXPECT_FALSE(r.released);          // the surface ends with the process
  EXPECT_EQ(Gradient::Pattern.Speed, 25);
  EXPECT_EQ(Gradient::Pattern.GridColumns, 100);
  EXPECT_EQ(Gradient::Pattern.GridRows, 75);
  EXPECT_EQ(ui::headless::TheWorld().passwordChecks, 0);
}

TEST_F(PreviewMode, WithoutAParentATopLevelWindowWhoseKeysAskThePasswordCheck) {
  ui::headless::TheWorld().passwordAnswer = false;
  TheGLWindow().script = {{GLWindowEvent::Paint}, {GLWindowEvent::Key, 27}};
  EXPECT_EQ(RunPreview(0), 0);
  EXPECT_EQ(TheGLWindow().place, ui::GLWindowPlace::TopLevel);
  EXPECT_EQ(ui::headless::TheWorld().passwordChecks, 1);
}

TEST_F(PreviewMode, AYesFromThePasswordCheckStopsThePumpWhichEndsTheWindow) {
  ui::headless::TheWorld().passwordAnswer = true;
  TheGLWindow().script = {{GLWindowEvent::Key, 32}};
  EXPECT_EQ(RunPreview(0), 0);  // returns once the pump has finished
  EXPECT_TRUE(TheGLWindow().endRequested);
}

TEST_F(PreviewMode, AParentThatNamesNoWindowEndsWithOneLineAndStatusOne) {
  TheGLWindow().createResult = ui::GLWindowResult::NoSuchWindow;
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunPreview(0x3fffff0), 1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "prismora: there is no window 0x3fffff0 to preview in\n");
  EXPECT_FALSE(TheGLWindow().ran);
}

}  // namespace
