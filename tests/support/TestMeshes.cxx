#include "TestMeshes.h"

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkFloatArray.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataWriter.h>
#include <vtkProp.h>
#include <vtkPropCollection.h>
#include <vtkRenderer.h>

#include <fstream>

namespace selvane {

vtkSmartPointer<vtkPolyData> MakeBoxModel(double x0, double y0, double z0, double x1, double y1,
                                          double z1, bool cellScalars) {
  vtkNew<vtkPoints> points;
  for (int i = 0; i < 8; ++i)
    points->InsertNextPoint(i & 1 ? x1 : x0, i & 2 ? y1 : y0, i & 4 ? z1 : z0);
  static const vtkIdType faces[12][3] = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6},
                                         {0, 1, 5}, {0, 5, 4}, {2, 6, 7}, {2, 7, 3},
                                         {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};
  vtkNew<vtkCellArray> polys;
  for (const auto& face : faces)
    polys->InsertNextCell(3, face);
  auto model = vtkSmartPointer<vtkPolyData>::New();
  model->SetPoints(points);
  model->SetPolys(polys);
  if (cellScalars) {
    vtkNew<vtkFloatArray> scalars;
    scalars->SetName("Kind");
    for (int i = 0; i < 12; ++i)
      scalars->InsertNextValue(static_cast<float>(i % 4));
    model->GetCellData()->SetScalars(scalars);
  }
  return model;
}

vtkSmartPointer<vtkPolyData> MakeGrid(int n) {
  vtkNew<vtkPoints> points;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i)
      points->InsertNextPoint(i, j, 0);
  vtkNew<vtkCellArray> polys;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const vtkIdType a = j * (n + 1) + i, b = a + 1, c = a + n + 2, d = a + n + 1;
      const vtkIdType t1[3] = {a, b, c}, t2[3] = {a, c, d};
      polys->InsertNextCell(3, t1);
      polys->InsertNextCell(3, t2);
    }
  auto mesh = vtkSmartPointer<vtkPolyData>::New();
  mesh->SetPoints(points);
  mesh->SetPolys(polys);
  return mesh;
}

bool WriteLegacyModel(vtkPolyData* model, const std::string& path) {
  vtkNew<vtkPolyDataWriter> writer;
  writer->SetInputData(model);
  writer->SetFileName(path.c_str());
  writer->SetFileVersion(42);
  return writer->Write() == 1;
}

std::vector<vtkProp*> PropsOf(vtkRenderer* renderer) {
  std::vector<vtkProp*> props;
  vtkPropCollection* collection = renderer->GetViewProps();
  collection->InitTraversal();
  while (vtkProp* prop = collection->GetNextProp())
    props.push_back(prop);
  return props;
}

void WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

} // namespace selvane
