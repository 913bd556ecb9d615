// GetConsoleMode succeeds only for a console handle, so a redirected stderr
// (file or pipe) counts as no terminal.
#include <windows.h>

#include "cli/terminal.h"

namespace WallpaperCli {
bool StderrIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}
}  // namespace WallpaperCli
