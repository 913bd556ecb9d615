// The headless embedded GL window: records what the mode asks of it and, in
// Run, reports the events of the test's script until the script ends, a
// Gone event has been reported or the mode requested the end.
#include "platform/headless/headless_gl_window.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/headless/headless.h"

namespace ui {

namespace headless {

GLWindowRecord& TheGLWindow() {
  static GLWindowRecord record;
  return record;
}

namespace {
std::atomic<int> invalidations{0};
}  // namespace

int GLWindowInvalidations() { return invalidations; }

void ResetGLWindow() {
  TheGLWindow() = GLWindowRecord();
  invalidations = 0;
}

}  // namespace headless

namespace {

using headless::TheGLWindow;

class HeadlessGLWindow : public GLWindow {
 public:
  explicit HeadlessGLWindow(GLWindowEvents& events) : events_(events) {}

  GLWindowResult Create(GLWindowPlace place, NativeHandle parent, const PixelFormat& format,
                        const char* title) override {
    auto& r = TheGLWindow();
    r.place = place;
    r.parent = parent;
    r.format = format;
    r.title = title ? title : "";
    r.created = r.createResult == GLWindowResult::Created;
    r.current = r.created;
    width_ = r.width;
    height_ = r.height;
    return r.createResult;
  }
  NativeHandle Handle() const override { return 0x4242; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void Swap() override { ++TheGLWindow().swaps; }
  void PauseAfterFrame(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  void Run() override;
  void Invalidate() override { ++headless::invalidations; }
  void InvalidateAt(std::chrono::steady_clock::time_point when) override { TheGLWindow().paintAt = when; }
  void RequestEnd() override { TheGLWindow().endRequested = true; }
  void EndOnTerminationSignals() override { TheGLWindow().signalsInstalled = true; }
  void Release() override {
    TheGLWindow().released = true;
    TheGLWindow().current = false;
  }
  void WatchReadable(int fd, std::function<void()> ready) override { TheGLWindow().watched[fd] = std::move(ready); }
  void StopWatching(int fd) override { TheGLWindow().watched.erase(fd); }

 private:
  void Paint() {
    ++TheGLWindow().paints;
    events_.GLWindowPaint();
  }
  void Wait(int ms);

  GLWindowEvents& events_;
  int width_ = 0, height_ = 0;
};

void HeadlessGLWindow::Wait(int ms) {
  auto& r = TheGLWindow();
  for (int i = 0; i < ms && !r.endRequested; ++i) {
    headless::AdvanceTime(1);
    if (!r.paintAt || *r.paintAt > Now()) continue;
    r.paintAt.reset();
    Paint();
  }
}

void HeadlessGLWindow::Run() {
  auto& r = TheGLWindow();
  r.ran = true;
  for (const headless::GLWindowEvent& e : r.script) {
    if (r.endRequested) return;
    ++r.eventsPlayed;
    switch (e.kind) {
      case headless::GLWindowEvent::Paint: Paint(); break;
      case headless::GLWindowEvent::Wait: Wait(e.a); break;
      case headless::GLWindowEvent::Key: events_.GLWindowKeyDown(e.a); break;
      case headless::GLWindowEvent::Resize:
        width_ = e.a;
        height_ = e.b;
        events_.GLWindowResized(e.a, e.b);
        break;
      case headless::GLWindowEvent::Gone: events_.GLWindowGone(); return;
      case headless::GLWindowEvent::Ready: {
        const auto watched = r.watched.find(e.a);
        if (watched != r.watched.end()) std::function<void()>(watched->second)();
        break;
      }
    }
  }
}

}  // namespace

std::unique_ptr<GLWindow> CreateGLWindow(GLWindowEvents& events) { return std::make_unique<HeadlessGLWindow>(events); }

bool EmbeddedModeAvailable() { return true; }

std::uint32_t ProcessId() { return 4242; }

}  // namespace ui
