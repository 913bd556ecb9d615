// The export's state, size table, caption, render and file-name rule.
#include "tools/wallpaper_export.h"

#include <algorithm>
#include <cctype>

#include "image/wallpaper_copy.h"

namespace WallpaperExport {

int32_t WallpaperWidth = 0;
int32_t WallpaperHeight = 0;
std::string DesktopMarker;
std::unique_ptr<DIB::TDIB> WallpaperImage;
int32_t SaveCounter = 0;

bool SizeForChoice(int32_t choice, int32_t& width, int32_t& height) {
  static constexpr int32_t kSizes[6][2] = {{640, 480},   {800, 600},   {1024, 768},
                                           {1152, 864},  {1280, 1024}, {1600, 1200}};
  if (choice < 1 || choice > 6) return false;
  width = kSizes[choice - 1][0];
  height = kSizes[choice - 1][1];
  return true;
}

std::string MarkerFor(int screenWidth, int32_t wallpaperWidth) {
  return screenWidth == wallpaperWidth ? kDesktopMarker : "";
}

std::string SizeCaption(int32_t width, int32_t height, const std::string& marker) {
  return std::to_string(width) + "x" + std::to_string(height) + marker;
}

namespace {

void RenderWithStaticPlanes(Gradient::PatternState& state, DIB::TDIB& image, int32_t W, int32_t H) {
  image.SetWidth(W);
  image.SetHeight(H);
  // Not W - 1 x H - 1: the rasteriser takes (W + 1) x (H + 1) samples.
  state.GridColumns = W;
  state.GridRows = H;
  Gradient::RenderWallpaper(state);
  DIB::CopySamplesToImage(Gradient::WallpaperPlanesView(), W, H, image);
}

}  // namespace

void RenderIntoImage(Gradient::PatternState& state, DIB::TDIB& image, int32_t W, int32_t H) {
  if (W <= kStaticPlanesWidth && H <= kStaticPlanesHeight)
    RenderWithStaticPlanes(state, image, W, H);
  else
    DIB::RenderIntoOwnPlanes(state, W, H, 0, image);  // planes first: a refusal leaves the image alone
}

std::string WallpaperFileName(const std::string& typed) {
  static const std::string kExtension = ".bmp";
  const bool hasExtension =
      typed.size() >= kExtension.size() &&
      std::equal(kExtension.begin(), kExtension.end(), typed.end() - static_cast<std::ptrdiff_t>(kExtension.size()),
                 [](char a, char b) {
                   return a == std::tolower(static_cast<unsigned char>(b));
                 });
  return hasExtension ? typed : typed + kExtension;
}

}  // namespace WallpaperExport
