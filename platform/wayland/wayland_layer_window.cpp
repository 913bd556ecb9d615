// The layer-shell window on a Wayland connection of its own: a wl_surface
// per output on zwlr_layer_shell_v1, anchored to all four edges, drawn
// through EGL at the output's real pixel size (set_buffer_scale with the
// output's integer scale). Outputs are bound as the registry announces them,
// named through wl_output 4 or xdg-output, and lose their surface when the
// registry removes them; LayerOutputs decides, this file only makes the calls.
// Each drawn frame asks for the surface's frame callback, and the next frame
// waits for it: the compositor sends none to a surface it does not show.
// Where the compositor lists its toplevels (zwlr_foreign_toplevel_manager_v1)
// and the layer is one a full-screen window hides, their states and outputs
// go to FullScreenOutputs, which decides which outputs show a full-screen
// window; the answers are reported by output. The event loop waits on the
// connection, the loop's wake-up (RequestEnd from signal handlers) and the
// time of the earliest frame due.
#include <poll.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "base/fullscreen_outputs.h"
#include "platform/layer_outputs.h"
#include "platform/layer_window.h"
#include "platform/linux/loop_wake.h"
#include "platform/wayland/egl_context.h"
#include "prismora-foreign-toplevel-client.h"
#include "prismora-layer-shell-client.h"
#include "xdg-output-unstable-v1-client.h"

namespace ui {

namespace {

constexpr uint32_t kAllEdges = ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                               ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT;

uint32_t ShellLayer(Layer l) {
  switch (l) {
    case Layer::Background: return ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND;
    case Layer::Bottom: return ZWLR_LAYER_SHELL_V1_LAYER_BOTTOM;
    case Layer::Top: return ZWLR_LAYER_SHELL_V1_LAYER_TOP;
    case Layer::Overlay: return ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY;
  }
  return ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND;
}

class WaylandLayerWindow;

// The Wayland objects of one output; the listeners find their way back to
// the window and the output's registry name through it.
struct OutputObjects {
  WaylandLayerWindow* window = nullptr;
  uint32_t global = 0;
  wl_output* output = nullptr;
  zxdg_output_v1* xdgOutput = nullptr;
  bool doneSeen = false;
  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layerSurface = nullptr;
  wl_egl_window* eglWindow = nullptr;
  EGLSurface eglSurface = EGL_NO_SURFACE;
  bool madeCurrent = false;
  bool cannotDraw = false;  // EGL refused the surface: not tried again until its next size
  wl_callback* frameCallback = nullptr;
};

using Clock = std::chrono::steady_clock;

class WaylandLayerWindow : public LayerWindow {
 public:
  explicit WaylandLayerWindow(LayerEvents& events) : events_(events) {}
  ~WaylandLayerWindow() override;

  LayerResult Open(const LayerRequest& request) override;
  std::vector<std::string> OutputNames() const override { return book_.Names(); }
  void Run() override;
  void RequestEnd() override { wake_.Wake(endRequested_); }
  void WatchReadable(int fd, std::function<void()> ready) override { wake_.Watch(fd, std::move(ready)); }
  void StopWatching(int fd) override { wake_.Unwatch(fd); }
  void EndOnTerminationSignals() override;
  void Release() override;

