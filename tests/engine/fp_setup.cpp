// The floating-point set-up that every main() of the program performs first,
// done here before GoogleTest's main runs.
#include "engine/gradient.h"

namespace {
const bool kFloatingPointReady = (Gradient::SetupFloatingPoint(), true);
}  // namespace
