#include "LandmarkFiles.h"

#include "LandmarkCsv.h"
#include "PickedPoints.h"
#include "SlicerMarkups.h"

#include <algorithm>
#include <cctype>

namespace selvane::formats {

namespace {
bool EndsWith(std::string_view path, std::string_view extension) {
  return path.size() >= extension.size() &&
         std::equal(
             extension.begin(), extension.end(), path.end() - extension.size(),
             [](char e, char p) { return e == std::tolower(static_cast<unsigned char>(p)); });
}
} // namespace

std::optional<LandmarkFormat> LandmarkFormatOf(std::string_view path) {
  if (EndsWith(path, ".csv") || EndsWith(path, ".tsv") || EndsWith(path, ".txt"))
    return LandmarkFormat::Csv;
  if (EndsWith(path, ".fcsv"))
    return LandmarkFormat::SlicerFcsv;
  if (EndsWith(path, ".json"))
    return LandmarkFormat::SlicerJson;
  if (EndsWith(path, ".pp"))
    return LandmarkFormat::PickedPoints;
  return std::nullopt;
}

bool StoresTargets(LandmarkFormat format) {
  return format == LandmarkFormat::Csv;
}

LandmarkFile ParseLandmarks(LandmarkFormat format, std::string_view text) {
  switch (format) {
  case LandmarkFormat::Csv:
    return ParseLandmarkCsv(text);
  case LandmarkFormat::SlicerFcsv:
    return ParseSlicerFcsv(text, ModelFrame);
  case LandmarkFormat::SlicerJson:
    return ParseSlicerMarkupsJson(text, ModelFrame);
  case LandmarkFormat::PickedPoints:
    return ParsePickedPoints(text);
  }
  return LandmarkFile();
}

std::string FormatLandmarks(LandmarkFormat format, const std::vector<Landmark>& landmarks,
                            const std::string& modelName) {
  switch (format) {
  case LandmarkFormat::Csv:
    return FormatLandmarkCsv(landmarks);
  case LandmarkFormat::SlicerFcsv:
    return FormatSlicerFcsv(landmarks, ModelFrame);
  case LandmarkFormat::SlicerJson:
    return FormatSlicerMarkupsJson(landmarks, ModelFrame);
  case LandmarkFormat::PickedPoints:
    return FormatPickedPoints(landmarks, modelName);
  }
  return std::string();
}

} // namespace selvane::formats
