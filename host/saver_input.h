// The input rule of a running saver, the window's (TForm1) and the layer
// shell's alike: a key ends it, and so does the pointer moving more than
// kMouseTolerance pixels along either axis from where it stood (for TForm1
// the cursor's position at the start, on the layers where it first entered).
#pragma once

constexpr int kMouseTolerance = 15;
