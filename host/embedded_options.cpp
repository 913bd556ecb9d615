// The long options as a table (base/option_table.h), what the table cannot
// check alone (the modes that exclude each other), and the X window ids as
// the daemons write them. Numbers are plain decimal (std::from_chars: no
// blanks, no sign other than a leading "-", no trailing text).
#include "host/embedded_options.h"

#include <charconv>

#include "base/option_table.h"
#include "control/request.h"

const char* const kPrismoraUsage =
    "usage: prismora [/s | /c | /p WINDOW | /a WINDOW]\n"
    "       prismora --root | --window-id ID [--speed N] [--algorithm N] [--random | --no-random]\n"
    "                [--pixels | --mesh] [--delay MICROSECONDS] [--on-battery every|slow|pause]\n"
    "       prismora --layer LAYER [--output NAME] [--speed N] [--algorithm N] [--random | --no-random]\n"
    "                [--pixels | --mesh] [--delay MICROSECONDS] [--on-battery every|slow|pause]\n"
    "       prismora --send COMMAND [ARGUMENT] [--output NAME] [--layer LAYER]\n"
    "       prismora --help | --version\n"
    "\n"
    "Switches (the first character is ignored, the letter may be of either case):\n"
    "  /s                   the full-screen saver (also with no switch or another letter); on Wayland\n"
    "                       on the overlay layer of every output when the compositor has the layer shell\n"
    "  /c                   the settings window\n"
    "  /p WINDOW            the preview inside the given X window (decimal, or hex after $, x or 0x)\n"
    "  /a WINDOW            the password change (nothing to do on Linux)\n"
    "\n"
    "As a hack of a screen-saver daemon (XScreenSaver, xsecurelock):\n"
    "  --root, -root        draw on the window in $XSCREENSAVER_WINDOW, or on the root window\n"
    "  --window-id ID, -window-id ID\n"
    "                       draw on the X window ID (decimal or 0x hex)\n"
    "\n"
    "On Wayland, on the compositor's layer shell (an animated wallpaper, a locker's background):\n"
    "  --layer LAYER        draw on every output's layer: background, bottom, top or overlay\n"
    "  --output NAME        only on the output NAME (as swaymsg -t get_outputs lists them)\n"
    "\n"
    "For both:\n"
    "  --speed N            animation speed, 0 to 50 (default: the stored setting)\n"
    "  --algorithm N        pattern algorithm, 1 to 12; implies --no-random unless --random is given\n"
    "  --random             a random algorithm at each start\n"
    "  --no-random          the stored or given algorithm\n"
    "  --pixels             every pixel computed on the GPU, as a saved wallpaper shows the pattern\n"
    "                       (OpenGL 2.0; without it the mesh, with one line on stderr)\n"
    "  --mesh               the smooth-shaded mesh of the 120 x 90 grid (default: the stored setting,\n"
    "                       \"Per Pixel\" in the settings window)\n"
    "  --delay MICROSECONDS shortest time between frames, 0 to 1000000 (default 10000)\n"
    "  --on-battery every|slow|pause\n"
    "                       on battery power (UPower): every frame, at most 20 frames a second\n"
    "                       (the default, or the stored setting), or paused on the last frame\n"
    "  The settings store is read, never written; the options override it. A running\n"
    "  --root or --layer follows the settings file as it changes.\n"
    "  --replace            end the instance already running on this display and layer, and take\n"
    "                       its place (without it a second one refuses to start)\n"
    "\n"
    "Steering a running --layer or --root instance (its socket: $XDG_RUNTIME_DIR/prismora/):\n"
    "  --send COMMAND [ARGUMENT]\n"
    "                       next, previous, algorithm N (1 to 12), speed N (0 to 50), random on|off,\n"
    "                       pixels, mesh, pause, resume, toggle, status (one line of JSON per output)\n"
    "  --output NAME        with --send: only that output (the root window's output is \"root\")\n"
    "  --layer LAYER        with --send: the instance on that layer (default: the first that answers)\n"
    "  Exit status of --send: 0 done, 1 no running instance, 2 a bad command or argument.\n"
    "\n"
    "  --help, -h           this text\n"
    "  --version            the program's version\n";

