#include "vtkSelectedCellsSource.h"

#include <vtkCellArray.h>
#include <vtkCellType.h>
#include <vtkIdList.h>
#include <vtkInformation.h>
#include <vtkInformationVector.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPolyData.h>

#include <algorithm>

vtkStandardNewMacro(vtkSelectedCellsSource);

vtkSelectedCellsSource::vtkSelectedCellsSource() {
  SetNumberOfInputPorts(0);
}

vtkSelectedCellsSource::~vtkSelectedCellsSource() = default;

void vtkSelectedCellsSource::SetModel(vtkPolyData* model) {
  if (Model == model)
    return;
  Model = model;
  Modified();
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

vtkMTimeType vtkSelectedCellsSource::GetMTime() {
  const vtkMTimeType own = Superclass::GetMTime();
  return Model ? std::max(own, Model->GetMTime()) : own;
}

int vtkSelectedCellsSource::RequestData(vtkInformation*, vtkInformationVector**,
                                        vtkInformationVector* outputVector) {
  vtkPolyData* output = vtkPolyData::GetData(outputVector);
  output->Initialize();
  if (!Model || Cells.Size() == 0)
    return 1;
  output->SetPoints(Model->GetPoints());
  vtkNew<vtkCellArray> verts, lines, polys, strips;
  const vtkIdType modelCells = Model->GetNumberOfCells();
  vtkNew<vtkIdList> ids;
  Cells.ForEach([&](vtkIdType cell, bool) {
    if (cell < 0 || cell >= modelCells)
      return;
    Model->GetCellPoints(cell, ids);
    switch (Model->GetCellType(cell)) {
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
  os << indent << "Model: " << Model.Get() << "\n";
  os << indent << "Selected cells: " << Cells.Size() << "\n";
}
