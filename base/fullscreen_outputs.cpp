// The outputs under a full-screen window, from the toplevels' events.
#include "base/fullscreen_outputs.h"

#include <algorithm>

namespace Toplevels {

void FullScreenOutputs::Created(ToplevelId toplevel) { toplevels_.try_emplace(toplevel); }

// Values it does not know (later versions may add states) are skipped.
void FullScreenOutputs::States(ToplevelId toplevel, const std::vector<uint32_t>& states) {
  const auto t = toplevels_.find(toplevel);
  if (t == toplevels_.end()) return;
  auto has = [&](State s) { return std::find(states.begin(), states.end(), uint32_t(s)) != states.end(); };
  Shown& p = t->second.pending;
  p.fullScreen = has(State::FullScreen);
  p.minimized = has(State::Minimized);
  p.activated = has(State::Activated);
}

void FullScreenOutputs::Entered(ToplevelId toplevel, OutputId output) {
  if (const auto t = toplevels_.find(toplevel); t != toplevels_.end()) t->second.pending.outputs.insert(output);
}

void FullScreenOutputs::Left(ToplevelId toplevel, OutputId output) {
  if (const auto t = toplevels_.find(toplevel); t != toplevels_.end()) t->second.pending.outputs.erase(output);
}

void FullScreenOutputs::Done(ToplevelId toplevel) {
  if (const auto t = toplevels_.find(toplevel); t != toplevels_.end()) t->second.now = t->second.pending;
}

void FullScreenOutputs::Closed(ToplevelId toplevel) { toplevels_.erase(toplevel); }

void FullScreenOutputs::OutputRemoved(OutputId output) {
  for (auto& [id, t] : toplevels_) {
    t.now.outputs.erase(output);
    t.pending.outputs.erase(output);
  }
  reported_.erase(output);
}

std::set<OutputId> FullScreenOutputs::CoveredNow() const {
  std::set<OutputId> covered;
  for (const auto& [id, t] : toplevels_)
    if (t.now.fullScreen && !t.now.minimized && t.now.activated)
      covered.insert(t.now.outputs.begin(), t.now.outputs.end());
  return covered;
}

bool FullScreenOutputs::Covers(OutputId output) const { return CoveredNow().count(output) != 0; }

std::vector<std::pair<OutputId, bool>> FullScreenOutputs::TakeChanges() {
  const std::set<OutputId> now = CoveredNow();
  std::vector<std::pair<OutputId, bool>> changes;
  for (OutputId o : now)
    if (!reported_.count(o)) changes.emplace_back(o, true);
  for (OutputId o : reported_)
    if (!now.count(o)) changes.emplace_back(o, false);
  std::sort(changes.begin(), changes.end());
  reported_ = now;
  return changes;
}

}  // namespace Toplevels
