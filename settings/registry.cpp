// Registry primitives: the type rules and error messages shared by every
// backend (see registry.h).
#include "settings/registry.h"

#include "base/error.h"

namespace Settings {
namespace {

[[noreturn]] void Fail(const char* what, const std::string& name) {
  throw PrismoraError(std::string(what) + " '" + name + "'");
}

}  // namespace

std::string RelativeKeyPath(const std::string& path) {
  size_t begin = 0, end = path.size();
  if (begin < end && path[begin] == '\\') ++begin;
  if (begin < end && path[end - 1] == '\\') --end;
  return path.substr(begin, end - begin);
}

bool Registry::OpenKey(const std::string& path) {
  CloseKey();
  open_ = backend_.OpenKey(RelativeKeyPath(path));
  return open_;
}

bool Registry::CreateKey(const std::string& path) {
  CloseKey();
  open_ = backend_.CreateKey(RelativeKeyPath(path));
  return open_;
}

void Registry::CloseKey() {
  if (open_) backend_.CloseKey();
  open_ = false;
}

namespace {

// A value read as REG_DWORD: its type and length checked.
int32_t IntegerOf(const std::string& name, const RegistryValue& value) {
  if (value.type != kRegDword) Fail("Invalid data type for", name);
  if (value.data.size() != 4) Fail("Failed to get data for", name);
  const uint32_t bits = uint32_t(value.data[0]) | uint32_t(value.data[1]) << 8 |
                        uint32_t(value.data[2]) << 16 | uint32_t(value.data[3]) << 24;
  return static_cast<int32_t>(bits);
}

}  // namespace

int32_t Registry::ReadInteger(const std::string& name) {
  RegistryValue value;
  if (!open_ || !backend_.QueryValue(name, value)) Fail("Failed to get data for", name);
  return IntegerOf(name, value);
}

bool Registry::ReadBool(const std::string& name) { return ReadInteger(name) != 0; }

bool Registry::ReadOptionalBool(const std::string& name, bool absent) {
  RegistryValue value;
  if (!open_ || !backend_.QueryValue(name, value)) return absent;
  return IntegerOf(name, value) != 0;
}

std::string Registry::ReadString(const std::string& name) {
  RegistryValue value;
  if (!open_ || !backend_.QueryValue(name, value) || value.data.empty()) return {};
  if (value.type != kRegSz && value.type != kRegExpandSz) Fail("Invalid data type for", name);
  std::string text(value.data.begin(), value.data.end());
  return text.substr(0, text.find('\0'));
}

RegistryValue IntegerValue(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  return {kRegDword, {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24)}};
}

RegistryValue BoolValue(bool value) { return IntegerValue(value ? 1 : 0); }

RegistryValue StringValue(const std::string& value) {
  const std::string text = value.substr(0, value.find('\0'));
  RegistryValue stored{kRegSz, std::vector<uint8_t>(text.begin(), text.end())};
  stored.data.push_back(0);
  return stored;
}

void Registry::WriteValues(const std::vector<NamedValue>& values) {
  if (values.empty()) return;
  const size_t stored = open_ ? backend_.StoreValues(values) : 0;
  if (stored < values.size()) Fail("Failed to set data for", values[stored].name);
}

void Registry::WriteInteger(const std::string& name, int32_t value) { WriteValues({{name, IntegerValue(value)}}); }

void Registry::WriteBool(const std::string& name, bool value) { WriteValues({{name, BoolValue(value)}}); }

void Registry::WriteString(const std::string& name, const std::string& value) {
  WriteValues({{name, StringValue(value)}});
}

}  // namespace Settings
