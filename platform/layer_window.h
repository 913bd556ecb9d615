// The embedded GL window's layer-shell form (Wayland): one surface per output
// of the compositor on one of its layers, each with its own drawable, all on
// one GL context, made and dropped as outputs come and go. The modes that use
// it (the animated wallpaper --layer, the saver /s) are written once in host/;
// the platform only makes the compositor and EGL calls and reports outputs,
// frames and input back. A surface is drawn only when the compositor asks
// for its next frame (wl_surface.frame), so one that nothing shows (covered,
// on an output whose power is off) costs nothing; where the compositor lists
// its toplevels, it also tells which outputs show a full-screen window. One per process, driven
// from the main thread, except for the calls marked as safe from anywhere.
// Where the program is built without Wayland, Open answers NotBuilt.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

enum class Layer { Background, Bottom, Top, Overlay };

struct LayerRequest {
  Layer layer = Layer::Background;
  std::string output;  // the compositor's output name; empty: every output
  // The saver: the keyboard exclusively, the pointer hidden over the
  // surfaces, keys, buttons and pointer positions reported. Otherwise the
  // surfaces take no input at all.
  bool takesInput = false;
};

enum class LayerResult {
  Opened,        // connected; surfaces are made for the outputs wanted
  NoCompositor,  // no compositor to connect to
  NotBuilt,      // the program was built without Wayland
  NoLayerShell,  // the compositor lacks zwlr_layer_shell_v1
  NoSuchOutput,  // no output has the requested name (see OutputNames)
  Failed,        // EGL or GL could not be had
};

// What the surfaces report, on the main thread, from inside Run. Outputs are
// told apart by a number that is never used again in the process.
class LayerEvents {
 public:
  virtual ~LayerEvents() = default;
  // The output's surface got its size (first, or again after a change of
  // size or scale): width and height in buffer pixels. The context is
  // current on it. `name` is the output's, as the compositor calls it.
  virtual void LayerSurfaceSized(int output, const std::string& name, int width, int height) = 0;
  // The compositor will show the output's next frame: the last one was
  // shown (its frame callback came), or the surface is new or has a new
  // size. A surface that nothing shows is not asked.
  virtual void LayerSurfaceFrameWanted(int output) = 0;
  // When the output's next frame is to be drawn, on the clock of ui::Now:
  // LayerSurfacePaint follows then (at once for a time past). None: not
  // until the compositor wants one again.
  virtual std::optional<std::chrono::steady_clock::time_point> LayerSurfaceNextPaint(int output) = 0;
  // Draws the output's frame; the context is current on it, and the
  // platform then asks for the next frame callback and swaps, without
  // waiting for the compositor (one stalled output holds no other back).
  virtual void LayerSurfacePaint(int output) = 0;
  // The output (or its surface) went; its number is not reported again.
  virtual void LayerSurfaceGone(int output) = 0;
  // Whether the output shows a full-screen window now, where the compositor
  // tells (its foreign-toplevel list) and the layer is one that such a
  // window hides (FullScreenHides): reported when the answer changes, also
  // for an output whose surface is not sized yet. Frame callbacks may keep
  // coming meanwhile; the mode decides what to draw.
  virtual void LayerOutputUnderFullScreen(int /*output*/, bool /*underFullScreen*/) {}
  // Input, only where the request takes it.
  virtual void LayerKeyDown() {}
  virtual void LayerButtonDown() {}
  // The pointer over a surface, in the compositor's logical coordinates
  // (the output's position plus the place on it).
  virtual void LayerPointerAt(double /*x*/, double /*y*/) {}
};

class LayerWindow {
 public:
  virtual ~LayerWindow() = default;
  // Connects to the compositor of WAYLAND_DISPLAY, learns its outputs and
  // asks for a surface on each output wanted.
  virtual LayerResult Open(const LayerRequest& request) = 0;
  // The outputs' names, as the compositor reported them (for NoSuchOutput).
  virtual std::vector<std::string> OutputNames() const = 0;
  // Reports events and paints the surfaces whose time has come until the
  // compositor goes away or an end was requested.
  virtual void Run() = 0;
  // Asks Run to return. Safe from any thread and from a signal handler.
  virtual void RequestEnd() = 0;
  // From now on SIGTERM, SIGINT and SIGHUP request the end.
  virtual void EndOnTerminationSignals() = 0;
  // Watches a descriptor of the mode's own (a socket, a file watch, a bus
  // connection): `ready` runs on the main thread, from inside Run, whenever
  // it has input or hangs up; the surfaces' next paints are asked again after it.
  virtual void WatchReadable(int fd, std::function<void()> ready) = 0;
  virtual void StopWatching(int fd) = 0;
  // Surfaces, context and connection released.
  virtual void Release() = 0;
};

std::unique_ptr<LayerWindow> CreateLayerWindow(LayerEvents& events);

// A full-screen window is drawn above the background and bottom layers and
// below the top and overlay ones.
inline bool FullScreenHides(Layer layer) { return layer == Layer::Background || layer == Layer::Bottom; }

// The name of the layer for messages and options: background, bottom, top, overlay.
inline const char* LayerName(Layer layer) {
  switch (layer) {
    case Layer::Background: return "background";
    case Layer::Bottom: return "bottom";
    case Layer::Top: return "top";
    case Layer::Overlay: return "overlay";
  }
  return "background";
}

}  // namespace ui
