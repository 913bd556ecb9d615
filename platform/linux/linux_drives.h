// The drive list of the save dialog on Linux: the file system root, then the
// mount points of real file systems (block devices and network shares) in
// the order the kernel lists them. The parsing is apart from the reading so
// that it can be tested on a fixed mount table.
#pragma once

#include <string>
#include <vector>

namespace ui::linux_drives {

// Mount points worth offering from the text of /proc/mounts, "/" first,
// without duplicates, with the table's octal escapes (\040 for a space)
// undone. `isDirectory` filters out mount points that are not folders (files
// bound into containers).
std::vector<std::string> ParseMounts(const std::string& table, bool (*isDirectory)(const std::string&));

}  // namespace ui::linux_drives
