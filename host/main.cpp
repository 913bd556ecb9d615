// The program: floating-point set-up, the switch, the application title, and
// one mode per process.
#include <cstdio>
#include <exception>

#include "engine/gradient.h"
#include "host/funcs_password.h"
#include "host/modes.h"
#include "host/startup.h"

namespace {

int RunMode(const StartupPlan& plan) {
  switch (plan.mode) {
    case StartMode::Settings: return RunSettings();
    case StartMode::Preview: return RunPreview(plan.windowHandle);
    case StartMode::ChangePassword: ChangeSaverPassword(plan.windowHandle); return 0;
    case StartMode::Saver: break;
  }
  return RunSaver();
}

}  // namespace

int main(int argc, char** argv) {
  Gradient::SetupFloatingPoint();
  const StartupPlan plan = PlanStartup(argc, argv);
  InitApplication(kApplicationTitle);
  try {
    return RunMode(plan);
  } catch (const std::exception& e) {
    // The windows show their errors themselves; this only keeps an error that
    // escapes them from ending the program without a word.
    std::fprintf(stderr, "prismora: %s\n", e.what());
    return 1;
  }
}
