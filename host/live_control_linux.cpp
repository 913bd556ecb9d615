// The steering's OS side on Linux: the instance's claim and control socket
// in $XDG_RUNTIME_DIR/prismora, the settings file's watch, and --send.
#include <cstdio>
#include <cstdlib>

#include "control/instance.h"
#include "engine/gradient.h"
#include "host/live_control.h"
#include "platform/linux/control_client.h"
#include "platform/linux/control_socket.h"
#include "platform/linux/linux_registry_file.h"
#include "platform/linux/settings_watch.h"

namespace steer {

namespace {

const char* Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

posix::DescriptorWatcher WatcherOf(const LoopWatch& loop) { return {loop.watch, loop.stop}; }

}  // namespace

struct LiveControl::Platform {
  std::unique_ptr<posix::SettingsWatch> settings;
  std::unique_ptr<posix::ControlServer> server;
};

LiveControl::LiveControl(Outputs& outputs, const EmbeddedOptions& options, const control::Choice& choice)
    : outputs_(outputs),
      options_(options),
      steering_(choice, [] { return Gradient::Random(12) + 1; }),
      platform_(std::make_unique<Platform>()) {}

// The server first: it removes its socket while the loop still runs.
LiveControl::~LiveControl() {
  platform_->server.reset();
  platform_->settings.reset();
}

bool LiveControl::Start(const LoopWatch& loop, const std::string& instanceName) {
  std::string why;
  platform_->settings = std::make_unique<posix::SettingsWatch>(WatcherOf(loop), [this] { SettingsChanged(); });
  if (!platform_->settings->Start(::Platform::LinuxRegistryFile::DefaultPath(), why)) {
    std::fprintf(stderr, "prismora: the settings file is not followed: %s\n", why.c_str());
    platform_->settings.reset();
  }
  if (instanceName.empty()) return true;
  posix::ClaimOutcome claim = posix::ClaimInstance(std::getenv("XDG_RUNTIME_DIR"), instanceName, options_.replace);
  if (claim.result == posix::ClaimOutcome::AnotherInstance) {
    std::fprintf(stderr, "prismora: %s\n", claim.message.c_str());
    return false;
  }
  if (claim.result == posix::ClaimOutcome::NoSocket) {
    std::fprintf(stderr, "prismora: %s\n", claim.message.c_str());
    return true;
  }
  auto server = std::make_unique<posix::ControlServer>(
      std::move(claim.claim), WatcherOf(loop), [this](std::string_view line) { return Answer(std::string(line)); });
  if (!server->Listen(why)) {
    std::fprintf(stderr, "prismora: no control socket: %s\n", why.c_str());
    return true;
  }
  platform_->server = std::move(server);
  return true;
}

std::string LayerInstanceName(ui::Layer layer) {
  return control::WaylandInstanceName(Env("WAYLAND_DISPLAY"), ui::LayerName(layer));
}

std::string RootInstanceName() { return control::X11InstanceName(Env("DISPLAY")); }

int RunSend(const EmbeddedOptions& options) {
  const std::string layer = options.layer ? ui::LayerName(*options.layer) : "";
  return posix::RunSend(options.sendWords, options.output, layer, stdout, stderr);
}

}  // namespace steer
