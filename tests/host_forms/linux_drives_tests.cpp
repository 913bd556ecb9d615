// The save dialog's drive list on Linux from a fixed mount table: the root
// first, block devices and network shares only, escapes undone, folders only.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/linux/linux_drives.h"

namespace {

bool AnyIsFolder(const std::string&) { return true; }
bool NotTheHostsFile(const std::string& path) { return path != "/etc/hosts"; }

const char kTable[] =
    "proc /proc proc rw 0 0\n"
    "/dev/vda / ext4 rw 0 0\n"
    "tmpfs /run tmpfs rw 0 0\n"
    "/dev/sdb1 /media/usb\\040stick vfat rw 0 0\n"
    "/dev/vda /etc/hosts ext4 rw 0 0\n"
    "server:/export /mnt/nfs nfs4 rw 0 0\n"
    "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
    "/dev/sdb1 /media/usb\\040stick vfat rw 0 0\n"
    "broken line\n";

TEST(LinuxDrives, RootThenRealVolumesInTableOrder) {
  const std::vector<std::string> expected = {"/", "/media/usb stick", "/mnt/nfs"};
  EXPECT_EQ(ui::linux_drives::ParseMounts(kTable, NotTheHostsFile), expected);
}

TEST(LinuxDrives, MountPointsThatAreFilesAreLeftOut) {
  const auto all = ui::linux_drives::ParseMounts(kTable, AnyIsFolder);
  EXPECT_NE(std::find(all.begin(), all.end(), "/etc/hosts"), all.end());
  const auto folders = ui::linux_drives::ParseMounts(kTable, NotTheHostsFile);
  EXPECT_EQ(std::find(folders.begin(), folders.end(), "/etc/hosts"), folders.end());
}

TEST(LinuxDrives, AnEmptyTableStillGivesTheRoot) {
  EXPECT_EQ(ui::linux_drives::ParseMounts("", AnyIsFolder), std::vector<std::string>{"/"});
}

TEST(LinuxDrives, ABackslashWithoutThreeOctalDigitsStaysAsItIs) {
  const auto d = ui::linux_drives::ParseMounts("/dev/sdc1 /media/a\\9b ext4 rw 0 0\n/dev/sdc2 /x\\04 ext4\n",
                                              AnyIsFolder);
  const std::vector<std::string> expected = {"/", "/media/a\\9b", "/x\\04"};
  EXPECT_EQ(d, expected);
}

}  // namespace
