// The band sinks of the two formats and the rows they ask for: sample rows
// 1..H bottom-up for the BMP, H..1 top-down for the PNG (sample row 0 never
// shows in the picture, so it is not rendered).
#include "image/wallpaper_stream.h"

#include <cstring>
#include <memory>

#include "image/dib.h"
#include "image/png_stream.h"
#include "image/wallpaper_copy.h"

namespace Image {
namespace {

// Whole percentages of the rows written, each once.
class RowProgress {
 public:
  RowProgress(ProgressFn fn, void* user, int32_t rows) : fn_(fn), user_(user), rows_(rows) {}
  void Add(int32_t rows) {
    done_ += rows;
    const int percent = int(int64_t{done_} * 100 / rows_);
    if (fn_ && percent > last_) fn_(last_ = percent, user_);
  }

 private:
  ProgressFn fn_;
  void* user_;
  int32_t rows_, done_ = 0;
  int last_ = -1;
};

// Each band's rows as the BMP stores them, padding included, in one write.
class BmpBands : public Gradient::WallpaperBandSink {
 public:
  BmpBands(ByteOutput& out, int32_t W, RowProgress& progress)
      : out_(out), W_(W), rowBytes_(size_t(DIB::RowBytes(W, 24))), progress_(progress) {}
  void TakeBand(const Gradient::PlaneView& band, int32_t first, int32_t last) override {
    const size_t rows = size_t(last - first + 1);
    if (rows > capacityRows_) {
      bytes_.reset(new uint8_t[rows * rowBytes_]);  // every byte written below: never cleared
      capacityRows_ = rows;
    }
    const size_t padding = rowBytes_ - 3 * size_t(W_);
    for (int32_t r = first; r <= last; ++r) {
      uint8_t* row = bytes_.get() + size_t(r - first) * rowBytes_;
      DIB::SampleRowAsBgr(band, r, W_, row);
      std::memset(row + 3 * size_t(W_), 0, padding);
    }
    out_.Write({bytes_.get(), rows * rowBytes_});
    progress_.Add(int32_t(rows));
  }

 private:
  ByteOutput& out_;
  const int32_t W_;
  const size_t rowBytes_;
  RowProgress& progress_;
  std::unique_ptr<uint8_t[]> bytes_;
  size_t capacityRows_ = 0;
};

// Each band's rows, from its last down, into the PNG stream.
class PngBands : public Gradient::WallpaperBandSink {
 public:
  PngBands(PngStream& png, int32_t W, RowProgress& progress)
      : png_(png), W_(W), rgb_(new uint8_t[3 * size_t(W)]), progress_(progress) {}
  void TakeBand(const Gradient::PlaneView& band, int32_t first, int32_t last) override {
    for (int32_t r = last; r >= first; --r) {
      DIB::SampleRowAsRgb(band, r, W_, rgb_.get());
      png_.AddRow(rgb_.get());
    }
    progress_.Add(last - first + 1);
  }

 private:
  PngStream& png_;
  const int32_t W_;
  std::unique_ptr<uint8_t[]> rgb_;
  RowProgress& progress_;
};

}  // namespace

void StreamWallpaper(ImageFormat format, int32_t W, int32_t H, const BandRenderer& render, ByteOutput& out,
                     ProgressFn progress, void* user) {
  if (format == ImageFormat::Bmp) {
    out.Write(DIB::BmpHeaders(W, H));
    RowProgress rows(progress, user, H);
    BmpBands sink(out, W, rows);
    render({1, H, W, false}, sink);
    return;
  }
  WritePng(out, W, H, [&](PngStream& png) {
    RowProgress rows(progress, user, H);
    PngBands sink(png, W, rows);
    render({1, H, W, true}, sink);
  });
}

}  // namespace Image
