#include "vtkAppendHeldPolyData.h"

#include <vtkAppendPolyData.h>
#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkInformation.h>
#include <vtkInformationVector.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

#include <algorithm>
#include <cstring>

namespace {

// The held polydata may be appended here when their point data have one layout (the same
// arrays in the same order) and they carry no cell data; markers and one-cell polydata do.
// Anything else goes through vtkAppendPolyData, which is much slower per polydata.
bool SameLayout(const std::vector<vtkPolyData*>& held) {
  vtkPointData* first = held.front()->GetPointData();
  for (vtkPolyData* data : held) {
    if (!data->GetPoints() || data->GetCellData()->GetNumberOfArrays() != 0)
      return false;
    vtkPointData* pd = data->GetPointData();
    if (pd->GetNumberOfArrays() != first->GetNumberOfArrays())
      return false;
    for (int a = 0; a < pd->GetNumberOfArrays(); ++a) {
      vtkAbstractArray* mine = pd->GetAbstractArray(a);
      vtkAbstractArray* theirs = first->GetAbstractArray(a);
      if (mine->GetDataType() != theirs->GetDataType() ||
          mine->GetNumberOfComponents() != theirs->GetNumberOfComponents() ||
          mine->GetNumberOfTuples() != data->GetNumberOfPoints() ||
          std::strcmp(mine->GetName() ? mine->GetName() : "",
                      theirs->GetName() ? theirs->GetName() : "") != 0 ||
          pd->IsArrayAnAttribute(a) != first->IsArrayAnAttribute(a))
        return false;
    }
  }
  return true;
}

// One vtkPoints that every held polydata takes its points from, as the one-cell polydata of
// a cell selection all take the model's: then the points are shared, not copied once per
// held polydata (n cells of a model of m points would otherwise make n * m points).
vtkPoints* SharedPoints(const std::vector<vtkPolyData*>& held) {
  vtkPoints* shared = held.front()->GetPoints();
  for (vtkPolyData* data : held)
    if (data->GetPoints() != shared || data->GetPointData()->GetNumberOfArrays() != 0)
      return nullptr;
  return shared;
}

using CellsOf = vtkCellArray* (vtkPolyData::*)();

vtkSmartPointer<vtkCellArray> Concatenate(const std::vector<vtkPolyData*>& held,
                                          const std::vector<vtkIdType>& pointOffsets,
                                          CellsOf cellsOf) {
  vtkIdType cells = 0, ids = 0;
  for (vtkPolyData* data : held) {
    vtkCellArray* from = (data->*cellsOf)();
    cells += from->GetNumberOfCells();
    ids += from->GetNumberOfConnectivityIds();
  }
  auto joined = vtkSmartPointer<vtkCellArray>::New();
  joined->AllocateExact(cells, ids);
  for (size_t i = 0; i < held.size(); ++i) {
    vtkCellArray* from = (held[i]->*cellsOf)();
    if (from->GetNumberOfCells() > 0)
      joined->Append(from, pointOffsets[i]);
  }
  return joined;
}

// Copies every held polydata's points and point data after one another; returns where each
// one's points begin.
std::vector<vtkIdType> CopyPoints(const std::vector<vtkPolyData*>& held, vtkPolyData* output) {
  std::vector<vtkIdType> offsets(held.size());
  vtkIdType total = 0;
  int type = VTK_FLOAT;
  for (size_t i = 0; i < held.size(); ++i) {
    offsets[i] = total;
    total += held[i]->GetNumberOfPoints();
    if (held[i]->GetPoints()->GetDataType() == VTK_DOUBLE)
      type = VTK_DOUBLE;
  }
  vtkNew<vtkPoints> points;
  points->SetDataType(type);
  points->SetNumberOfPoints(total);
  vtkPointData* layout = held.front()->GetPointData();
  vtkPointData* outData = output->GetPointData();
  for (int a = 0; a < layout->GetNumberOfArrays(); ++a) {
    vtkSmartPointer<vtkAbstractArray> array =
        vtk::TakeSmartPointer(layout->GetAbstractArray(a)->NewInstance());
    array->SetNumberOfComponents(layout->GetAbstractArray(a)->GetNumberOfComponents());
    array->SetName(layout->GetAbstractArray(a)->GetName());
    array->SetNumberOfTuples(total);
    const int index = outData->AddArray(array);
    const int attribute = layout->IsArrayAnAttribute(a);
    if (attribute >= 0)
      outData->SetActiveAttribute(index, attribute);
  }
  for (size_t i = 0; i < held.size(); ++i) {
    const vtkIdType n = held[i]->GetNumberOfPoints();
    points->InsertPoints(offsets[i], n, 0, held[i]->GetPoints());
    vtkPointData* from = held[i]->GetPointData();
    for (int a = 0; a < layout->GetNumberOfArrays(); ++a)
      outData->GetAbstractArray(a)->InsertTuples(offsets[i], n, 0, from->GetAbstractArray(a));
  }
  output->SetPoints(points);
  return offsets;
}

} // namespace

