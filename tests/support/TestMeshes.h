#pragma once

#include "TempFolder.h"

#include <vtkSmartPointer.h>

#include <string>
#include <vector>

class vtkPolyData;
class vtkProp;
class vtkRenderer;

namespace selvane {

// An axis-aligned box surface of 12 triangles from (x0, y0, z0) to (x1, y1, z1); with
// cellScalars, cell i carries the scalar i mod 4.
vtkSmartPointer<vtkPolyData> MakeBoxModel(double x0, double y0, double z0, double x1, double y1,
                                          double z1, bool cellScalars);

// A flat n x n grid of unit squares in z = 0, each split into two triangles: (n + 1)^2 points,
// 2 n^2 cells.
vtkSmartPointer<vtkPolyData> MakeGrid(int n);

// Writes a model as a legacy ASCII file (version 4.2); returns false on failure.
bool WriteLegacyModel(vtkPolyData* model, const std::string& path);

// The renderer's props, in the order they were added.
std::vector<vtkProp*> PropsOf(vtkRenderer* renderer);

// Writes text to a file as it stands.
void WriteTextFile(const std::string& path, const std::string& text);

} // namespace selvane
