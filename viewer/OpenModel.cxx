#include "MainDialog.h"

#include "ControlIds.h"
#include "ModelFormats.h"

#include <vtkPolyData.h>

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
  if (!Scene.Shows(path)) {
    // A fresh model per attempt: a refused file leaves the loaded model untouched.
    auto read = vtkSmartPointer<vtkPolyData>::New();
    const Result result = ReadModel(path, read);
    if (!result.Ok()) {
      Windowing.ShowMessage("Cannot open model \"" + path + "\": " + result.Reason);
      return false;
    }
    Scene.ConnectModel(read, path);
  }

  ClearSelectedCells();
  ClearSelectedPoints();
  // The steps taken back would refer to the previous model's cells and points.
  ClearHistory();
  Cells.SetModel(Scene.TakeModel());

  RebuildScene(true);
  SetCurrentCell(0, 0);
  Scene.FrameScene();
  Render();

  double bounds[6];
  Scene.MarkModelShown(bounds);
  for (int item : ModelMenuItems)
    Windowing.EnableMenuItem(item);
  SetRadiusBox.SphereRadius = PointerRadius;
  Windowing.RefreshDialog(AuxiliaryDialog::SetRadius);
  BuildAxes(bounds);

  RefreshScene();
  Windowing.ModelOpened(path);
  return true;
}

} // namespace selvane
