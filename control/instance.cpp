// Instance names and the sending client's request line.
#include "control/instance.h"

#include <cstdint>

#include "control/request.h"
#include "control/text.h"

namespace control {

namespace {

constexpr size_t kLongestName = 64;

bool Allowed(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
         c == ':' || c == '+' || c == '-';
}

// Safe as one file name: no "/", nothing that starts a hidden or parent
// entry, and short enough that the socket's path fits its address.
std::string SafeName(std::string_view raw) {
  std::string name;
  for (char c : raw) name += Allowed(c) ? c : '_';
  if (!name.empty() && name[0] == '.') name[0] = '_';
  if (name.size() <= kLongestName) return name;
  uint64_t hash = 14695981039346656037ull;  // FNV-1a of the whole name
  for (char c : raw) hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ull;
  static const char hex[] = "0123456789abcdef";
  std::string tail = "-";
  for (int shift = 60; shift >= 0; shift -= 4) tail += hex[(hash >> shift) & 15];
  return name.substr(0, kLongestName - tail.size()) + tail;
}

bool HasSpaceOrControl(std::string_view word) {
  for (char c : word)
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) return true;
  return false;
}

}  // namespace

std::string WaylandInstanceName(std::string_view waylandDisplay, std::string_view layer) {
  const std::string display = waylandDisplay.empty() ? "wayland-0" : std::string(waylandDisplay);
  return SafeName(display + "." + std::string(layer));
}

std::string X11InstanceName(std::string_view display) {
  // host:number.screen; screen 0 is the default.
  const size_t colon = display.rfind(':');
  if (colon != std::string_view::npos && display.size() > 2 && display.substr(display.size() - 2) == ".0" &&
      display.find('.', colon) == display.size() - 2)
    display.remove_suffix(2);
  return SafeName("x11-" + std::string(display) + ".root");
}

std::vector<std::string> InstanceNamesToTry(std::string_view waylandDisplay, std::string_view x11Display,
                                            std::string_view layer) {
  std::vector<std::string> names;
  if (!layer.empty()) {
    names.push_back(WaylandInstanceName(waylandDisplay, layer));
  } else {
    for (const char* l : {"background", "bottom", "top", "overlay"})
      names.push_back(WaylandInstanceName(waylandDisplay, l));
  }
  if (!x11Display.empty()) names.push_back(X11InstanceName(x11Display));
  return names;
}

RequestLine RequestLineFromWords(const std::vector<std::string>& words, const std::string& output) {
  std::vector<std::string_view> views(words.begin(), words.end());
  if (!output.empty()) {
    views.push_back("--output");
    views.push_back(output);
  }
  for (std::string_view w : views)
    if (HasSpaceOrControl(w)) return {{}, "a command's words hold no spaces or control characters: " + Quoted(w)};
  const ParsedRequest parsed = ParseRequestWords(views);
  if (!parsed.request) return {{}, parsed.error};
  RequestLine r{FormatRequestLine(*parsed.request), {}};
  if (const std::string why = CheckLineText(r.line); !why.empty()) return {{}, "the command is " + why};
  return r;
}

}  // namespace control
