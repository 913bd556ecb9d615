// TDIB and the BMP stream: header fields (also as a streaming writer gets
// them), row size and padding, bottom-up BGR storage, the sizing rules, and
// saving.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/error.h"
#include "image/dib.h"
#include "tests/image/sized_image.h"
#include "tests/support/test_files.h"

namespace {

using DIB::TDIB;
using TestFiles::U16;
using TestFiles::U32;

constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kBlue = 0xFF0000;

// Pixel (x, y) read back from an encoded file the way a BMP reader does:
// rows bottom-up after the 54-byte headers, blue-green-red.
uint32_t FilePixel(const std::vector<uint8_t>& bmp, int32_t x, int32_t y) {
  const int32_t w = static_cast<int32_t>(U32(bmp, 18)), h = static_cast<int32_t>(U32(bmp, 22));
  const size_t rowBytes = (static_cast<size_t>(w) * 3 + 3) / 4 * 4;
  const size_t at = U32(bmp, 10) + static_cast<size_t>(h - 1 - y) * rowBytes + 3 * static_cast<size_t>(x);
  return bmp[at + 2] | bmp[at + 1] << 8 | bmp[at] << 16;
}

TEST(TDIB, HeaderOf640x480MatchesTheBmpLayout) {
  const std::vector<uint8_t> bmp = DIB::EncodeBmp(Sized(640, 480));
  ASSERT_EQ(bmp.size(), 921654u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(U32(bmp, 2), 921654u);
  EXPECT_EQ(U16(bmp, 6), 0);
  EXPECT_EQ(U16(bmp, 8), 0);
  EXPECT_EQ(U32(bmp, 10), 54u);
  EXPECT_EQ(U32(bmp, 14), 40u);
  EXPECT_EQ(U32(bmp, 18), 640u);
  EXPECT_EQ(U32(bmp, 22), 480u);
  EXPECT_EQ(U16(bmp, 26), 1);
  EXPECT_EQ(U16(bmp, 28), 24);
  EXPECT_EQ(U32(bmp, 30), 0u);
  EXPECT_EQ(U32(bmp, 34), 921600u);
  for (size_t at = 38; at < 54; at += 4) EXPECT_EQ(U32(bmp, at), 0u) << "offset " << at;
}

struct SizeRow {
  int32_t w, h, widthBytes, size;
};

// The six export sizes, plus 1366 (two padding bytes per row) and tiny ones.
TEST(TDIB, RowSizesAndFileSizesOfEveryExportSize) {
  const SizeRow rows[] = {{640, 480, 1920, 921600},     {800, 600, 2400, 1440000},   {1024, 768, 3072, 2359296},
                          {1152, 864, 3456, 2985984},   {1280, 1024, 3840, 3932160}, {1600, 1200, 4800, 5760000},
                          {1366, 768, 4100, 4100 * 768}, {1, 1, 4, 4},              {2, 3, 8, 24}};
  for (const SizeRow& row : rows) {
    const TDIB image = Sized(row.w, row.h);
    EXPECT_EQ(image.WidthBytes(), row.widthBytes) << row.w;
    EXPECT_EQ(image.Size(), row.size) << row.w;
    EXPECT_EQ(DIB::EncodeBmp(image).size(), 54u + static_cast<size_t>(row.size)) << row.w;
  }
  TDIB wide = Sized(1366, 2);
  for (int32_t x = 0; x < 1366; ++x) wide.SetPixel(x, 1, 0xFFFFFF);
  const std::vector<uint8_t> bmp = DIB::EncodeBmp(wide);
  EXPECT_EQ(bmp[54 + 4097], 0xFF);  // last byte of the bottom row's last pixel
  EXPECT_EQ(bmp[54 + 4098], 0);
  EXPECT_EQ(bmp[54 + 4099], 0);
}

TEST(TDIB, TopLeftPixelLiesInTheLastStoredRowAsBlueGreenRed) {
  TDIB image = Sized(640, 480);
  image.SetPixel(0, 0, kRed);
  image.SetPixel(639, 479, 0x030201);  // bottom-right: end of the first stored row
  const std::vector<uint8_t> bmp = DIB::EncodeBmp(image);
  const size_t topLeft = 54 + 479 * 1920;
  EXPECT_EQ(bmp[topLeft], 0x00);
  EXPECT_EQ(bmp[topLeft + 1], 0x00);
  EXPECT_EQ(bmp[topLeft + 2], 0xFF);
  const size_t bottomRight = 54 + 639 * 3;
  EXPECT_EQ(bmp[bottomRight], 0x03);
  EXPECT_EQ(bmp[bottomRight + 1], 0x02);
  EXPECT_EQ(bmp[bottomRight + 2], 0x01);
}

// A 6 x 5 picture without any symmetry: a red "F" on blue. A flipped row
// order, mirrored columns or swapped channels all show as a wrong pixel.
TEST(TDIB, AsymmetricPictureReadsBackPixelForPixel) {
  const char* const art[5] = {"RRRRB.", "R.....", "RRR..B", "R.....", "R....."};
  TDIB image = Sized(6, 5);
  for (int32_t y = 0; y < 5; ++y) {
    for (int32_t x = 0; x < 6; ++x) image.SetPixel(x, y, art[y][x] == 'R' ? kRed : art[y][x] == 'B' ? 0x00FF00 : kBlue);
  }
  const std::vector<uint8_t> bmp = DIB::EncodeBmp(image);
  ASSERT_EQ(bmp.size(), 54u + 5 * 20);
  for (int32_t y = 0; y < 5; ++y) {
    for (int32_t x = 0; x < 6; ++x) {
      const uint32_t expected = art[y][x] == 'R' ? kRed : art[y][x] == 'B' ? 0x00FF00 : kBlue;
      EXPECT_EQ(FilePixel(bmp, x, y), expected) << "pixel " << x << "," << y;
    }
  }
  // The first stored row is the bottom one: "R....." = red, then blue.
  EXPECT_EQ(bmp[54 + 2], 0xFF);
  EXPECT_EQ(bmp[54 + 3], 0xFF);
  for (size_t row = 0; row < 5; ++row) {
    EXPECT_EQ(bmp[54 + row * 20 + 18], 0) << "padding of row " << row;
    EXPECT_EQ(bmp[54 + row * 20 + 19], 0) << "padding of row " << row;
  }
}

TEST(TDIB, PixelsOutsideTheImageChangeNothing) {
  TDIB image = Sized(7, 4);
  const std::vector<uint8_t> before = image.Pixels();
  for (const auto& [x, y] : {std::pair{7, 0}, {0, -1}, {-1, 0}, {0, 4}, {7, 4}, {INT32_MIN, 0}, {0, INT32_MAX}})
    image.SetPixel(x, y, 0xFFFFFF);
  EXPECT_EQ(image.Pixels(), before);
}

TEST(TDIB, SizingFollowsTheBitCountAndEmptyRules) {
  TDIB image;
  EXPECT_TRUE(image.Empty());
  EXPECT_EQ(image.Width(), 0);
  EXPECT_EQ(image.BitCount(), 0);
  image.SetWidth(10);  // no bit count yet: stays empty
  EXPECT_TRUE(image.Empty());
  image.SetBitCount(24);
  EXPECT_EQ(image.Width(), 1);
  EXPECT_EQ(image.Height(), 1);
  EXPECT_EQ(image.Size(), 4);
  image.SetWidth(10);
  EXPECT_EQ(image.Width(), 10);
  EXPECT_EQ(image.Height(), 1);
  image.SetHeight(0);
  EXPECT_TRUE(image.Empty());
  EXPECT_TRUE(DIB::EncodeBmp(image).empty());
  image.SetBitCount(24);
  image.SetBitCount(-1);
  EXPECT_TRUE(image.Empty());
  EXPECT_THROW(image.SetBitCount(8), std::invalid_argument);
}

TEST(TDIB, SameSizeKeepsThePixelsANewSizeReplacesThem) {
  TDIB image = Sized(4, 4);
  image.SetPixel(1, 1, kRed);
  image.SetWidth(4);
  image.SetHeight(4);
  EXPECT_EQ(FilePixel(DIB::EncodeBmp(image), 1, 1), kRed);
  image.SetWidth(5);
  EXPECT_EQ(image.WidthBytes(), 16);
  EXPECT_EQ(image.Size(), 64);
  EXPECT_EQ(U32(DIB::EncodeBmp(image), 18), 5u);  // the info header follows the size
}

TEST(TDIB, FailedAllocationKeepsTheOldImage) {
  TDIB image = Sized(3, 2);
  image.SetPixel(2, 1, kRed);
  const std::vector<uint8_t> before = DIB::EncodeBmp(image);
  EXPECT_THROW(image.SetWidth(1000000000), std::bad_alloc);  // rows of 3 GB: beyond any BMP
  EXPECT_EQ(image.Width(), 3);
  EXPECT_EQ(image.Height(), 2);
  EXPECT_EQ(image.BitCount(), 24);
  EXPECT_EQ(DIB::EncodeBmp(image), before);
}

TEST(BmpHeaders, AreWhatEncodeBmpWritesBeforeThePixels) {
  for (const auto& [w, h] : {std::pair{1, 1}, {6, 5}, {203, 97}, {4097, 3}}) {
    const std::vector<uint8_t> whole = DIB::EncodeBmp(Sized(w, h));
    const auto headers = DIB::BmpHeaders(w, h);
    EXPECT_TRUE(std::equal(headers.begin(), headers.end(), whole.begin())) << w << "x" << h;
  }
  EXPECT_NO_THROW(DIB::BmpHeaders(16384, 16384));  // the largest picture: 805 MB
  EXPECT_THROW(DIB::BmpHeaders(30000, 30000), std::bad_alloc);
}

TEST(TDIBSave, WritesTheEncodedBytesAndReplacesALongerFile) {
  TestFiles::ScratchFolder folder;
  const std::string path = folder.File("Prismora1.bmp");
  TestFiles::WriteText(path, std::string(5000, 'x'));
  TDIB image = Sized(6, 5);
  image.SetPixel(0, 0, kRed);
  image.SaveToFile(path);
  EXPECT_EQ(TestFiles::ReadAll(path), DIB::EncodeBmp(image));
  EXPECT_EQ(folder.EntryCount(), 1u);  // no temporary file left behind
}

TEST(TDIBSave, AnImageNeverSizedWritesAZeroByteFile) {
  TestFiles::ScratchFolder folder;
  const std::string path = folder.File("empty.bmp");
  TestFiles::WriteText(path, "old contents");
  TDIB().SaveToFile(path);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST(TDIBSave, WildcardNameRaisesCannotCreateWithThePathAsPassed) {
  TestFiles::ScratchFolder folder;
  const std::string path = folder.File("*.bmp.bmp");
  try {
    Sized(2, 2).SaveToFile(path);
    FAIL() << "no error";
  } catch (const PrismoraError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + path);
  }
  EXPECT_EQ(folder.EntryCount(), 0u);
}

}  // namespace
