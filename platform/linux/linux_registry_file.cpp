// The Linux settings store: a registry export text (.reg) parsed, edited and
// rendered line by line, and the file that holds it, replaced atomically.
#include "platform/linux/linux_registry_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/native_registry.h"

namespace Platform {

using Settings::RegistryValue;

namespace {

constexpr std::string_view kUserRoot = "HKEY_CURRENT_USER\\";

// ---- Text helpers -----------------------------------------------------------

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool StartsNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to 8 hex digits making up the whole of `s`.
bool ParseHex32(std::string_view s, uint32_t& out) {
  if (s.empty() || s.size() > 8) return false;
  out = 0;
  for (char c : s) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    out = out << 4 | uint32_t(d);
  }
  return true;
}

// ---- Value lines --------------------------------------------------------------

// A quoted text at the start of `s` ("\\" and "\"" are escapes; a backslash
// before anything else stays as it is). Consumes it from `s`.
bool TakeQuoted(std::string_view& s, std::string& out) {
  if (s.empty() || s.front() != '"') return false;
  out.clear();
  for (size_t i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') {
      s.remove_prefix(i + 1);
      return true;
    }
    if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) ++i;
    out.push_back(s[i]);
  }
  return false;  // no closing quote
}

// "01,ff, 2a" (a trailing comma allowed, as left by wrapped lines).
bool ParseHexBytes(std::string_view s, std::vector<uint8_t>& out) {
  out.clear();
  if (Trim(s).empty()) return true;
  while (true) {
    const size_t comma = s.find(',');
    const std::string_view token = Trim(s.substr(0, comma));
    uint32_t byte = 0;
    if (token.size() > 2 || !ParseHex32(token, byte)) {
      return token.empty() && comma == std::string_view::npos && !out.empty();
    }
    out.push_back(uint8_t(byte));
    if (comma == std::string_view::npos) return true;
    s.remove_prefix(comma + 1);
  }
}

// The data after '=': a string, dword:, hex: or hex(N):.
bool ParseData(std::string_view s, RegistryValue& value) {
  s = Trim(s);
  if (!s.empty() && s.front() == '"') {
    std::string text;
    if (!TakeQuoted(s, text) || !Trim(s).empty()) return false;
    value.type = Settings::kRegSz;
    value.data.assign(text.begin(), text.end());
    value.data.push_back(0);
    return true;
  }
  if (StartsNoCase(s, "dword:")) {
    uint32_t v = 0;
    if (!ParseHex32(s.substr(6), v)) return false;
    value.type = Settings::kRegDword;
    value.data = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    return true;
  }
  if (StartsNoCase(s, "hex:")) {
    value.type = Settings::kRegBinary;
    return ParseHexBytes(s.substr(4), value.data);
  }
  if (StartsNoCase(s, "hex(")) {
    const size_t close = s.find("):");
    if (close == std::string_view::npos || !ParseHex32(s.substr(4, close - 4), value.type))
      return false;
    return ParseHexBytes(s.substr(close + 2), value.data);
  }
  return false;
}

// `"Name"=data` or `@=data`; `joined` has continuation backslashes removed.
bool ParseValueLine(std::string_view joined, std::string& name, RegistryValue& value) {
  std::string_view s = Trim(joined);
  if (!s.empty() && s.front() == '@') {
    name.clear();
    s.remove_prefix(1);
  } else if (!TakeQuoted(s, name)) {
    return false;
  }
  s = Trim(s);
  if (s.empty() || s.front() != '=') return false;
  return ParseData(s.substr(1), value);
}

// A hex value line that ends with a backslash continues on the next line, if
// that line holds nothing but hex bytes (so a damaged line never swallows the
// section or value that follows it).
bool ContinuesHex(std::string_view trimmed) {
  if (trimmed.empty() || trimmed.back() != '\\') return false;
  const size_t eq = trimmed.find('=');
  return eq != std::string_view::npos && StartsNoCase(Trim(trimmed.substr(eq + 1)), "hex");
}

bool IsHexContinuation(std::string_view line) {
  const std::string_view t = Trim(line);
  bool digit = false;
  for (size_t i = 0; i < t.size(); ++i) {
    const char c = t[i];
    if (HexDigit(c) >= 0) digit = true;
    else if (!(c == ',' || c == ' ' || c == '\t' || (c == '\\' && i + 1 == t.size()))) return false;
  }
  return digit;
}

std::vector<std::string_view> SplitLines(std::string_view text, bool& finalNewline) {
  std::vector<std::string_view> lines;
  finalNewline = !text.empty() && text.back() == '\n';
  if (finalNewline) text.remove_suffix(1);
  if (text.empty() && !finalNewline) return lines;
  size_t start = 0;
  while (true) {
    const size_t nl = text.find('\n', start);
    lines.push_back(text.substr(start, nl == std::string_view::npos ? nl : nl - start));
    if (nl == std::string_view::npos) return lines;
    start = nl + 1;
  }
}

bool SectionMatches(std::string_view section, std::string_view key) {
  return StartsNoCase(section, kUserRoot) && EqualNoCase(section.substr(kUserRoot.size()), key);
}

