// ListDrives on Linux, from /proc/mounts.
#include "platform/linux/linux_drives.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/ui.h"

namespace ui {

namespace linux_drives {

namespace {

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

// The mount table writes a space as \040, a tab as \011, a backslash as \134.
std::string Unescape(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) && IsOctal(field[i + 2]) &&
        IsOctal(field[i + 3])) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

bool IsRealFileSystem(const std::string& source, const std::string& type) {
  static const char* const kNetwork[] = {"nfs", "nfs4", "cifs", "smb3", "fuse.sshfs"};
  if (std::find(std::begin(kNetwork), std::end(kNetwork), type) != std::end(kNetwork)) return true;
  // Block devices; squashfs images (snaps) are read-only packages, not volumes.
  return source.rfind("/dev/", 0) == 0 && type != "squashfs";
}

}  // namespace

std::vector<std::string> ParseMounts(const std::string& table, bool (*isDirectory)(const std::string&)) {
  std::vector<std::string> drives{"/"};
  std::istringstream lines(table);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string source, target, type;
    if (!(fields >> source >> target >> type)) continue;
    target = Unescape(target);
    if (!IsRealFileSystem(source, type)) continue;
    if (std::find(drives.begin(), drives.end(), target) != drives.end()) continue;
    if (isDirectory && !isDirectory(target)) continue;
    drives.push_back(target);
  }
  return drives;
}

}  // namespace linux_drives

std::vector<std::string> ListDrives() {
  std::ifstream in("/proc/mounts");
  std::stringstream table;
  table << in.rdbuf();
  return linux_drives::ParseMounts(table.str(), [](const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
  });
}

}  // namespace ui
