#pragma once

#include <string>

namespace selvane {

class MainDialog;

// Values of the three small dialogs of the main window. The window system shows them and
// exchanges their fields; the values outlive each showing.
struct AboutDialog {
  MainDialog* Owner = nullptr;
};

struct SetRadiusDialog {
  MainDialog* Owner = nullptr;
  float SphereRadius = 0.03f;
};

struct MakeTransformDialog {
  MainDialog* Owner = nullptr;
  float SupportRadius = 0.5f;
  int FrameCount = 25;
  int CycleCount = 2;
  // OK fits the selected points and their targets instead of asking for a file.
  bool FromSelectedPoints = false;
  // A radius suggested from the spacing of the centres last seen (the selected points, or
  // the last correspondence file) and the model's size; 0 when there is none. The note says
  // where it comes from.
  float SuggestedRadius = 0.0f;
  std::string SuggestionNote = {};
};

} // namespace selvane
