// MeshLab's picked points files (.pp): an XML document <PickedPoints> whose <point> elements
// carry the attributes x, y, z, name and active ("0" for a point the user switched off). The
// positions are in the model's own frame. The file stores no targets: a set of sources and a set
// of targets are two files, paired by name (LandmarkSet.h).
#ifndef SELVANE_PICKED_POINTS_H
#define SELVANE_PICKED_POINTS_H

#include "LandmarkSet.h"

#include <string>
#include <string_view>
#include <vector>

namespace selvane::formats {

// Reads the file with libxml2 (no network, no external entities). A document that is not XML,
// or whose root is not PickedPoints, is refused; a point without three numbers is skipped and
// reported. Switched-off points are returned with Active false.
LandmarkFile ParsePickedPoints(std::string_view text);

// The document with one <point> per landmark (its label as the name); modelName, when given,
// goes into DocumentData's DataFileName as MeshLab writes it.
std::string FormatPickedPoints(const std::vector<Landmark>& landmarks,
                               const std::string& modelName = std::string());

} // namespace selvane::formats

#endif
