// The Transform and Clear Transform commands: fit a deformation to a correspondence file and
// play it as an animation in the view; return the model to its shape as read.
#pragma once

#include "CommandTable.h"

#include <string>

namespace selvane {

class MainDialog;

// Shows the Make Transform box; its OK runs RunTransform.
void OnTransform(MainDialog& dialog);
// Shows the Make Transform box for a fit of the selected points and their targets, with the
// model's bounds pinned as an export of them holds them; no file is asked for.
void OnTransformSelectedPoints(MainDialog& dialog);
// Takes radius, frames and cycles from the Make Transform box, asks for the correspondence
// file (or takes the selected points), fits the spline, hands it to the shape transform and
// animates it.
void RunTransform(MainDialog& dialog);
// Shows the model undeformed (Fraction 0); the fit stays for later.
void OnClearTransform(MainDialog& dialog);

// Registers Transform, Transform Selected Points and Clear Transform, from the command table.
void AddTransformCommands(CommandTable& commands);

// The share of the displacement shown at frame k (1 .. frames * cycles - 1) of the animation:
// a triangle wave rising by 1/frames per frame to (frames - 1)/frames and back to 0.
// Requires frames >= 2.
float AnimationFraction(long long k, int frames);

// Why the dialog's values cannot be animated, or "" when they can.
std::string CheckTransformValues(float radius, int frames, int cycles);

} // namespace selvane
