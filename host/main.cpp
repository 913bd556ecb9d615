// The program: floating-point set-up, the switch, the application title, and
// one mode per process: a switch's mode from here, the long options' through
// option_line.cpp.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "engine/gradient.h"
#include "host/embedded_options.h"
#include "host/modes.h"
#include "host/option_line.h"
#include "host/startup.h"
#include "platform/gl_window.h"
#include "platform/password_hooks.h"

namespace {

// The saver on Wayland's layers, or its X11 form where they cannot be had.
int RunSaverOnWaylandOrX11() {
  const LayerEnd end = RunSaverOnLayers();
  return end.runX11Form ? RunSaver() : end.status;
}

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

// PRISMORA_ENGINE picks the engine of the pattern maths; a name this
// processor cannot run is reported and the widest engine used.
void ChooseEngine() {
  const char* name = std::getenv("PRISMORA_ENGINE");
  if (!name || !*name) return;
  const std::string problem = Gradient::SelectEngineByName(name);
  if (!problem.empty()) std::fprintf(stderr, "prismora: PRISMORA_ENGINE: %s; using auto\n", problem.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  Gradient::SetupFloatingPoint();
  ChooseEngine();
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
