// Module Unit1: the full-screen saver window TForm1. It covers every monitor
// (one window over the desktop, the whole pattern on each monitor), hides the
// cursor, tells the system that a screen saver runs and draws a
// frame of the live pattern on each tick of a 10 ms timer while the frame can
// be seen (nothing while the window is covered or the display is off; the
// drift keeps its 10 ms clock meanwhile). On battery it does what the stored
// choice says: every frame, at most 20 a second, or none, the last frame
// left on the screen. A key, or the mouse moving more
// than 15 pixels along either axis from where it stood, asks the password
// check whether the saver may end. Written against ui.h only.
#pragma once

#include <memory>
#include <string>

#include "host/saver_input.h"
#include "host/saver_layout.h"
#include "live/frame_pacing.h"
#include "live/frame_rate_log.h"
#include "live/pause_reasons.h"
#include "platform/power_source.h"
#include "platform/ui.h"
#include "settings/registry.h"

// The cursor position from which mouse movement is measured (screen pixels).
extern ui::Point StartCursor;

class TForm1 : public ui::Form {
 public:
  // store: the user's settings store; defaultFolder: the wallpaper folder the
  // first run stores (the platform's default); followPower: how the window
  // follows the power source (none: always on mains power).
  TForm1(Settings::RegistryBackend& store, std::string defaultFolder, power::WindowPowerWatcher followPower = {});

  void FormCreate() override;
  void FormShow() override;
  void FormKeyDown(int key) override;
  void FormMouseMove(int x, int y) override;
  void FormCloseQuery(bool& canClose) override;
  void FormClose(ui::CloseAction& action) override;

  void TimerTimer();
  void EndSaver();

  ui::Timer Timer;
  // DeviceContext and RenderContext: made when the window is first shown.
  std::unique_ptr<ui::GLSurface> Surface;
  // The window over the desktop and a viewport per monitor, from creation.
  const SaverLayout& Layout() const { return layout_; }

 private:
  void AcceptInput();
  void ReleaseSurfaceAndFlag();
  void FollowPowerSource();
  void ApplyPower();

  Settings::RegistryBackend& store_;
  std::string defaultFolder_;
  power::WindowPowerWatcher followPower_;
  bool onBattery_ = false;
  live::BatteryChoice battery_ = live::kDefaultBatteryChoice;
  live::PauseReasons reasons_;
  live::FramePacing pacing_;
  live::FrameRateLog frameRateLog_;
  SaverLayout layout_;
  // Last, so that it ends first: its reports reach the members above.
  std::unique_ptr<power::PowerWatch> power_;
};
