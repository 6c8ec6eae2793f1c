// File > Export Animation...: the frames of the last Transform's animation, the same shares
// of the deformation the animation shows, as a PNG series grabbed from the view at its size
// and as a .vtp series with a .pvd collection file (MorphSeries.h), all beside the chosen
// NAME.pvd: NAME_0000.png ..., NAME_0000.vtp ..., NAME.pvd.
#pragma once

#include <vector>

namespace selvane {

class MainDialog;

// The shares of the deformation of the animation's frames 0 .. frames * cycles - 1 (frame 0
// is the model as read, shown before the animation starts); one frame of share 0 when the
// Transform played no animation.
std::vector<float> AnimationFractions(int frames, int cycles);

void OnExportAnimation(MainDialog& dialog);

} // namespace selvane
