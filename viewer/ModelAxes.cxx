#include "ModelScene.h"

#include "AxesLayout.h"
#include "AxisLabelPlacer.h"
#include "vtkScaledAxes.h"

#include <vtkActor.h>
#include <vtkFollower.h>
#include <vtkLookupTable.h>
#include <vtkNew.h>
#include <vtkPolyDataMapper.h>
#include <vtkProperty.h>
#include <vtkRenderer.h>
#include <vtkVectorText.h>

namespace selvane {

namespace {

vtkSmartPointer<vtkFollower> MakeLabel(const AxisLabel& label, double scale,
                                       vtkRenderer* renderer) {
  vtkNew<vtkVectorText> text;
  text->SetText(label.Text.c_str());
  vtkNew<vtkPolyDataMapper> mapper;
  mapper->SetInputConnection(text->GetOutputPort());
  auto follower = vtkSmartPointer<vtkFollower>::New();
  follower->SetMapper(mapper);
  follower->SetScale(scale, scale, scale);
  follower->SetPosition(label.Position[0], label.Position[1], label.Position[2]);
  const bool white = label.Color[0] == 1 && label.Color[1] == 1 && label.Color[2] == 1;
  // White text would vanish on the white background: draw it dark instead.
  if (white)
    follower->GetProperty()->SetColor(0.2, 0.2, 0.2);
  else
    follower->GetProperty()->SetColor(label.Color[0], label.Color[1], label.Color[2]);
  // Labels turn with the camera so they stay readable while the view is rotated.
  if (renderer)
    follower->SetCamera(renderer->GetActiveCamera());
  return follower;
}

} // namespace

void ModelScene::BuildAxes(const double bounds[6]) {
  const AxesLayout layout = ComputeAxesLayout(bounds);
  // The previous model's axes and labels are released with these references.
  Axes = vtkSmartPointer<vtkScaledAxes>::New();
  Axes->SetOrigin(static_cast<float>(layout.Origin[0]), static_cast<float>(layout.Origin[1]),
                  static_cast<float>(layout.Origin[2]));
  Axes->SetScaleFactor(static_cast<float>(layout.ScaleFactor[0]),
                       static_cast<float>(layout.ScaleFactor[1]),
                       static_cast<float>(layout.ScaleFactor[2]));
  vtkNew<vtkPolyDataMapper> mapper;
  mapper->SetInputConnection(Axes->GetOutputPort());
  // The axes' scalars (0, 0.25, 0.5) take their labels' colours: red, blue, green. Through
  // VTK's default rainbow the y axis was yellow, which vanishes on the white background.
  vtkNew<vtkLookupTable> colours;
  colours->SetNumberOfTableValues(3);
  colours->SetTableRange(0, 0.5);
  colours->SetTableValue(0, 1, 0, 0);
  colours->SetTableValue(1, 0, 0, 1);
  colours->SetTableValue(2, 0, 0.8, 0);
  mapper->SetLookupTable(colours);
  mapper->SetScalarRange(0, 0.5);
  AxesActor = vtkSmartPointer<vtkActor>::New();
  AxesActor->SetMapper(mapper);
  const double s = layout.LabelScale;
  OriginLabel = MakeLabel(layout.Labels[AxesLayout::OriginLabel], s, Renderer);
  XLabel = MakeLabel(layout.Labels[AxesLayout::XLabel], s, Renderer);
  YLabel = MakeLabel(layout.Labels[AxesLayout::YLabel], s, Renderer);
  ZLabel = MakeLabel(layout.Labels[AxesLayout::ZLabel], s, Renderer);
  HasAxes = 1;
  if (Renderer) {
    if (LabelPlacerTag)
      Renderer->RemoveObserver(LabelPlacerTag);
    LabelPlacerTag = AttachAxisLabelPlacer(Renderer, {OriginLabel, XLabel, YLabel, ZLabel}, bounds);
  }
}

} // namespace selvane
