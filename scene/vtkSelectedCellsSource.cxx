#include "vtkSelectedCellsSource.h"

#include <vtkCellArray.h>
#include <vtkCellType.h>
#include <vtkIdList.h>
#include <vtkInformation.h>
#include <vtkInformationVector.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPolyData.h>

namespace selvane {

vtkObjectFactoryNewMacro(vtkSelectedCellsSource);

vtkSelectedCellsSource::vtkSelectedCellsSource() = default;

vtkSelectedCellsSource::~vtkSelectedCellsSource() = default;

int vtkSelectedCellsSource::FillInputPortInformation(int port, vtkInformation* info) {
  if (!Superclass::FillInputPortInformation(port, info))
    return 0;
  info->Set(vtkAlgorithm::INPUT_IS_OPTIONAL(), 1);
  return 1;
}

void vtkSelectedCellsSource::AddCell(vtkIdType cell) {
  Cells.Add(cell, true);
  Modified();
}

void vtkSelectedCellsSource::RemoveCell(vtkIdType cell) {
  if (Cells.Remove(cell))
    Modified();
}

void vtkSelectedCellsSource::RemoveAllCells() {
  if (Cells.Size() == 0)
    return;
  Cells.Clear();
  Modified();
}

std::vector<vtkIdType> vtkSelectedCellsSource::GetSelectedCells() const {
  std::vector<vtkIdType> cells;
  cells.reserve(Cells.Size());
  Cells.ForEach([&](vtkIdType cell, bool) { cells.push_back(cell); });
  return cells;
}

int vtkSelectedCellsSource::RequestData(vtkInformation*, vtkInformationVector** inputVector,
                                        vtkInformationVector* outputVector) {
  vtkPolyData* model = vtkPolyData::GetData(inputVector[0]);
  vtkPolyData* output = vtkPolyData::GetData(outputVector);
  output->Initialize();
  if (!model)
    return 1;
  // The model's points even without a cell: Export Cells (VTK) writes every point of the model.
  output->SetPoints(model->GetPoints());
  vtkNew<vtkCellArray> verts, lines, polys, strips;
  const vtkIdType modelCells = model->GetNumberOfCells();
  vtkNew<vtkIdList> ids;
  Cells.ForEach([&](vtkIdType cell, bool) {
    if (cell < 0 || cell >= modelCells)
      return;
    model->GetCellPoints(cell, ids);
    switch (model->GetCellType(cell)) {
    case VTK_VERTEX:
    case VTK_POLY_VERTEX:
      verts->InsertNextCell(ids);
      break;
    case VTK_LINE:
    case VTK_POLY_LINE:
      lines->InsertNextCell(ids);
      break;
    case VTK_TRIANGLE_STRIP:
      strips->InsertNextCell(ids);
      break;
    default:
      polys->InsertNextCell(ids);
      break;
    }
  });
  output->SetVerts(verts);
  output->SetLines(lines);
  output->SetPolys(polys);
  output->SetStrips(strips);
  return 1;
}

void vtkSelectedCellsSource::PrintSelf(ostream& os, vtkIndent indent) {
  Superclass::PrintSelf(os, indent);
  os << indent << "Selected cells: " << Cells.Size() << "\n";
}

} // namespace selvane
