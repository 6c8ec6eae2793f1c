#include "ModelScene.h"

#include "DeformationInsight.h"
#include "WindowingLayer.h"
#include "vtkShapeTransform.h"

#include <vtkPolyData.h>
#include <vtkTransformPolyDataFilter.h>

#include <cmath>

namespace selvane {

void ModelScene::CheckFolds() {
  vtkPolyData* model = Model();
  if (!model || !ShapeTransform->GetParametersSet())
    return;
  TransformFilter->Update(); // a no-op when the last render drew this shape
  const int percent = static_cast<int>(std::lround(ShapeTransform->GetFraction() * 100.0f));
  SetFoldedCells(FindFoldedCells(model, TransformFilter->GetOutput()),
                 "at " + std::to_string(percent) + "% of the deformation");
}

void ModelScene::SetFoldedCells(std::vector<vtkIdType> cells, const std::string& where) {
  Folds = std::move(cells);
  NextFold = 0;
  if (Folds.empty()) {
    Windowing.ShowStatus("Fold check " + where + ": no cell is turned over");
    return;
  }
  Windowing.ShowStatus("Fold check " + where + ": " + std::to_string(Folds.size()) +
                       (Folds.size() == 1 ? " cell is" : " cells are") +
                       " turned over (View > Next folded cell, Ctrl+F)");
}

vtkIdType ModelScene::TakeNextFold(std::string& status) {
  if (Folds.empty()) {
    status = "No folded cell to show";
    return -1;
  }
  const vtkIdType cell = Folds[NextFold % Folds.size()];
  NextFold = (NextFold + 1) % Folds.size();
  status = "Folded cell " + std::to_string(cell) + " (" +
           std::to_string(NextFold == 0 ? Folds.size() : NextFold) + " of " +
           std::to_string(Folds.size()) + ")";
  return cell;
}

} // namespace selvane