vtkStandardNewMacro(vtkAppendHeldPolyData);

vtkAppendHeldPolyData::vtkAppendHeldPolyData()
    : Appender(vtkSmartPointer<vtkAppendPolyData>::New()) {
  SetNumberOfInputPorts(0);
}

vtkAppendHeldPolyData::~vtkAppendHeldPolyData() = default;

void vtkAppendHeldPolyData::AddPolyData(vtkPolyData* data) {
  if (!data)
    return;
  Where[data].push_back(Slots.size());
  Slots.emplace_back(data);
  ++Live;
  Modified();
}

void vtkAppendHeldPolyData::RemovePolyData(vtkPolyData* data) {
  const auto found = Where.find(data);
  if (found == Where.end())
    return;
  Slots[found->second.back()] = nullptr;
  found->second.pop_back();
  if (found->second.empty())
    Where.erase(found);
  --Live;
  // Empty slots are dropped once they outnumber the held ones, so removal stays cheap.
  if (Slots.size() > 64 && static_cast<vtkIdType>(Slots.size()) > 2 * Live)
    Compact();
  Modified();
}

void vtkAppendHeldPolyData::RemoveAllPolyData() {
  if (Slots.empty())
    return;
  Slots.clear();
  Where.clear();
  Live = 0;
  Modified();
}

std::vector<vtkPolyData*> vtkAppendHeldPolyData::GetHeldPolyData() const {
  std::vector<vtkPolyData*> held;
  held.reserve(static_cast<size_t>(Live));
  for (const auto& slot : Slots)
    if (slot)
      held.push_back(slot);
  return held;
}

void vtkAppendHeldPolyData::Compact() {
  Slots.erase(std::remove(Slots.begin(), Slots.end(), nullptr), Slots.end());
  Where.clear();
  for (size_t i = 0; i < Slots.size(); ++i)
    Where[Slots[i]].push_back(i);
}

vtkMTimeType vtkAppendHeldPolyData::GetMTime() {
  vtkMTimeType latest = Superclass::GetMTime();
  for (const auto& slot : Slots)
    if (slot)
      latest = std::max(latest, slot->GetMTime());
  return latest;
}

int vtkAppendHeldPolyData::RequestData(vtkInformation*, vtkInformationVector**,
                                       vtkInformationVector* outputVector) {
  vtkPolyData* output = vtkPolyData::GetData(outputVector);
  std::vector<vtkPolyData*> held = GetHeldPolyData();
  if (held.empty()) {
    output->Initialize();
    return 1;
  }
  if (!SameLayout(held))
    return Appender->ExecuteAppend(output, held.data(), static_cast<int>(held.size()));
  output->Initialize();
  std::vector<vtkIdType> offsets;
  if (vtkPoints* shared = SharedPoints(held)) {
    output->SetPoints(shared);
    offsets.assign(held.size(), 0);
  } else {
    offsets = CopyPoints(held, output);
  }
  output->SetVerts(Concatenate(held, offsets, &vtkPolyData::GetVerts));
  output->SetLines(Concatenate(held, offsets, &vtkPolyData::GetLines));
  output->SetPolys(Concatenate(held, offsets, &vtkPolyData::GetPolys));
  output->SetStrips(Concatenate(held, offsets, &vtkPolyData::GetStrips));
  return 1;
}

void vtkAppendHeldPolyData::PrintSelf(ostream& os, vtkIndent indent) {
  Superclass::PrintSelf(os, indent);
  os << indent << "Held polydata: " << Live << "\n";
}
