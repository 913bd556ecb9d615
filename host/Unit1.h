// Module Unit1: the full-screen saver window TForm1. It covers the screen,
// hides the cursor, tells the system that a screen saver runs and draws a
// frame of the live pattern every 10 ms; a key, or the mouse moving more than
// 15 pixels along either axis from where it stood, asks the password check
// whether the saver may end. Written against ui.h only.
#pragma once

#include <memory>
#include <string>

#include "live/live_frame.h"
#include "platform/ui.h"
#include "settings/registry.h"

// The cursor position from which mouse movement is measured (screen pixels).
extern ui::Point StartCursor;

// Movement of more than this many pixels along either axis ends the saver.
constexpr int kMouseTolerance = 15;

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

 private:
  void AcceptInput();
  void ReleaseSurfaceAndFlag();

  Settings::RegistryBackend& store_;
  std::string defaultFolder_;
  live::FrameRateLog frameRateLog_;
};
