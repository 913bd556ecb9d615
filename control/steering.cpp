// The outputs' settings and how commands and the settings file change them.
#include "control/steering.h"

#include <algorithm>

#include "control/text.h"

namespace control {

int32_t NextAlgorithm(int32_t algorithm) {
  return algorithm >= kMinAlgorithm && algorithm < kMaxAlgorithm ? algorithm + 1 : kMinAlgorithm;
}

int32_t PreviousAlgorithm(int32_t algorithm) {
  return algorithm > kMinAlgorithm && algorithm <= kMaxAlgorithm ? algorithm - 1 : kMaxAlgorithm;
}

Steering::Steering(const Choice& choice, std::function<int32_t()> randomAlgorithm)
    : choice_(choice), randomAlgorithm_(std::move(randomAlgorithm)) {
  shared_ = {choice.speed, choice.algorithm, choice.random, choice.pixels, false};
}

const OutputSettings& Steering::AddOutput(int id, const std::string& name) {
  for (OutputEntry& o : outputs_) {
    if (o.id != id) continue;
    o.name = name;
    return o.settings;
  }
  OutputSettings s = shared_;
  if (s.random) s.algorithm = randomAlgorithm_();
  outputs_.push_back({id, name, s});
  return outputs_.back().settings;
}

void Steering::RemoveOutput(int id) {
  std::erase_if(outputs_, [id](const OutputEntry& o) { return o.id == id; });
}

const OutputSettings* Steering::Find(int id) const {
  for (const OutputEntry& o : outputs_)
    if (o.id == id) return &o.settings;
  return nullptr;
}

std::vector<OutputEntry*> Steering::Targets(const std::string& output) {
  std::vector<OutputEntry*> targets;
  for (OutputEntry& o : outputs_)
    if (output.empty() || o.name == output) targets.push_back(&o);
  return targets;
}

// One output's (or the shared) settings under a command. The random choice
// gives way to an algorithm the user names or steps to.
void Steering::Change(OutputSettings& s, const Request& request, bool allPaused, bool draw) {
  switch (request.command) {
    case Command::Next:
    case Command::Previous:
    case Command::Algorithm:
      s.algorithm = request.command == Command::Algorithm ? request.value
                    : request.command == Command::Next    ? NextAlgorithm(s.algorithm)
                                                          : PreviousAlgorithm(s.algorithm);
      s.random = false;
      break;
    case Command::Speed: s.speed = request.value; break;
    case Command::Random:
      // On: a new draw each time (the shared settings draw nothing: each
      // later output draws its own). Off: back to the algorithm the
      // settings and the command line choose.
      s.random = request.value != 0;
      if (!s.random) s.algorithm = choice_.algorithm;
      else if (draw) s.algorithm = randomAlgorithm_();
      break;
    case Command::Pixels: s.pixels = true; break;
    case Command::Mesh: s.pixels = false; break;
    case Command::Pause: s.pausedByRequest = true; break;
    case Command::Resume: s.pausedByRequest = false; break;
    case Command::Toggle: s.pausedByRequest = !allPaused; break;
    case Command::Status: break;
  }
}

Applied Steering::Apply(const Request& request) {
  Applied result;
  std::vector<OutputEntry*> targets = Targets(request.output);
  if (!request.output.empty() && targets.empty()) {
    std::string names;
    for (const OutputEntry& o : outputs_) names += (names.empty() ? "" : ", ") + o.name;
    result.ok = false;
    result.error = "no output named " + Quoted(request.output) +
                   (names.empty() ? "; there is no output yet" : "; the outputs are: " + names);
    return result;
  }
  if (request.command == Command::Status) return result;
  // Toggle resumes only when everything it names is paused already.
  bool allPaused = std::all_of(targets.begin(), targets.end(),
                               [](const OutputEntry* o) { return o->settings.pausedByRequest; });
  if (request.output.empty()) {
    if (targets.empty()) allPaused = shared_.pausedByRequest;
    Change(shared_, request, allPaused, false);  // what later outputs take
  }
  for (OutputEntry* o : targets) {
    const OutputSettings before = o->settings;
    Change(o->settings, request, allPaused, true);
    if (!(o->settings == before)) result.changed.push_back(o->id);
  }
  return result;
}

std::vector<int> Steering::FollowSettings(const Choice& choice) {
  const Choice old = choice_;
  choice_ = choice;
  const bool speed = old.speed != choice.speed;
  const bool view = old.pixels != choice.pixels;
  const bool algorithm = old.random != choice.random || (!choice.random && old.algorithm != choice.algorithm);
  auto follow = [&](OutputSettings& s, bool draw) {
    if (speed) s.speed = choice.speed;
    if (view) s.pixels = choice.pixels;
    if (algorithm) {
      s.random = choice.random;
      s.algorithm = choice.random && draw ? randomAlgorithm_() : choice.algorithm;
    }
  };
  follow(shared_, false);
  std::vector<int> changed;
  for (OutputEntry& o : outputs_) {
    const OutputSettings before = o.settings;
    follow(o.settings, true);
    if (!(o.settings == before)) changed.push_back(o.id);
  }
  return changed;
}

}  // namespace control
