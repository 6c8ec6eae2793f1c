#pragma once

#include <vector>

class vtkAppendPolyData;
class vtkPolyData;

namespace selvane {

// Keeps the order of an append filter's inputs beside it, so that one input can be found and
// removed without asking the pipeline for every input in turn. While suspended (a batch of
// many changes, as an import makes) only the order is kept, and the filter is brought in line
// once when the batch ends: removing a connection from a filter with many inputs costs a walk
// over all of them.
class AppendInputs {
public:
  void Add(vtkAppendPolyData* append, vtkPolyData* input);
  void Remove(vtkAppendPolyData* append, vtkPolyData* input);
  void Clear(vtkAppendPolyData* append);
  void Suspend() { ++Suspensions; }
  void Resume(vtkAppendPolyData* append);

private:
  std::vector<vtkPolyData*> Order;
  int Suspensions = 0;
};

} // namespace selvane
