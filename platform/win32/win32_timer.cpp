// Timers as thread timers of the user-interface thread (SetTimer without a
// window): the message loop dispatches WM_TIMER to one callback, which finds
// the Timer by the id the system gave it.
#include <windows.h>

#include <map>

#include "platform/win32/win32_internal.h"

namespace ui {
namespace {

// Never destroyed: forms (and their timers) still stop their timers while the
// application object goes away at exit, after other statics are gone.
std::map<UINT_PTR, Timer*>& RunningTimers() {
  static auto* timers = new std::map<UINT_PTR, Timer*>;
  return *timers;
}

void CALLBACK TimerFired(HWND, UINT, UINT_PTR id, DWORD) {
  auto it = RunningTimers().find(id);
  if (it != RunningTimers().end()) it->second->NativeTick();
}

class Win32Timer : public NativeTimer {
 public:
  explicit Win32Timer(Timer& timer) : timer_(timer) {}
  ~Win32Timer() override { Stop(); }

  void Start(int intervalMs) override {
    Stop();
    id_ = SetTimer(nullptr, 0, static_cast<UINT>(intervalMs), TimerFired);
    if (id_) RunningTimers()[id_] = &timer_;
  }
  void Stop() override {
    if (!id_) return;
    KillTimer(nullptr, id_);
    RunningTimers().erase(id_);
    id_ = 0;
  }

 private:
  Timer& timer_;
  UINT_PTR id_ = 0;
};

}  // namespace

std::unique_ptr<NativeTimer> CreateNativeTimer(Timer& timer) { return std::make_unique<Win32Timer>(timer); }

}  // namespace ui
