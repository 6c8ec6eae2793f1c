// Point lists of 3D Slicer's Markups module: the older comma-separated .fcsv files and the
// markups JSON files (.mrk.json). Neither stores targets: a set of sources and a set of targets
// are two files, paired by label (LandmarkSet.h).
//
// Slicer states the frame of the points in the file (RAS or LPS; .fcsv files written before the
// header named one are RAS, JSON files without one are LPS). The readers convert every position
// to the model's frame and the writers state the model's frame, so nothing is converted on the
// way out and the numbers read back bit for bit.
#ifndef SELVANE_SLICER_MARKUPS_H
#define SELVANE_SLICER_MARKUPS_H

#include "LandmarkSet.h"

#include <string>
#include <string_view>
#include <vector>

namespace selvane::formats {

// .fcsv: "#" header lines ("# Markups fiducial file version = 4.11", "# CoordinateSystem = LPS"
// or the older "= 0" for RAS and "= 1" for LPS, "# columns = id,x,y,z,...,label,..."), then one
// row per point. Without a columns line the columns are Slicer's own order (id, x, y, z, ow,
// ox, oy, oz, vis, sel, lock, label, desc, associatedNodeID). The label is the label column, or
// the id where there is none.
LandmarkFile ParseSlicerFcsv(std::string_view text, AnatomicalFrame modelFrame);
std::string FormatSlicerFcsv(const std::vector<Landmark>& landmarks, AnatomicalFrame modelFrame);

// .mrk.json: {"markups": [{"coordinateSystem": "LPS", "controlPoints": [{"label": "F-1",
// "position": [x, y, z], "positionStatus": "defined", ...}, ...]}, ...]}. The control points of
// every markup in the file are read, in order; points whose position is undefined or only a
// preview are skipped and reported.
LandmarkFile ParseSlicerMarkupsJson(std::string_view text, AnatomicalFrame modelFrame);
std::string FormatSlicerMarkupsJson(const std::vector<Landmark>& landmarks,
                                    AnatomicalFrame modelFrame);

} // namespace selvane::formats

#endif
