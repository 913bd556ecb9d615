// Parser for the long options. Numbers are plain decimal (std::from_chars: no
// blanks, no sign other than a leading "-", no trailing text).
#include "host/embedded_options.h"

#include <charconv>
#include <functional>
#include <map>

const char* const kPrismoraUsage =
    "usage: prismora [/s | /c | /p WINDOW | /a WINDOW]\n"
    "       prismora --root | --window-id ID [--speed N] [--algorithm N] [--random | --no-random]\n"
    "                [--pixels | --mesh] [--delay MICROSECONDS]\n"
    "       prismora --layer LAYER [--output NAME] [--speed N] [--algorithm N] [--random | --no-random]\n"
    "                [--pixels | --mesh] [--delay MICROSECONDS]\n"
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
    "  The settings store is read, never written; the options override it.\n"
    "\n"
    "  --help, -h           this text\n"
    "  --version            the program's version\n";

namespace {

bool ParseInRange(std::string_view text, int64_t lo, int64_t hi, int32_t& out) {
  int64_t v = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, v);
  if (text.empty() || ec != std::errc() || ptr != end || v < lo || v > hi) return false;
  out = static_cast<int32_t>(v);
  return true;
}

// Keeps a hostile argument from flooding the one-line message.
std::string Shown(std::string_view text) {
  std::string s(text.substr(0, 64));
  for (char& ch : s)
    if (static_cast<unsigned char>(ch) < 32) ch = '?';
  return text.size() > 64 ? s + "..." : s;
}

// The options without a value, as what they set.
const std::map<std::string, std::function<void(EmbeddedOptions&)>, std::less<>>& Flags() {
  static const std::map<std::string, std::function<void(EmbeddedOptions&)>, std::less<>> flags = {
      {"--help", [](EmbeddedOptions& o) { o.help = true; }},
      {"-h", [](EmbeddedOptions& o) { o.help = true; }},
      {"--version", [](EmbeddedOptions& o) { o.version = true; }},
      {"--root", [](EmbeddedOptions& o) { o.root = true; }},
      {"-root", [](EmbeddedOptions& o) { o.root = true; }},
      {"--random", [](EmbeddedOptions& o) { o.random = true; }},
      {"--no-random", [](EmbeddedOptions& o) { o.random = false; }},
      {"--pixels", [](EmbeddedOptions& o) { o.pixels = true; }},
      {"--mesh", [](EmbeddedOptions& o) { o.pixels = false; }},
  };
  return flags;
}

struct ValueOption {
  std::function<bool(std::string_view, EmbeddedOptions&)> store;
  const char* expected;
};

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

const std::map<std::string, ValueOption, std::less<>>& ValueOptions() {
  static const std::map<std::string, ValueOption, std::less<>> options = {
      {"--window-id", {StoreWindowId, "an X window id (decimal or 0x hex)"}},
      {"-window-id", {StoreWindowId, "an X window id (decimal or 0x hex)"}},
      {"--layer", {StoreLayer, "background, bottom, top or overlay"}},
      {"--output", {StoreOutput, "an output's name (up to 256 characters, no control characters)"}},
      {"--speed",
       {[](std::string_view v, EmbeddedOptions& o) { return ParseInRange(v, 0, kMaxSpeedOption, o.speed.emplace()); },
        "a whole number from 0 to 50"}},
      {"--algorithm",
       {[](std::string_view v, EmbeddedOptions& o) { return ParseInRange(v, 1, 12, o.algorithm.emplace()); },
        "a whole number from 1 to 12"}},
      {"--delay",
       {[](std::string_view v, EmbeddedOptions& o) {
          return ParseInRange(v, 0, kMaxDelayMicroseconds, o.delayMicroseconds);
        },
        "microseconds from 0 to 1000000"}},
  };
  return options;
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

OptionsParse ParseEmbeddedOptions(const std::vector<std::string>& args) {
  OptionsParse result;
  EmbeddedOptions& o = result.options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const size_t eq = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string_view::npos;
    const std::string_view name = arg.substr(0, eq);
    if (const auto flag = Flags().find(arg); flag != Flags().end()) {
      flag->second(o);
      continue;
    }
    const auto option = ValueOptions().find(name);
    if (option == ValueOptions().end()) return Fail("unknown option '" + Shown(arg) + "'");
    std::string_view value;
    if (eq != std::string_view::npos)
      value = arg.substr(eq + 1);
    else if (i + 1 < args.size())
      value = args[++i];
    else
      return Fail(std::string(name) + ": missing value, expected " + option->second.expected);
    if (!option->second.store(value, o))
      return Fail(std::string(name) + ": expected " + option->second.expected + ", got '" + Shown(value) + "'");
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
    error = "XSCREENSAVER_WINDOW holds no window id: '" + Shown(environment) + "'";
    return false;
  }
  window = *id;
  return true;
}
