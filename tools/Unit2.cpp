// TForm2: creation in the designed order, the live preview's surface and
// frames, the FPS readout, the controls' handlers, Save Settings and the
// wallpaper export.
#include "tools/Unit2.h"

#include <algorithm>
#include <exception>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "engine/gradient.h"
#include "live/live_frame.h"
#include "live/pattern_view.h"
#include "settings/settings.h"
#include "tools/Unit3.h"
#include "tools/wallpaper_export.h"

using namespace WallpaperExport;

int32_t FrameCount = 0;

namespace {

// A settings error from the creation, shown once the window is up.
std::exception_ptr pendingSettingsError;

const ui::Font kLabelFont{"Arial", 16, true, ui::clBlack};
const ui::Font kButtonFont{"Arial", 16, true, ui::cl3DDkShadow};
// Smaller and regular: the choice's longest text must fit under the speed
// bar, left of the size caption.
const ui::Font kChoiceFont{"Arial", 13, false, ui::clBlack};
// By the stored number (Settings::BatteryChoice).
const std::vector<std::string> kBatteryChoices{"On battery: all frames", "On battery: 20 FPS",
                                               "On battery: paused"};

ui::FormDesign Form2Design() {
  ui::FormDesign d;
  d.caption = "Settings, Wallpaper Tools";
  d.border = ui::BorderStyle::Single;
  d.minimizeBox = true;
  d.clientWidth = 512;
  d.clientHeight = 484;
  d.colour = ui::clSilver;
  d.keyPreview = true;
  d.screenCentre = true;
  return d;
}

// The preview's 512 x 382 viewport, 100 pixels above the bottom of the client
// area (OpenGL's origin is bottom-left), clear of the controls below row 383.
const ui::Rect kViewport{0, 100, 512, 382};
// The client area above the controls in top-down coordinates, for the
// platform's GL window; the viewport covers all of it but the top 2 rows.
const ui::Rect kPreviewArea{0, 0, 512, 384};
// The grey of the window's background.
constexpr float kClearGrey = 0.753f;

}  // namespace

TForm2::TForm2(Settings::RegistryBackend& store, std::string defaultFolder)
    : ui::Form(Form2Design()),
      StaticText1(*this, {9, 383, 53, 23}, "Speed", kLabelFont),
      TrackBar1(*this, {3, 407, 140, 12}, 0, 50, 0),
      StaticText2(*this, {161, 383, 117, 23}, "Wallpaper Size", kLabelFont),
      TrackBar2(*this, {155, 407, 140, 12}, 1, 6, 1),
      StaticText7(*this, {161, 425, 89, 23}, "", kLabelFont),
      StaticText3(*this, {316, 383, 78, 23}, "Algorithm", kLabelFont),
      TrackBar3(*this, {310, 407, 200, 12}, 1, 12, 1),
      CheckBox1(*this, {419, 384, 84, 17}, "Random", kLabelFont),
      CheckBox2(*this, {310, 454, 100, 17}, "Per Pixel", kLabelFont),
      ComboBox1(*this, {3, 425, 152, 23}, kBatteryChoices, Settings::kDefaultBatteryChoice, kChoiceFont),
      StaticText4(*this, {450, 424, 36, 23}, "FPS", kLabelFont),
      Button1(*this, {12, 450, 125, 25}, " Save Settings", kButtonFont),
      Button2(*this, {164, 450, 125, 25}, "Save Wallpaper", kButtonFont),
      Button3(*this, {429, 450, 75, 25}, "Close", kButtonFont),
      Timer(*this, 10, true),
      Timer1(*this, 5000, false),
      Timer2(*this, 1000, true),
      Surface(*this, kPreviewArea),
      store_(store),
      defaultFolder_(std::move(defaultFolder)) {
  TrackBar1.OnChange = [this] { TrackBar1Change(); };
  TrackBar2.OnChange = [this] { TrackBar2Change(); };
  TrackBar3.OnChange = [this] { TrackBar3Change(); };
  CheckBox1.OnClick = [this] { CheckBox1Click(); };
  CheckBox2.OnClick = [this] { CheckBox2Click(); };
  ComboBox1.OnChange = [this] { ComboBox1Change(); };
  Button1.OnClick = [this] { Button1Click(); };
  Button2.OnClick = [this] { Button2Click(); };
  Button3.OnClick = [this] { Button3Click(); };
  Timer.OnTimer = [this] { TimerTimer(); };
  Timer1.OnTimer = [this] { Timer1Timer(); };
  Timer2.OnTimer = [this] { Timer2Timer(); };
}

