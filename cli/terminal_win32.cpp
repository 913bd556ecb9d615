// Windows: the arguments come from the wide command line, since main's argv
// is in the ANSI code page, which turns every other character of a name
// into '?'. A console is written in UTF-16, whatever its code page; a file or
// pipe gets UTF-8. GetConsoleMode succeeds only for a console handle, so a
// redirected stderr counts as no terminal.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>

#include "cli/terminal.h"
#include "platform/win32/win32_text.h"

namespace WallpaperCli {

// argv is kept when the system cannot split its command line (no memory).
std::vector<std::string> Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return std::vector<std::string>(argv + 1, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(WinText::Utf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

bool StderrIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void PrintError(const std::string& line) {
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(err, &mode)) {
    std::fprintf(stderr, "%s\n", line.c_str());
    return;
  }
  const std::wstring text = WinText::Wide(line + "\n");
  DWORD written = 0;
  WriteConsoleW(err, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace WallpaperCli
