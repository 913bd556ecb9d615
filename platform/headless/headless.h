// Test access to the headless windowing layer: a virtual clock that fires the
// timers, a settable screen and monitors, cursor and active window, what the
// controls show, the message boxes shown and a log of the platform calls in the order they were made.
#pragma once

#include <string>
#include <vector>

#include "platform/ui.h"

namespace ui::headless {

struct SurfaceRecord {
  bool created = false;
  PixelFormat format;
  int viewportX = 0, viewportY = 0, viewportW = 0, viewportH = 0;  // the last viewport
  std::vector<Rect> viewports;  // every viewport set, in order (left, top = GL x, y)
  int swaps = 0;
};

// What a control shows on the headless layer: the state portable code last
// pushed down to it.
struct ControlRecord {
  std::string text;
  std::vector<std::string> items;
  int selected = -1;
  bool enabled = true;
};

struct World {
  int screenWidth = 1024;
  int screenHeight = 768;
  // The monitors, primary first, in desktop coordinates; none means the
  // screen alone at (0, 0). The desktop's bounds: empty means the rectangle
  // holding every monitor.
  std::vector<Rect> monitors;
  Rect desktop;
  Point cursor;
  int cursorCount = 0;         // the system's cursor display count
  bool screenSaverRunning = false;
  bool passwordAnswer = true;  // what CheckSaverPassword answers
  int passwordChecks = 0;
  std::vector<std::string> drives{"/"};
  std::vector<std::string> messageBoxes;  // "title|message"
  std::vector<std::string> log;           // platform calls, in order
  long long nowMs = 0;     // the virtual clock: ui::Now and the timers
  bool surfacesSeen = true;  // what the forms' surfaces answer to Seen
  bool loopRan = false;
};

World& TheWorld();
// Resets the world and the application object's bookkeeping between tests.
void Reset();
// Advances the virtual clock, firing due timers in time order.
void AdvanceTime(int ms);
// Makes the form the active (foreground, focused) window, or not.
void SetActive(Form& form, bool active);
// Where the form's window was last placed with SetBounds (desktop coordinates).
Rect BoundsOf(const Form& form);
// The surface record of a form (created on demand).
SurfaceRecord& SurfaceOf(const Form& form);
// What the control shows.
const ControlRecord& Shown(const Control& control);
// The user picks the item at `index` of a list (any number, as a platform
// might report): the control's own record moves there, then the control
// hears of it.
void Choose(Control& control, int index);
// True when the timer is running on the virtual clock.
bool TimerRunning(const Timer& timer);

}  // namespace ui::headless
