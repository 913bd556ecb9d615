// x87_check: status 0 where the x87 unit gives the processor's answers;
// otherwise status 1 and one line on stdout saying why (an emulator's x87).
// The comparisons of x87-path bytes between builds ask it first.
#include <cstdio>

#include "engine/gradient.h"
#include "tests/support/x87_check.h"

int main() {
  Gradient::SetupFloatingPoint();
  const std::string why = x87check::WhyNotTheProcessors();
  if (why.empty()) return 0;
  std::printf("%s\n", why.c_str());
  return 1;
}