  // From the listeners.
  void Global(wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
  void GlobalRemoved(uint32_t name);
  void OutputName(OutputObjects& o, const char* name);
  void OutputScale(OutputObjects& o, int32_t scale);
  void OutputMode(OutputObjects& o, uint32_t flags, int32_t width, int32_t height);
  void OutputPosition(OutputObjects& o, int32_t x, int32_t y);
  void OutputDone(OutputObjects& o);
  void SurfaceConfigured(OutputObjects& o, uint32_t serial, uint32_t width, uint32_t height);
  void SurfaceClosed(OutputObjects& o);
  void FrameShown(OutputObjects& o);
  void SeatCapabilities(uint32_t capabilities);
  void PointerEntered(uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y);
  void PointerLeft() { pointerOutput_ = 0; }
  void PointerMoved(wl_fixed_t x, wl_fixed_t y);
  void ButtonPressed() { events_.LayerButtonDown(); }
  void KeyPressed() { events_.LayerKeyDown(); }
  void ToplevelCreated(zwlr_foreign_toplevel_handle_v1* handle);
  void ToplevelOnOutput(zwlr_foreign_toplevel_handle_v1* handle, wl_output* output, bool entered);
  void ToplevelStates(zwlr_foreign_toplevel_handle_v1* handle, const wl_array* states);
  void ToplevelDone(zwlr_foreign_toplevel_handle_v1* handle);
  void ToplevelClosed(zwlr_foreign_toplevel_handle_v1* handle);
  void ToplevelsFinished();

 private:
  OutputObjects* ObjectsOf(uint32_t global);
  void BindOutput(wl_registry* registry, uint32_t name, uint32_t version);
  void AskXdgOutput(OutputObjects& o);
  void BindToplevels(wl_registry* registry);
  void ReportFullScreen();
  void MakeSurface(OutputObjects& o);
  void DropSurface(OutputObjects& o, bool report);
  void ApplyBufferSize(OutputObjects& o, const LayerOutput& book);
  void Paint(OutputObjects& o, const LayerOutput& b);
  std::optional<Clock::time_point> PaintDue();
  bool WaitForEvents(std::optional<Clock::time_point> deadline);

  LayerEvents& events_;
  LayerRequest request_;
  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_compositor* compositor_ = nullptr;
  zwlr_layer_shell_v1* shell_ = nullptr;
  zxdg_output_manager_v1* xdgManager_ = nullptr;
  wl_seat* seat_ = nullptr;
  uint32_t seatGlobal_ = 0;
  wl_pointer* pointer_ = nullptr;
  wl_keyboard* keyboard_ = nullptr;
  uint32_t pointerOutput_ = 0;  // the registry name of the output under the pointer
  // The toplevel list: its global until bound (after the outputs, so that
  // the toplevels' first output_enter events name outputs already bound).
  zwlr_foreign_toplevel_manager_v1* toplevels_ = nullptr;
  uint32_t toplevelsGlobal_ = 0, toplevelsVersion_ = 0;
  bool outputsBound_ = false;
  std::set<zwlr_foreign_toplevel_handle_v1*> handles_;
  Toplevels::FullScreenOutputs fullScreen_;
  LayerOutputs book_;
  std::vector<std::unique_ptr<OutputObjects>> outputs_;
  egl::Context egl_;
  bool opened_ = false;
  bool eglOpened_ = false;
  bool gone_ = false;
  posix::LoopWake wake_;
  std::atomic<bool> endRequested_{false};
};

// ---- listeners: each hands its event to the window ----

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
  static_cast<WaylandLayerWindow*>(data)->Global(registry, name, interface, version);
}
void OnGlobalRemove(void* data, wl_registry*, uint32_t name) {
  static_cast<WaylandLayerWindow*>(data)->GlobalRemoved(name);
}
const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

OutputObjects& Objects(void* data) { return *static_cast<OutputObjects*>(data); }

void OnOutputGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                      int32_t) {}
void OnOutputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
  Objects(data).window->OutputMode(Objects(data), flags, width, height);
}
void OnOutputDone(void* data, wl_output*) { Objects(data).window->OutputDone(Objects(data)); }
void OnOutputScale(void* data, wl_output*, int32_t scale) { Objects(data).window->OutputScale(Objects(data), scale); }
void OnOutputName(void* data, wl_output*, const char* name) { Objects(data).window->OutputName(Objects(data), name); }
void OnOutputDescription(void*, wl_output*, const char*) {}
const wl_output_listener kOutputListener = {OnOutputGeometry, OnOutputMode,  OnOutputDone,
                                            OnOutputScale,    OnOutputName, OnOutputDescription};

void OnXdgPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y) {
  Objects(data).window->OutputPosition(Objects(data), x, y);
}
void OnXdgSize(void*, zxdg_output_v1*, int32_t, int32_t) {}
// Before xdg-output 3 the description ends with its own done event.
void OnXdgDone(void* data, zxdg_output_v1*) { Objects(data).window->OutputDone(Objects(data)); }
void OnXdgName(void* data, zxdg_output_v1*, const char* name) {
  Objects(data).window->OutputName(Objects(data), name);
}
void OnXdgDescription(void*, zxdg_output_v1*, const char*) {}
const zxdg_output_v1_listener kXdgOutputListener = {OnXdgPosition, OnXdgSize, OnXdgDone, OnXdgName,
                                                    OnXdgDescription};

