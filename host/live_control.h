// A running instance steered while it draws: the settings file followed
// live, and on the layer and root-window modes the control socket that
// takes `prismora --send` commands. The mode tells it which outputs come and
// go and applies the settings it hands back; it asks the mode what status
// reports. Where the platform has no such socket or file watch (Windows),
// it does nothing and every instance runs as it started.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/reply.h"
#include "control/steering.h"
#include "host/embedded_options.h"

namespace steer {

// The mode's side.
class Outputs {
 public:
  virtual ~Outputs() = default;
  // The output's settings changed (by a command or the settings file):
  // draw them from its next frame on.
  virtual void ApplySettings(int id, const control::OutputSettings& settings) = 0;
  // What status reports beside the settings.
  virtual control::OutputFacts Facts(int id) const = 0;
  // The settings file's choice for battery power changed (0 every frame,
  // 1 at most 20 a second, 2 paused).
  virtual void ApplyBatteryChoice(int32_t /*battery*/) {}
};

// The loop the instance lives on: its descriptor watch (the windows'
// WatchReadable / StopWatching).
struct LoopWatch {
  std::function<void(int fd, std::function<void()> ready)> watch;
  std::function<void(int fd)> stop;
};

template <class Window>
LoopWatch LoopWatchOf(Window& window) {
  return {[&window](int fd, std::function<void()> ready) { window.WatchReadable(fd, std::move(ready)); },
          [&window](int fd) { window.StopWatching(fd); }};
}

// The settings and the options folded together, as a mode starts.
control::Choice ChoiceOf(bool pixels, int32_t speed, int32_t algorithm, bool random);

class LiveControl {
 public:
  // `options`: the command line, whose values keep overriding the settings
  // file's; `choice`: what the mode started with.
  LiveControl(Outputs& outputs, const EmbeddedOptions& options, const control::Choice& choice);
  ~LiveControl();
  LiveControl(const LiveControl&) = delete;
  LiveControl& operator=(const LiveControl&) = delete;

  // Follows the settings file, and with a non-empty `instanceName` listens
  // for commands under that name. False when another instance has the name
  // (and --replace was not given): the mode ends with status 1, the message
  // printed. A socket or a watch that cannot be had costs one line on
  // stderr; the mode goes on without it.
  bool Start(const LoopWatch& loop, const std::string& instanceName);

  // An output came (it takes the settings every output follows, which are
  // returned) or went.
  const control::OutputSettings& OutputAdded(int id, const std::string& name);
  void OutputGone(int id);

  // A request line as the socket gives it, answered (for tests and the
  // socket's handler alike).
  std::vector<std::string> Answer(const std::string& line);
  // The settings file changed: read it again and apply what changed.
  void SettingsChanged();

  const control::Steering& Steering() const { return steering_; }

 private:
  struct Platform;
  void ApplyChanged(const std::vector<int>& ids);

  Outputs& outputs_;
  EmbeddedOptions options_;
  control::Steering steering_;
  int32_t battery_ = -1;  // the settings file's battery choice last applied
  std::unique_ptr<Platform> platform_;
};

// The instance names (control/instance.h) for a layer of the Wayland
// display in the environment, and for the X display's root window.
std::string LayerInstanceName(ui::Layer layer);
std::string RootInstanceName();

// prismora --send: the exit status.
int RunSend(const EmbeddedOptions& options);

}  // namespace steer
