// Screen layout of the axis labels.
#include "LabelPlacement.h"

#include <gtest/gtest.h>

using selvane::LabelToPlace;
using selvane::PlaceLabelsAwayFrom;
using selvane::ScreenRect;

TEST(LabelPlacement, LabelsFaceAwayFromTheModelAndNeverCoverEachOther) {
  const ScreenRect view{0, 0, 800, 600};
  const ScreenRect model{300, 200, 500, 400};
  // Two labels pinned at the same corner (origin and z seen head-on), one at the far corner.
  const std::vector<LabelToPlace> labels = {
      {{300, 200}, 120, 20}, {{300, 200}, 60, 20}, {{500, 400}, 60, 20}};
  const auto rects = PlaceLabelsAwayFrom({400, 300}, labels, 5, view, model);
  ASSERT_EQ(rects.size(), 3u);
  // Below and left of the lower-left corner; above and right of the upper-right one.
  EXPECT_EQ(rects[0].X1, 295);
  EXPECT_EQ(rects[0].Y1, 195);
  EXPECT_EQ(rects[2].X0, 505);
  EXPECT_EQ(rects[2].Y0, 405);
  // The second label at the same corner moves further down, one gap below the first.
  EXPECT_EQ(rects[1].Y1, rects[0].Y0 - 5);
  for (size_t i = 0; i < rects.size(); ++i) {
    EXPECT_FALSE(rects[i].Overlaps(model)) << i;
    for (size_t j = 0; j < i; ++j)
      EXPECT_FALSE(rects[i].Overlaps(rects[j])) << i << " " << j;
  }
}

TEST(LabelPlacement, ALabelTooLongForItsSideSlidesIntoViewThenClearsTheModel) {
  const ScreenRect view{0, 0, 800, 600};
  const ScreenRect model{100, 100, 700, 500};
  // 300 pixels of text left of a corner 100 pixels from the edge.
  const auto rects = PlaceLabelsAwayFrom({400, 300}, {{{100, 100}, 300, 20}}, 5, view, model);
  EXPECT_EQ(rects[0].X0, 0);
  EXPECT_EQ(rects[0].X1, 300);
  EXPECT_FALSE(rects[0].Overlaps(model));
  EXPECT_LE(rects[0].Y1, 100);
}
