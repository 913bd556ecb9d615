// The layer-shell mode's pictures per output, frames and input rule.
#include "host/layer_saver.h"

#include <GL/gl.h>

#include <cmath>

#include "live/pattern_view.h"
#include "platform/password_hooks.h"

namespace layered {

bool PointerTravel::TooFar(double x, double y) {
  if (!x0_) {
    x0_ = x;
    y0_ = y;
    return false;
  }
  return std::fabs(x - *x0_) > tolerance_ || std::fabs(y - *y0_) > tolerance_;
}

LayerSaver::LayerSaver(const embedded::PatternChoice& choice, int32_t delayMicroseconds, uint32_t processId)
    : choice_(choice), delayMicroseconds_(delayMicroseconds), window_(ui::CreateLayerWindow(*this)) {
  Gradient::SeedRandomFromClock();
  Gradient::SetRandomSeed(Gradient::RandomSeed() ^ (processId * 2654435761u));
}

ui::LayerResult LayerSaver::Open(const ui::LayerRequest& request) {
  takesInput_ = request.takesInput;
  return window_->Open(request);
}

void LayerSaver::Run() {
  window_->EndOnTerminationSignals();
  // With no delay each frame asks for the next one (LayerSurfacePaint).
  if (delayMicroseconds_ > 0)
    pacer_.Start(std::chrono::microseconds(delayMicroseconds_), [this] { window_->Invalidate(); });
  else
    window_->Invalidate();
  window_->Run();
  pacer_.Stop();
  window_->Release();
}

void LayerSaver::LayerSurfaceSized(int output, const std::string& name, int width, int height) {
  sizes_[output] = Size{width, height};
  frameRateLog_.Note(name + ": drawn at " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
  if (pictures_.count(output)) return;
  // Value-initialised: the engine's record starts at zero, as the
  // process-wide one does.
  auto picture = std::make_unique<Gradient::PatternState>();
  embedded::InitPicture(*picture, choice_);
  pictures_[output] = std::move(picture);
}

// One context draws every output's surface: the viewport and projection are
// the context's, so each surface sets its own before its frame.
void LayerSaver::LayerSurfacePaint(int output) {
  const auto picture = pictures_.find(output);
  if (picture == pictures_.end()) return;
  const Size& size = sizes_[output];
  live::SetupWindowProjection(size.width, size.height);
  glClear(GL_COLOR_BUFFER_BIT);
  live::DrawPatternFrame(*picture->second);
  // The rate of one output (the first), as every output gets the same ticks.
  if (picture == pictures_.begin()) frameRateLog_.Frame();
  if (delayMicroseconds_ <= 0) window_->Invalidate();
}

void LayerSaver::LayerSurfaceGone(int output) {
  pictures_.erase(output);
  sizes_.erase(output);
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
