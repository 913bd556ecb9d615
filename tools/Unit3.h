// Module Unit3: the save dialog TOKRightDlg ("Save Wallpaper"). It opens in the
// remembered wallpaper folder ("Path_Wall") with the name PrismoraN proposed,
// saves WallpaperImage as a BMP file, remembers a changed folder and restarts
// the settings window's frame timer when it is dismissed. Not modal.
#pragma once

#include <string>

#include "platform/ui.h"
#include "settings/registry.h"

class TOKRightDlg : public ui::Form {
 public:
  // animationTimer: the settings window's frame timer, restarted when the
  // dialog is dismissed.
  TOKRightDlg(Settings::RegistryBackend& store, std::string defaultFolder, ui::Timer& animationTimer);

  void FormCreate() override;
  void FormClose(ui::CloseAction& action) override;
  void OKBtnClick();
  void CancelBtnClick();

  // The opening steps (creation runs them; a later export runs them again on
  // the same dialog): read the folder, show, enter the folder, propose the name.
  void Open();

  ui::Label StaticText1;
  ui::Edit Edit;
  ui::Button OKBtn;
  ui::Button CancelBtn;
  ui::DriveComboBox DriveComboBox1;
  ui::DirectoryListBox DirectoryListBox1;
  ui::FileListBox FileListBox1;

 private:
  void ReadFolder();
  void EnterFolder();
  void RememberFolder(const std::string& folder);
  void Dismiss();

  Settings::RegistryBackend& store_;
  std::string defaultFolder_;
  ui::Timer& animationTimer_;
};
