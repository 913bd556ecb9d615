// Which outputs of a compositor show a full-screen window, from what the
// compositor tells of its toplevels: each one's states and the outputs it is
// on. Portable: the Wayland file feeds the foreign-toplevel events in, by
// numbers of its own for toplevels and outputs, and reports the changes out.
// It does not know layers or pictures; the mode decides what an answer means.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace Toplevels {

using ToplevelId = uint64_t;
using OutputId = uint32_t;

// The values of a toplevel's state array.
enum class State : uint32_t { Maximized = 0, Minimized = 1, Activated = 2, FullScreen = 3 };

// A toplevel's states, outputs entered and outputs left are pending until
// its Done, and then take effect together, as the compositor means them; a
// toplevel that closes and an output that goes count at once. An output
// shows a full-screen window while a toplevel on it is full screen, not
// minimized (a minimized window is not shown, whatever else it is) and
// activated. Activated, because the compositor keeps a full-screen window
// on a workspace out of sight "on" its output, and the protocol says
// nothing of workspaces: the window with the focus is the one known to be
// in sight. So a full-screen window that loses the focus to another output
// lets the background draw again (as much as without this, never a picture
// frozen in sight). Events for a toplevel never created, or after it
// closed, are ignored.
class FullScreenOutputs {
 public:
  void Created(ToplevelId toplevel);
  void States(ToplevelId toplevel, const std::vector<uint32_t>& states);
  void Entered(ToplevelId toplevel, OutputId output);
  void Left(ToplevelId toplevel, OutputId output);
  void Done(ToplevelId toplevel);
  void Closed(ToplevelId toplevel);
  void OutputRemoved(OutputId output);

  bool Covers(OutputId output) const;
  // The outputs whose answer changed since the last call (first call: the
  // outputs covered), each with its answer now, in the order of their ids.
  // An output removed is not reported again.
  std::vector<std::pair<OutputId, bool>> TakeChanges();
  size_t Count() const { return toplevels_.size(); }

 private:
  struct Shown {
    bool fullScreen = false, minimized = false, activated = false;
    std::set<OutputId> outputs;
  };
  struct Toplevel {
    Shown now, pending;
  };
  std::set<OutputId> CoveredNow() const;

  std::map<ToplevelId, Toplevel> toplevels_;
  std::set<OutputId> reported_;
};

}  // namespace Toplevels
