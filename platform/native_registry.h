// The current user's settings store on this platform (the registry on
// Windows, a .reg file under the user's configuration folder on Linux), and
// the platform's first-run wallpaper folder. Implemented once per platform.
#pragma once

#include <memory>
#include <string>

#include "settings/registry.h"

namespace Platform {

std::unique_ptr<Settings::RegistryBackend> MakeUserRegistry();

// "C:\Windows" on Windows; the user's home folder on Linux.
std::string DefaultWallpaperFolder();

}  // namespace Platform