bool SectionIsBelow(std::string_view section, std::string_view key) {
  return StartsNoCase(section, kUserRoot) && section.size() > kUserRoot.size() + key.size() &&
         StartsNoCase(section.substr(kUserRoot.size()), key) &&
         section[kUserRoot.size() + key.size()] == '\\';
}

std::string EscapeQuoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

// Text that a quoted string can carry: zero-terminated, no inner zero, no line break.
bool IsPlainString(const RegistryValue& v) {
  if (v.type != Settings::kRegSz || v.data.empty() || v.data.back() != 0) return false;
  for (size_t i = 0; i + 1 < v.data.size(); ++i)
    if (v.data[i] == 0 || v.data[i] == '\n' || v.data[i] == '\r') return false;
  return true;
}

bool IsLineBreakFree(std::string_view s) { return s.find_first_of("\r\n") == std::string_view::npos; }

}  // namespace

// ---- Document ------------------------------------------------------------------

RegDocument ParseRegText(std::string_view text) {
  RegDocument doc;
  const std::vector<std::string_view> physical = SplitLines(text, doc.finalNewline);
  std::string section;
  for (size_t i = 0; i < physical.size(); ++i) {
    RegLine line;
    line.raw = physical[i];
    const std::string_view trimmed = Trim(physical[i]);
    std::string joined(trimmed);
    if (ContinuesHex(trimmed)) {
      while (!joined.empty() && joined.back() == '\\' && i + 1 < physical.size() &&
             IsHexContinuation(physical[i + 1])) {
        joined.pop_back();  // the backslash
        joined += Trim(physical[++i]);
        line.raw += '\n';
        line.raw += physical[i];
      }
    }
    if (!trimmed.empty() && trimmed.front() == '[') {
      // A damaged header ends the previous section: what follows belongs to no key.
      const bool valid = trimmed.size() > 2 && trimmed.back() == ']';
      section = valid ? std::string(trimmed.substr(1, trimmed.size() - 2)) : std::string();
      line.kind = valid ? RegLine::Kind::Section : RegLine::Kind::Other;
      line.section = section;
    } else if (ParseValueLine(joined, line.name, line.value)) {
      line.kind = RegLine::Kind::Value;
      line.section = section;
    } else {
      line.name.clear();
      line.value = {};
    }
    doc.lines.push_back(std::move(line));
  }
  return doc;
}

std::string RenderRegText(const RegDocument& doc) {
  std::string out;
  for (size_t i = 0; i < doc.lines.size(); ++i) {
    if (i > 0) out += '\n';
    out += doc.lines[i].raw;
  }
  if (doc.finalNewline) out += '\n';
  return out;
}

bool RegKeyExists(const RegDocument& doc, std::string_view key) {
  for (const RegLine& line : doc.lines)
    if (line.kind == RegLine::Kind::Section &&
        (SectionMatches(line.section, key) || SectionIsBelow(line.section, key)))
      return true;
  return false;
}

bool RegFindValue(const RegDocument& doc, std::string_view key, std::string_view name,
                  RegistryValue& out) {
  bool found = false;
  for (const RegLine& line : doc.lines) {
    if (line.kind == RegLine::Kind::Value && EqualNoCase(line.name, name) &&
        SectionMatches(line.section, key)) {
      out = line.value;
      found = true;
    }
  }
  return found;
}

std::string FormatRegValueLine(std::string_view name, const RegistryValue& value) {
  std::string line = name.empty() ? "@=" : EscapeQuoted(name) + "=";
  if (value.type == Settings::kRegDword && value.data.size() == 4) {
    char digits[16];
    const uint32_t v = uint32_t(value.data[0]) | uint32_t(value.data[1]) << 8 |
                       uint32_t(value.data[2]) << 16 | uint32_t(value.data[3]) << 24;
    std::snprintf(digits, sizeof digits, "dword:%08x", v);
    return line + digits;
  }
  if (IsPlainString(value)) {
    return line + EscapeQuoted(std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                                value.data.size() - 1));
  }
  char prefix[24];
  if (value.type == Settings::kRegBinary) std::snprintf(prefix, sizeof prefix, "hex:");
  else std::snprintf(prefix, sizeof prefix, "hex(%x):", unsigned(value.type));
  line += prefix;
  for (size_t i = 0; i < value.data.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, i ? ",%02x" : "%02x", unsigned(value.data[i]));
    line += byte;
  }
  return line;
}

namespace {

void InsertLine(RegDocument& doc, size_t at, std::string raw) {
  RegLine line;
  line.raw = std::move(raw);
  doc.lines.insert(doc.lines.begin() + std::ptrdiff_t(at), std::move(line));
  doc.finalNewline = true;
}

// Re-reads the edited text, so kinds and sections are exactly what a later
// read of the file will see.
void Reparse(RegDocument& doc) { doc = ParseRegText(RenderRegText(doc)); }

}  // namespace