void OnLayerConfigure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width, uint32_t height) {
  Objects(data).window->SurfaceConfigured(Objects(data), serial, width, height);
}
void OnLayerClosed(void* data, zwlr_layer_surface_v1*) { Objects(data).window->SurfaceClosed(Objects(data)); }
const zwlr_layer_surface_v1_listener kLayerSurfaceListener = {OnLayerConfigure, OnLayerClosed};

void OnFrameDone(void* data, wl_callback*, uint32_t) { Objects(data).window->FrameShown(Objects(data)); }
const wl_callback_listener kFrameListener = {OnFrameDone};

WaylandLayerWindow& Window(void* data) { return *static_cast<WaylandLayerWindow*>(data); }

void OnSeatCapabilities(void* data, wl_seat*, uint32_t capabilities) { Window(data).SeatCapabilities(capabilities); }
void OnSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener = {OnSeatCapabilities, OnSeatName};

void OnPointerEnter(void* data, wl_pointer*, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
  Window(data).PointerEntered(serial, surface, x, y);
}
void OnPointerLeave(void* data, wl_pointer*, uint32_t, wl_surface*) { Window(data).PointerLeft(); }
void OnPointerMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) { Window(data).PointerMoved(x, y); }
void OnPointerButton(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) {
  if (state == WL_POINTER_BUTTON_STATE_PRESSED) Window(data).ButtonPressed();
}
void OnPointerAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
void OnPointerFrame(void*, wl_pointer*) {}
void OnPointerAxisSource(void*, wl_pointer*, uint32_t) {}
void OnPointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void OnPointerAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
void OnPointerAxisValue120(void*, wl_pointer*, uint32_t, int32_t) {}
const wl_pointer_listener kPointerListener = {OnPointerEnter,      OnPointerLeave,    OnPointerMotion,
                                              OnPointerButton,     OnPointerAxis,     OnPointerFrame,
                                              OnPointerAxisSource, OnPointerAxisStop, OnPointerAxisDiscrete,
                                              OnPointerAxisValue120};

// The keymap is not needed (any key ends the saver), but its file is ours to close.
void OnKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); }
void OnKeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void OnKeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void OnKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state) {
  if (state == WL_KEYBOARD_KEY_STATE_PRESSED) Window(data).KeyPressed();
}
void OnModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void OnRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
const wl_keyboard_listener kKeyboardListener = {OnKeymap, OnKeyboardEnter, OnKeyboardLeave,
                                                OnKey,    OnModifiers,     OnRepeatInfo};

// The toplevel list: a handle's events go to the window with the handle.
void OnToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
  Window(data).ToplevelCreated(handle);
}
void OnToplevelsFinished(void* data, zwlr_foreign_toplevel_manager_v1*) { Window(data).ToplevelsFinished(); }
const zwlr_foreign_toplevel_manager_v1_listener kToplevelsListener = {OnToplevel, OnToplevelsFinished};

