// The password hooks on the headless layer: the check answers what the test
// set in the world, counts the calls and logs them among the platform calls.
#include "platform/password_hooks.h"

#include "platform/headless/headless.h"

bool CheckSaverPassword(ui::NativeHandle /*owner*/) {
  ui::headless::World& world = ui::headless::TheWorld();
  ++world.passwordChecks;
  world.log.push_back("CheckSaverPassword");
  return world.passwordAnswer;
}

void ChangeSaverPassword(ui::NativeHandle /*owner*/) {
  ui::headless::TheWorld().log.push_back("ChangeSaverPassword");
}
