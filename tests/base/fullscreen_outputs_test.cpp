// Outputs under a full-screen window, on sequences of toplevel events as a
// compositor sends them: one of two outputs covered, a window moved across,
// left full screen, minimized, out of focus, closed; an output unplugged;
// changes that count only once the toplevel's done came.
#include "base/fullscreen_outputs.h"

#include <gtest/gtest.h>

namespace {

using Toplevels::FullScreenOutputs;
using Toplevels::State;
using Changes = std::vector<std::pair<Toplevels::OutputId, bool>>;

constexpr uint32_t kFull = uint32_t(State::FullScreen), kFocus = uint32_t(State::Activated),
                   kMin = uint32_t(State::Minimized), kMax = uint32_t(State::Maximized);
constexpr Toplevels::OutputId kLeft = 31, kRight = 32;

// A window announced as compositors do: created, its states and output, done.
void Announce(FullScreenOutputs& f, Toplevels::ToplevelId t, std::vector<uint32_t> states,
              Toplevels::OutputId output) {
  f.Created(t);
  f.States(t, states);
  f.Entered(t, output);
  f.Done(t);
}

TEST(FullScreenOutputs, AFullScreenWindowCoversItsOutputOnlyAndOnlyFromItsDone) {
  FullScreenOutputs f;
  Announce(f, 1, {kFocus}, kLeft);           // an ordinary window
  Announce(f, 2, {kMax}, kRight);            // maximized is not full screen
  EXPECT_EQ(f.TakeChanges(), Changes{});
  f.States(1, {kFocus, kFull});
  EXPECT_FALSE(f.Covers(kLeft));             // pending until done
  EXPECT_EQ(f.TakeChanges(), Changes{});
  f.Done(1);
  EXPECT_TRUE(f.Covers(kLeft));
  EXPECT_FALSE(f.Covers(kRight));
  EXPECT_EQ(f.TakeChanges(), (Changes{{kLeft, true}}));
  EXPECT_EQ(f.TakeChanges(), Changes{});     // told once
  f.States(1, {kFocus});                     // back to a window
  f.Done(1);
  EXPECT_EQ(f.TakeChanges(), (Changes{{kLeft, false}}));
}

TEST(FullScreenOutputs, MovedToTheOtherOutputTheCoverMovesAtItsDoneAndAcrossBothItCoversBoth) {
  FullScreenOutputs f;
  Announce(f, 7, {kFull, kFocus}, kLeft);
  EXPECT_EQ(f.TakeChanges(), (Changes{{kLeft, true}}));
  f.Left(7, kLeft);
  EXPECT_TRUE(f.Covers(kLeft));              // the leave waits for done too
  f.Entered(7, kRight);
  f.Done(7);
  EXPECT_EQ(f.TakeChanges(), (Changes{{kLeft, false}, {kRight, true}}));
  f.Entered(7, kLeft);                       // across both (a global full screen)
  f.Done(7);
  EXPECT_TRUE(f.Covers(kLeft) && f.Covers(kRight));
  EXPECT_EQ(f.TakeChanges(), (Changes{{kLeft, true}}));
  // An output entered twice and left once is left.
  f.Entered(7, kLeft);
  f.Left(7, kLeft);
  f.Done(7);
  EXPECT_EQ(f.TakeChanges(), (Changes{{kLeft, false}}));
}

TEST(FullScreenOutputs, MinimizedOrWithoutTheFocusAFullScreenWindowCoversNothing) {
  FullScreenOutputs f;
  Announce(f, 1, {kFull, kFocus, kMin}, kLeft);  // full screen but minimized: not shown
  EXPECT_FALSE(f.Covers(kLeft));
  f.States(1, {kFull, kFocus});
  f.Done(1);
  EXPECT_EQ(f.TakeChanges(), (Changes{{kLeft, true}}));
  // Another workspace shown on that output: the focus goes to it, and the
  // compositor still says the window is on the output.
  f.States(1, {kFull});
  f.Done(1);
  EXPECT_EQ(f.TakeChanges(), (Changes{{kLeft, false}}));
  // Two full-screen windows, one on each output; the focus passes between them.
  Announce(f, 2, {kFull}, kRight);
  EXPECT_EQ(f.TakeChanges(), Changes{});
  f.States(2, {kFull, kFocus});
  f.Done(2);
  EXPECT_EQ(f.TakeChanges(), (Changes{{kRight, true}}));
  f.States(2, {kFull});
  f.Done(2);
  f.States(1, {kFocus, kFull});
  f.Done(1);
  EXPECT_EQ(f.TakeChanges(), (Changes{{kLeft, true}, {kRight, false}}));
  // States this does not know are skipped, not taken for full screen.
  f.States(2, {kFocus, 17, 0xffffffffu});
  f.Done(2);
  EXPECT_FALSE(f.Covers(kRight));
}

TEST(FullScreenOutputs, AClosedWindowAndAnUnpluggedOutputCountAtOnce) {
  FullScreenOutputs f;
  Announce(f, 1, {kFull, kFocus}, kLeft);
  Announce(f, 2, {kFull, kFocus}, kRight);
  EXPECT_EQ(f.TakeChanges(), (Changes{{kLeft, true}, {kRight, true}}));
  f.States(1, {});                           // pending when it closes: dropped with it
  f.Closed(1);
  EXPECT_EQ(f.Count(), 1u);
  EXPECT_EQ(f.TakeChanges(), (Changes{{kLeft, false}}));
  // Events after the close, or for a toplevel never announced, change nothing.
  f.Entered(1, kLeft);
  f.States(1, {kFull, kFocus});
  f.Done(1);
  f.Done(99);
  EXPECT_FALSE(f.Covers(kLeft));
  EXPECT_EQ(f.Count(), 1u);
  // The right output unplugged: not reported again, and the window that was
  // on it covers nothing until it enters another.
  f.OutputRemoved(kRight);
  EXPECT_FALSE(f.Covers(kRight));
  EXPECT_EQ(f.TakeChanges(), Changes{});
  f.Entered(2, kLeft);
  f.Done(2);
  EXPECT_EQ(f.TakeChanges(), (Changes{{kLeft, true}}));
  // An output removed while an enter was pending is not entered at done.
  f.Entered(2, kRight);
  f.OutputRemoved(kRight);
  f.Done(2);
  EXPECT_FALSE(f.Covers(kRight));
}

}  // namespace
