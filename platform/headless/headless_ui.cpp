// The headless windowing layer used by the unit tests: windows, controls,
// timers and GL surfaces that only record what the forms asked of them, on a
// virtual clock that the tests advance.
#include <algorithm>
#include <map>

#include "platform/headless/headless.h"

namespace ui {
namespace headless {

namespace {

struct TimerEntry {
  Timer* timer;
  bool running = false;
  int interval = 0;
  long long due = 0;
};

std::vector<TimerEntry*>& Timers() {
  static std::vector<TimerEntry*> timers;
  return timers;
}

std::map<const Form*, SurfaceRecord>& Surfaces() {
  static std::map<const Form*, SurfaceRecord> surfaces;
  return surfaces;
}

NativeHandle NextHandle() {
  static NativeHandle next = 0x1000;
  return next += 0x10;
}

}  // namespace

World& TheWorld() {
  static World world;
  return world;
}

void Reset() {
  Application::Get().Reset();
  TheWorld() = World();
  Surfaces().clear();
}

void AdvanceTime(int ms) {
  const long long end = TheWorld().nowMs + ms;
  for (;;) {
    TimerEntry* next = nullptr;
    for (TimerEntry* t : Timers())
      if (t->running && t->due <= end && (!next || t->due < next->due)) next = t;
    if (!next) break;
    TheWorld().nowMs = next->due;
    next->due += std::max(next->interval, 1);
    next->timer->NativeTick();
  }
  TheWorld().nowMs = end;
}

SurfaceRecord& SurfaceOf(const Form& form) { return Surfaces()[&form]; }

}  // namespace headless

using headless::TheWorld;

namespace {

void Log(const std::string& entry) { TheWorld().log.push_back(entry); }

class HeadlessForm : public NativeForm {
 public:
  explicit HeadlessForm(Form& form) : form_(form), handle_(headless::NextHandle()) {
    width_ = form.Design().clientWidth;
    height_ = form.Design().clientHeight;
  }
  NativeHandle Handle() const override { return handle_; }
  void Show() override {
    visible_ = true;
    Log("Show " + form_.Design().caption);
  }
  void Hide() override {
    visible_ = false;
    Log("Hide " + form_.Design().caption);
  }
  bool Visible() const override { return visible_; }
  void Close() override { form_.NativeCloseRequest(); }
  void Destroy() override {
    visible_ = false;
    active_ = false;
    Log("Destroy " + form_.Design().caption);
  }
  void SetOuterSize(int width, int height) override {
    width_ = width;
    height_ = height;
    Log("SetOuterSize " + std::to_string(width) + "x" + std::to_string(height));
  }
  void SetBounds(const Rect& outer) override {
    bounds_ = outer;
    width_ = outer.width;
    height_ = outer.height;
    Log("SetBounds " + std::to_string(outer.left) + "," + std::to_string(outer.top) + " " +
        std::to_string(outer.width) + "x" + std::to_string(outer.height));
  }
  Rect Bounds() const { return bounds_; }
  void SetCaption(const std::string&) override {}
  int ClientWidth() const override { return width_; }
  int ClientHeight() const override { return height_; }
  bool Active() const override { return active_; }
  void SetActive(bool a) { active_ = a; }

 private:
  Form& form_;
  NativeHandle handle_;
  bool visible_ = false;
  bool active_ = false;
  int width_ = 0, height_ = 0;
  Rect bounds_;
};

class HeadlessControl : public NativeControl {
 public:
  void SetText(const std::string& text) override { record.text = text; }
  void SetItems(const std::vector<std::string>& items, int selected) override {
    record.items = items;
    record.selected = selected;
  }
  void SetEnabled(bool enabled) override { record.enabled = enabled; }
  headless::ControlRecord record;
};

class HeadlessTimer : public NativeTimer {
 public:
  explicit HeadlessTimer(Timer& timer) { entry_.timer = &timer; headless::Timers().push_back(&entry_); }
  ~HeadlessTimer() override {
    auto& all = headless::Timers();
    all.erase(std::remove(all.begin(), all.end(), &entry_), all.end());
  }
  void Start(int intervalMs) override {
    entry_.running = true;
    entry_.interval = intervalMs;
    entry_.due = TheWorld().nowMs + intervalMs;
  }
  void Stop() override { entry_.running = false; }
  const headless::TimerEntry& Entry() const { return entry_; }

