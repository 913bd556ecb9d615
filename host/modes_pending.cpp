// The application object's start, and stand-ins for the modes whose windows
// are not part of this build yet: each says so on stderr and fails, so that
// no caller mistakes it for a run.
#include <cstdio>

#include "host/modes.h"
#include "platform/ui.h"

namespace {

[[maybe_unused]] int Unavailable(const char* mode) {
  std::fprintf(stderr, "prismora: the %s is not available in this build\n", mode);
  return 2;
}

}  // namespace

void InitApplication(const char* title) {
  ui::Application& app = ui::Application::Get();
  app.Initialize();
  app.SetTitle(title);
}

int RunSettings() { return Unavailable("settings window"); }
