// The long options of the program where the screen-saver daemons run it as a
// hack (X11) or a Wayland compositor shows it on a layer: --help, --version,
// the embedded mode's target window or layer and output, and overrides of the
// stored settings. Parsing and checking only, no OS call:
// main() acts on a complete, checked request. A command line is read this way
// only when its first argument is an option (see IsOptionLine); every other
// command line keeps the switch rule of startup.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/layer_window.h"

constexpr int kMaxSpeedOption = 50;
constexpr int kMaxDelayMicroseconds = 1000000;
constexpr int kDefaultDelayMicroseconds = 10000;

struct EmbeddedOptions {
  bool help = false;
  bool version = false;
  bool root = false;                 // --root / -root
  std::optional<uint32_t> windowId;  // --window-id / -window-id (wins over --root)
  std::optional<ui::Layer> layer;    // --layer: the compositor's layer (Wayland)
  std::string output;                // --output NAME: only that output (with --layer)
  std::optional<int32_t> speed;      // 0..50
  std::optional<int32_t> algorithm;  // 1..12
  std::optional<bool> random;        // --random / --no-random, the last one given
  std::optional<bool> pixels;        // --pixels / --mesh, the last one given
  int32_t delayMicroseconds = kDefaultDelayMicroseconds;
  // --on-battery every|slow|pause: 0 every frame, 1 at most 20 a second,
  // 2 paused (the stored "OnBattery" numbers).
  std::optional<int32_t> onBattery;
  bool replace = false;                // --replace: take over from a running instance
  bool send = false;                   // --send: talk to the running instance
  std::vector<std::string> sendWords;  // what follows --send: the command and its argument
};

struct OptionsParse {
  bool ok = false;
  std::string error;  // one line, without the program's name
  EmbeddedOptions options;
};

// True when the first argument begins with "--", or is "-root",
// "-window-id" or "-h" (the daemons' and users' single-dash forms).
bool IsOptionLine(int argc, const char* const* argv);

// Options in any order; a later value replaces an earlier one (the settings
// program appends its --window-id to the line as written). Values follow as
// the next argument or after "=". Unknown options, missing or bad values,
// overrides without a window or layer to draw on, --layer beside --root or
// --window-id, and --output without --layer are errors. `--send COMMAND
// [ARGUMENT]` takes the words after it up to the next option; beside it only
// --output and --layer (which instance) may be given.
OptionsParse ParseEmbeddedOptions(const std::vector<std::string>& args);

// A layer's name: background, bottom, top or overlay, in lower case.
std::optional<ui::Layer> ParseLayer(std::string_view text);

// An X window id as the daemons write it: decimal, or hexadecimal after "0x"
// or "0X"; 1 to 0xFFFFFFFF, nothing around it. Anything else: no value.
std::optional<uint32_t> ParseWindowId(std::string_view text);

// The window the embedded mode draws on: --window-id, else for --root the
// window in XSCREENSAVER_WINDOW (`environment`, null or empty when unset),
// else 0 for the root window. False with `error` set when the variable
// holds no window id.
bool ResolveTargetWindow(const EmbeddedOptions& options, const char* environment, uint32_t& window,
                         std::string& error);

// The --help text: every switch and option.
extern const char* const kPrismoraUsage;
