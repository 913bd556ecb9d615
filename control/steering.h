// What a running instance draws on each output, as commands and the
// settings file change it: the speed, the algorithm, the random choice, the
// view and a pause asked for. The mode keeps one Steering, tells it which
// outputs come and go, and after each change puts the named outputs'
// settings onto their pictures; nothing here draws or touches a file, and
// nothing here ever writes the settings store.
//
// Three sources, the later over the earlier: the settings file, the options
// of the command line (the mode folds these two into a Choice), and commands.
// A command without an output applies to every output and to outputs that
// come later; with one, only that output changes. When the settings file
// changes, each value that changed in the Choice goes to every output,
// replacing what commands set; values that did not change stay as they are.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "control/request.h"

namespace control {

// The settings and command-line options folded together, as a mode starts.
struct Choice {
  int32_t speed = 0;
  int32_t algorithm = 1;
  bool random = false;  // each output draws its algorithm at random
  bool pixels = false;  // the per-pixel view rather than the mesh
  bool operator==(const Choice&) const = default;
};

// One output's settings now.
struct OutputSettings {
  int32_t speed = 0;
  int32_t algorithm = 1;  // what the picture draws (already drawn when random)
  bool random = false;    // the algorithm came from the random choice
  bool pixels = false;
  bool pausedByRequest = false;
  bool operator==(const OutputSettings&) const = default;
};

struct OutputEntry {
  int id;            // the mode's number for the output, never used again
  std::string name;  // as the compositor or the mode calls it
  OutputSettings settings;
};

struct Applied {
  bool ok = true;
  std::string error;        // why not, when !ok
  std::vector<int> changed;  // the outputs whose settings changed
};

class Steering {
 public:
  // `randomAlgorithm` draws an algorithm from 1 to 12 (the engine's
  // generator in the program; tests pass their own).
  Steering(const Choice& choice, std::function<int32_t()> randomAlgorithm);

  // A new output takes the settings every output follows (a random choice
  // draws its own algorithm). An id already known keeps its settings and
  // takes the new name.
  const OutputSettings& AddOutput(int id, const std::string& name);
  void RemoveOutput(int id);
  // Null for an unknown id.
  const OutputSettings* Find(int id) const;
  // The outputs in the order they came.
  const std::vector<OutputEntry>& Outputs() const { return outputs_; }
  // What an output that comes now takes (its random draw aside).
  const OutputSettings& Shared() const { return shared_; }

  // Applies a command other than status (status changes nothing). Fails,
  // changing nothing, when the request names no output there is.
  Applied Apply(const Request& request);

  // The settings file changed: `choice` is the new settings under the
  // command line's options. Returns the outputs whose settings changed.
  std::vector<int> FollowSettings(const Choice& choice);

 private:
  void Change(OutputSettings& s, const Request& request, bool allPaused, bool draw);
  std::vector<OutputEntry*> Targets(const std::string& output);

  Choice choice_;
  std::function<int32_t()> randomAlgorithm_;
  OutputSettings shared_;
  std::vector<OutputEntry> outputs_;
};

// The algorithm after and before `algorithm`, wrapping 12 to 1 and 1 to 12
// (a value outside 1 to 12 goes to 1 or 12).
int32_t NextAlgorithm(int32_t algorithm);
int32_t PreviousAlgorithm(int32_t algorithm);

}  // namespace control
