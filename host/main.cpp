// The program: floating-point set-up, the switch, the application title, and
// one mode per process.
#include <cstdio>
#include <exception>

#include "engine/gradient.h"
#include "host/embedded_options.h"
#include "host/modes.h"
#include "host/startup.h"
#include "platform/gl_window.h"
#include "platform/password_hooks.h"

namespace {

int RunMode(const StartupPlan& plan) {
  switch (plan.mode) {
    case StartMode::Settings: return RunSettings();
    case StartMode::Preview: return RunPreview(plan.windowHandle);
    case StartMode::ChangePassword: ChangeSaverPassword(plan.windowHandle); return 0;
    case StartMode::Saver: break;
  }
  // Where the long options exist (Linux) the saver may be Wayland's.
  return ui::EmbeddedModeAvailable() ? RunSaverOnWaylandOrX11() : RunSaver();
}

}  // namespace

int main(int argc, char** argv) {
  Gradient::SetupFloatingPoint();
  // Where the daemons run us as a hack, a first argument that is an option
  // makes the line options; every other line keeps the switch rule.
  const bool options = ui::EmbeddedModeAvailable() && IsOptionLine(argc, argv);
  const StartupPlan plan = PlanStartup(argc, argv);
  InitApplication(kApplicationTitle);
  try {
    return options ? RunOptions(argc, argv) : RunMode(plan);
  } catch (const std::exception& e) {
    // The windows show their errors themselves; this only keeps an error that
    // escapes them from ending the program without a word.
    std::fprintf(stderr, "prismora: %s\n", e.what());
    return 1;
  }
}
