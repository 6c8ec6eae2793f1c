#pragma once

class vtkRenderWindowInteractor;

namespace selvane {

// VTK's interactor styles act on single letters behind the menu's back: '3' turns on red/blue
// stereo, 'p' leaves a red pick box, 'e'/'q' end the interactor, 's'/'w' change every actor's
// rendering, 'j'/'t'/'c'/'a' switch the mouse mode. Only 'r' (reset the camera) is kept; every
// other character stops before it reaches the style. Mouse interaction is untouched.
void KeepOnlyCameraResetKey(vtkRenderWindowInteractor* interactor);

} // namespace selvane