 private:
  headless::TimerEntry entry_;
};

class HeadlessSurface : public NativeSurface {
 public:
  explicit HeadlessSurface(Form& form) : form_(form) {}
  void Create(const PixelFormat& format) override {
    auto& s = headless::SurfaceOf(form_);
    s.created = true;
    s.format = format;
    Log("Surface.Create depth=" + std::to_string(format.depthBits));
  }
  void Viewport(int x, int y, int w, int h) override {
    auto& s = headless::SurfaceOf(form_);
    s.viewportX = x;
    s.viewportY = y;
    s.viewportW = w;
    s.viewportH = h;
    s.viewports.push_back(Rect{x, y, w, h});
  }
  void Swap() override { ++headless::SurfaceOf(form_).swaps; }
  void Release() override {
    auto& s = headless::SurfaceOf(form_);
    if (s.created) Log("Surface.Release");
    s.created = false;
  }
  bool Created() const override { return headless::SurfaceOf(form_).created; }
  bool Seen() override { return TheWorld().surfacesSeen; }

 private:
  Form& form_;
};

}  // namespace

namespace headless {

void SetActive(Form& form, bool active) { static_cast<HeadlessForm&>(form.Native()).SetActive(active); }

Rect BoundsOf(const Form& form) { return static_cast<const HeadlessForm&>(form.Native()).Bounds(); }

const ControlRecord& Shown(const Control& control) {
  return static_cast<const HeadlessControl&>(control.Native()).record;
}

void Choose(Control& control, int index) {
  static_cast<HeadlessControl&>(control.Native()).record.selected = index;
  control.NativeItemChosen(index);
}

bool TimerRunning(const Timer& timer) {
  for (TimerEntry* t : Timers())
    if (t->timer == &timer) return t->running;
  return false;
}

}  // namespace headless

std::unique_ptr<NativeForm> CreateNativeForm(Form& form) { return std::make_unique<HeadlessForm>(form); }
std::unique_ptr<NativeControl> CreateNativeControl(Control&) { return std::make_unique<HeadlessControl>(); }
std::unique_ptr<NativeTimer> CreateNativeTimer(Timer& timer) { return std::make_unique<HeadlessTimer>(timer); }
std::unique_ptr<NativeSurface> CreateNativeSurface(Form& form, Rect) {
  return std::make_unique<HeadlessSurface>(form);
}

void PlatformInitialize() { Log("Initialize"); }
void PlatformRunLoop() { TheWorld().loopRan = true; }
void PlatformQuit() { Log("Terminate"); }
void PlatformMessageBox(const std::string& title, const std::string& message) {
  TheWorld().messageBoxes.push_back(title + "|" + message);
  Log("MessageBox " + message);
}

int ScreenWidth() { return TheWorld().screenWidth; }
int ScreenHeight() { return TheWorld().screenHeight; }

DesktopGeometry Desktop() {
  const headless::World& w = TheWorld();
  DesktopGeometry d;
  d.monitors = w.monitors;
  if (d.monitors.empty()) d.monitors.push_back(Rect{0, 0, w.screenWidth, w.screenHeight});
  d.bounds = w.desktop;
  if (d.bounds.width > 0 && d.bounds.height > 0) return d;
  int left = d.monitors[0].left, top = d.monitors[0].top, right = left, bottom = top;
  for (const Rect& m : d.monitors) {
    left = std::min(left, m.left);
    top = std::min(top, m.top);
    right = std::max(right, m.left + m.width);
    bottom = std::max(bottom, m.top + m.height);
  }
  d.bounds = Rect{left, top, right - left, bottom - top};
  return d;
}
std::chrono::steady_clock::time_point Now() {
  return std::chrono::steady_clock::time_point(std::chrono::milliseconds(TheWorld().nowMs));
}
Point CursorPos() { return TheWorld().cursor; }
int ShowCursor(bool show) {
  TheWorld().cursorCount += show ? 1 : -1;
  Log(show ? "ShowCursor(true)" : "ShowCursor(false)");
  return TheWorld().cursorCount;
}
void SetScreenSaverRunning(bool running) {
  TheWorld().screenSaverRunning = running;
  Log(running ? "ScreenSaverRunning(1)" : "ScreenSaverRunning(0)");
}
std::vector<std::string> ListDrives() { return TheWorld().drives; }
void ScaleDesignedWindowsBySystem() {}

}  // namespace ui
