// The preview mode's portable half: its flags, its pattern set-up and the
// pump thread's loop. The mode itself (modes_preview.cpp) runs them on the
// windowing layer's embedded GL window (platform/gl_window.h).
#pragma once

#include <atomic>
#include <functional>

#include "engine/gradient.h"

namespace funcs {

constexpr int kPreviewColumns = 100;
constexpr int kPreviewRows = 75;
constexpr int kPreviewSpeed = 25;
constexpr int kPreviewFrameMs = 40;  // the pump's period and the paint's pause

// True once the preview runs: its window then ignores mouse messages.
extern std::atomic<bool> PreviewMode;
// Set from the password check on a key press (main thread); the pump thread
// stops when it becomes true. The only value the two threads share.
extern std::atomic<bool> StopRequested;

// Seeds the generator from the clock, picks a random algorithm (1 to 12),
// speed 25, and sets up a 100 x 75 grid. The stored settings play no part.
void InitPreviewPattern(Gradient::PatternState& s);

// The pump thread's body: asks for a redraw, sleeps 40 ms, and repeats until
// StopRequested (tested after each sleep); then asks the window to end.
void PreviewPumpLoop(const std::function<void()>& invalidate, const std::function<void(int ms)>& sleep,
                     const std::function<void()>& finish);

}  // namespace funcs
