#include "ModelScene.h"

#include "DeformationInsight.h"
#include "WindowingLayer.h"
#include "vtkShapeTransform.h"

#include <vtkActor.h>
#include <vtkCallbackCommand.h>
#include <vtkCommand.h>
#include <vtkFloatArray.h>
#include <vtkLookupTable.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataMapper.h>
#include <vtkRenderer.h>
#include <vtkScalarBarActor.h>
#include <vtkTextProperty.h>
#include <vtkTransformPolyDataFilter.h>

#include <algorithm>

namespace selvane {

namespace {

// The array the colours are drawn from, on the shown shape only (the model as read keeps its
// data as they were).
constexpr const char* DisplacementArray = "Displacement";
// Below the legend's range: the points no centre reaches.
constexpr double NotReached = -1.0;

void OnFilterExecuted(vtkObject*, unsigned long, void* clientData, void*) {
  static_cast<ModelScene*>(clientData)->UpdateDisplacementColours();
}

std::string Count(long long n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0)
      out += ',';
    out += digits[i];
  }
  return out;
}

} // namespace

void ModelScene::UpdateUnreachedPoints() {
  vtkShapeTransform* transform = ShapeTransform;
  const void* fit = transform->GetPointArray();
  if (Unreached.size() == static_cast<size_t>(ModelPoints->GetNumberOfPoints()) &&
      UnreachedFit == fit && UnreachedPoints == ModelPoints.Get() &&
      UnreachedTime == ModelPoints->GetMTime())
    return;
  Unreached = UnreachedPointMask(transform, ModelPoints);
  UnreachedFit = fit;
  UnreachedPoints = ModelPoints.Get();
  UnreachedTime = ModelPoints->GetMTime();
  // The legend spans the full deformation, so the colours mean the same distance whatever
  // share the slider shows.
  LargestDisplacement = 0.0;
  vtkNew<vtkFloatArray> full;
  if (CachedDisplacementLengths(transform, ModelPoints->GetNumberOfPoints(), 1.0f, full)) {
    const float* d = full->GetPointer(0);
    for (vtkIdType i = 0; i < full->GetNumberOfTuples(); ++i)
      LargestDisplacement = std::max(LargestDisplacement, static_cast<double>(d[i]));
  }
  const long long count = std::count(Unreached.begin(), Unreached.end(), 1);
  Windowing.ShowStatus(count == 0 ? "Colour by displacement: every point is reached by a centre"
                                  : "Colour by displacement: " + Count(count) +
                                        " points no centre reaches (grey)");
}

void ModelScene::UpdateDisplacementColours() {
  vtkPolyData* shown = TransformFilter->GetOutput();
  if (!DisplacementColours || !ModelPoints || !shown->GetPoints())
    return;
  UpdateUnreachedPoints();
  vtkNew<vtkFloatArray> lengths;
  lengths->SetName(DisplacementArray);
  if (!DisplacementLengths(ModelPoints, shown->GetPoints(), lengths))
    return;
  if (Unreached.size() == static_cast<size_t>(lengths->GetNumberOfTuples())) {
    float* d = lengths->GetPointer(0);
    for (size_t i = 0; i < Unreached.size(); ++i)
      if (Unreached[i])
        d[i] = static_cast<float>(NotReached);
  }
  double largest = LargestDisplacement;
  if (!(largest > 0.0))
    largest = std::max(1e-12, lengths->GetRange(0)[1]);
  DisplacementTable->SetTableRange(0.0, largest);
  shown->GetPointData()->AddArray(lengths);
}

