// Test access to the headless embedded GL window: what the mode asked of it
// (placement, parent, pixel format, swaps, invalidations, end request,
// signals, release), what its creation answers, and a script of the events
// that Run reports, in order. A Wait moves the virtual clock (ui::Now,
// headless.h) on a millisecond at a time and paints when the time asked for
// with InvalidateAt comes, as the real window does.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/gl_window.h"

namespace ui::headless {

struct GLWindowEvent {
  // Ready: the watched descriptor `a` has input (its callback runs).
  enum Kind { Paint, Key, Resize, Gone, Wait, Ready } kind = Paint;
  int a = 0, b = 0;  // the key, the new width and height, the milliseconds waited, or the descriptor
};

struct GLWindowRecord {
  // Set by the test before the mode runs.
  GLWindowResult createResult = GLWindowResult::Created;
  int width = 640, height = 480;  // the drawable's size at creation
  std::vector<GLWindowEvent> script;
  // Recorded.
  bool created = false;
  GLWindowPlace place = GLWindowPlace::ChildOf;
  NativeHandle parent = 0;
  PixelFormat format;
  std::string title;
  int swaps = 0;
  int paints = 0;
  std::optional<std::chrono::steady_clock::time_point> paintAt;  // the last InvalidateAt, until it is painted
  int eventsPlayed = 0;
  bool ran = false;
  bool endRequested = false;
  bool signalsInstalled = false;
  bool released = false;
  bool current = false;  // the context is current (between Create and Release)
  std::map<int, std::function<void()>> watched;  // descriptor: callback
};

GLWindowRecord& TheGLWindow();
// Invalidate is called from other threads: counted apart from the record.
int GLWindowInvalidations();
void ResetGLWindow();

}  // namespace ui::headless
