// Stand-ins for the modes whose windows are not part of this build yet: each
// says so on stderr and fails, so that no caller mistakes it for a run.
// Replaced by the real saver, settings and preview implementations.
#include <cstdio>

#include "host/modes.h"

namespace {

int Unavailable(const char* mode) {
  std::fprintf(stderr, "prismora: the %s is not available in this build\n", mode);
  return 2;
}

}  // namespace

void InitApplication(const char* /*title*/) {}

int RunSaver() { return Unavailable("full-screen saver"); }
int RunSettings() { return Unavailable("settings window"); }
int RunPreview(uint32_t /*parentWindow*/) { return Unavailable("preview"); }
