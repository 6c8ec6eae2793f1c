#ifndef vtkScaledAxes_h
#define vtkScaledAxes_h

#include <vtkPolyDataAlgorithm.h>

namespace selvane {

/**
 * @class vtkScaledAxes
 * @brief Three axis lines from Origin, each with its own length.
 *
 * A polygonal-data source of three axis lines that start at Origin,
 * one along each coordinate direction, each with its own length (ScaleFactor).
 *
 * On VTK 9 the class derives from vtkPolyDataAlgorithm (VTK 9 has no vtkPolyDataSource) and
 * has no input port; the output is built in RequestData. IsA follows
 * VTK 9's hierarchy: vtkScaledAxes, vtkPolyDataAlgorithm, vtkAlgorithm, vtkObject,
 * vtkObjectBase.
 */
class vtkScaledAxes : public vtkPolyDataAlgorithm {
public:
  // First asks vtkObjectFactory::CreateInstance("vtkScaledAxes") for an override.
  static vtkScaledAxes* New();
  vtkTypeMacro(vtkScaledAxes, vtkPolyDataAlgorithm);
  // The superclass part, then "Origin: (x, y, z)", "Scale Factor: (x, y, z)" and
  // "Symmetric: n", each after the indent and followed by a newline.
  void PrintSelf(ostream& os, vtkIndent indent) override;

  // Start point of the three axes. Default (0, 0, 0).
  vtkSetVector3Macro(Origin, float);
  vtkGetVectorMacro(Origin, float, 3);

  // Lengths of the x, y and z axis. Default (1, 1, 1).
  vtkSetVector3Macro(ScaleFactor, float);
  vtkGetVectorMacro(ScaleFactor, float, 3);

  // When non-zero, each axis also extends by its length to the negative side of Origin.
  vtkSetMacro(Symmetric, int);
  vtkGetMacro(Symmetric, int);
  vtkBooleanMacro(Symmetric, int);

protected:
  vtkScaledAxes();
  ~vtkScaledAxes() override = default;

  int RequestData(vtkInformation* request, vtkInformationVector** inputVector,
                  vtkInformationVector* outputVector) override;

  float Origin[3];
  float ScaleFactor[3];
  int Symmetric;

private:
  vtkScaledAxes(const vtkScaledAxes&) = delete;
  void operator=(const vtkScaledAxes&) = delete;
};

} // namespace selvane

#endif
