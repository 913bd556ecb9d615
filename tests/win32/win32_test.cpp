// The Win32 layer's parts that need no window: the OpenGL pixel format
// descriptor, byte for byte, and the drive list.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32/win32_internal.h"

namespace {

// Every byte of the descriptor: the named fields as given, all others 0.
void ExpectDescriptor(int depthBits) {
  const PIXELFORMATDESCRIPTOR pfd = ui::win32::SurfaceDescriptor(32, depthBits);
  PIXELFORMATDESCRIPTOR expected;
  std::memset(&expected, 0, sizeof expected);
  expected.nSize = 40;
  expected.nVersion = 1;
  expected.dwFlags = 0x25;
  expected.cColorBits = 32;
  expected.cDepthBits = static_cast<BYTE>(depthBits);
  EXPECT_EQ(std::memcmp(&pfd, &expected, sizeof pfd), 0) << "depth " << depthBits;
  EXPECT_EQ(pfd.iPixelType, PFD_TYPE_RGBA);
  EXPECT_EQ(pfd.iLayerType, PFD_MAIN_PLANE);
}

TEST(SurfaceDescriptor, SaverAndPreviewWithoutDepthSettingsWith16Bits) {
  ExpectDescriptor(0);
  ExpectDescriptor(16);
}

TEST(Drives, EveryDriveIsARootAndCIsThere) {
  const std::vector<std::string> drives = ui::ListDrives();
  ASSERT_FALSE(drives.empty());
  bool hasC = false;
  for (const std::string& d : drives) {
    ASSERT_EQ(d.size(), 3u) << d;
    EXPECT_EQ(d.substr(1), ":\\") << d;
    hasC = hasC || d == "C:\\";
  }
  EXPECT_TRUE(hasC);
}

}  // namespace
