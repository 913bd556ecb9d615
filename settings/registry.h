// Registry primitives: open, create, read and write integer / boolean / string
// values, close, over an abstract backend (the Windows registry, the per-user
// file store on Linux, memory for tests). This layer owns the type rules and
// the error messages; backends only store typed bytes. No OS calls here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Settings {

// Registry value types, numbered as the Windows registry numbers them.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

struct RegistryValue {
  uint32_t type = kRegNone;
  std::vector<uint8_t> data;
  bool operator==(const RegistryValue&) const = default;
};

struct NamedValue {
  std::string name;
  RegistryValue value;
};

// The registry encodings: a 4-byte little-endian REG_DWORD; a boolean as the
// REG_DWORD 1 or 0; a REG_SZ up to the first zero byte, its terminating zero
// counted.
RegistryValue IntegerValue(int32_t value);
RegistryValue BoolValue(bool value);
RegistryValue StringValue(const std::string& value);

// One store of keys under the current user's root. A backend has at most one
// key open at a time; key paths are relative, separated by '\', without a
// leading or trailing backslash ("Software\Prismora").
class RegistryBackend {
 public:
  virtual ~RegistryBackend() = default;
  // Opens an existing key; false when it does not exist. Never creates.
  virtual bool OpenKey(const std::string& path) = 0;
  // Opens the key, creating it and missing parents; false on failure (the
  // store cannot be written). A store may create the key together with the
  // first values stored in it, so that no reader ever finds it empty.
  virtual bool CreateKey(const std::string& path) = 0;
  // The open key's value: false when there is no open key or no such value.
  virtual bool QueryValue(const std::string& name, RegistryValue& out) = 0;
  // Stores the values in the open key, in this order, as one change where
  // the store can make one (the file store replaces its file once, so no
  // reader sees some of the values without the others). Returns how many
  // were stored, from the first on: fewer than all means that the next one
  // failed; 0 without an open key.
  virtual size_t StoreValues(const std::vector<NamedValue>& values) = 0;
  virtual void CloseKey() = 0;

  bool SetValue(const std::string& name, const RegistryValue& value) { return StoreValues({{name, value}}) == 1; }
};

// The primitives as the settings code and the save dialog use them. Read and
// write failures raise PrismoraError with the value name in the message.
// The key is closed at the latest when the Registry object goes away, so an
// error in the middle of a sequence of reads does not leave it open.
class Registry {
 public:
  explicit Registry(RegistryBackend& backend) : backend_(backend) {}
  ~Registry() { CloseKey(); }
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  // Paths may carry a leading and a trailing backslash ("\Software\Prismora\");
  // both are dropped before the backend sees the path.
  bool OpenKey(const std::string& path);
  bool CreateKey(const std::string& path);
  void CloseKey();

  // Missing: "Failed to get data for '%s'"; not REG_DWORD: "Invalid data type
  // for '%s'"; a REG_DWORD that is not 4 bytes long cannot be read whole and
  // counts as missing data.
  int32_t ReadInteger(const std::string& name);
  bool ReadBool(const std::string& name);  // any non-zero integer is true
  // A value that later versions added: missing gives `absent` without an
  // error; otherwise as ReadBool.
  bool ReadOptionalBool(const std::string& name, bool absent);
  // Missing or empty: "" without error. REG_SZ / REG_EXPAND_SZ (not expanded):
  // the text up to the first zero byte, or all bytes when there is none.
  // Any other type: "Invalid data type for '%s'".
  std::string ReadString(const std::string& name);

  // A failing write raises "Failed to set data for '%s'".
  void WriteInteger(const std::string& name, int32_t value);
  void WriteBool(const std::string& name, bool value);
  void WriteString(const std::string& name, const std::string& value);  // REG_SZ, zero counted
  // The values in this order as one change (see StoreValues); a failure
  // raises "Failed to set data for '%s'" for the first value not stored.
  void WriteValues(const std::vector<NamedValue>& values);

 private:
  RegistryBackend& backend_;
  bool open_ = false;
};

// "\Software\Prismora\" -> "Software\Prismora".
std::string RelativeKeyPath(const std::string& path);

}  // namespace Settings
