// Screen layout of the axis labels: each label is put beside its anchor on the side facing away
// from the model's centre, so it reads outside the model, and a label that would cover one
// placed before it moves further out vertically. Pure arithmetic in display pixels.
#ifndef SELVANE_LABEL_PLACEMENT_H
#define SELVANE_LABEL_PLACEMENT_H

#include <array>
#include <vector>

namespace selvane {

struct ScreenRect {
  double X0, Y0, X1, Y1; // lower left and upper right, X0 <= X1, Y0 <= Y1
  bool Overlaps(const ScreenRect& other) const {
    return X0 < other.X1 && other.X0 < X1 && Y0 < other.Y1 && other.Y0 < Y1;
  }
};

struct LabelToPlace {
  std::array<double, 2> Anchor; // where the label's corner is pinned
  double Width, Height;         // its drawn size
};

// The rectangles the labels take, in the order given; `gap` is kept between a label and its
// anchor and between labels moved apart. A label that would stick out of `view` is slid back
// into it first (a long label beside a model that fills the view); then it is moved outwards
// clear of `model` (the model's extent on screen) and of the labels placed before it.
std::vector<ScreenRect> PlaceLabelsAwayFrom(const std::array<double, 2>& centre,
                                            const std::vector<LabelToPlace>& labels, double gap,
                                            const ScreenRect& view, const ScreenRect& model);

} // namespace selvane

#endif
