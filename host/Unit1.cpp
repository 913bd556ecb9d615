// TForm1: creation, surface, frames, input rules and the ending, each in the
// designed order.
#include "host/Unit1.h"

#include <cstdlib>
#include <exception>
#include <utility>

#include "engine/gradient.h"
#include "host/saver_frame.h"
#include "live/live_frame.h"
#include "live/pattern_view.h"
#include "platform/password_hooks.h"
#include "settings/settings.h"

ui::Point StartCursor;

namespace {

// A settings error from the creation, shown once the window is up.
std::exception_ptr pendingSettingsError;

ui::FormDesign Form1Design() {
  ui::FormDesign d;
  d.caption = "Full";
  d.border = ui::BorderStyle::None;
  d.stayOnTop = true;
  d.screenCentre = true;
  d.clientWidth = 308;  // replaced by the screen size at creation
  d.clientHeight = 260;
  d.colour = ui::clBtnText;
  return d;
}

constexpr int kFrameIntervalMs = 10;

}  // namespace

TForm1::TForm1(Settings::RegistryBackend& store, std::string defaultFolder, power::WindowPowerWatcher followPower)
    : ui::Form(Form1Design()),
      Timer(*this, kFrameIntervalMs, true),
      store_(store),
      defaultFolder_(std::move(defaultFolder)),
      followPower_(std::move(followPower)),
      pacing_(ui::Now()) {
  Timer.OnTimer = [this] { TimerTimer(); };
}

// A settings read error does not stop the creation: the values that could
// not be read have their first-run values, the remaining steps run, and the
// error is shown once the window is up and drawing, so that the pattern runs
// around the message box.
void TForm1::FormCreate() {
  pendingSettingsError = nullptr;
  try {
    Settings::LoadSettings(store_, ui::ScreenWidth(), defaultFolder_);
  } catch (...) {
    pendingSettingsError = std::current_exception();
  }
  live::UsePatternView(Settings::PixelView ? live::PatternView::Pixels : live::PatternView::Mesh);
  Gradient::SeedRandomFromClock();
  if (Settings::RandomAlgorithm) Gradient::Pattern.Algorithm = Gradient::Random(12) + 1;
  // The screen's size, or with several monitors the desktop that holds them.
  layout_ = LayOutSaver(ui::Desktop());
  SetBounds(layout_.window);
  Gradient::InitPattern(Gradient::Pattern, Gradient::kGridColumns, Gradient::kGridRows);
  pacing_ = live::FramePacing(ui::Now());  // the pattern's clock starts with it
  FollowPowerSource();
  StartCursor = ui::CursorPos();
  ui::SetScreenSaverRunning(true);
  ui::ShowCursor(false);
}

// The stored choice for battery power (a store without it gives the
// default), and the power source from now until the saver ends.
void TForm1::FollowPowerSource() {
  battery_ = live::BatteryChoiceFromValue(Settings::LoadBatteryChoice(store_));
  if (followPower_ && !power_)
    power_ = followPower_(Handle(), [this](bool onBattery) {
      onBattery_ = onBattery;
      ApplyPower();
    });
  onBattery_ = power_ && power_->OnBattery();
  ApplyPower();
}

// A floor under the gap between frames, or a pause on the last frame; the
// frame-rate log says when and why.
void TForm1::ApplyPower() {
  const std::string note = live::ApplyPowerSourceNoted(onBattery_, battery_, reasons_, pacing_);
  if (!note.empty()) frameRateLog_.Note(note);
}

// The viewport of the set-up is the primary monitor's: with one monitor,
// the whole window, and the frames set no other. The application's handler
// shows a pending settings error; its message box waits while the frame
// timer goes on drawing.
void TForm1::FormShow() {
  Surface = std::make_unique<ui::GLSurface>(*this, ui::Rect{0, 0, ClientWidth(), ClientHeight()});
  const ui::Rect whole{0, 0, ClientWidth(), ClientHeight()};
  const ui::Rect viewport = layout_.viewports.empty() ? whole : layout_.viewports.front();
  live::SetupFormSurface(*Surface, ui::PixelFormat{32, 0}, viewport, 0.0f);
  if (pendingSettingsError) std::rethrow_exception(std::exchange(pendingSettingsError, nullptr));
}

void TForm1::TimerTimer() {
  // Ticks that were already due when the window went away draw nothing.
  if (Freed() || !Surface) return;
  // Nor does a frame nobody would see: no sweep, no drawing. The drift
  // catches up at the next frame that is seen.
  if (!Surface->Seen()) return;
  // Nor does a tick before the gap battery power asks for has passed, or
  // one while paused on battery.
  const live::PaceTime now = ui::Now();
  if (!pacing_.FrameDue(now)) return;
  DrawSaverFrame(*Surface, layout_.viewports, pacing_, now);
  frameRateLog_.Frame(now, pacing_);
}

// The event's coordinates are not used: the cursor position is read again.
void TForm1::FormMouseMove(int /*x*/, int /*y*/) {
  if (!Active()) {
    StartCursor = ui::CursorPos();
    return;
  }
  const ui::Point p = ui::CursorPos();
  if (std::abs(p.x - StartCursor.x) > kMouseTolerance || std::abs(p.y - StartCursor.y) > kMouseTolerance)
    AcceptInput();
}

void TForm1::FormKeyDown(int /*key*/) {
  if (Active()) AcceptInput();
}

// A rejected password keeps the saver running, the cursor still hidden.
void TForm1::AcceptInput() {
  if (!CheckSaverPassword(Handle())) return;
  ui::ShowCursor(true);
  EndSaver();
}

void TForm1::EndSaver() {
  ReleaseSurfaceAndFlag();
  Destroy();
  ui::Application::Get().Terminate();
}

void TForm1::FormCloseQuery(bool& canClose) {
  ReleaseSurfaceAndFlag();
  canClose = true;
}

void TForm1::FormClose(ui::CloseAction& action) { action = ui::CloseAction::Free; }

// The release steps of a close request: the power source's watch, the
// surface (context, then drawable), then the screen-saver flag off.
void TForm1::ReleaseSurfaceAndFlag() {
  power_.reset();  // before the window goes, which it may watch
  if (Surface) Surface->Release();
  ui::SetScreenSaverRunning(false);
}
