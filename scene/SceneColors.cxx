#include "SceneColors.h"

#include <vtkActor.h>
#include <vtkLookupTable.h>
#include <vtkNew.h>
#include <vtkProperty.h>

#include <cmath>

namespace selvane {

void SetActorColors(vtkActor* actor, double fr, double fg, double fb, double br, double bg,
                    double bb) {
  actor->GetProperty()->SetColor(fr, fg, fb);
  vtkNew<vtkProperty> back;
  back->SetColor(br, bg, bb);
  actor->SetBackfaceProperty(back);
}

vtkSmartPointer<vtkLookupTable> MakeModelLookupTable() {
  static constexpr double Named[4][4] = {{0.8275, 0.8275, 0.8275, 1}, // light grey
                                         {0.6863, 0.9333, 0.9333, 1}, // pale turquoise
                                         {0.8275, 0.8275, 0.8275, 1}, // light grey
                                         {1, 0.7137, 0.7569, 1}};     // light pink
  auto table = vtkSmartPointer<vtkLookupTable>::New();
  table->SetTableRange(0, 256);
  table->SetNumberOfTableValues(256);
  // Entries past 3 are never named. Filling them with the named colour nearest to their
  // place on a 0..3 ramp lets a model whose cell scalars run 0..3 (the mapper's range is
  // then 0..3, which lands on entries 0, 85, 170, 255) still show the four named colours.
  for (int i = 0; i < 256; ++i) {
    const int named = i < 4 ? i : static_cast<int>(std::lround(i * 3.0 / 255.0));
    table->SetTableValue(i, Named[named][0], Named[named][1], Named[named][2], Named[named][3]);
  }
  return table;
}

} // namespace selvane
