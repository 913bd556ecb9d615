// MemoryRegistry: the in-memory backend used by the tests.
#include "settings/memory_registry.h"

#include <algorithm>

namespace Settings {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

}  // namespace

bool CaseInsensitiveLess::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Lower(x) < Lower(y); });
}

bool MemoryRegistry::OpenKey(const std::string& path) {
  auto it = keys.find(path);
  open_ = it == keys.end() ? nullptr : &it->second;
  return open_ != nullptr;
}

bool MemoryRegistry::CreateKey(const std::string& path) {
  open_ = refuseCreate ? nullptr : &keys[path];
  return open_ != nullptr;
}

bool MemoryRegistry::QueryValue(const std::string& name, RegistryValue& out) {
  queried.push_back(name);
  if (!open_) return false;
  auto it = open_->find(name);
  if (it == open_->end()) return false;
  out = it->second;
  return true;
}

size_t MemoryRegistry::StoreValues(const std::vector<NamedValue>& values) {
  ++changes;
  size_t stored = 0;
  for (const NamedValue& v : values) {
    written.push_back(v.name);
    if (!open_ || refuseWrites || v.name == refuseValue) break;
    (*open_)[v.name] = v.value;
    ++stored;
  }
  return stored;
}

void MemoryRegistry::CloseKey() { open_ = nullptr; }

}  // namespace Settings
