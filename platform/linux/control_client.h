// The sending side of the control socket, `prismora --send COMMAND
// [ARGUMENT] [--output NAME]`: the request line checked, the running
// instance of this session found in $XDG_RUNTIME_DIR/prismora (the Wayland
// display's layers, then the X display's root window), the line sent and
// the reply read within a deadline. Exit statuses: 0 done, 1 no instance
// answers, 2 a bad command or argument (checked here, or refused by the
// instance).
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace posix {

struct Exchange {
  enum Result {
    Answered,    // the instance's final line came
    NoInstance,  // nothing listens at the path
    Failed,      // something listens, but no complete reply came
  } result = NoInstance;
  std::vector<std::string> lines;  // every line received, without line ends
  std::string message;             // why, for Failed
};

// Sends one line (without its line end) to the socket at `path` and reads
// the reply up to its final line. A socket of another user is not talked to.
Exchange ExchangeLine(const std::string& path, const std::string& line, std::chrono::milliseconds timeout);

// Where to look: XDG_RUNTIME_DIR, WAYLAND_DISPLAY and DISPLAY.
struct SendEnvironment {
  std::string runtimeDir, waylandDisplay, x11Display;
  static SendEnvironment FromProcess();
};

struct SendOutcome {
  int status = 1;
  std::vector<std::string> data;  // the reply's data lines (status)
  std::string message;            // for a status other than 0: one line, without the program's name
};

// words: what follows --send; output: the --output given beside it (empty:
// none); layer: only that layer's instance (empty: the first that answers).
SendOutcome SendCommand(const std::vector<std::string>& words, const std::string& output, const std::string& layer,
                        const SendEnvironment& environment,
                        std::chrono::milliseconds timeout = std::chrono::seconds(3));

// SendCommand with the process's environment: the data lines on `out`, a
// message as "prismora: ..." on `err`. Returns the exit status.
int RunSend(const std::vector<std::string>& words, const std::string& output, const std::string& layer, FILE* out,
            FILE* err);

}  // namespace posix
