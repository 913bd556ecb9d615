// A fresh, empty settings backend per test: memory, or the platform's own
// store in a scratch place (a temporary .reg file on Linux, a scratch key
// under HKEY_CURRENT_USER on Windows), removed again afterwards.
#pragma once

#include <memory>
#include <string>

#include "settings/registry.h"

class ScratchStore {
 public:
  virtual ~ScratchStore() = default;
  virtual Settings::RegistryBackend& backend() = 0;
};

std::unique_ptr<ScratchStore> MakeMemoryScratchStore();
std::unique_ptr<ScratchStore> MakeNativeScratchStore();  // per platform
