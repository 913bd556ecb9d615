// The settings window's wallpaper export: its process-wide state (picture
// size, desktop marker, the one 24-bit image, the save counter), the size
// table of the "Wallpaper Size" track bar, the size caption, the render of the
// current pattern into the image, and the save dialog's file-name rule.
// No windows here: Unit2 drives the export, Unit3 saves the image.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/gradient.h"
#include "image/dib.h"
#include "image/wallpaper_copy.h"

namespace WallpaperExport {

// The picture size the next export uses.
extern int32_t WallpaperWidth;
extern int32_t WallpaperHeight;
// "-Your Desktop" when the screen width equals WallpaperWidth, otherwise "".
extern std::string DesktopMarker;
// Created by the settings window at start-up; every export resizes, fills and
// saves this one image.
extern std::unique_ptr<DIB::TDIB> WallpaperImage;
// The number in the name the save dialog proposes (Prismora1, Prismora2, ...).
extern int32_t SaveCounter;

constexpr const char* kDesktopMarker = "-Your Desktop";
// The rasteriser's static planes hold at most 1600 x 1200 pixels: every size
// of the table. A larger picture (the desktop's size) gets planes of its own.
constexpr int32_t kStaticPlanesWidth = Gradient::kWallpaperColumns - 1;
constexpr int32_t kStaticPlanesHeight = Gradient::kWallpaperRows - 1;

// The size for track bar position 1..6 (640 x 480 ... 1600 x 1200); any other
// position returns false and leaves width and height as they were.
bool SizeForChoice(int32_t choice, int32_t& width, int32_t& height);

// "-Your Desktop" when the screen is exactly that wide (only widths compare).
std::string MarkerFor(int screenWidth, int32_t wallpaperWidth);

// The size caption: "1024x768-Your Desktop", "640x480".
std::string SizeCaption(int32_t width, int32_t height, const std::string& marker);

// The export's render: the image becomes W x H (width first, then height), the
// grid W x H, the rasteriser sweeps the current pattern and the samples are
// copied into the image. Up to 1600 x 1200 the sweep goes into the static
// WallpaperPlanes (RenderWallpaper); beyond, into planes allocated for the
// picture and freed after the copy, with the same bytes. W and H: 1..16384.
// When memory is short (std::bad_alloc, from the planes or the image) nothing
// else is touched: the grid keeps its size, a failure of the planes leaves
// the image as it was, and the error propagates.
void RenderIntoImage(Gradient::PatternState& state, DIB::TDIB& image, int32_t W, int32_t H);

// The file the save dialog writes for the name typed: the name with ".bmp"
// appended, unless it already ends in ".bmp" in any mix of case.
std::string WallpaperFileName(const std::string& typed);

}  // namespace WallpaperExport