void OnToplevelTitle(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
void OnToplevelAppId(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
void OnToplevelEnter(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_output* output) {
  Window(data).ToplevelOnOutput(handle, output, true);
}
void OnToplevelLeave(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_output* output) {
  Window(data).ToplevelOnOutput(handle, output, false);
}
void OnToplevelState(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states) {
  Window(data).ToplevelStates(handle, states);
}
void OnToplevelDone(void* data, zwlr_foreign_toplevel_handle_v1* handle) { Window(data).ToplevelDone(handle); }
void OnToplevelClosed(void* data, zwlr_foreign_toplevel_handle_v1* handle) { Window(data).ToplevelClosed(handle); }
void OnToplevelParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}
const zwlr_foreign_toplevel_handle_v1_listener kToplevelListener = {
    OnToplevelTitle, OnToplevelAppId, OnToplevelEnter, OnToplevelLeave,
    OnToplevelState, OnToplevelDone,  OnToplevelClosed, OnToplevelParent};

// ---- the window ----

// libwayland looks for a relative socket name in XDG_RUNTIME_DIR and, when
// that is unset, prints a line of its own before failing: the one line of
// our message would be two.
bool SocketCanBeFound() {
  const char* socket = std::getenv("WAYLAND_SOCKET");  // a connection handed over
  if (socket && *socket) return true;
  const char* name = std::getenv("WAYLAND_DISPLAY");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return (name && name[0] == '/') || (runtime && *runtime);
}

WaylandLayerWindow::~WaylandLayerWindow() {
  Release();
}

void WaylandLayerWindow::Global(wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
  const std::string_view i = interface;
  auto bind = [&](const wl_interface* what, uint32_t highest) {
    return wl_registry_bind(registry, name, what, version < highest ? version : highest);
  };
  if (i == wl_compositor_interface.name && version >= 3)  // 3: set_buffer_scale
    compositor_ = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
  else if (i == zwlr_layer_shell_v1_interface.name)
    shell_ = static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 4));
  else if (i == zxdg_output_manager_v1_interface.name && version >= 2)  // 2: names
    xdgManager_ = static_cast<zxdg_output_manager_v1*>(bind(&zxdg_output_manager_v1_interface, 3));
  else if (i == wl_output_interface.name && version >= 2)  // 2: scale and done
    BindOutput(registry, name, version);
  else if (i == zwlr_foreign_toplevel_manager_v1_interface.name && version >= 2 &&  // 2: full screen
           FullScreenHides(request_.layer) && !toplevels_) {
    toplevelsGlobal_ = name;
    toplevelsVersion_ = version;
    if (outputsBound_) BindToplevels(registry);
  } else if (i == wl_seat_interface.name && !seat_ && request_.takesInput) {
    seat_ = static_cast<wl_seat*>(bind(&wl_seat_interface, 5));
    seatGlobal_ = name;
    wl_seat_add_listener(seat_, &kSeatListener, this);
  }
}

void WaylandLayerWindow::BindOutput(wl_registry* registry, uint32_t name, uint32_t version) {
  auto o = std::make_unique<OutputObjects>();
  o->window = this;
  o->global = name;
  o->output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, version < 4 ? version : 4));
  wl_output_add_listener(o->output, &kOutputListener, o.get());
  book_.Add(name);
  // Outputs announced before the xdg-output manager get theirs in Open.
  if (xdgManager_) AskXdgOutput(*o);
  outputs_.push_back(std::move(o));
}

void WaylandLayerWindow::AskXdgOutput(OutputObjects& o) {
  if (o.xdgOutput || !xdgManager_) return;
  o.xdgOutput = zxdg_output_manager_v1_get_xdg_output(xdgManager_, o.output);
  zxdg_output_v1_add_listener(o.xdgOutput, &kXdgOutputListener, &o);
}

OutputObjects* WaylandLayerWindow::ObjectsOf(uint32_t global) {
  for (auto& o : outputs_)
    if (o->global == global) return o.get();
  return nullptr;
}

void WaylandLayerWindow::GlobalRemoved(uint32_t name) {
  if (name == seatGlobal_ && seat_) {
    SeatCapabilities(0);
    wl_seat_destroy(seat_);
    seat_ = nullptr;
    return;
  }
  OutputObjects* o = ObjectsOf(name);
  if (!o) return;
  fullScreen_.OutputRemoved(name);
  DropSurface(*o, true);
  if (o->xdgOutput) zxdg_output_v1_destroy(o->xdgOutput);
  if (wl_output_get_version(o->output) >= 3)
    wl_output_release(o->output);
  else
    wl_output_destroy(o->output);
  if (pointerOutput_ == name) pointerOutput_ = 0;
  book_.Remove(name);
  std::erase_if(outputs_, [&](const std::unique_ptr<OutputObjects>& p) { return p->global == name; });
}

void WaylandLayerWindow::OutputName(OutputObjects& o, const char* name) {
  if (LayerOutput* b = book_.Find(o.global); b && name) b->name = name;
}

void WaylandLayerWindow::OutputScale(OutputObjects& o, int32_t scale) {
  if (LayerOutput* b = book_.Find(o.global)) LayerOutputs::SetScale(*b, scale);
}

void WaylandLayerWindow::OutputMode(OutputObjects& o, uint32_t flags, int32_t width, int32_t height) {
  LayerOutput* b = book_.Find(o.global);
  if (!b || !(flags & WL_OUTPUT_MODE_CURRENT)) return;
  b->modeWidth = width;
  b->modeHeight = height;
}