namespace {

using Table = Options::Table<EmbeddedOptions>;

bool StoreWindowId(std::string_view v, EmbeddedOptions& o) {
  o.windowId = ParseWindowId(v);
  return o.windowId.has_value();
}

bool StoreLayer(std::string_view v, EmbeddedOptions& o) {
  o.layer = ParseLayer(v);
  return o.layer.has_value();
}

// An output name is the compositor's: any text, but not empty and without
// control characters (it ends up in messages).
bool StoreOutput(std::string_view v, EmbeddedOptions& o) {
  if (v.empty() || v.size() > 256) return false;
  for (char ch : v)
    if (static_cast<unsigned char>(ch) < 32 || ch == 127) return false;
  o.output = std::string(v);
  return true;
}

bool StoreOnBattery(std::string_view v, EmbeddedOptions& o) {
  constexpr std::string_view kWords[] = {"every", "slow", "pause"};
  for (int32_t i = 0; i < 3; ++i)
    if (v == kWords[i]) {
      o.onBattery = i;
      return true;
    }
  return false;
}

// Any option any number of times, a later value replacing an earlier one;
// the value is always the next argument, whatever it looks like.
const Table& LongOptions() {
  static const Table table(
      {.unknownWord = "option", .eachOnce = false, .valueMayBeginWithDashes = true},
      {
          Table::Flag({"--help", "-h"}, &EmbeddedOptions::help),
          Table::Flag({"--version"}, &EmbeddedOptions::version),
          Table::Flag({"--root", "-root"}, &EmbeddedOptions::root),
          Table::Flag({"--replace"}, &EmbeddedOptions::replace),
          Table::Flag({"--random"}, &EmbeddedOptions::random, true),
          Table::Flag({"--no-random"}, &EmbeddedOptions::random, false),
          Table::Flag({"--pixels"}, &EmbeddedOptions::pixels, true),
          Table::Flag({"--mesh"}, &EmbeddedOptions::pixels, false),
          Table::Value({"--window-id", "-window-id"}, "an X window id (decimal or 0x hex)", StoreWindowId),
          Table::Value({"--layer"}, "background, bottom, top or overlay", StoreLayer),
          Table::Value({"--on-battery"}, "every, slow or pause", StoreOnBattery),
          Table::Value({"--output"}, "an output's name (up to 256 characters, no control characters)", StoreOutput),
          Table::Whole({"--speed"}, 0, kMaxSpeedOption, &EmbeddedOptions::speed, "a whole number from 0 to 50"),
          Table::Whole({"--algorithm"}, 1, 12, &EmbeddedOptions::algorithm, "a whole number from 1 to 12"),
          Table::Whole({"--delay"}, 0, kMaxDelayMicroseconds, &EmbeddedOptions::delayMicroseconds,
                       "microseconds from 0 to 1000000"),
      });
  return table;
}

OptionsParse Fail(const std::string& message) {
  OptionsParse r;
  r.error = message;
  return r;
}

}  // namespace

bool IsOptionLine(int argc, const char* const* argv) {
  if (argc < 2 || !argv || !argv[1]) return false;
  const std::string_view first = argv[1];
  return first.rfind("--", 0) == 0 || first == "-root" || first == "-window-id" || first == "-h";
}

namespace {

// The words of --send (the command and its argument: everything after it up
// to the next argument that begins with "--") out of the arguments.
std::vector<std::string> TakeSendWords(const std::vector<std::string>& args, EmbeddedOptions& o) {
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--send") {
      rest.push_back(args[i]);
      continue;
    }
    o.send = true;
    o.sendWords.clear();
    while (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) o.sendWords.push_back(args[++i]);
  }
  return rest;
}

std::string CheckSend(const EmbeddedOptions& o) {
  if (o.sendWords.empty()) return std::string("--send needs a command: ") + control::kCommandList;
  if (o.root || o.windowId || o.replace || o.speed || o.algorithm || o.random || o.pixels || o.onBattery ||
      o.delayMicroseconds != kDefaultDelayMicroseconds)
    return "--send takes a command, and beside it only --output NAME and --layer LAYER";
  return {};
}

}  // namespace

OptionsParse ParseEmbeddedOptions(const std::vector<std::string>& args) {
  OptionsParse result;
  EmbeddedOptions& o = result.options;
  const std::vector<std::string> rest = TakeSendWords(args, o);
  if (const std::string error = LongOptions().Read(rest, o); !error.empty()) return Fail(error);
  if (o.send && !o.help && !o.version) {
    if (const std::string error = CheckSend(o); !error.empty()) return Fail(error);
    result.ok = true;
    return result;
  }
  // An algorithm asked for is the one drawn, unless a random one is asked for too.
  if (o.algorithm && !o.random) o.random = false;
  if (o.help || o.version) {
    result.ok = true;
    return result;
  }
  if (o.layer && (o.root || o.windowId))
    return Fail("--layer draws on the compositor's outputs: give it without --root or --window-id");
  if (!o.output.empty() && !o.layer) return Fail("--output needs --layer LAYER");
  if (!o.root && !o.windowId && !o.layer)
    return Fail("nothing to draw on: give --root, --window-id ID or --layer LAYER");
  result.ok = true;
  return result;
}

std::optional<ui::Layer> ParseLayer(std::string_view text) {
  for (ui::Layer l : {ui::Layer::Background, ui::Layer::Bottom, ui::Layer::Top, ui::Layer::Overlay})
    if (text == ui::LayerName(l)) return l;
  return std::nullopt;
}

std::optional<uint32_t> ParseWindowId(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty() || text.front() == '-' || text.front() == '+') return std::nullopt;
  uint32_t v = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, v, base);
  if (ec != std::errc() || ptr != end || v == 0) return std::nullopt;
  return v;
}

bool ResolveTargetWindow(const EmbeddedOptions& options, const char* environment, uint32_t& window,
                         std::string& error) {
  window = 0;
  if (options.windowId) {
    window = *options.windowId;
    return true;
  }
  if (!environment || !*environment) return true;  // the root window
  const std::optional<uint32_t> id = ParseWindowId(environment);
  if (!id) {
    error = "XSCREENSAVER_WINDOW holds no window id: '" + Options::Shown(environment) + "'";
    return false;
  }
  window = *id;
  return true;
}
