#include "vtkScaledAxes.h"

#include <vtkCellArray.h>
#include <vtkFloatArray.h>
#include <vtkInformation.h>
#include <vtkInformationVector.h>
#include <vtkObjectFactory.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

namespace selvane {

vtkObjectFactoryNewMacro(vtkScaledAxes);

vtkScaledAxes::vtkScaledAxes()
    : Origin{0.0f, 0.0f, 0.0f}, ScaleFactor{1.0f, 1.0f, 1.0f}, Symmetric(0) {
  this->SetNumberOfInputPorts(0);
}

int vtkScaledAxes::RequestData(vtkInformation* vtkNotUsed(request),
                               vtkInformationVector** vtkNotUsed(inputVector),
                               vtkInformationVector* outputVector) {
  vtkPolyData* output = vtkPolyData::GetData(outputVector, 0);
  if (!output) {
    vtkErrorMacro(<< "No output polydata");
    return 0;
  }
  vtkDebugMacro(<< "Creating x-y-z axes");

  auto newPts = vtkSmartPointer<vtkPoints>::New();
  newPts->Allocate(6);
  auto newLines = vtkSmartPointer<vtkCellArray>::New();
  newLines->AllocateEstimate(3, 2);
  auto newScalars = vtkSmartPointer<vtkFloatArray>::New();
  newScalars->SetName("Axes");
  newScalars->SetNumberOfComponents(1);
  newScalars->Allocate(6, 1000);
  auto newNormals = vtkSmartPointer<vtkFloatArray>::New();
  newNormals->SetName("Normals");
  newNormals->SetNumberOfComponents(3);
  newNormals->Allocate(6 * 3, 1000);

  const float* o = this->Origin;
  const float* s = this->ScaleFactor;
  const bool sym = this->Symmetric != 0;
  // One axis per coordinate direction: start point, end point, scalar, normal.
  for (int axis = 0; axis < 3; ++axis) {
    float start[3] = {o[0], o[1], o[2]};
    float end[3] = {o[0], o[1], o[2]};
    if (sym) {
      start[axis] = o[axis] - s[axis];
    }
    end[axis] = o[axis] + s[axis];
    static const float scalars[3] = {0.0f, 0.25f, 0.5f};
    static const float normals[3][3] = {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}};
    vtkIdType ids[2];
    ids[0] = newPts->InsertNextPoint(start);
    ids[1] = newPts->InsertNextPoint(end);
    for (int k = 0; k < 2; ++k) {
      newScalars->InsertNextValue(scalars[axis]);
      newNormals->InsertNextTuple(normals[axis]);
    }
    newLines->InsertNextCell(2, ids);
  }

  output->SetPoints(newPts);
  output->GetPointData()->SetScalars(newScalars);
  output->GetPointData()->SetNormals(newNormals);
  output->SetLines(newLines);
  return 1;
}

void vtkScaledAxes::PrintSelf(ostream& os, vtkIndent indent) {
  this->Superclass::PrintSelf(os, indent);
  os << indent << "Origin: (" << this->Origin[0] << ", " << this->Origin[1] << ", "
     << this->Origin[2] << ")\n";
  os << indent << "Scale Factor: (" << this->ScaleFactor[0] << ", " << this->ScaleFactor[1] << ", "
     << this->ScaleFactor[2] << ")\n";
  os << indent << "Symmetric: " << this->Symmetric << "\n";
}

} // namespace selvane