void WaylandLayerWindow::OutputPosition(OutputObjects& o, int32_t x, int32_t y) {
  if (LayerOutput* b = book_.Find(o.global)) {
    b->x = x;
    b->y = y;
  }
}

// The description is complete once the output's done came and, where
// xdg-output is there, its name too (it may follow the first done).
void WaylandLayerWindow::OutputDone(OutputObjects& o) {
  LayerOutput* b = book_.Find(o.global);
  if (!b) return;
  o.doneSeen = true;
  if (!b->name.empty() || !xdgManager_) b->described = true;
  if (!opened_) return;  // Open makes the first surfaces
  if (book_.NeedsSurface(*b))
    MakeSurface(o);
  else if (b->hasSurface && LayerOutputs::Rescale(*b))
    ApplyBufferSize(o, *b);
}

LayerResult WaylandLayerWindow::Open(const LayerRequest& request) {
  request_ = request;
  book_ = LayerOutputs(request.output);
  if (!SocketCanBeFound()) return LayerResult::NoCompositor;
  display_ = wl_display_connect(nullptr);
  if (!display_) return LayerResult::NoCompositor;
  registry_ = wl_display_get_registry(display_);
  wl_registry_add_listener(registry_, &kRegistryListener, this);
  if (wl_display_roundtrip(display_) < 0) return LayerResult::NoCompositor;
  if (!shell_ || !compositor_) return LayerResult::NoLayerShell;
  for (auto& o : outputs_) AskXdgOutput(*o);
  outputsBound_ = true;
  BindToplevels(registry_);
  // Two round trips: the outputs' descriptions, then what followed them.
  if (wl_display_roundtrip(display_) < 0 || wl_display_roundtrip(display_) < 0) return LayerResult::NoCompositor;
  for (auto& o : outputs_)
    if (LayerOutput* b = book_.Find(o->global); b && o->doneSeen) b->described = true;
  if (!request.output.empty() && !book_.AnyWanted()) return LayerResult::NoSuchOutput;
  eglOpened_ = true;  // also when it fails: it may have initialised a display
  if (!egl::Open(display_, egl_)) return LayerResult::Failed;
  opened_ = true;
  for (auto& o : outputs_)
    if (const LayerOutput* b = book_.Find(o->global); b && book_.NeedsSurface(*b)) MakeSurface(*o);
  return LayerResult::Opened;
}

// A surface covering the output on the layer asked for. Without input, an
// empty input region sends the pointer through to what lies below.
void WaylandLayerWindow::MakeSurface(OutputObjects& o) {
  LayerOutput* b = book_.Find(o.global);
  if (!b) return;
  b->hasSurface = true;
  o.surface = wl_compositor_create_surface(compositor_);
  if (!request_.takesInput) {
    wl_region* none = wl_compositor_create_region(compositor_);
    wl_surface_set_input_region(o.surface, none);
    wl_region_destroy(none);
  }
  o.layerSurface =
      zwlr_layer_shell_v1_get_layer_surface(shell_, o.surface, o.output, ShellLayer(request_.layer), "prismora");
  zwlr_layer_surface_v1_set_size(o.layerSurface, 0, 0);
  zwlr_layer_surface_v1_set_anchor(o.layerSurface, kAllEdges);
  zwlr_layer_surface_v1_set_exclusive_zone(o.layerSurface, -1);
  zwlr_layer_surface_v1_set_keyboard_interactivity(o.layerSurface, request_.takesInput ? 1 : 0);
  zwlr_layer_surface_v1_add_listener(o.layerSurface, &kLayerSurfaceListener, &o);
  wl_surface_commit(o.surface);  // the first configure answers this commit
}

void WaylandLayerWindow::SurfaceConfigured(OutputObjects& o, uint32_t serial, uint32_t width, uint32_t height) {
  zwlr_layer_surface_v1_ack_configure(o.layerSurface, serial);
  LayerOutput* b = book_.Find(o.global);
  if (!b) return;
  if (LayerOutputs::Configure(*b, width, height) || o.eglSurface == EGL_NO_SURFACE) ApplyBufferSize(o, *b);
  // Every configure is answered by a commit with a buffer.
  if (o.eglSurface != EGL_NO_SURFACE) events_.LayerSurfaceFrameWanted(b->number);
}

