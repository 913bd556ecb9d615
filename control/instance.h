// Where a running instance is found and how `prismora --send` talks to it,
// the parts without OS calls: the name of an instance's socket, built from
// the display it draws on and its layer; the names a sending client tries;
// the command line's words turned into a request line; the exit statuses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace control {

// The exit statuses of prismora --send.
constexpr int kSendDone = 0;
constexpr int kSendNoInstance = 1;  // no running instance answers
constexpr int kSendBadCommand = 2;  // the command or its argument is wrong

// The instance's name in its runtime folder (the socket is NAME.sock):
//   a layer of a Wayland display:  "wayland-0.background" (WAYLAND_DISPLAY,
//                                  "wayland-0" when empty, then the layer)
//   an X display's root window:    "x11-:0.root" (DISPLAY; screen 0's ".0"
//                                  left out, so ":0" and ":0.0" are one)
// Bytes other than letters, digits and "._:+-" become "_"; a name that
// would be longer than 64 bytes is cut and ends in a hash of the whole.
std::string WaylandInstanceName(std::string_view waylandDisplay, std::string_view layer);
std::string X11InstanceName(std::string_view display);

// The names a client tries, in order: the Wayland display's layers
// (background, bottom, top, overlay; only `layer` when given), then the X
// display's root window when `x11Display` is not empty.
std::vector<std::string> InstanceNamesToTry(std::string_view waylandDisplay, std::string_view x11Display,
                                            std::string_view layer = {});

struct RequestLine {
  std::string line;   // the canonical request line, without a line end
  std::string error;  // set instead when the words are no request (status 2)
};

// The words after --send ("algorithm", "3") and the --output given beside
// them (empty: none; it wins over an --output among the words).
RequestLine RequestLineFromWords(const std::vector<std::string>& words, const std::string& output);

}  // namespace control
