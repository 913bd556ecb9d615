// What the command needs of the terminal or console it runs in: its
// arguments as UTF-8, whether stderr is an interactive terminal (progress is
// shown only there), and a way to write a line of UTF-8 text to stderr.
#pragma once

#include <string>
#include <vector>

namespace WallpaperCli {
// The arguments after the program's name.
std::vector<std::string> Arguments(int argc, char** argv);
bool StderrIsTerminal();
// The line and a line break.
void PrintError(const std::string& line);
}  // namespace WallpaperCli