// The compositor showed the frame: the next one may follow.
void WaylandLayerWindow::FrameShown(OutputObjects& o) {
  if (o.frameCallback) wl_callback_destroy(o.frameCallback);
  o.frameCallback = nullptr;
  if (const LayerOutput* b = book_.Find(o.global)) events_.LayerSurfaceFrameWanted(b->number);
}

// The drawable at the buffer's size and the surface's buffer scale, both
// taking effect with the next swap's commit; the opaque region lets the
// compositor skip what lies below.
void WaylandLayerWindow::ApplyBufferSize(OutputObjects& o, const LayerOutput& b) {
  if (!o.eglWindow) {
    o.eglWindow = wl_egl_window_create(o.surface, b.buffer.width, b.buffer.height);
    o.eglSurface = o.eglWindow ? egl::MakeSurface(egl_, o.eglWindow) : EGL_NO_SURFACE;
    o.madeCurrent = false;
  } else {
    wl_egl_window_resize(o.eglWindow, b.buffer.width, b.buffer.height, 0, 0);
  }
  wl_surface_set_buffer_scale(o.surface, b.buffer.scale);
  wl_region* opaque = wl_compositor_create_region(compositor_);
  wl_region_add(opaque, 0, 0, b.width, b.height);
  wl_surface_set_opaque_region(o.surface, opaque);
  wl_region_destroy(opaque);
  if (o.eglSurface == EGL_NO_SURFACE || !egl::MakeCurrent(egl_, o.eglSurface, !o.madeCurrent)) return;
  o.madeCurrent = true;
  o.cannotDraw = false;
  events_.LayerSurfaceSized(b.number, b.name, b.buffer.width, b.buffer.height);
}

void WaylandLayerWindow::SurfaceClosed(OutputObjects& o) {
  if (LayerOutput* b = book_.Find(o.global)) b->closed = true;
  DropSurface(o, true);
}

void WaylandLayerWindow::DropSurface(OutputObjects& o, bool report) {
  LayerOutput* b = book_.Find(o.global);
  const bool had = o.surface != nullptr;
  if (o.frameCallback) wl_callback_destroy(o.frameCallback);
  o.frameCallback = nullptr;
  if (o.eglSurface != EGL_NO_SURFACE) egl::DestroySurface(egl_, o.eglSurface);
  if (o.eglWindow) wl_egl_window_destroy(o.eglWindow);
  if (o.layerSurface) zwlr_layer_surface_v1_destroy(o.layerSurface);
  if (o.surface) wl_surface_destroy(o.surface);
  o.eglSurface = EGL_NO_SURFACE;
  o.eglWindow = nullptr;
  o.layerSurface = nullptr;
  o.surface = nullptr;
  if (b) b->hasSurface = false;
  if (had && report && b) events_.LayerSurfaceGone(b->number);
}

void WaylandLayerWindow::BindToplevels(wl_registry* registry) {
  if (toplevels_ || !toplevelsGlobal_) return;
  const uint32_t version = toplevelsVersion_ < 3 ? toplevelsVersion_ : 3;
  toplevels_ = static_cast<zwlr_foreign_toplevel_manager_v1*>(
      wl_registry_bind(registry, toplevelsGlobal_, &zwlr_foreign_toplevel_manager_v1_interface, version));
  zwlr_foreign_toplevel_manager_v1_add_listener(toplevels_, &kToplevelsListener, this);
}

Toplevels::ToplevelId IdOf(zwlr_foreign_toplevel_handle_v1* handle) {
  return reinterpret_cast<uintptr_t>(handle);
}

void WaylandLayerWindow::ToplevelCreated(zwlr_foreign_toplevel_handle_v1* handle) {
  handles_.insert(handle);
  zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kToplevelListener, this);
  fullScreen_.Created(IdOf(handle));
}

// An output that went before the event was read arrives as null.
void WaylandLayerWindow::ToplevelOnOutput(zwlr_foreign_toplevel_handle_v1* handle, wl_output* output, bool entered) {
  if (!output) return;
  for (auto& o : outputs_) {
    if (o->output != output) continue;
    if (entered)
      fullScreen_.Entered(IdOf(handle), o->global);
    else
      fullScreen_.Left(IdOf(handle), o->global);
  }
}

