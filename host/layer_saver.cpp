// The layer-shell mode's pictures per output, frames and input rule.
#include "host/layer_saver.h"

#include <cmath>

#include "live/live_frame.h"
#include "live/pattern_view.h"
#include "platform/password_hooks.h"
#include "platform/ui.h"

namespace layered {

namespace {

void CountFrame(OutputPicture& p, live::PaceTime now) {
  if (p.rateFrames == 0 || now - p.lastFrame > std::chrono::milliseconds(1500)) {
    p.rateStart = now;
    p.rateFrames = 0;
  }
  ++p.rateFrames;
  p.lastFrame = now;
  const std::chrono::duration<double> span = now - p.rateStart;
  if (span.count() >= 1.0) {
    p.framesPerSecond = double(p.rateFrames - 1) / span.count();
    p.rateStart = now;
    p.rateFrames = 1;
  }
}

}  // namespace

bool PointerTravel::TooFar(double x, double y) {
  if (!x0_) {
    x0_ = x;
    y0_ = y;
    return false;
  }
  return std::fabs(x - *x0_) > tolerance_ || std::fabs(y - *y0_) > tolerance_;
}

OutputPicture::OutputPicture(const embedded::PatternChoice& choice, const std::string& name,
                             int32_t delayMicroseconds)
    : name(name),
      pixels(choice.pixels),
      pacing(ui::Now(), std::chrono::microseconds(delayMicroseconds), live::FrameRequests::FromDisplay),
      log(name) {
  embedded::InitPicture(*pattern, choice);
}

LayerSaver::LayerSaver(const embedded::PatternChoice& choice, int32_t delayMicroseconds, uint32_t processId)
    : choice_(choice), delayMicroseconds_(delayMicroseconds), window_(ui::CreateLayerWindow(*this)) {
  Gradient::SeedRandomFromClock();
  Gradient::SetRandomSeed(Gradient::RandomSeed() ^ (processId * 2654435761u));
}

ui::LayerResult LayerSaver::Open(const ui::LayerRequest& request) {
  takesInput_ = request.takesInput;
  layer_ = request.layer;
  return window_->Open(request);
}

bool LayerSaver::StartControl(const EmbeddedOptions& options, const std::string& instanceName) {
  control_ = std::make_unique<steer::LiveControl>(
      *this, options, steer::ChoiceOf(choice_.pixels, choice_.speed, choice_.algorithm, choice_.random));
  // Outputs sized while the window opened.
  for (auto& [id, picture] : pictures_) ApplySettings(id, control_->OutputAdded(id, picture.name));
  return control_->Start(steer::LoopWatchOf(*window_), instanceName);
}

void LayerSaver::Run() {
  window_->EndOnTerminationSignals();
  const steer::LoopWatch loop = steer::LoopWatchOf(*window_);
  power_ = power::WatchPowerSource({loop.watch, loop.stop}, [this](bool onBattery) {
    onBattery_ = onBattery;
    for (auto& [id, picture] : pictures_) ApplyPower(picture);
  });
  onBattery_ = power_ && power_->OnBattery();
  for (auto& [id, picture] : pictures_) ApplyPower(picture);
  window_->Run();
  control_.reset();
  power_.reset();
  window_->Release();
}

// The picture and its pattern's clock start with the first size.
void LayerSaver::LayerSurfaceSized(int output, const std::string& name, int width, int height) {
  log_.Note(name + ": drawn at " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
  auto picture = pictures_.find(output);
  const bool added = picture == pictures_.end();
  if (added) picture = pictures_.try_emplace(output, choice_, name, delayMicroseconds_).first;
  picture->second.width = width;
  picture->second.height = height;
  if (added) ApplyPower(picture->second);
  if (added && underFullScreen_.count(output)) ApplyFullScreen(picture->second, true);
  if (added && control_) ApplySettings(output, control_->OutputAdded(output, name));
}

// Mains or battery and the choice for battery, on one picture: a floor
// under its gap, or a pause on its last frame; its log says when and why.
void LayerSaver::ApplyPower(OutputPicture& picture) {
  const std::string note = live::ApplyPowerSourceNoted(onBattery_, live::BatteryChoiceFromValue(choice_.battery),
                                                       picture.reasons, picture.pacing);
  if (!note.empty()) picture.log.Note(picture.name + ": " + note);
}

void LayerSaver::ApplyBatteryChoice(int32_t battery) {
  choice_.battery = battery;
  for (auto& [id, picture] : pictures_) ApplyPower(picture);
}

void LayerSaver::LayerSurfaceFrameWanted(int output) {
  if (const auto picture = pictures_.find(output); picture != pictures_.end()) picture->second.pacing.DisplayAsks();
}

std::optional<std::chrono::steady_clock::time_point> LayerSaver::LayerSurfaceNextPaint(int output) {
  const auto picture = pictures_.find(output);
  if (picture == pictures_.end()) return std::nullopt;
  return picture->second.pacing.NextFrameAt();
}

// One context draws every output's surface: the viewport and projection are
// the context's, so each surface sets its own before its frame.
void LayerSaver::LayerSurfacePaint(int output) {
  const auto found = pictures_.find(output);
  if (found == pictures_.end()) return;
  OutputPicture& picture = found->second;
  const live::PaceTime now = ui::Now();
  live::SetupWindowProjection(picture.width, picture.height);
  live::UsePatternView(picture.pixels ? live::PatternView::Pixels : live::PatternView::Mesh);
  live::ClearAndDrawPacedPattern(*picture.pattern, picture.pacing, now);
  picture.log.Frame(now, picture.pacing);
  CountFrame(picture, now);
}

void LayerSaver::LayerSurfaceGone(int output) {
  pictures_.erase(output);
  underFullScreen_.erase(output);
  if (control_) control_->OutputGone(output);
}

// Told for outputs with or without a picture yet: a picture made later
// starts covered. Top and overlay surfaces are above full-screen windows.
void LayerSaver::LayerOutputUnderFullScreen(int output, bool underFullScreen) {
  if (!ui::FullScreenHides(layer_)) return;
  if (underFullScreen)
    underFullScreen_.insert(output);
  else
    underFullScreen_.erase(output);
  if (const auto picture = pictures_.find(output); picture != pictures_.end())
    ApplyFullScreen(picture->second, underFullScreen);
}

// Covered: no frames, the last one left; uncovered, a frame is due at once
// (the compositor's frame callback may have come meanwhile, or comes when
// the surface is in sight again), with the drift brought to its time.
void LayerSaver::ApplyFullScreen(OutputPicture& picture, bool underFullScreen) {
  picture.reasons.Set(live::PauseReason::Covered, underFullScreen);
  if (!live::ApplyPauseReasons(picture.reasons, picture.pacing)) return;
  picture.log.Note(picture.name + (underFullScreen ? ": under a full-screen window: no frames" : ": moving again"));
}

// What a command or the settings file changed, from the next frame on. A
// new algorithm or a view back to the mesh is swept at once, so that even
// a still pattern (speed 0) shows it.
void LayerSaver::ApplySettings(int id, const control::OutputSettings& settings) {
  const auto found = pictures_.find(id);
  if (found == pictures_.end()) return;
  OutputPicture& picture = found->second;
  Gradient::PatternState& s = *picture.pattern;
  const bool resweep = s.Algorithm != settings.algorithm || (picture.pixels && !settings.pixels);
  s.Speed = settings.speed;
  s.Algorithm = settings.algorithm;
  picture.pixels = settings.pixels;
  if (resweep && picture.pacing.FramesDrawn() > 0) Gradient::SweepFrame(s);
  picture.reasons.Set(live::PauseReason::Asked, settings.pausedByRequest);
  if (live::ApplyPauseReasons(picture.reasons, picture.pacing))
    picture.log.Note(picture.name + (settings.pausedByRequest ? ": paused, as asked" : ": moving again"));
}

control::OutputFacts LayerSaver::Facts(int id) const {
  control::OutputFacts f;
  const auto found = pictures_.find(id);
  if (found == pictures_.end()) return f;
  const OutputPicture& p = found->second;
  f.width = p.width;
  f.height = p.height;
  // A picture that has drawn nothing for a second draws no frames a second.
  f.framesPerSecond = ui::Now() - p.lastFrame > std::chrono::milliseconds(1500) ? 0 : p.framesPerSecond;
  f.covered = p.reasons.Has(live::PauseReason::Covered);
  f.displayOff = p.reasons.Has(live::PauseReason::DisplayOff);
  f.onBattery = p.reasons.Has(live::PauseReason::OnBattery);
  return f;
}

void LayerSaver::LayerKeyDown() {
  if (takesInput_) EndByInput();
}

void LayerSaver::LayerButtonDown() {
  if (takesInput_) EndByInput();
}

void LayerSaver::LayerPointerAt(double x, double y) {
  if (takesInput_ && pointer_.TooFar(x, y)) EndByInput();
}

// As the full-screen saver ends: only when the password hooks let it.
void LayerSaver::EndByInput() {
  if (endedByInput_ || !CheckSaverPassword(0)) return;
  endedByInput_ = true;
  window_->RequestEnd();
}

}  // namespace layered

namespace layered {

namespace {

std::string Joined(const std::vector<std::string>& names) {
  std::string all;
  for (const std::string& n : names) all += (all.empty() ? "" : ", ") + n;
  return all.empty() ? "none" : all;
}

}  // namespace

OpenOutcome AfterOpen(ui::LayerResult result, const char* waylandDisplay, bool haveX11,
                      const std::vector<std::string>& outputs, const std::string& wanted) {
  OpenOutcome o;
  const std::string display = waylandDisplay && *waylandDisplay ? waylandDisplay : "wayland-0";
  switch (result) {
    case ui::LayerResult::Opened: o.action = OpenOutcome::RunLayers; o.status = 0; return o;
    case ui::LayerResult::NoSuchOutput:
      o.status = 2;
      o.message = "no output named '" + wanted + "'; the outputs are: " + Joined(outputs);
      return o;
    case ui::LayerResult::Failed:
      o.message = "cannot draw with OpenGL (EGL) on the compositor's surfaces";
      return o;
    case ui::LayerResult::NoCompositor:
      o.message = "cannot connect to the Wayland compositor '" + display + "' and DISPLAY is not set";
      break;
    case ui::LayerResult::NotBuilt:
      o.message = "this prismora was built without Wayland, and DISPLAY is not set";
      break;
    case ui::LayerResult::NoLayerShell:
      o.message = "the Wayland compositor '" + display +
                  "' does not offer the layer shell (zwlr_layer_shell_v1) and DISPLAY is not set";
      break;
  }
  if (haveX11) {
    o.action = OpenOutcome::UseX11;
    o.status = 0;
    o.message.clear();
  }
  return o;
}

}  // namespace layered
