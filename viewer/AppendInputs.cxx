#include "AppendInputs.h"

#include <vtkAppendPolyData.h>
#include <vtkPolyData.h>

#include <algorithm>

namespace selvane {

void AppendInputs::Add(vtkAppendPolyData* append, vtkPolyData* input) {
  if (!Suspensions)
    append->AddInputData(input);
  Order.push_back(input);
}

void AppendInputs::Remove(vtkAppendPolyData* append, vtkPolyData* input) {
  // Recently added inputs are the likeliest to go again: search from the end.
  const auto found = std::find(Order.rbegin(), Order.rend(), input);
  if (found == Order.rend()) {
    if (!Suspensions)
      append->RemoveInputData(input); // added behind our back, if at all
    return;
  }
  const auto index = static_cast<int>(std::distance(found, Order.rend()) - 1);
  if (!Suspensions) {
    if (index < append->GetNumberOfInputConnections(0) && append->GetInput(index) == input)
      append->RemoveInputConnection(0, index);
    else
      append->RemoveInputData(input);
  }
  Order.erase(Order.begin() + index);
}

void AppendInputs::Clear(vtkAppendPolyData* append) {
  if (!Suspensions)
    append->RemoveAllInputs();
  Order.clear();
}

void AppendInputs::Resume(vtkAppendPolyData* append) {
  if (Suspensions == 0 || --Suspensions > 0)
    return;
  append->RemoveAllInputs();
  for (vtkPolyData* input : Order)
    append->AddInputData(input);
}

} // namespace selvane
