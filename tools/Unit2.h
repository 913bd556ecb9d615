// Module Unit2: the settings window TForm2 ("Settings, Wallpaper Tools"). It
// shows the live pattern in a 512 x 382 viewport above the controls for speed,
// wallpaper size, algorithm, random choice, the per-pixel view and what
// battery power does to the live pattern elsewhere; saves the
// settings; reports the frame rate; and runs the wallpaper export, which renders into the one
// WallpaperImage and opens the save dialog (Unit3). Written against ui.h only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui.h"
#include "settings/registry.h"

class TOKRightDlg;

// Frames drawn since the last FPS readout.
extern int32_t FrameCount;

class TForm2 : public ui::Form {
 public:
  // store: the user's settings store; defaultFolder: the wallpaper folder used
  // when none is stored (the platform's default).
  TForm2(Settings::RegistryBackend& store, std::string defaultFolder);
  ~TForm2() override;

  void FormCreate() override;
  void FormShow() override;
  void FormKeyDown(int key) override;
  void FormCloseQuery(bool& canClose) override;
  void FormClose(ui::CloseAction& action) override;

  void TimerTimer();
  void Timer1Timer();
  void Timer2Timer();
  void TrackBar1Change();
  void TrackBar2Change();
  void TrackBar3Change();
  void CheckBox1Click();
  void CheckBox2Click();
  void ComboBox1Change();
  void Button1Click();
  void Button2Click();
  void Button3Click();

  // The one save dialog, made by the first export and shown again by each
  // later one; null before the first export.
  TOKRightDlg* SaveDialog() const { return saveDialog_.get(); }

  ui::Label StaticText1;
  ui::TrackBar TrackBar1;
  ui::Label StaticText2;
  ui::TrackBar TrackBar2;
  ui::Label StaticText7;
  ui::Label StaticText3;
  ui::TrackBar TrackBar3;
  ui::CheckBox CheckBox1;
  // "Per Pixel": the live picture as the wallpaper's pixels rather than the
  // mesh; in the button row, between the export's button and Close.
  ui::CheckBox CheckBox2;
  // What battery power does to the pattern in the other modes, by the stored
  // number: every frame, 20 frames a second, paused. Under the speed bar.
  // Only stored: this window's own picture always draws every frame, since
  // here the user is judging what they choose.
  ui::ChoiceBox ComboBox1;
  ui::Label StaticText4;
  ui::Button Button1;
  ui::Button Button2;
  ui::Button Button3;
  ui::Timer Timer;
  ui::Timer Timer1;
  ui::Timer Timer2;
  // DeviceContext and RenderContext: the window's OpenGL surface.
  ui::GLSurface Surface;

 private:
  void ApplySettingsToControls();
  void SetUpWallpaperSize();
  void ShowSizeCaption();
  void OpenSaveDialog();

  Settings::RegistryBackend& store_;
  std::string defaultFolder_;
  std::unique_ptr<TOKRightDlg> saveDialog_;
};
