// Start-up decisions, free of any window or OS call: the switch letter of the
// first command-line argument, the window handle of the second, and the mode
// they select.
#pragma once

#include <cstdint>
#include <string_view>

constexpr const char* kApplicationTitle = "Prismora Screensaver";

// The first character of the argument is ignored, whatever it is; the next is
// the switch, "a" to "z" upper-cased. No argument or fewer than two characters
// gives 0 (no switch).
char SwitchLetterOf(const char* firstArgument);
char SwitchLetterOf(int argc, const char* const* argv);

// Command-line text to a 32-bit window handle, with the run-time's integer
// rules: optional leading spaces, then decimal digits with an optional sign
// within the signed 32-bit range, or 1 to 8 hex digits after "$", "x", "X",
// "0x" or "0X" (no sign), taken as the 32-bit pattern; nothing may follow the
// digits. Anything else, and a null pointer, gives 0.
uint32_t ParseWindowHandle(std::string_view text);
uint32_t ParseWindowHandle(const char* text);

enum class StartMode { Saver, Settings, Preview, ChangePassword };

struct StartupPlan {
  StartMode mode = StartMode::Saver;
  uint32_t windowHandle = 0;  // preview parent or password-dialog owner; 0 otherwise
};

// C: settings; P: preview; A: password change; no switch or any other: saver.
StartMode ModeForSwitch(char letter);
StartupPlan PlanStartup(int argc, const char* const* argv);
