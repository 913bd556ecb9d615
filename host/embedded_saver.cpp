// The embedded mode's pattern choice, set-up and window events.
#include "host/embedded_saver.h"

#include <cstdio>
#include <exception>

#include "live/live_frame.h"
#include "live/pattern_view.h"
#include "settings/settings.h"

namespace embedded {

PatternChoice ChoosePattern(Settings::RegistryBackend& store, const EmbeddedOptions& options, std::string& warning) {
  // The load gives a value that cannot be read, and a store with nothing in
  // it, the first-run values.
  Settings::SettingsValues stored;
  try {
    Settings::LoadSettings(store, 0, std::string(), stored.Variables(), Settings::FirstRun::InMemory);
  } catch (const std::exception& e) {
    warning = e.what();
  }
  PatternChoice c{stored.Speed, stored.Algorithm, stored.RandomAlgorithm, stored.PixelView,
                  Settings::LoadBatteryChoice(store)};
  if (options.onBattery) c.battery = *options.onBattery;
  if (options.speed) c.speed = *options.speed;
  if (options.pixels) c.pixels = *options.pixels;
  if (options.algorithm) c.algorithm = *options.algorithm;
  if (options.random) c.random = *options.random;
  return c;
}

void InitEmbeddedPattern(Gradient::PatternState& s, const PatternChoice& choice, uint32_t processId) {
  // One process per monitor, started in the same millisecond: the process
  // id, spread over all 32 bits, keeps their pictures apart.
  Gradient::SeedRandomFromClock();
  Gradient::SetRandomSeed(Gradient::RandomSeed() ^ (processId * 2654435761u));
  InitPicture(s, choice);
}

void InitPicture(Gradient::PatternState& s, const PatternChoice& choice) {
  live::UsePatternView(choice.pixels ? live::PatternView::Pixels : live::PatternView::Mesh);
  s.Speed = choice.speed;
  s.Algorithm = choice.random ? Gradient::Random(12) + 1 : choice.algorithm;
  Gradient::InitPattern(s, Gradient::kGridColumns, Gradient::kGridRows);
}

EmbeddedSaver::EmbeddedSaver(int32_t delayMicroseconds)
    : window_(ui::CreateGLWindow(*this)), pacing_(ui::Now(), std::chrono::microseconds(delayMicroseconds)) {}

namespace {

int CannotDraw(ui::GLWindowResult r, uint32_t target) {
  const unsigned long id = target;
  if (r == ui::GLWindowResult::NoDisplay)
    std::fprintf(stderr, "prismora: cannot open the display\n");
  else if (r == ui::GLWindowResult::NoSuchWindow)
    std::fprintf(stderr, "prismora: there is no window 0x%lx to draw on\n", id);
  else if (target)
    std::fprintf(stderr, "prismora: cannot draw with OpenGL on window 0x%lx\n", id);
  else
    std::fprintf(stderr, "prismora: cannot draw with OpenGL on the root window\n");
  return 1;
}

}  // namespace

int EmbeddedSaver::Run(uint32_t target) {
  const ui::GLWindowResult r = window_->Create(ui::GLWindowPlace::Into, target, ui::PixelFormat{32, 0}, "prismora");
  if (r != ui::GLWindowResult::Created) return CannotDraw(r, target);
  window_->EndOnTerminationSignals();
  width_ = window_->Width();
  height_ = window_->Height();
  if (steerOptions_ && !StartControl()) {
    window_->Release();
    return 1;
  }
  const steer::LoopWatch loop = steer::LoopWatchOf(*window_);
  power_ = power::WatchPowerSource({loop.watch, loop.stop}, [this](bool onBattery) {
    onBattery_ = onBattery;
    ApplyPower();
  });
  onBattery_ = power_ && power_->OnBattery();
  ApplyPower();
  live::SetupWindowProjection(width_, height_);
  window_->Invalidate();
  window_->Run();
  control_.reset();
  power_.reset();
  window_->Release();
  return 0;
}

void EmbeddedSaver::SteerWith(const EmbeddedOptions& options, const PatternChoice& choice,
                              const std::string& instanceName) {
  steerOptions_ = options;
  steerChoice_ = choice;
  instanceName_ = instanceName;
  battery_ = choice.battery;
}

// Mains or battery and the choice for battery: a floor under the gap, or a
// pause on the last frame; the frame-rate log says when and why.
void EmbeddedSaver::ApplyPower() {
  const std::string note =
      live::ApplyPowerSourceNoted(onBattery_, live::BatteryChoiceFromValue(battery_), reasons_, pacing_);
  if (!note.empty()) frameRateLog_.Note(note);
  if (!pacing_.Held()) window_->Invalidate();
}

void EmbeddedSaver::ApplyBatteryChoice(int32_t battery) {
  battery_ = battery;
  ApplyPower();
}

bool EmbeddedSaver::StartControl() {
  const PatternChoice& c = steerChoice_;
  control_ = std::make_unique<steer::LiveControl>(*this, *steerOptions_,
                                                  steer::ChoiceOf(c.pixels, c.speed, c.algorithm, c.random));
  // The steering's own draw of a random algorithm would differ from the one
  // the picture started with: the picture's is the one shown.
  control::OutputSettings first = control_->OutputAdded(0, kRootOutputName);
  if (first.random) first.algorithm = Gradient::Pattern.Algorithm;
  ApplySettings(0, first);
  return control_->Start(steer::LoopWatchOf(*window_), instanceName_);
}

// Every monitor covered by windows, or some in sight again. The window
// paints nothing meanwhile; the reason is kept for status and the log, and
// the first frame after brings the drift to its time.
void EmbeddedSaver::GLWindowCovered(bool covered) {
  reasons_.Set(live::PauseReason::Covered, covered);
  if (!live::ApplyPauseReasons(reasons_, pacing_)) return;
  frameRateLog_.Note(covered ? "covered by windows on every monitor: no frames" : "in sight again");
  if (!pacing_.Held()) window_->Invalidate();
}

// What a command or the settings file changed, from the next frame on; a
// new algorithm is swept at once, so that a still pattern shows it too.
void EmbeddedSaver::ApplySettings(int, const control::OutputSettings& settings) {
  Gradient::PatternState& s = Gradient::Pattern;
  const bool resweep = s.Algorithm != settings.algorithm;
  s.Speed = settings.speed;
  s.Algorithm = settings.algorithm;
  live::UsePatternView(settings.pixels ? live::PatternView::Pixels : live::PatternView::Mesh);
  if (resweep && pacing_.FramesDrawn() > 0) Gradient::SweepFrame(s);
  reasons_.Set(live::PauseReason::Asked, settings.pausedByRequest);
  if (live::ApplyPauseReasons(reasons_, pacing_)) {
    frameRateLog_.Note(settings.pausedByRequest ? "paused, as asked" : "moving again");
    if (!pacing_.Held()) window_->Invalidate();
  } else if (!pacing_.Held()) {
    window_->Invalidate();
  }
}

control::OutputFacts EmbeddedSaver::Facts(int) const {
  control::OutputFacts f;
  f.width = width_;
  f.height = height_;
  f.framesPerSecond = ui::Now() - lastFrame_ > std::chrono::milliseconds(1500) ? 0 : framesPerSecond_;
  f.covered = reasons_.Has(live::PauseReason::Covered);
  f.displayOff = reasons_.Has(live::PauseReason::DisplayOff);
  f.onBattery = reasons_.Has(live::PauseReason::OnBattery);
  return f;
}

// Every paint draws (an exposed window needs its picture again); each asks
// for the next at the pacing's time.
// Held (paused), an exposed window gets the picture it had, unmoved, and
// no next frame is asked for.
void EmbeddedSaver::GLWindowPaint() {
  const live::PaceTime now = ui::Now();
  if (pacing_.Held()) {
    live::ClearAndDrawStillPattern(Gradient::Pattern);
    window_->Swap();
    return;
  }
  live::ClearAndDrawPacedPattern(Gradient::Pattern, pacing_, now);
  window_->Swap();
  frameRateLog_.Frame(now, pacing_);
  CountFrame(now);
  if (const auto next = pacing_.NextFrameAt()) window_->InvalidateAt(*next);
}

void EmbeddedSaver::CountFrame(live::PaceTime now) {
  if (rateFrames_ == 0 || now - lastFrame_ > std::chrono::milliseconds(1500)) {
    rateStart_ = now;
    rateFrames_ = 0;
  }
  ++rateFrames_;
  lastFrame_ = now;
  const std::chrono::duration<double> span = now - rateStart_;
  if (span.count() >= 1.0) {
    framesPerSecond_ = double(rateFrames_ - 1) / span.count();
    rateStart_ = now;
    rateFrames_ = 1;
  }
}

// The projection's aspect is fixed: the new viewport stretches the pattern
// over the whole new size.
void EmbeddedSaver::GLWindowResized(int width, int height) {
  width_ = width;
  height_ = height;
  live::SetupWindowProjection(width, height);
}

}  // namespace embedded
