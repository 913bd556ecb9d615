// The pattern on the compositor's layer shell (Wayland): each output its own
// picture, drawn at its real pixel size, made when the output's surface is
// first sized and dropped when it goes. Two uses, one class: the animated
// wallpaper (--layer, no input) and the saver (/s: the overlay layer, ended
// by a key, a button, or the pointer moving more than 15 pixels along either
// axis from where it first entered). The settings are read, never written.
// Each output's frames are paced on their own: drawn when the compositor
// asks for one and --delay has passed, with the drift caught up to its
// 10 ms clock, so an output that nothing shows costs nothing. On the
// background and bottom layers, an output that shows a full-screen window
// draws nothing either, whatever frame callbacks the compositor sends.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/gradient.h"
#include "host/embedded_saver.h"
#include "host/live_control.h"
#include "host/saver_input.h"
#include "live/frame_pacing.h"
#include "live/frame_rate_log.h"
#include "live/pause_reasons.h"
#include "platform/layer_window.h"
#include "platform/power_source.h"

namespace layered {

// The saver's pointer rule: the first position reported is where the
// pointer entered; a later one more than `tolerance` pixels away from it
// along either axis ends the saver.
class PointerTravel {
 public:
  explicit PointerTravel(double tolerance = kMouseTolerance) : tolerance_(tolerance) {}
  // True when this position is too far from the first one.
  bool TooFar(double x, double y);

 private:
  double tolerance_;
  std::optional<double> x0_, y0_;
};

// One output's picture: its pattern, its drawable's size, its pacing, why
// it draws fewer frames or none, and its frame-rate log.
struct OutputPicture {
  OutputPicture(const embedded::PatternChoice& choice, const std::string& name, int32_t delayMicroseconds);
  // Value-initialised: the engine's record starts at zero, as the
  // process-wide one does.
  std::unique_ptr<Gradient::PatternState> pattern = std::make_unique<Gradient::PatternState>();
  std::string name;
  int width = 1, height = 1;
  bool pixels = false;  // the per-pixel view rather than the mesh
  live::FramePacing pacing;
  live::PauseReasons reasons;
  live::FrameRateLog log;
  // The frames a second of the last whole second or more of drawing.
  live::PaceTime rateStart{};
  int64_t rateFrames = 0;
  double framesPerSecond = 0;
  live::PaceTime lastFrame{};
};

class LayerSaver : public ui::LayerEvents, public steer::Outputs {
 public:
  // Seeds the generator once (the clock and the process id); each output's
  // picture then draws its own values from it, and its own algorithm when
  // the choice is random.
  LayerSaver(const embedded::PatternChoice& choice, int32_t delayMicroseconds, uint32_t processId);

  ui::LayerResult Open(const ui::LayerRequest& request);
  // After Open answered Opened: follows the settings file and, under
  // `instanceName` (empty: none), takes commands. False when another
  // instance runs there: the message is printed, the mode ends with 1.
  bool StartControl(const EmbeddedOptions& options, const std::string& instanceName);
  // After Open answered Opened: draws until the compositor goes, a
  // termination signal arrives or (the saver) the input ends it.
  void Run();

  void LayerSurfaceSized(int output, const std::string& name, int width, int height) override;
  void LayerSurfaceFrameWanted(int output) override;
  std::optional<std::chrono::steady_clock::time_point> LayerSurfaceNextPaint(int output) override;
  void LayerSurfacePaint(int output) override;
  void LayerSurfaceGone(int output) override;
  void LayerOutputUnderFullScreen(int output, bool underFullScreen) override;
  void LayerKeyDown() override;
  void LayerButtonDown() override;
  void LayerPointerAt(double x, double y) override;

  void ApplySettings(int id, const control::OutputSettings& settings) override;
  control::OutputFacts Facts(int id) const override;
  void ApplyBatteryChoice(int32_t battery) override;

  ui::LayerWindow& Window() { return *window_; }
  // The outputs' pictures now, for tests.
  const std::map<int, OutputPicture>& Pictures() const { return pictures_; }
  bool EndedByInput() const { return endedByInput_; }

 private:
  void EndByInput();
  void ApplyPower(OutputPicture& picture);
  void ApplyFullScreen(OutputPicture& picture, bool underFullScreen);

  embedded::PatternChoice choice_;
  int32_t delayMicroseconds_;
  bool takesInput_ = false;
  ui::Layer layer_ = ui::Layer::Background;
  std::set<int> underFullScreen_;  // outputs that show a full-screen window now
  bool endedByInput_ = false;
  std::unique_ptr<ui::LayerWindow> window_;
  std::map<int, OutputPicture> pictures_;
  PointerTravel pointer_;
  live::FrameRateLog log_;  // for the notes
  std::unique_ptr<steer::LiveControl> control_;
  std::unique_ptr<power::PowerWatch> power_;
  bool onBattery_ = false;
};

}  // namespace layered

namespace layered {

// What follows an attempt to open the layer window: run on it, run the X11
// mode instead (a compositor without the layer shell, or none, while an X
// display is there: Xwayland, or a plain X11 session), or end with a status
// and one line for stderr (without the program's name).
struct OpenOutcome {
  enum Action { RunLayers, UseX11, Fail } action = Fail;
  int status = 1;
  std::string message;
};

// waylandDisplay: WAYLAND_DISPLAY (null or empty: the default, wayland-0);
// haveX11: DISPLAY is set; outputs and wanted: for a name that matches none.
OpenOutcome AfterOpen(ui::LayerResult result, const char* waylandDisplay, bool haveX11,
                      const std::vector<std::string>& outputs, const std::string& wanted);

}  // namespace layered
