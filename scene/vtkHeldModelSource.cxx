#include "vtkHeldModelSource.h"

#include <vtkInformation.h>
#include <vtkInformationVector.h>
#include <vtkObjectFactory.h>
#include <vtkPolyData.h>

vtkStandardNewMacro(vtkHeldModelSource);

vtkHeldModelSource::vtkHeldModelSource() {
  this->SetNumberOfInputPorts(0);
}

vtkHeldModelSource::~vtkHeldModelSource() = default;

void vtkHeldModelSource::SetModel(vtkPolyData* model) {
  if (this->Model == model) {
    return;
  }
  this->Model = model;
  this->Modified();
}

int vtkHeldModelSource::RequestData(vtkInformation*, vtkInformationVector**,
                                    vtkInformationVector* outputVector) {
  vtkPolyData* output = vtkPolyData::GetData(outputVector, 0);
  if (!output) {
    return 0;
  }
  if (this->Model) {
    output->ShallowCopy(this->Model);
  } else {
    output->Initialize();
  }
  return 1;
}

void vtkHeldModelSource::PrintSelf(ostream& os, vtkIndent indent) {
  this->Superclass::PrintSelf(os, indent);
  os << indent << "Model: " << this->Model.Get() << "\n";
}
