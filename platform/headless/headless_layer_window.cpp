// The headless layer-shell window: records what the mode asks of it and, in
// Run, reports the events of the test's script until the script ends or the
// mode requested the end.
#include "platform/headless/headless_layer_window.h"

#include <atomic>

namespace ui {

namespace headless {

LayerRecord& TheLayerWindow() {
  static LayerRecord record;
  return record;
}

namespace {
std::atomic<int> invalidations{0};
}  // namespace

int LayerInvalidations() { return invalidations; }

void ResetLayerWindow() {
  TheLayerWindow() = LayerRecord();
  invalidations = 0;
}

}  // namespace headless

namespace {

using headless::LayerEvent;
using headless::TheLayerWindow;

class HeadlessLayerWindow : public LayerWindow {
 public:
  explicit HeadlessLayerWindow(LayerEvents& events) : events_(events) {}

  LayerResult Open(const LayerRequest& request) override {
    auto& r = TheLayerWindow();
    r.request = request;
    r.opened = r.openResult == LayerResult::Opened;
    return r.openResult;
  }
  std::vector<std::string> OutputNames() const override { return TheLayerWindow().outputNames; }
  void Run() override;
  void Invalidate() override { ++headless::invalidations; }
  void RequestEnd() override { TheLayerWindow().endRequested = true; }
  void EndOnTerminationSignals() override { TheLayerWindow().signalsInstalled = true; }
  void Release() override { TheLayerWindow().released = true; }

 private:
  LayerEvents& events_;
};

void HeadlessLayerWindow::Run() {
  auto& r = TheLayerWindow();
  r.ran = true;
  for (const LayerEvent& e : r.script) {
    if (r.endRequested) return;
    ++r.eventsPlayed;
    switch (e.kind) {
      case LayerEvent::Sized: events_.LayerSurfaceSized(e.output, e.name, int(e.a), int(e.b)); break;
      case LayerEvent::Paint: events_.LayerSurfacePaint(e.output); break;
      case LayerEvent::Gone: events_.LayerSurfaceGone(e.output); break;
      case LayerEvent::Key: events_.LayerKeyDown(); break;
      case LayerEvent::Button: events_.LayerButtonDown(); break;
      case LayerEvent::Pointer: events_.LayerPointerAt(e.a, e.b); break;
    }
  }
}

}  // namespace

std::unique_ptr<LayerWindow> CreateLayerWindow(LayerEvents& events) {
  return std::make_unique<HeadlessLayerWindow>(events);
}

}  // namespace ui
