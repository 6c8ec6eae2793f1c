#pragma once

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
};

} // namespace selvane