void RegAddKey(RegDocument& doc, std::string_view key) {
  for (const RegLine& line : doc.lines)
    if (line.kind == RegLine::Kind::Section && SectionMatches(line.section, key)) return;
  if (doc.lines.empty()) InsertLine(doc, 0, "REGEDIT4");
  if (!Trim(doc.lines.back().raw).empty()) InsertLine(doc, doc.lines.size(), "");
  InsertLine(doc, doc.lines.size(), "[" + std::string(kUserRoot) + std::string(key) + "]");
  Reparse(doc);
}

bool RegSetValue(RegDocument& doc, std::string_view key, std::string_view name,
                 const RegistryValue& value) {
  if (!IsLineBreakFree(name)) return false;
  const std::string text = FormatRegValueLine(name, value);
  size_t replace = doc.lines.size(), section = doc.lines.size(), after = doc.lines.size();
  for (size_t i = 0; i < doc.lines.size(); ++i) {
    const RegLine& line = doc.lines[i];
    if (!SectionMatches(line.section, key)) continue;
    if (line.kind == RegLine::Kind::Section) section = after = i;
    if (line.kind == RegLine::Kind::Value) {
      after = i;
      if (EqualNoCase(line.name, name)) replace = i;
    }
  }
  if (replace < doc.lines.size()) {
    doc.lines[replace].raw = text;
  } else if (section < doc.lines.size()) {
    InsertLine(doc, after + 1, text);
  } else {
    RegAddKey(doc, key);
    InsertLine(doc, doc.lines.size(), text);
  }
  Reparse(doc);
  return true;
}

// ---- The file ------------------------------------------------------------------

namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir) return pw->pw_dir;
  return {};
}

// Creates every missing folder of `dir` (private to the user, as configuration
// folders should be).
bool MakeFolders(const std::string& dir) {
  for (size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
    const std::string part = dir.substr(0, slash);
    if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st;
  return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

void SyncFolder(const std::string& dir) {
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);  // best effort: the rename is already done
  close(fd);
}

}  // namespace

std::string LinuxRegistryFile::DefaultPath() {
  std::string base;
  // The XDG rules: only an absolute path counts; otherwise ~/.config.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') base = xdg;
  else if (const std::string home = HomeFolder(); !home.empty()) base = home + "/.config";
  else return {};
  return base + "/prismora/registry.reg";
}

LinuxRegistryFile::LoadResult LinuxRegistryFile::Load(RegDocument& doc) const {
  doc = {};
  if (path_.empty()) return LoadResult::Failed;
  const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO must not block
  if (fd < 0) return errno == ENOENT ? LoadResult::Missing : LoadResult::Failed;
  struct stat st;
  std::string text;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && size_t(st.st_size) <= kMaxFileBytes;
  while (ok) {
    char buffer[65536];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    text.append(buffer, size_t(n));
    ok = text.size() <= kMaxFileBytes;  // the file may grow while we read it
  }
  close(fd);
  if (!ok) return LoadResult::Failed;
  doc = ParseRegText(text);
  return LoadResult::Read;
}

// Writes a temporary file beside the store and renames it over the store, so
// the store is always either the old text or the new one, never a torn mix.
// A store that is a symbolic link (dotfiles kept elsewhere) stays one: the
// file it points to is replaced.
bool LinuxRegistryFile::Store(const RegDocument& doc) const {
  std::string target = path_;
  if (char* real = realpath(path_.c_str(), nullptr)) {
    target = real;
    std::free(real);
  }
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash);
  if (slash != std::string::npos && !MakeFolders(dir)) return false;
  std::string temp = target + ".XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  struct stat old;
  if (stat(target.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);
  bool ok = WriteAll(fd, RenderRegText(doc)) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  SyncFolder(dir);
  return true;
}

bool LinuxRegistryFile::OpenKey(const std::string& path) {
  RegDocument doc;
  open_ = Load(doc) == LoadResult::Read && RegKeyExists(doc, path);
  key_ = path;
  return open_;
}

bool LinuxRegistryFile::CreateKey(const std::string& path) {
  RegDocument doc;
  const LoadResult loaded = Load(doc);
  open_ = false;
  if (loaded == LoadResult::Failed) return false;  // never overwrite what we could not read
  if (!RegKeyExists(doc, path)) {
    RegAddKey(doc, path);
    if (!Store(doc)) return false;
  }
  key_ = path;
  open_ = true;
  return true;
}

bool LinuxRegistryFile::QueryValue(const std::string& name, RegistryValue& out) {
  RegDocument doc;
  return open_ && Load(doc) == LoadResult::Read && RegFindValue(doc, key_, name, out);
}

bool LinuxRegistryFile::SetValue(const std::string& name, const RegistryValue& value) {
  RegDocument doc;
  if (!open_ || Load(doc) == LoadResult::Failed) return false;
  return RegSetValue(doc, key_, name, value) && Store(doc);
}

// ---- Platform services ------------------------------------------------------------

std::unique_ptr<Settings::RegistryBackend> MakeUserRegistry() {
  return std::make_unique<LinuxRegistryFile>(LinuxRegistryFile::DefaultPath());
}

std::string DefaultWallpaperFolder() {
  const std::string home = HomeFolder();
  return home.empty() ? "/" : home;
}

}  // namespace Platform
