// Where there is no control socket and no settings-file watch (Windows):
// an instance runs as it started.
#include "host/live_control.h"

#include <cstdio>

namespace steer {

struct LiveControl::Platform {};

LiveControl::LiveControl(Outputs& outputs, const EmbeddedOptions& options, const control::Choice& choice)
    : outputs_(outputs), options_(options), steering_(choice, [] { return int32_t(1); }) {}

LiveControl::~LiveControl() = default;

bool LiveControl::Start(const LoopWatch&, const std::string&) { return true; }

std::string LayerInstanceName(ui::Layer) { return {}; }
std::string RootInstanceName() { return {}; }

int RunSend(const EmbeddedOptions&) {
  std::fprintf(stderr, "prismora: --send talks to a running wallpaper, which this system does not have\n");
  return 1;
}

}  // namespace steer
