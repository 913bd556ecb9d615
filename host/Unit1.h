// Module Unit1: the full-screen saver window TForm1. It covers every monitor
// (one window over the desktop, the whole pattern on each monitor), hides the
// cursor, tells the system that a screen saver runs and draws a
// frame of the live pattern on each tick of a 10 ms timer while the frame can
// be seen (nothing while the window is covered or the display is off; the
// drift keeps its 10 ms clock meanwhile); a key, or the mouse moving more
// than 15 pixels along either axis from where it stood, asks the password
// check whether the saver may end. Written against ui.h only.
#pragma once

#include <memory>
#include <string>

#include "host/saver_input.h"
#include "host/saver_layout.h"
#include "live/frame_pacing.h"
#include "live/frame_rate_log.h"
#include "platform/ui.h"
#include "settings/registry.h"

// The cursor position from which mouse movement is measured (screen pixels).
extern ui::Point StartCursor;

class TForm1 : public ui::Form {
 public:
  // store: the user's settings store; defaultFolder: the wallpaper folder the
  // first run stores (the platform's default).
  TForm1(Settings::RegistryBackend& store, std::string defaultFolder);

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

  Settings::RegistryBackend& store_;
  std::string defaultFolder_;
  live::FramePacing pacing_;
  live::FrameRateLog frameRateLog_;
  SaverLayout layout_;
};
