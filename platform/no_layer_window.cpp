// The layer-shell window where the program is built without Wayland (Windows,
// or a Linux build machine without its development files): there is never a
// compositor to connect to, so the modes take their X11 form or say so.
#include "platform/layer_window.h"

namespace ui {

namespace {

class NoLayerWindow : public LayerWindow {
 public:
  LayerResult Open(const LayerRequest&) override { return LayerResult::NotBuilt; }
  std::vector<std::string> OutputNames() const override { return {}; }
  void Run() override {}
  void RequestEnd() override {}
  void EndOnTerminationSignals() override {}
  void Release() override {}
  void WatchReadable(int, std::function<void()>) override {}
  void StopWatching(int) override {}
};

}  // namespace

std::unique_ptr<LayerWindow> CreateLayerWindow(LayerEvents&) { return std::make_unique<NoLayerWindow>(); }

}  // namespace ui
