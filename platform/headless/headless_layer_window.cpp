// The headless layer-shell window: records what the mode asks of it and, in
// Run, reports the events of the test's script until the script ends or the
// mode requested the end, painting the outputs whose frames are due.
#include "platform/headless/headless_layer_window.h"

#include <set>

#include "platform/headless/headless.h"

namespace ui {

namespace headless {

LayerRecord& TheLayerWindow() {
  static LayerRecord record;
  return record;
}

void ResetLayerWindow() { TheLayerWindow() = LayerRecord(); }

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
  void RequestEnd() override { TheLayerWindow().endRequested = true; }
  void EndOnTerminationSignals() override { TheLayerWindow().signalsInstalled = true; }
  void Release() override { TheLayerWindow().released = true; }
  void WatchReadable(int fd, std::function<void()> ready) override { TheLayerWindow().watched[fd] = std::move(ready); }
  void StopWatching(int fd) override { TheLayerWindow().watched.erase(fd); }

 private:
  void Play(const LayerEvent& e);
  void PaintDue();

  LayerEvents& events_;
  std::set<int> outputs_;
};

void HeadlessLayerWindow::PaintDue() {
  for (int output : std::set<int>(outputs_)) {
    if (TheLayerWindow().endRequested) return;
    const auto at = events_.LayerSurfaceNextPaint(output);
    if (!at || *at > Now()) continue;
    events_.LayerSurfacePaint(output);
    ++TheLayerWindow().paints[output];
  }
}

void HeadlessLayerWindow::Play(const LayerEvent& e) {
  switch (e.kind) {
    case LayerEvent::Sized:
      outputs_.insert(e.output);
      events_.LayerSurfaceSized(e.output, e.name, int(e.a), int(e.b));
      events_.LayerSurfaceFrameWanted(e.output);
      break;
    case LayerEvent::Shown: events_.LayerSurfaceFrameWanted(e.output); break;
    case LayerEvent::Wait:
      for (int ms = 0; ms < int(e.a); ++ms) {
        headless::AdvanceTime(1);
        PaintDue();
      }
      break;
    case LayerEvent::Gone:
      outputs_.erase(e.output);
      events_.LayerSurfaceGone(e.output);
      break;
    case LayerEvent::FullScreen: events_.LayerOutputUnderFullScreen(e.output, e.a != 0); break;
    case LayerEvent::Key: events_.LayerKeyDown(); break;
    case LayerEvent::Button: events_.LayerButtonDown(); break;
    case LayerEvent::Pointer: events_.LayerPointerAt(e.a, e.b); break;
    case LayerEvent::Ready: {
      const auto watched = TheLayerWindow().watched.find(int(e.a));
      if (watched != TheLayerWindow().watched.end()) std::function<void()>(watched->second)();
      break;
    }
  }
}

void HeadlessLayerWindow::Run() {
  auto& r = TheLayerWindow();
  r.ran = true;
  for (const LayerEvent& e : r.script) {
    if (r.endRequested) return;
    ++r.eventsPlayed;
    Play(e);
    PaintDue();
  }
}

}  // namespace

std::unique_ptr<LayerWindow> CreateLayerWindow(LayerEvents& events) {
  return std::make_unique<HeadlessLayerWindow>(events);
}

}  // namespace ui
