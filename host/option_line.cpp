// The option line's dispatch, above the modes it picks from: the layer mode
// says when its X11 form is wanted, and this file runs it.
#include "host/option_line.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/embedded_options.h"
#include "host/live_control.h"
#include "host/modes.h"
#include "prismora_version.h"

namespace {

// The X11 desktop's own background: the root window.
EmbeddedOptions OnTheRootWindow(const EmbeddedOptions& options) {
  EmbeddedOptions root = options;
  root.layer.reset();
  root.root = true;
  return root;
}

}  // namespace

int RunOptions(int argc, const char* const* argv) {
  const OptionsParse parsed = ParseEmbeddedOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.ok) {
    std::fprintf(stderr, "prismora: %s\nTry 'prismora --help' for the switches and options.\n", parsed.error.c_str());
    return 2;
  }
  if (parsed.options.help) {
    std::fputs(kPrismoraUsage, stdout);
    return 0;
  }
  if (parsed.options.version) {
    std::printf("prismora %s\n", PRISMORA_VERSION);
    return 0;
  }
  if (parsed.options.send) return steer::RunSend(parsed.options);
  if (parsed.options.layer) {
    const LayerEnd end = RunLayerMode(parsed.options);
    if (!end.runX11Form) return end.status;
    return RunEmbedded(OnTheRootWindow(parsed.options), nullptr);
  }
  return RunEmbedded(parsed.options, std::getenv("XSCREENSAVER_WINDOW"));
}
