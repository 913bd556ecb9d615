// The text of registry export files (.reg), as the Linux settings store keeps
// them: "REGEDIT4" and "Windows Registry Editor Version 5.00", 8-bit (ANSI or
// UTF-8, with or without a byte-order mark) or UTF-16LE with a byte-order
// mark, LF or CRLF line ends. A file is parsed line by line, edited in place
// and written back in the encoding, header and line ends it came in, every
// line it does not change kept byte for byte. Pure functions (fuzzed); the
// file itself is linux_registry_file.cpp's business.
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
  std::string section;  // Section: the bracketed path; otherwise the section it is in ("" = none)
  std::string name;     // Value: the value name ("" for "@")
  Settings::RegistryValue value;
};

// How the file's bytes carry the text. The lines are always 8-bit: a UTF-16
// file's text is held as UTF-8.
enum class RegEncoding { Bytes, Utf8Bom, Utf16Le };

struct RegDocument {
  std::vector<RegLine> lines;
  bool finalNewline = false;  // the text ended with a line break
  RegEncoding encoding = RegEncoding::Bytes;
  bool crlf = false;          // the first line ends in CR LF: lines added do too
  // 4 ("REGEDIT4"), 5 ("Windows Registry Editor Version 5.00", whose hex(1),
  // hex(2) and hex(7) data are UTF-16LE) or 0 (no header on the first line).
  int version = 0;
};

// Never fails: a line that is not understood becomes Kind::Other and is kept
// as it is. RenderRegText(ParseRegText(t)) == t for every text t.
RegDocument ParseRegText(std::string_view text, RegEncoding encoding = RegEncoding::Bytes);
std::string RenderRegText(const RegDocument& doc);

// A file's bytes. False when they cannot be decoded (UTF-16 of an odd length)
// or when a text that is not blank has no registry header: such a file is not
// ours to read or rewrite. EncodeRegFile(DecodeRegFile(b)) == b whenever the
// decoding succeeds; encoding fails only for UTF-16 of text that is not UTF-8.
bool DecodeRegFile(std::string_view bytes, RegDocument& doc);
bool EncodeRegFile(const RegDocument& doc, std::string& bytes);

// Key paths below HKEY_CURRENT_USER ("Software\Prismora"); names and paths
// compare without regard to ASCII case. A key exists when its section, or a
// section below it, exists. The last readable line for a value wins.
bool RegKeyExists(const RegDocument& doc, std::string_view key);
bool RegFindValue(const RegDocument& doc, std::string_view key, std::string_view name,
                  Settings::RegistryValue& out);
// Appends the key's section if it does not exist (a blank document first gets
// the header for its encoding); every other line is kept.
void RegAddKey(RegDocument& doc, std::string_view key);
// Replaces the value's last readable line, else its last damaged line (one
// that names the value but whose data cannot be read), or adds a line to the
// key's last section (adding the section if needed); every other line is kept. False,
// with the document unchanged, when the value cannot be written in it: a name
// holding a line break, or text that the file's encoding cannot carry.
bool RegSetValue(RegDocument& doc, std::string_view key, std::string_view name,
                 const Settings::RegistryValue& value);
// `"Name"=dword:00000019`, `"Name"="text"`, `"Name"=hex:..`, `"Name"=hex(N):..`
// for a file of the given header version; "" when the value's text cannot be
// given as UTF-16, which version 5 needs for hex(1), hex(2) and hex(7).
std::string FormatRegValueLine(std::string_view name, const Settings::RegistryValue& value, int version = 4);

}  // namespace Platform
