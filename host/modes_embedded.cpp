// The long-option command lines: --help, --version, the embedded mode that
// the screen-saver daemons run as a hack (X11), and --layer (Wayland, in
// modes_layer.cpp), on the user's settings store read-only.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "host/embedded_saver.h"
#include "host/modes.h"
#include "platform/gl_window.h"
#include "platform/native_registry.h"
#include "prismora_version.h"

int RunEmbedded(const EmbeddedOptions& options, const char* targetVariable) {
  uint32_t target = 0;
  std::string error;
  if (!ResolveTargetWindow(options, targetVariable, target, error)) {
    std::fprintf(stderr, "prismora: %s\n", error.c_str());
    return 1;
  }
  std::string warning;
  const std::unique_ptr<Settings::RegistryBackend> store = Platform::MakeUserRegistry();
  const embedded::PatternChoice choice = embedded::ChoosePattern(*store, options, warning);
  // Never a message box here: the daemon owns the screen.
  if (!warning.empty()) std::fprintf(stderr, "prismora: %s\n", warning.c_str());
  embedded::InitEmbeddedPattern(Gradient::Pattern, choice, ui::ProcessId());
  embedded::EmbeddedSaver saver(options.delayMicroseconds);
  return saver.Run(target);
}

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
  if (parsed.options.layer) return RunLayerMode(parsed.options);
  return RunEmbedded(parsed.options, std::getenv("XSCREENSAVER_WINDOW"));
}
