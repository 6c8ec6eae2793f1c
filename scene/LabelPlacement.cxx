#include "LabelPlacement.h"

namespace selvane {

namespace {

// Moves `rect` the least distance that puts it inside `view` along each axis it fits in.
void SlideInto(ScreenRect& rect, const ScreenRect& view) {
  double dx = 0, dy = 0;
  if (rect.X1 - rect.X0 <= view.X1 - view.X0)
    dx = rect.X0 < view.X0 ? view.X0 - rect.X0 : rect.X1 > view.X1 ? view.X1 - rect.X1 : 0;
  if (rect.Y1 - rect.Y0 <= view.Y1 - view.Y0)
    dy = rect.Y0 < view.Y0 ? view.Y0 - rect.Y0 : rect.Y1 > view.Y1 ? view.Y1 - rect.Y1 : 0;
  rect.X0 += dx;
  rect.X1 += dx;
  rect.Y0 += dy;
  rect.Y1 += dy;
}

} // namespace

std::vector<ScreenRect> PlaceLabelsAwayFrom(const std::array<double, 2>& centre,
                                            const std::vector<LabelToPlace>& labels, double gap,
                                            const ScreenRect& view, const ScreenRect& model) {
  std::vector<ScreenRect> placed{model};
  placed.reserve(labels.size() + 1);
  for (const LabelToPlace& label : labels) {
    const double x = label.Anchor[0], y = label.Anchor[1];
    const bool right = x >= centre[0], up = y >= centre[1];
    ScreenRect rect;
    rect.X0 = right ? x + gap : x - gap - label.Width;
    rect.X1 = rect.X0 + label.Width;
    rect.Y0 = up ? y + gap : y - gap - label.Height;
    rect.Y1 = rect.Y0 + label.Height;
    SlideInto(rect, view);
    // Move outwards past the model and every earlier label it would cover; one pass per move, since
    // a move can uncover one label and cover another.
    for (bool moved = true; moved;) {
      moved = false;
      for (const ScreenRect& other : placed) {
        if (!rect.Overlaps(other))
          continue;
        const double shift = up ? other.Y1 + gap - rect.Y0 : other.Y0 - gap - rect.Y1;
        rect.Y0 += shift;
        rect.Y1 += shift;
        moved = true;
      }
    }
    placed.push_back(rect);
  }
  placed.erase(placed.begin());
  return placed;
}

} // namespace selvane
