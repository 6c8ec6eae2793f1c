// The landmark files of other tools, by format: which format a file name means, and one reader
// and one writer for all of them.
#ifndef SELVANE_LANDMARK_FILES_H
#define SELVANE_LANDMARK_FILES_H

#include "LandmarkSet.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace selvane::formats {

enum class LandmarkFormat {
  Csv,          // .csv, .tsv, .txt: a table with x, y, z and maybe tx, ty, tz (LandmarkCsv.h)
  SlicerFcsv,   // .fcsv (SlicerMarkups.h)
  SlicerJson,   // .mrk.json, .json (SlicerMarkups.h)
  PickedPoints, // .pp (PickedPoints.h)
};

// The format a file name's extension means (any letter case); none for another extension.
std::optional<LandmarkFormat> LandmarkFormatOf(std::string_view path);

// Whether the format stores a target with each landmark (only the table does).
bool StoresTargets(LandmarkFormat format);

// The frame the model's coordinates are taken to be in, for files that name theirs: LPS, the
// frame Slicer saves models and markups in.
constexpr AnatomicalFrame ModelFrame = AnatomicalFrame::LPS;

LandmarkFile ParseLandmarks(LandmarkFormat format, std::string_view text);
// modelName goes where a format names the model the points belong to (picked points files).
std::string FormatLandmarks(LandmarkFormat format, const std::vector<Landmark>& landmarks,
                            const std::string& modelName = std::string());

} // namespace selvane::formats

#endif
