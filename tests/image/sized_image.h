// The image as the tests of the BMP writer and of the export's copy rules
// start from: empty storage made w x h at 24 bits, every pixel zero.
#pragma once

#include <cstdint>

#include "image/dib.h"

inline DIB::TDIB Sized(int32_t w, int32_t h) {
  DIB::TDIB image;
  image.SetBitCount(24);
  image.SetWidth(w);
  image.SetHeight(h);
  return image;
}
