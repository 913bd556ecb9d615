// POSIX: the arguments and the terminal's text are the bytes as they come.
#include <unistd.h>

#include <cstdio>

#include "cli/terminal.h"

namespace WallpaperCli {

std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void PrintError(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

}  // namespace WallpaperCli
