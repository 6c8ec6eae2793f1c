#pragma once

#include "HeldOrder.h"

#include <vtkPolyDataAlgorithm.h>

#include <vector>

namespace selvane {

/**
 * @class vtkSelectedCellsSource
 * @brief Draws chosen cells of the model on input port 0.
 *
 * Draws chosen cells of the model on input port 0: the model's own points (all of them, even
 * with no cell chosen), and each chosen cell with its type and point IDs, in the order the cells
 * were chosen (a cell chosen again comes last). Export Cells (VTK) writes the output of one
 * filled in selection-list order.
 * Only the IDs are kept, so a selection of 100,000 cells costs no VTK object per cell, and the
 * model's points are shared rather than copied per cell.
 */
class vtkSelectedCellsSource : public vtkPolyDataAlgorithm {
public:
  static vtkSelectedCellsSource* New();
  vtkTypeMacro(vtkSelectedCellsSource, vtkPolyDataAlgorithm);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  void AddCell(vtkIdType cell);
  // Lets go of the latest hold of cell; nothing when it is not held.
  void RemoveCell(vtkIdType cell);
  void RemoveAllCells();
  vtkIdType GetNumberOfSelectedCells() const { return static_cast<vtkIdType>(Cells.Size()); }
  // The held cells in drawing order.
  std::vector<vtkIdType> GetSelectedCells() const;

protected:
  vtkSelectedCellsSource();
  ~vtkSelectedCellsSource() override;

  // The model is optional: without one nothing is drawn.
  int FillInputPortInformation(int port, vtkInformation* info) override;
  int RequestData(vtkInformation*, vtkInformationVector**, vtkInformationVector*) override;

private:
  vtkSelectedCellsSource(const vtkSelectedCellsSource&) = delete;
  void operator=(const vtkSelectedCellsSource&) = delete;

  HeldOrder<bool> Cells;
};

} // namespace selvane
