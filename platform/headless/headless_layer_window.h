// Test access to the headless layer-shell window: what the mode asked of it
// (the request, signals, release), what Open answers, the output names it
// reports, and a script of the events that Run reports, in order.
#pragma once

#include <string>
#include <vector>

#include "platform/layer_window.h"

namespace ui::headless {

struct LayerEvent {
  enum Kind { Sized, Paint, Gone, Key, Button, Pointer } kind = Paint;
  int output = 0;
  double a = 0, b = 0;  // the size, or the pointer's position
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
  bool ran = false;
  bool endRequested = false;
  bool signalsInstalled = false;
  bool released = false;
};

LayerRecord& TheLayerWindow();
// Invalidate is called from other threads: counted apart from the record.
int LayerInvalidations();
void ResetLayerWindow();

}  // namespace ui::headless
