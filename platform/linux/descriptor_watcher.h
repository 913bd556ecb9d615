// How a piece of platform code (the control socket, the settings watch)
// has its descriptors watched by the main loop it lives on: two functions,
// so that the X11 window, the Wayland layer window and the tests' own
// LoopWake can all serve. `watch` registers a descriptor whose callback runs
// on the loop's thread when it has input or hangs up (watching again
// replaces the callback); `stop` forgets it. Both may be called from inside
// a callback.
#pragma once

#include <functional>

namespace posix {

struct DescriptorWatcher {
  std::function<void(int fd, std::function<void()> ready)> watch;
  std::function<void(int fd)> stop;
};

// A watcher over anything with WatchReadable/StopWatching (ui::GLWindow,
// ui::LayerWindow), which must outlive it.
template <class Window>
DescriptorWatcher WatcherOf(Window& window) {
  return {[&window](int fd, std::function<void()> ready) { window.WatchReadable(fd, std::move(ready)); },
          [&window](int fd) { window.StopWatching(fd); }};
}

}  // namespace posix
