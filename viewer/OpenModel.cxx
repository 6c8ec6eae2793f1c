#include "MainDialog.h"

#include "vtkSelectedCellsSource.h"

#include "ControlIds.h"
#include "ModelFormats.h"

#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataMapper.h>
#include <vtkRenderer.h>
#include <vtkSphereSource.h>

#include <algorithm>

namespace selvane {

void MainDialog::OpenModel() {
  std::string path = "*.vtk";
  if (!PromptFileName(path, "Open File", FileMustExist | HideReadOnly,
                      {{"VTK formated Files", "*.VTK"},
                       {"VTK XML PolyData Files", "*.VTP"},
                       {"STL Files", "*.STL"},
                       {"PLY Files", "*.PLY"},
                       {"Wavefront OBJ Files", "*.OBJ"},
                       {"OFF Files", "*.OFF"},
                       {"All models", "*.VTK *.VTP *.STL *.PLY *.OBJ *.OFF"},
                       {"All Files", "*.*"}},
                      ".vtk", true))
    return;
  OpenModelFile(path);
}

bool MainDialog::OpenModelFile(const std::string& path) {
  // The file already loaded is not read again; everything else about opening still happens.
  const bool sameFile = !NoModel && path == ModelFileName;
  if (!sameFile) {
    // A fresh model per attempt: a refused file leaves the loaded model untouched.
    auto read = vtkSmartPointer<vtkPolyData>::New();
    const Result result = ReadModel(path, read);
    if (!result.Ok()) {
      Windowing.ShowMessage("Cannot open model \"" + path + "\": " + result.Reason);
      return false;
    }
    ConnectModel(read, path);
  }
  vtkPolyData* model = ModelReader->GetOutput();

  if (vtkDataArray* scalars = model->GetCellData()->GetScalars()) {
    double range[2];
    scalars->GetRange(range, 0);
    ModelMapper->SetScalarRange(range);
  }

  ClearSelectedCells();
  ClearSelectedPoints();
  // The steps taken back would refer to the previous model's cells and points.
  ClearHistory();
  // The previous model's axes and labels leave the scene now: the camera below is framed on
  // what is in view, which must be the new model alone. BuildAxes sets HasAxes again.
  HasAxes = 0;
  if (Renderer)
    Renderer->RemoveAllViewProps();

  ModelPoints = model->GetPoints();
  CurrentCellPoly->SetPoints(ModelPoints);
  Cells.SetModel(model);
  model->BuildLinks();

  RebuildScene(true);
  SetCurrentCell(0, 0);
  if (Renderer)
    Renderer->ResetCamera();
  Render();

  NoModel = 0;
  for (int item : ModelMenuItems)
    Windowing.EnableMenuItem(item);

  double bounds[6];
  ModelPoints->GetBounds(bounds);
  const double largest =
      std::max({bounds[1] - bounds[0], bounds[3] - bounds[2], bounds[5] - bounds[4]});
  const double labelScale = largest * 0.03571428571428571;
  PointerRadius = static_cast<float>(labelScale * 0.056);
  PointingSphere->SetRadius(PointerRadius);
  SetRadiusBox.SphereRadius = PointerRadius;
  Windowing.RefreshDialog(AuxiliaryDialog::SetRadius);
  BuildAxes(bounds);

  RefreshScene();
  Windowing.ModelOpened(path);
  return true;
}

} // namespace selvane
