// The preview mode's portable half: flags, pattern set-up, the pump loop.
#include "host/funcs_preview.h"

namespace funcs {

std::atomic<bool> PreviewMode{false};
std::atomic<bool> StopRequested{false};

void InitPreviewPattern(Gradient::PatternState& s) {
  Gradient::SeedRandomFromClock();
  s.Algorithm = Gradient::Random(12) + 1;
  s.Speed = kPreviewSpeed;
  Gradient::InitPattern(s, kPreviewColumns, kPreviewRows);
}

void PreviewPumpLoop(const std::function<void()>& invalidate, const std::function<void(int ms)>& sleep,
                     const std::function<void()>& finish) {
  do {
    invalidate();
    sleep(kPreviewFrameMs);
  } while (!StopRequested.load());
  finish();
}

}  // namespace funcs
