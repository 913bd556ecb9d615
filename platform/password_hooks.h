// Password hooks: whether the saver may end now, and the password-change
// mode. On Windows they use the system's optional screen-saver password
// services; where there are none, the check answers true and the change does
// nothing. Implemented per platform (platform/win32, platform/linux).
#pragma once

#include "platform/native_handle.h"

// True when the saver may end (no password set, no service, or the user
// entered the password in the system's dialog owned by `owner`).
bool CheckSaverPassword(ui::NativeHandle owner);

// Opens the system's dialog for changing the screen-saver password and
// returns when it is closed, at once when the service is missing.
void ChangeSaverPassword(ui::NativeHandle owner);
