// TOKRightDlg: reading and remembering "Path_Wall", the linked drive, folder
// and file lists, the file-name rule and the save of WallpaperImage.
#include "tools/Unit3.h"

#include <filesystem>
#include <system_error>

#include "settings/settings.h"
#include "tools/wallpaper_export.h"

using namespace WallpaperExport;

namespace {

const ui::Font kDialogFont{"Arial", 16, false, ui::clBlack};

ui::FormDesign DialogDesign() {
  ui::FormDesign d;
  d.caption = "Save Wallpaper";
  d.border = ui::BorderStyle::Dialog;
  d.clientWidth = 415;
  d.clientHeight = 262;
  d.colour = ui::clSilver;
  d.screenCentre = true;
  d.modalDialog = true;  // Enter saves, Escape cancels
  return d;
}

}  // namespace

TOKRightDlg::TOKRightDlg(Settings::RegistryBackend& store, std::string defaultFolder, ui::Timer& animationTimer)
    : ui::Form(DialogDesign()),
      StaticText1(*this, {8, 8, 48, 23}, "Name", kDialogFont),
      Edit(*this, {64, 9, 241, 21}),
      OKBtn(*this, {332, 9, 75, 25}, "Save", kDialogFont, /*defaultButton=*/true, false),
      CancelBtn(*this, {332, 38, 75, 25}, "Cancel", kDialogFont, false, /*cancelButton=*/true),
      DriveComboBox1(*this, {8, 48, 145, 19}),
      DirectoryListBox1(*this, {8, 72, 145, 153}),
      FileListBox1(*this, {160, 48, 145, 177}, "*.bmp"),
      store_(store),
      defaultFolder_(std::move(defaultFolder)),
      animationTimer_(animationTimer) {
  DriveComboBox1.DirList = &DirectoryListBox1;
  DirectoryListBox1.DriveCombo = &DriveComboBox1;
  DirectoryListBox1.FileList = &FileListBox1;
  FileListBox1.FileEdit = &Edit;
  OKBtn.OnClick = [this] { OKBtnClick(); };
  CancelBtn.OnClick = [this] { CancelBtnClick(); };
}

void TOKRightDlg::FormCreate() { Open(); }

// A "Path_Wall" that is not text raises its error here, before the dialog is
// shown: the dialog then stays hidden.
void TOKRightDlg::Open() {
  ReadFolder();
  if (Settings::WallpaperFolder.empty()) Settings::WallpaperFolder = defaultFolder_;
  Show();
  EnterFolder();
  Edit.SetText("Prismora" + std::to_string(SaveCounter));
}

// Open without creating: a missing key leaves the folder as it was.
void TOKRightDlg::ReadFolder() {
  Settings::Registry reg(store_);
  if (!reg.OpenKey(Settings::kSettingsKey)) return;
  Settings::WallpaperFolder = reg.ReadString("Path_Wall");
  reg.CloseKey();
}

// Entering the folder makes it the current directory and re-reads the file
// list, which puts the mask into Edit. A remembered folder that is gone
// opens the default folder (home, "C:\Windows") rather than wherever the
// process happens to be, which a save would then remember; only when that
// fails too the lists stay at the current directory, re-read so that no
// stale selection from an earlier opening survives.
void TOKRightDlg::EnterFolder() {
  if (DirectoryListBox1.SetDirectory(Settings::WallpaperFolder)) return;
  if (DirectoryListBox1.SetDirectory(defaultFolder_)) return;
  std::error_code ec;
  const std::string current = std::filesystem::current_path(ec).string();
  if (!ec) DirectoryListBox1.SetDirectory(current);
}

void TOKRightDlg::OKBtnClick() {
  RememberFolder(DirectoryListBox1.Directory());
  // A relative name lands in the current directory, the folder shown in the
  // folder list; an existing file is replaced whole or not at all.
  WallpaperImage->SaveToFile(WallpaperFileName(Edit.Text()));
  Hide();
  ++SaveCounter;
  animationTimer_.SetEnabled(true);
}

// Written only when the folder changed (exact comparison); a key that cannot
// be opened for writing is skipped and the save goes on.
void TOKRightDlg::RememberFolder(const std::string& folder) {
  if (folder == Settings::WallpaperFolder) return;
  Settings::WallpaperFolder = folder;
  Settings::Registry reg(store_);
  if (!reg.CreateKey(Settings::kSettingsKey)) return;
  reg.WriteString("Path_Wall", Settings::WallpaperFolder);
  reg.CloseKey();
}

void TOKRightDlg::CancelBtnClick() { Dismiss(); }

// The close box: hide, never free; the dialog is kept for the next export.
void TOKRightDlg::FormClose(ui::CloseAction& action) {
  action = ui::CloseAction::Hide;
  animationTimer_.SetEnabled(true);
}

void TOKRightDlg::Dismiss() {
  Hide();
  animationTimer_.SetEnabled(true);
}
