// The embedded mode that the screen-saver daemons run as a hack (X11): the
// saver's pattern on a window of theirs, on the user's settings store
// read-only.
#include <cstdio>
#include <memory>
#include <string>

#include "host/embedded_saver.h"
#include "host/modes.h"
#include "platform/gl_window.h"
#include "platform/native_registry.h"

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
  // Under a daemon (its window) the daemon owns the process: the settings
  // file is followed, but no commands are taken. On the root window the
  // instance is the desktop's and takes them.
  const bool rootWindow = target == 0;
  saver.SteerWith(options, choice, rootWindow ? steer::RootInstanceName() : std::string());
  return saver.Run(target);
}
