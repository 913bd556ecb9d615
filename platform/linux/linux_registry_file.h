// The per-user settings store on Linux: $XDG_CONFIG_HOME/prismora/registry.reg
// (~/.config/... when the variable is unset or empty) in the text format of
// registry export files ("REGEDIT4"), so values keep their registry types.
// The text parser and editor are pure functions (fuzzed); LinuxRegistryFile
// adds the file reading and the atomic replace. Not thread-safe.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/registry.h"

namespace Platform {

// One logical line of a .reg text: a physical line, or a hex value together
// with its continuation lines.
struct RegLine {
  enum class Kind { Other, Section, Value };
  Kind kind = Kind::Other;
  std::string raw;      // exactly as in the text, inner line breaks included
  std::string section;  // Section: the bracketed path; Value: its section's ("" = none)
  std::string name;     // Value: the value name ("" for "@")
  Settings::RegistryValue value;
};

struct RegDocument {
  std::vector<RegLine> lines;
  bool finalNewline = false;  // the text ended with a line break
};

// Never fails: a line that is not understood becomes Kind::Other and is kept
// as it is. RenderRegText(ParseRegText(t)) == t for every text t.
RegDocument ParseRegText(std::string_view text);
std::string RenderRegText(const RegDocument& doc);

// Key paths below HKEY_CURRENT_USER ("Software\Prismora"); names and paths
// compare without regard to ASCII case. A key exists when its section, or a
// section below it, exists. The last readable line for a value wins.
bool RegKeyExists(const RegDocument& doc, std::string_view key);
bool RegFindValue(const RegDocument& doc, std::string_view key, std::string_view name,
                  Settings::RegistryValue& out);
// Appends the key's section if it does not exist; every other line is kept.
void RegAddKey(RegDocument& doc, std::string_view key);
// Replaces the value's last readable line, or adds a line to the key's last
// section (adding the section if needed); every other line is kept. False when
// the name cannot be written on one line (it holds a line break).
bool RegSetValue(RegDocument& doc, std::string_view key, std::string_view name,
                 const Settings::RegistryValue& value);
// `"Name"=dword:00000019`, `"Name"="text"`, `"Name"=hex:..`, `"Name"=hex(N):..`.
std::string FormatRegValueLine(std::string_view name, const Settings::RegistryValue& value);

class LinuxRegistryFile : public Settings::RegistryBackend {
 public:
  explicit LinuxRegistryFile(std::string filePath) : path_(std::move(filePath)) {}
  // $XDG_CONFIG_HOME/prismora/registry.reg or ~/.config/prismora/registry.reg.
  static std::string DefaultPath();

  bool OpenKey(const std::string& path) override;
  bool CreateKey(const std::string& path) override;
  bool QueryValue(const std::string& name, Settings::RegistryValue& out) override;
  bool SetValue(const std::string& name, const Settings::RegistryValue& value) override;
  void CloseKey() override { open_ = false; }

  // Larger files are not read, and never overwritten.
  static constexpr size_t kMaxFileBytes = 16u << 20;

 private:
  enum class LoadResult { Read, Missing, Failed };
  LoadResult Load(RegDocument& doc) const;
  bool Store(const RegDocument& doc) const;

  std::string path_;
  std::string key_;
  bool open_ = false;
};

}  // namespace Platform
