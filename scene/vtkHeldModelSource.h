#pragma once

#include <vtkPolyDataAlgorithm.h>
#include <vtkSmartPointer.h>

// The start of the model's pipeline: hands on a model that was read (and checked) before, in
// whatever format. Its output shares the model's arrays.
class vtkHeldModelSource : public vtkPolyDataAlgorithm {
public:
  static vtkHeldModelSource* New();
  vtkTypeMacro(vtkHeldModelSource, vtkPolyDataAlgorithm);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  void SetModel(vtkPolyData* model);
  vtkPolyData* GetModel() const { return Model; }

protected:
  vtkHeldModelSource();
  ~vtkHeldModelSource() override;

  int RequestData(vtkInformation*, vtkInformationVector**, vtkInformationVector*) override;

private:
  vtkHeldModelSource(const vtkHeldModelSource&) = delete;
  void operator=(const vtkHeldModelSource&) = delete;

  vtkSmartPointer<vtkPolyData> Model;
};
