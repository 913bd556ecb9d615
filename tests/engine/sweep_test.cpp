// The live sweep: its extent, the untouched grid for unknown algorithms, and
// bit-identity with point-by-point evaluation of the plain formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine_test_support.h"

namespace {

using namespace enginetest;

void FillGrid(PatternState& s, float v) {
  for (auto* plane : {&s.ColourGrid.R, &s.ColourGrid.G, &s.ColourGrid.B}) {
    std::fill(&(*plane)[0][0], &(*plane)[0][0] + kPlaneRows * kPlaneColumns, v);
  }
}

std::unique_ptr<PatternState> Swept(int alg, int32_t columns, int32_t rows) {
  auto s = NewState(columns, rows);
  SetPhases(*s, 2.75f, 0.6f, 5.1f);
  s->OffsetX = -1.3f;
  s->OffsetY = 0.9f;
  s->Algorithm = alg;
  FillGrid(*s, -7.0f);
  SweepFrame(*s);
  return s;
}

TEST(SweepFrame, CoversEveryGridPointAndNothingElse) {
  for (auto [columns, rows] : {std::pair{120, 90}, std::pair{100, 75}}) {
    auto s = Swept(7, columns, rows);
    int written = 0;
    for (int r = 0; r < kPlaneRows; ++r) {
      for (int c = 0; c < kPlaneColumns; ++c) {
        const bool inside = r <= rows && c <= columns;
        const bool changed = s->ColourGrid.G[r][c] != -7.0f;
        ASSERT_EQ(changed, inside) << r << " " << c;
        written += changed;
      }
    }
    EXPECT_EQ(written, (columns + 1) * (rows + 1));
    EXPECT_EQ(s->Row, rows + 1);
    EXPECT_EQ(s->Column, columns + 1);
  }
}

TEST(SweepFrame, EqualsThePlainFormulasAtEveryPoint) {
  for (int alg = 1; alg <= 12; ++alg) {
    for (auto [columns, rows] : {std::pair{120, 90}, std::pair{100, 75}}) {
      auto s = Swept(alg, columns, rows);
      auto plain = NewState(columns, rows);
      *plain = *s;
      int mismatches = 0;
      for (plain->Row = 0; plain->Row <= rows; ++plain->Row) {
        for (plain->Column = 0; plain->Column <= columns; ++plain->Column) {
          float R, G, B;
          PlainEvaluate(*plain, R, G, B, true);
          const int r = plain->Row, c = plain->Column;
          mismatches += std::memcmp(&R, &s->ColourGrid.R[r][c], 4) != 0;
          mismatches += std::memcmp(&G, &s->ColourGrid.G[r][c], 4) != 0;
          mismatches += std::memcmp(&B, &s->ColourGrid.B[r][c], 4) != 0;
        }
      }
      EXPECT_EQ(mismatches, 0) << "algorithm " << alg << " at " << columns << " x " << rows;
      // The scratch fields hold what the last point left.
      EXPECT_EQ(s->CellU, plain->CellU) << alg;
      EXPECT_EQ(s->CellV, plain->CellV) << alg;
    }
  }
}

TEST(SweepFrame, UnknownAlgorithmLeavesTheGridAlone) {
  for (int alg : {0, 13}) {
    auto s = NewState();
    FillGrid(*s, 0.3f);
    s->ColourGrid.B[5][6] = 0.9f;
    auto before = NewState();
    *before = *s;
    s->Algorithm = alg;
    before->Algorithm = alg;
    SweepFrame(*s);
    EXPECT_EQ(std::memcmp(&s->ColourGrid, &before->ColourGrid, sizeof s->ColourGrid), 0);
  }
}

TEST(SweepFrame, AGridLargerThanThePlanesIsCutAtTheirEdge) {
  auto s = Swept(9, 250, 170);
  EXPECT_NE(s->ColourGrid.R[150][200], -7.0f);
  EXPECT_EQ(s->GridColumns, 250);
}

TEST(SweepFrame, APointDependsOnlyOnItsInputs) {
  auto s = Swept(11, 120, 90);
  const float kept = s->ColourGrid.R[30][40];
  // Another algorithm in between leaves scratch behind; the point is unchanged.
  s->Algorithm = 4;
  SweepFrame(*s);
  s->Algorithm = 11;
  s->Column = 40;
  s->Row = 30;
  EvaluateLivePoint(*s);
  EXPECT_EQ(s->ColourGrid.R[30][40], kept);
}

}  // namespace
