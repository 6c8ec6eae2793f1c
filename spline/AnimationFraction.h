// The share of the deformation shown at each frame of the Transform animation, shared by the
// window and selvane-deform --series so that both play the same morph.
#pragma once

namespace selvane {

// The share of the displacement shown at frame k (1 .. frames * cycles - 1) of the animation:
// a triangle wave rising by 1/frames per frame to (frames - 1)/frames and back to 0 (0 at
// k = 0). Requires frames >= 2.
inline float AnimationFraction(long long k, int frames) {
  const long long p = frames - 1;
  const long long q = k / p, r = k % p, s = q % 2;
  return static_cast<float>((s ? -r : r) + s * p) / static_cast<float>(frames);
}

} // namespace selvane
