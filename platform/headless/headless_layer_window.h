// Test access to the headless layer-shell window: what the mode asked of it
// (the request, signals, release), what Open answers, the output names it
// reports, and a script of the events that Run reports, in order. Like the
// real window, after each event it paints every output whose frame the mode
// says is due on the virtual clock (ui::Now, headless.h); a Wait moves that
// clock on, a millisecond at a time, painting as it goes.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/layer_window.h"

namespace ui::headless {

struct LayerEvent {
  // Sized: the surface's (first) size, then a frame wanted, as a configure
  // does; Shown: the output's frame callback came; Wait: `a` milliseconds
  // pass; Ready: the watched descriptor `a` has input (its callback runs);
  // FullScreen: the output shows a full-screen window (`a` 1) or not (0).
  enum Kind { Sized, Shown, Wait, Gone, Key, Button, Pointer, Ready, FullScreen } kind = Shown;
  int output = 0;
  double a = 0, b = 0;  // the size, the pointer's position, or the time waited
  std::string name = "HEADLESS-1";  // the output's name (Sized)
};

struct LayerRecord {
  // Set by the test before the mode runs.
  LayerResult openResult = LayerResult::Opened;
  std::vector<std::string> outputNames;
  std::vector<LayerEvent> script;
  // Recorded.
  bool opened = false;
  LayerRequest request;
  int eventsPlayed = 0;
  std::map<int, int> paints;  // frames drawn, per output
  bool ran = false;
  bool endRequested = false;
  bool signalsInstalled = false;
  bool released = false;
  std::map<int, std::function<void()>> watched;  // descriptor: callback
};

LayerRecord& TheLayerWindow();
void ResetLayerWindow();

}  // namespace ui::headless
