#include "AxisLabelPlacer.h"

#include "LabelPlacement.h"

#include <vtkCommand.h>
#include <vtkFollower.h>
#include <vtkMapper.h>
#include <vtkMatrix4x4.h>
#include <vtkObjectFactory.h>
#include <vtkRenderer.h>
#include <vtkTransform.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace selvane {

namespace {

std::array<double, 2> ToDisplay(vtkRenderer* renderer, const double world[3]) {
  renderer->SetWorldPoint(world[0], world[1], world[2], 1.0);
  renderer->WorldToDisplay();
  const double* display = renderer->GetDisplayPoint();
  return {display[0], display[1]};
}

double PixelDistance(const std::array<double, 2>& a, const std::array<double, 2>& b) {
  return std::hypot(a[0] - b[0], a[1] - b[1]);
}

class LabelPlacer : public vtkCommand {
public:
  static LabelPlacer* New();
  vtkTypeMacro(LabelPlacer, vtkCommand);

  std::array<vtkSmartPointer<vtkFollower>, 4> Labels;
  double Bounds[6] = {0, 0, 0, 0, 0, 0};

  void Execute(vtkObject* caller, unsigned long, void*) override {
    auto* renderer = vtkRenderer::SafeDownCast(caller);
    if (!renderer || !renderer->GetActiveCamera())
      return;
    // The model's extent on screen: the rectangle around its bounding box's corners.
    ScreenRect model{1e300, 1e300, -1e300, -1e300};
    for (int corner = 0; corner < 8; ++corner) {
      const double p[3] = {Bounds[corner & 1], Bounds[2 + (corner >> 1 & 1)],
                           Bounds[4 + (corner >> 2)]};
      const std::array<double, 2> q = ToDisplay(renderer, p);
      model = {std::min(model.X0, q[0]), std::min(model.Y0, q[1]), std::max(model.X1, q[0]),
               std::max(model.Y1, q[1])};
    }
    const std::array<double, 2> centre = {(model.X0 + model.X1) / 2, (model.Y0 + model.Y1) / 2};
    std::vector<LabelToPlace> toPlace;
    std::vector<std::array<double, 6>> axes; // each label's text x and y axes in world units
    std::vector<std::array<double, 4>> textBounds;
    for (vtkFollower* label : Labels) {
      // The follower's own matrix, without the offset of the last render, gives the text's
      // axes as drawn now: scaled and turned towards the camera.
      label->SetUserTransform(nullptr);
      vtkMatrix4x4* matrix = label->GetMatrix();
      const double* position = label->GetPosition();
      const double alongX[3] = {position[0] + matrix->GetElement(0, 0),
                                position[1] + matrix->GetElement(1, 0),
                                position[2] + matrix->GetElement(2, 0)};
      const double alongY[3] = {position[0] + matrix->GetElement(0, 1),
                                position[1] + matrix->GetElement(1, 1),
                                position[2] + matrix->GetElement(2, 1)};
      const std::array<double, 2> anchor = ToDisplay(renderer, position);
      const double perUnitX = PixelDistance(ToDisplay(renderer, alongX), anchor);
      const double perUnitY = PixelDistance(ToDisplay(renderer, alongY), anchor);
      double b[6] = {0, 0, 0, 0, 0, 0};
      if (vtkMapper* mapper = label->GetMapper())
        mapper->GetBounds(b);
      toPlace.push_back({anchor, (b[1] - b[0]) * perUnitX, (b[3] - b[2]) * perUnitY});
      axes.push_back({matrix->GetElement(0, 0), matrix->GetElement(1, 0), matrix->GetElement(2, 0),
                      matrix->GetElement(0, 1), matrix->GetElement(1, 1),
                      matrix->GetElement(2, 1)});
      textBounds.push_back({b[0], b[2], perUnitX, perUnitY});
    }
    // A third of a line between a label and its anchor or a neighbour.
    const double gap = toPlace.empty() ? 0 : toPlace[0].Height / 3;
    const int* size = renderer->GetSize();
    const int* origin = renderer->GetOrigin();
    // Kept a gap inside the view's edges: under perspective the far end of a long label
    // draws a little wider than its anchor's scale says.
    const ScreenRect view{origin[0] + gap, origin[1] + gap, origin[0] + size[0] - gap,
                          origin[1] + size[1] - gap};
    // The model's rectangle grows by the gap: a label's drawn width is only estimated, and
    // under perspective its far end may reach a few pixels further.
    const ScreenRect clear{model.X0 - gap, model.Y0 - gap, model.X1 + gap, model.Y1 + gap};
    const std::vector<ScreenRect> rects = PlaceLabelsAwayFrom(centre, toPlace, gap, view, clear);
    for (size_t i = 0; i < rects.size(); ++i) {
      const auto& [minX, minY, perUnitX, perUnitY] = textBounds[i];
      if (!(perUnitX > 0) || !(perUnitY > 0))
        continue; // behind the camera or degenerate: drawn where it stands
      // The text's lower-left corner goes to the rectangle's, in the text's own units.
      const double dx = (rects[i].X0 - toPlace[i].Anchor[0]) / perUnitX - minX;
      const double dy = (rects[i].Y0 - toPlace[i].Anchor[1]) / perUnitY - minY;
      const auto& a = axes[i];
      vtkNew<vtkTransform> offset;
      offset->Translate(a[0] * dx + a[3] * dy, a[1] * dx + a[4] * dy, a[2] * dx + a[5] * dy);
      Labels[i]->SetUserTransform(offset);
    }
  }
};

vtkStandardNewMacro(LabelPlacer);

} // namespace

unsigned long AttachAxisLabelPlacer(vtkRenderer* renderer,
                                    const std::array<vtkSmartPointer<vtkFollower>, 4>& labels,
                                    const double modelBounds[6]) {
  vtkNew<LabelPlacer> placer;
  placer->Labels = labels;
  std::copy(modelBounds, modelBounds + 6, placer->Bounds);
  return renderer->AddObserver(vtkCommand::StartEvent, placer);
}

} // namespace selvane