void ModelScene::SetDisplacementColours(bool on) {
  if (on == DisplacementColours)
    return;
  if (on && (!Model() || !ShapeTransform->GetParametersSet())) {
    Windowing.ShowMessage("Colour by displacement needs a Transform: there is no deformation "
                          "to colour yet.");
    return;
  }
  if (!DisplacementTable) {
    DisplacementTable = vtkSmartPointer<vtkLookupTable>::New();
    DisplacementTable->SetHueRange(0.667, 0.0); // blue (still) to red (moved most)
    DisplacementTable->SetNumberOfTableValues(256);
    DisplacementTable->SetBelowRangeColor(0.5, 0.5, 0.5, 1.0);
    DisplacementTable->UseBelowRangeColorOn();
    DisplacementTable->Build();
    DisplacementLegend = vtkSmartPointer<vtkScalarBarActor>::New();
    DisplacementLegend->SetLookupTable(DisplacementTable);
    DisplacementLegend->SetTitle("Displacement (model units)");
    DisplacementLegend->SetNumberOfLabels(5);
    DisplacementLegend->DrawBelowRangeSwatchOn();
    DisplacementLegend->SetBelowRangeAnnotation("not reached");
    DisplacementLegend->SetPosition(0.86, 0.1);
    DisplacementLegend->SetWidth(0.12);
    DisplacementLegend->SetHeight(0.8);
    DisplacementObserver = vtkSmartPointer<vtkCallbackCommand>::New();
    DisplacementObserver->SetCallback(&OnFilterExecuted);
    DisplacementObserver->SetClientData(this);
  }
  vtkPolyDataMapper* mapper = ModelMapper;
  MapperColouring& saved = SavedColouring;
  if (on) {
    saved.ScalarMode = mapper->GetScalarMode();
    saved.ColorMode = mapper->GetColorMode();
    saved.ScalarVisibility = mapper->GetScalarVisibility();
    saved.UseTableRange = mapper->GetUseLookupTableScalarRange();
    saved.ArrayAccessMode = mapper->GetArrayAccessMode();
    saved.ArrayComponent = mapper->GetArrayComponent();
    saved.HasArrayName = mapper->GetArrayName() != nullptr;
    saved.ArrayName = saved.HasArrayName ? mapper->GetArrayName() : "";
    saved.ArrayId = mapper->GetArrayId();
    saved.Interpolate = mapper->GetInterpolateScalarsBeforeMapping();
    mapper->GetScalarRange(saved.Range);
    saved.Table = mapper->GetLookupTable();
    DisplacementColours = true;
    UpdateDisplacementColours();
    mapper->SetLookupTable(DisplacementTable);
    mapper->UseLookupTableScalarRangeOn();
    mapper->SetColorModeToMapScalars();
    mapper->ScalarVisibilityOn();
    mapper->SetScalarModeToUsePointFieldData();
    mapper->SelectColorArray(DisplacementArray);
    // Interpolated in the table's colours, so a triangle between a grey and a coloured point
    // does not pass through the colours of the range in between.
    mapper->InterpolateScalarsBeforeMappingOn();
    DisplacementObserverTag =
        TransformFilter->AddObserver(vtkCommand::EndEvent, DisplacementObserver);
    if (Renderer)
      Renderer->AddViewProp(DisplacementLegend);
  } else {
    DisplacementColours = false;
    TransformFilter->RemoveObserver(DisplacementObserverTag);
    TransformFilter->GetOutput()->GetPointData()->RemoveArray(DisplacementArray);
    mapper->SetLookupTable(saved.Table);
    mapper->SetUseLookupTableScalarRange(saved.UseTableRange);
    mapper->SetColorMode(saved.ColorMode);
    mapper->SetScalarVisibility(saved.ScalarVisibility);
    mapper->SetScalarMode(saved.ScalarMode);
    mapper->SetArrayName(saved.HasArrayName ? saved.ArrayName.c_str() : nullptr);
    mapper->SetArrayId(saved.ArrayId);
    mapper->SetArrayComponent(saved.ArrayComponent);
    mapper->SetArrayAccessMode(saved.ArrayAccessMode);
    mapper->SetInterpolateScalarsBeforeMapping(saved.Interpolate);
    mapper->SetScalarRange(saved.Range);
    saved.Table = nullptr;
    if (Renderer)
      Renderer->RemoveViewProp(DisplacementLegend);
  }
  Render();
}

} // namespace selvane
