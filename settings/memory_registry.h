// MemoryRegistry: a registry backend held in memory, for tests. Keys and value
// names compare without regard to ASCII case, as in the Windows registry. It
// records every query and write, and can be told to refuse creation, all
// writes or the writes of one value.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "settings/registry.h"

namespace Settings {

struct CaseInsensitiveLess {
  bool operator()(const std::string& a, const std::string& b) const;
};

class MemoryRegistry : public RegistryBackend {
 public:
  using Values = std::map<std::string, RegistryValue, CaseInsensitiveLess>;

  bool OpenKey(const std::string& path) override;
  bool CreateKey(const std::string& path) override;
  bool QueryValue(const std::string& name, RegistryValue& out) override;
  size_t StoreValues(const std::vector<NamedValue>& values) override;
  void CloseKey() override;

  // Direct access for test set-up and inspection.
  std::map<std::string, Values, CaseInsensitiveLess> keys;
  bool refuseCreate = false;
  bool refuseWrites = false;
  std::string refuseValue;           // a value name whose write fails
  std::vector<std::string> queried;  // value names, in query order
  std::vector<std::string> written;  // value names, in write order (the failing one included)
  int changes = 0;                   // StoreValues calls: one change each
  bool keyOpen() const { return open_ != nullptr; }

 private:
  Values* open_ = nullptr;
};

}  // namespace Settings