void WaylandLayerWindow::ToplevelStates(zwlr_foreign_toplevel_handle_v1* handle, const wl_array* states) {
  std::vector<uint32_t> values(states->size / sizeof(uint32_t));
  if (!values.empty()) std::memcpy(values.data(), states->data, values.size() * sizeof(uint32_t));
  fullScreen_.States(IdOf(handle), values);
}

void WaylandLayerWindow::ToplevelDone(zwlr_foreign_toplevel_handle_v1* handle) {
  fullScreen_.Done(IdOf(handle));
  ReportFullScreen();
}

void WaylandLayerWindow::ToplevelClosed(zwlr_foreign_toplevel_handle_v1* handle) {
  fullScreen_.Closed(IdOf(handle));
  handles_.erase(handle);
  zwlr_foreign_toplevel_handle_v1_destroy(handle);
  ReportFullScreen();
}

// The list's object is gone; the toplevels already told go on reporting.
void WaylandLayerWindow::ToplevelsFinished() {
  if (toplevels_) zwlr_foreign_toplevel_manager_v1_destroy(toplevels_);
  toplevels_ = nullptr;
}

void WaylandLayerWindow::ReportFullScreen() {
  for (const auto& [global, under] : fullScreen_.TakeChanges())
    if (const LayerOutput* b = book_.Find(global)) events_.LayerOutputUnderFullScreen(b->number, under);
}

void WaylandLayerWindow::SeatCapabilities(uint32_t capabilities) {
  const bool pointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
  const bool keyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
  if (pointer && !pointer_) {
    pointer_ = wl_seat_get_pointer(seat_);
    wl_pointer_add_listener(pointer_, &kPointerListener, this);
  } else if (!pointer && pointer_) {
    if (wl_pointer_get_version(pointer_) >= 3) wl_pointer_release(pointer_);
    else wl_pointer_destroy(pointer_);
    pointer_ = nullptr;
    pointerOutput_ = 0;
  }
  if (keyboard && !keyboard_) {
    keyboard_ = wl_seat_get_keyboard(seat_);
    wl_keyboard_add_listener(keyboard_, &kKeyboardListener, this);
  } else if (!keyboard && keyboard_) {
    if (wl_keyboard_get_version(keyboard_) >= 3) wl_keyboard_release(keyboard_);
    else wl_keyboard_destroy(keyboard_);
    keyboard_ = nullptr;
  }
}

// The pointer is hidden over our surfaces: a null cursor surface.
void WaylandLayerWindow::PointerEntered(uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
  wl_pointer_set_cursor(pointer_, serial, nullptr, 0, 0);
  pointerOutput_ = 0;
  for (auto& o : outputs_)
    if (o->surface && o->surface == surface) pointerOutput_ = o->global;
  PointerMoved(x, y);
}

void WaylandLayerWindow::PointerMoved(wl_fixed_t x, wl_fixed_t y) {
  const LayerOutput* b = pointerOutput_ ? book_.Find(pointerOutput_) : nullptr;
  if (!b) return;
  events_.LayerPointerAt(b->x + wl_fixed_to_double(x), b->y + wl_fixed_to_double(y));
}

// The frame callback is asked for before the swap, whose commit carries it.
void WaylandLayerWindow::Paint(OutputObjects& o, const LayerOutput& b) {
  if (!egl::MakeCurrent(egl_, o.eglSurface, !o.madeCurrent)) {
    o.cannotDraw = true;  // asking again at once would spin
    return;
  }
  o.madeCurrent = true;
  events_.LayerSurfacePaint(b.number);
  if (!o.frameCallback) {
    o.frameCallback = wl_surface_frame(o.surface);
    wl_callback_add_listener(o.frameCallback, &kFrameListener, &o);
  }
  if (!egl::Swap(egl_, o.eglSurface)) gone_ = wl_display_get_error(display_) != 0;
}