TForm2::~TForm2() {
  saveDialog_.reset();
  WallpaperImage.reset();
}

void TForm2::FormCreate() {
  // A damaged store does not stop the creation: the values that could not be
  // read have their first-run values, and the error is shown once the window
  // is up, its preview running around the message box.
  pendingSettingsError = nullptr;
  try {
    Settings::LoadSettings(store_, ui::ScreenWidth(), defaultFolder_);
  } catch (...) {
    pendingSettingsError = std::current_exception();
  }
  Gradient::SeedRandomFromClock();
  ApplySettingsToControls();
  SetOuterSize(520, 515);
  Gradient::InitPattern(Gradient::Pattern, Gradient::kGridColumns, Gradient::kGridRows);
  SetUpWallpaperSize();
  WallpaperImage = DIB::TDIB::Create();
  WallpaperImage->SetBitCount(24);
  SaveCounter = 1;
}

// The random choice of the algorithm, then the bars. A bar clamps the stored
// value and runs its change handler only when its position moves, so an
// out-of-range value above the bar's range is corrected and one below is kept.
void TForm2::ApplySettingsToControls() {
  if (!Settings::RandomAlgorithm) {
    CheckBox1.SetChecked(false);
  } else {
    CheckBox1.SetChecked(true);
    Gradient::Pattern.Algorithm = Gradient::Random(12) + 1;
  }
  TrackBar1.SetPosition(Gradient::Pattern.Speed);
  TrackBar2.SetPosition(Settings::WallpaperSizeChoice);
  TrackBar3.SetPosition(Gradient::Pattern.Algorithm);
  CheckBox2.SetChecked(Settings::PixelView);
  CheckBox2Click();  // the view, whether or not the box changed
  ComboBox1.SetSelected(Settings::BatteryChoice);  // always one of the three, as loaded
}

// The export size from the screen or the size table, the
// marker, the captions, then the cap. The screen's own size is exported as it
// is (the export gives it planes of its own), so caption and picture agree;
// only a side beyond the export's limit of 16384 is cut, the caption keeping
// the uncut size.
void TForm2::SetUpWallpaperSize() {
  WallpaperWidth = ui::ScreenWidth();
  WallpaperHeight = ui::ScreenHeight();
  SizeForChoice(Settings::WallpaperSizeChoice, WallpaperWidth, WallpaperHeight);
  DesktopMarker = MarkerFor(ui::ScreenWidth(), WallpaperWidth);
  StaticText3.SetText("Algorithm " + std::to_string(Gradient::Pattern.Algorithm));
  ShowSizeCaption();
  WallpaperWidth = std::min(WallpaperWidth, DIB::kMaxSide);
  WallpaperHeight = std::min(WallpaperHeight, DIB::kMaxSide);
}

void TForm2::ShowSizeCaption() { StaticText7.SetText(SizeCaption(WallpaperWidth, WallpaperHeight, DesktopMarker)); }

// A 16-bit depth buffer, unlike the saver's surface. The application's
// handler shows a pending settings error.
void TForm2::FormShow() {
  live::SetupFormSurface(Surface, ui::PixelFormat{32, 16}, kViewport, kClearGrey);
  if (pendingSettingsError) std::rethrow_exception(std::exchange(pendingSettingsError, nullptr));
}

void TForm2::TimerTimer() {
  live::DrawLiveFrame(Surface);
  ++FrameCount;
}

