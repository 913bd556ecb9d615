// The embedded mode: the saver's pattern drawn on a window that a
// screen-saver daemon (XScreenSaver, xsecurelock) or another program owns,
// through the windowing layer's embedded GL window. It reads the settings
// store but never writes it, takes no input, hides no cursor and sets no
// screen-saver flag; it ends when the window goes or on SIGTERM, SIGINT or
// SIGHUP, releasing its GL context first. Its frames come --delay apart
// while the window can be seen (the window paints nothing otherwise), with
// the drift caught up to its 10 ms clock.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/gradient.h"
#include "host/embedded_options.h"
#include "host/live_control.h"
#include "live/frame_pacing.h"
#include "live/frame_rate_log.h"
#include "live/pause_reasons.h"
#include "platform/gl_window.h"
#include "platform/power_source.h"
#include "settings/registry.h"

namespace embedded {

struct PatternChoice {
  int32_t speed = 0;
  int32_t algorithm = 0;
  bool random = false;
  bool pixels = false;  // the per-pixel view rather than the mesh
  int32_t battery = 1;  // on battery: 0 every frame, 1 at most 20 a second, 2 paused
};

// The stored speed, algorithm, random choice and view (first-run values
// when there is no store; values that cannot be read keep theirs and
// `warning` says why), with the options over them.
PatternChoice ChoosePattern(Settings::RegistryBackend& store, const EmbeddedOptions& options, std::string& warning);

// Sets the speed, the algorithm (drawn from the generator when the choice is
// random) and a 120 x 90 grid: one picture; and the view the process draws
// its pictures in.
void InitPicture(Gradient::PatternState& s, const PatternChoice& choice);

// Seeds the generator from the clock and the process id, then InitPicture.
void InitEmbeddedPattern(Gradient::PatternState& s, const PatternChoice& choice, uint32_t processId);

// The one output of this mode, as commands and status name it.
constexpr const char* kRootOutputName = "root";

class EmbeddedSaver : public ui::GLWindowEvents, public steer::Outputs {
 public:
  explicit EmbeddedSaver(int32_t delayMicroseconds);
  // Before Run: follow the settings file (the options keep overriding
  // it) and, under `instanceName` (empty: none), take commands.
  void SteerWith(const EmbeddedOptions& options, const PatternChoice& choice, const std::string& instanceName);
  // Draws on `target` (0: the root window) until the window goes or a
  // termination signal arrives. Returns the exit status: 0, or 1 with one
  // line on stderr when the window cannot be drawn on.
  int Run(uint32_t target);

  void GLWindowPaint() override;
  void GLWindowResized(int width, int height) override;
  void GLWindowCovered(bool covered) override;

  void ApplySettings(int id, const control::OutputSettings& settings) override;
  control::OutputFacts Facts(int id) const override;
  void ApplyBatteryChoice(int32_t battery) override;

  ui::GLWindow& Window() { return *window_; }

 private:
  std::unique_ptr<ui::GLWindow> window_;
  live::FramePacing pacing_;
  live::PauseReasons reasons_;
  bool StartControl();
  void ApplyPower();
  void CountFrame(live::PaceTime now);

  live::FrameRateLog frameRateLog_;
  std::optional<EmbeddedOptions> steerOptions_;
  PatternChoice steerChoice_;
  std::string instanceName_;
  std::unique_ptr<steer::LiveControl> control_;
  std::unique_ptr<power::PowerWatch> power_;
  bool onBattery_ = false;
  int32_t battery_ = 1;
  int width_ = 0, height_ = 0;
  live::PaceTime rateStart_{}, lastFrame_{};
  int64_t rateFrames_ = 0;
  double framesPerSecond_ = 0;
};

}  // namespace embedded
