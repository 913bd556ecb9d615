#include <unistd.h>

#include "cli/terminal.h"

namespace WallpaperCli {
bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }
}  // namespace WallpaperCli