// Paints every surface whose frame is due; returns when the next one that
// waits only for its time is due (none: every surface waits for the compositor).
std::optional<Clock::time_point> WaylandLayerWindow::PaintDue() {
  std::optional<Clock::time_point> next;
  // Index, not iterator: a swap dispatches events that may drop an output.
  for (size_t i = 0; i < outputs_.size() && !gone_ && !endRequested_; ++i) {
    OutputObjects& o = *outputs_[i];
    const LayerOutput* b = book_.Find(o.global);
    if (!b || o.eglSurface == EGL_NO_SURFACE || o.cannotDraw) continue;
    const std::optional<Clock::time_point> at = events_.LayerSurfaceNextPaint(b->number);
    if (!at) continue;
    if (*at <= Clock::now())
      Paint(o, *b);
    else if (!next || *at < *next)
      next = at;
  }
  return next;
}

// One wait for the compositor, a wake-up or the deadline, then the
// compositor's events read. False when the connection is gone.
bool WaylandLayerWindow::WaitForEvents(std::optional<Clock::time_point> deadline) {
  while (wl_display_prepare_read(display_) != 0)
    if (wl_display_dispatch_pending(display_) < 0) return false;
  if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
    wl_display_cancel_read(display_);
    return false;
  }
  const int events = wake_.Wait(wl_display_get_fd(display_), deadline);
  if (events < 0) {
    wl_display_cancel_read(display_);
    return false;
  }
  if (events & (POLLIN | POLLHUP | POLLERR)) {
    if (wl_display_read_events(display_) < 0) return false;
  } else {
    wl_display_cancel_read(display_);
  }
  return wl_display_dispatch_pending(display_) >= 0;
}

void WaylandLayerWindow::Run() {
  if (!display_ || !opened_) return;
  while (!gone_ && !endRequested_) {
    const std::optional<Clock::time_point> next = PaintDue();
    if (gone_ || endRequested_) break;
    if (!WaitForEvents(next)) gone_ = true;
    wake_.RunReady();
  }
}

void WaylandLayerWindow::EndOnTerminationSignals() {
  wake_.EndOnTerminationSignals(endRequested_);
  // A compositor that goes away closes the socket: writing to it must fail,
  // not end the process.
  signal(SIGPIPE, SIG_IGN);
}

void WaylandLayerWindow::Release() {
  if (!display_) return;
  for (auto& o : outputs_) {
    DropSurface(*o, false);
    if (o->xdgOutput) zxdg_output_v1_destroy(o->xdgOutput);
    wl_output_destroy(o->output);
  }
  outputs_.clear();
  for (zwlr_foreign_toplevel_handle_v1* handle : handles_) zwlr_foreign_toplevel_handle_v1_destroy(handle);
  handles_.clear();
  if (toplevels_) {
    zwlr_foreign_toplevel_manager_v1_stop(toplevels_);
    zwlr_foreign_toplevel_manager_v1_destroy(toplevels_);
    toplevels_ = nullptr;
  }
  egl::Close(egl_);
  if (pointer_) wl_pointer_destroy(pointer_);
  if (keyboard_) wl_keyboard_destroy(keyboard_);
  if (seat_) wl_seat_destroy(seat_);
  if (xdgManager_) zxdg_output_manager_v1_destroy(xdgManager_);
  // The shell's destroy request exists from version 3; before, the proxy
  // only goes on our side.
  if (shell_ && zwlr_layer_shell_v1_get_version(shell_) >= 3)
    zwlr_layer_shell_v1_destroy(shell_);
  else if (shell_)
    wl_proxy_destroy(reinterpret_cast<wl_proxy*>(shell_));
  if (compositor_) wl_compositor_destroy(compositor_);
  if (registry_) wl_registry_destroy(registry_);
  pointer_ = nullptr;
  keyboard_ = nullptr;
  seat_ = nullptr;
  xdgManager_ = nullptr;
  shell_ = nullptr;
  compositor_ = nullptr;
  registry_ = nullptr;
  wl_display_flush(display_);
  // Once EGL has used the connection it stays open until the process ends,
  // which follows at once: EGL's display (see egl::Close) still refers to it.
  if (!eglOpened_) wl_display_disconnect(display_);
  display_ = nullptr;
  opened_ = false;
}

}  // namespace

std::unique_ptr<LayerWindow> CreateLayerWindow(LayerEvents& events) {
  return std::make_unique<WaylandLayerWindow>(events);
}

}  // namespace ui
