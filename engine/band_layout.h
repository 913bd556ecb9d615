// Which rows each band of a banded wallpaper render holds, for whoever
// renders a BandPlan: the engine's threads (wallpaper_bands.cpp) and the gpu
// engine.
#pragma once

#include <algorithm>
#include <cstdint>

#include "engine/gradient.h"

namespace Gradient {

// Which rows each band holds: bands of equal size (the last may be shorter)
// from the first row up, or from the last row down.
class BandLayout {
 public:
  BandLayout(const BandPlan& plan, int32_t bandRows)
      : plan_(plan), bandRows_(bandRows),
        count_((plan.lastRow - plan.firstRow + bandRows) / bandRows) {}
  int32_t Count() const { return count_; }
  int32_t BandRows() const { return bandRows_; }
  int32_t First(int32_t band) const {
    return plan_.descending ? std::max(plan_.firstRow, Last(band) - bandRows_ + 1)
                            : plan_.firstRow + band * bandRows_;
  }
  int32_t Last(int32_t band) const {
    return plan_.descending ? plan_.lastRow - band * bandRows_
                            : std::min(plan_.lastRow, First(band) + bandRows_ - 1);
  }
  int32_t Rows(int32_t band) const { return band < count_ ? Last(band) - First(band) + 1 : 0; }

 private:
  BandPlan plan_;
  int32_t bandRows_;
  int32_t count_;
};

}  // namespace Gradient
