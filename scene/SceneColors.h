#pragma once

#include <vtkSmartPointer.h>

class vtkActor;
class vtkLookupTable;

namespace selvane {

// Front colour of an actor and a separate back-face property of its own colour.
void SetActorColors(vtkActor* actor, double fr, double fg, double fb, double br, double bg,
                    double bb);

// The model's lookup table: 256 entries over 0..256 with the four named colours at 0..3.
vtkSmartPointer<vtkLookupTable> MakeModelLookupTable();

} // namespace selvane