void TForm2::Timer2Timer() {
  StaticText4.SetText("FPS " + std::to_string(FrameCount));
  FrameCount = 0;
}

void TForm2::Timer1Timer() {
  StaticText7.SetFontColour(ui::clBlack);
  ShowSizeCaption();
  Timer1.SetEnabled(false);
}

void TForm2::TrackBar1Change() { Gradient::Pattern.Speed = TrackBar1.Position(); }

void TForm2::TrackBar2Change() {
  Settings::WallpaperSizeChoice = TrackBar2.Position();
  SizeForChoice(Settings::WallpaperSizeChoice, WallpaperWidth, WallpaperHeight);
  DesktopMarker = MarkerFor(ui::ScreenWidth(), WallpaperWidth);
  ShowSizeCaption();
}

// The next frame evaluates the new algorithm from the current phases.
void TForm2::TrackBar3Change() {
  Gradient::Pattern.Algorithm = TrackBar3.Position();
  StaticText3.SetText("Algorithm " + std::to_string(Gradient::Pattern.Algorithm));
}

// Acts at the next start of a window; stored only by Save Settings.
void TForm2::CheckBox1Click() { Settings::RandomAlgorithm = CheckBox1.Checked(); }

// The live picture follows at once; stored only by Save Settings.
void TForm2::CheckBox2Click() {
  Settings::PixelView = CheckBox2.Checked();
  live::UsePatternView(Settings::PixelView ? live::PatternView::Pixels : live::PatternView::Mesh);
}

// Stored only by Save Settings; this window's picture is not paced by it.
void TForm2::ComboBox1Change() { Settings::BatteryChoice = ComboBox1.Selected(); }

void TForm2::Button1Click() {
  StaticText7.SetText("Save settings - OK!");
  Timer1.SetEnabled(true);  // an already running 5 s period is not restarted
  try {
    Settings::SaveSettings(store_);
  } catch (...) {
    // The store was not written (it could not be created, or refused a
    // value): take the success message down at once, so that only the error
    // is reported.
    Timer1Timer();
    throw;
  }
}

// The export. The frame timer stays off from before the grid takes the
// picture size until the dialog is dismissed, so the live frame never runs
// with the wallpaper's grid.
void TForm2::Button2Click() {
  Timer.SetEnabled(false);
  try {
    RenderIntoImage(Gradient::Pattern, *WallpaperImage, WallpaperWidth, WallpaperHeight);
  } catch (const std::bad_alloc&) {
    // Nothing was rendered and the grid is still the preview's: let the
    // preview run on rather than leave it frozen with no dialog to restart it.
    Timer.SetEnabled(true);
    throw;
  }
  OpenSaveDialog();
  Gradient::Pattern.GridColumns = Gradient::kGridColumns;
  Gradient::Pattern.GridRows = Gradient::kGridRows;
  // A dialog that failed to open (its error has been shown) cannot restart
  // the preview; the grid is the preview's again, so restart it here.
  if (!saveDialog_->Visible()) Timer.SetEnabled(true);
}

// One dialog for the whole run: the first export makes it, later exports run
// its opening steps again, which set every field as a new dialog would.
void TForm2::OpenSaveDialog() {
  if (!saveDialog_) {
    saveDialog_ = std::make_unique<TOKRightDlg>(store_, defaultFolder_, Timer);
    ui::Application::Get().Dispatch([this] { saveDialog_->FormCreate(); });
  } else {
    ui::Application::Get().Dispatch([this] { saveDialog_->Open(); });
  }
}

void TForm2::Button3Click() { Close(); }

void TForm2::FormKeyDown(int key) {
  if (key == ui::VK_ESCAPE_KEY) Close();
}

void TForm2::FormCloseQuery(bool& canClose) {
  Surface.Release();
  canClose = true;
}

// The main window: freeing it ends the program.
void TForm2::FormClose(ui::CloseAction& action) { action = ui::CloseAction::Free; }
