// The event the correspondence reader and the spline solver invoke when they start a stage of
// their work, with the stage's name ("Ordering", "Factoring") as its call data, so that a
// caller can show how far a long fit has come.
#pragma once

#include <vtkCommand.h>

namespace selvane {

constexpr unsigned long StageEvent = vtkCommand::UserEvent + 0x51a;

} // namespace selvane
