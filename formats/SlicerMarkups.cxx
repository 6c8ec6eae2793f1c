#include "SlicerMarkups.h"

#include "LandmarkCsv.h"
#include "TextLines.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace selvane::formats {

namespace {

LandmarkFile Refused(std::string why) {
  LandmarkFile refused;
  refused.Refusal = std::move(why);
  return refused;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The frame a file names: "RAS"/"0" or "LPS"/"1"; false for anything else (IJK, "2", ...).
bool FrameNamed(std::string_view name, AnatomicalFrame& frame) {
  name = TrimBlanks(name);
  if (SameName(name, "RAS") || name == "0")
    frame = AnatomicalFrame::RAS;
  else if (SameName(name, "LPS") || name == "1")
    frame = AnatomicalFrame::LPS;
  else
    return false;
  return true;
}

const char* FrameName(AnatomicalFrame frame) {
  return frame == AnatomicalFrame::RAS ? "RAS" : "LPS";
}

std::string Shown(std::string_view text) {
  constexpr std::size_t Longest = 40;
  return "'" + std::string(text.substr(0, Longest)) + (text.size() > Longest ? "...'" : "'");
}

// ---------------------------------------------------------------------------------------------
// .fcsv
// ---------------------------------------------------------------------------------------------

struct FcsvColumns {
  int Position[3] = {1, 2, 3};
  int Label = 11;
  std::size_t Needed = 4;
};

// Reads "# columns = ..."; "" or why the columns cannot be used.
std::string ReadFcsvColumns(std::string_view list, FcsvColumns& columns) {
  std::vector<std::string> names;
  if (!SplitDelimited(list, ',', names))
    return "a quoted column name is not closed";
  const auto find = [&](const char* name) {
    const auto found = std::find_if(names.begin(), names.end(),
                                    [&](const std::string& n) { return SameName(n, name); });
    return found == names.end() ? -1 : static_cast<int>(found - names.begin());
  };
  FcsvColumns found;
  const char* const axes[] = {"x", "y", "z"};
  for (int k = 0; k < 3; ++k) {
    found.Position[k] = find(axes[k]);
    if (found.Position[k] < 0)
      return std::string("the columns line names no column ") + axes[k];
  }
  found.Label = find("label");
  if (found.Label < 0)
    found.Label = find("id");
  found.Needed = static_cast<std::size_t>(
                     std::max({found.Position[0], found.Position[1], found.Position[2]})) +
                 1;
  columns = found;
  return std::string();
}

} // namespace

LandmarkFile ParseSlicerFcsv(std::string_view text, AnatomicalFrame modelFrame) {
  static const char* const Axes[] = {"x", "y", "z"};
  LandmarkFile result;
  // Files from before the header named the frame hold RAS positions.
  AnatomicalFrame fileFrame = AnatomicalFrame::RAS;
  FcsvColumns columns;
  TextLines lines(text);
  std::string_view line;
  std::vector<std::string> fields;
  while (lines.Next(line)) {
    const std::string where = "line " + std::to_string(lines.LineNumber());
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty())
      continue;
    if (trimmed.front() == '#') {
      const std::string_view body = trimmed.substr(1);
      const std::size_t equals = body.find('=');
      if (equals == std::string_view::npos)
        continue;
      const std::string_view key = TrimBlanks(body.substr(0, equals));
      const std::string_view value = TrimBlanks(body.substr(equals + 1));
      if (SameName(key, "CoordinateSystem") && !FrameNamed(value, fileFrame))
        return Refused(where + ": the coordinate system " + Shown(value) +
                       " is not supported (RAS or LPS)");
      if (SameName(key, "columns")) {
        const std::string problem = ReadFcsvColumns(value, columns);
        if (!problem.empty())
          return Refused(where + ": " + problem);
      }
      continue;
    }
    if (!SplitDelimited(TrimBlanks(line), ',', fields)) {
      result.Skipped.push_back({where, "a quoted field is not closed"});
      continue;
    }
    if (fields.size() < columns.Needed) {
      result.Skipped.push_back({where, "too few fields (" + std::to_string(fields.size()) +
                                           " where x, y and z need " +
                                           std::to_string(columns.Needed) + ")"});
      continue;
    }
    Landmark landmark;
    std::string problem;
    for (int k = 0; k < 3 && problem.empty(); ++k) {
      const std::string& field = fields[static_cast<std::size_t>(columns.Position[k])];
      const NumberProblem number = ReadNumber(field, landmark.Position[k]);
      if (number != NumberProblem::None)
        problem = DescribeNumberProblem(field, std::string("in column ") + Axes[k], number);
    }
    if (!problem.empty()) {
      result.Skipped.push_back({where, problem});
      continue;
    }
    landmark.Position = ConvertFrame(landmark.Position, fileFrame, modelFrame);
    if (columns.Label >= 0 && static_cast<std::size_t>(columns.Label) < fields.size())
      landmark.Label = fields[static_cast<std::size_t>(columns.Label)];
    landmark.Where = where;
    result.Landmarks.push_back(std::move(landmark));
  }
  if (lines.TooLongLine() > 0)
    return Refused(DescribeTooLongLine(lines.TooLongLine()));
  return result;
}

std::string FormatSlicerFcsv(const std::vector<Landmark>& landmarks, AnatomicalFrame modelFrame) {
  std::string out = "# Markups fiducial file version = 4.11\n# CoordinateSystem = ";
  out += FrameName(modelFrame);
  out += "\n# columns = id,x,y,z,ow,ox,oy,oz,vis,sel,lock,label,desc,associatedNodeID\n";
  std::size_t id = 0;
  for (const Landmark& landmark : landmarks) {
    out += std::to_string(++id);
    for (double v : landmark.Position) {
      out += ',';
      AppendShortest(out, v);
    }
    // No orientation, visible, selected, unlocked; the label; no description, no node.
    out += ",0,0,0,1,1,1,0,";
    out += QuoteField(landmark.Label, ',');
    out += ",,\n";
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// .mrk.json
// ---------------------------------------------------------------------------------------------

namespace {

using Json = nlohmann::json;

// Deeper than any markups file; refusing deeper input keeps a hostile file from costing more.
constexpr int DeepestJson = 64;
struct TooDeep {};

// What the library says, without its "[json.exception...] " prefix.
std::string JsonMessage(const Json::exception& e) {
  std::string what = e.what();
  const std::size_t close = what.find("] ");
  return close == std::string::npos ? what : what.substr(close + 2);
}

// "" or why the point cannot be taken; sets landmark's position and label.
std::string ReadControlPoint(const Json& point, Landmark& landmark) {
  if (!point.is_object())
    return "it is not an object";
  const auto status = point.find("positionStatus");
  if (status != point.end() && status->is_string()) {
    if (*status == "undefined")
      return "its position is undefined";
    if (*status == "preview")
      return "it is only a preview, not placed";
  }
  const auto position = point.find("position");
  if (position == point.end() || !position->is_array() || position->size() != 3)
    return "it has no position of three numbers";
  for (std::size_t k = 0; k < 3; ++k) {
    const Json& v = (*position)[k];
    if (!v.is_number())
      return "its position holds " + Shown(v.dump(-1, ' ', false, Json::error_handler_t::replace)) +
             ", not a number";
    landmark.Position[k] = v.get<double>();
    if (!std::isfinite(landmark.Position[k]))
      return "its position is not finite";
  }
  const auto label = point.find("label");
  if (label != point.end())
    landmark.Label = label->is_string()
                         ? label->get<std::string>()
                         : label->dump(-1, ' ', false, Json::error_handler_t::replace);
  return std::string();
}

} // namespace

LandmarkFile ParseSlicerMarkupsJson(std::string_view text, AnatomicalFrame modelFrame) {
  text.remove_prefix(Utf8BomLength(text));
  Json root;
  try {
    root = Json::parse(text.begin(), text.end(), [](int depth, Json::parse_event_t, Json&) {
      if (depth > DeepestJson)
        throw TooDeep();
      return true;
    });
  } catch (const Json::exception& e) {
    return Refused("not a JSON file: " + JsonMessage(e));
  } catch (const TooDeep&) {
    return Refused("the JSON nests deeper than " + std::to_string(DeepestJson) + " levels");
  }
  const auto markups = root.is_object() ? root.find("markups") : root.end();
  if (!root.is_object() || markups == root.end() || !markups->is_array())
    return Refused("no \"markups\" list: not a markups file");
  LandmarkFile result;
  const std::size_t count = markups->size();
  for (std::size_t m = 0; m < count; ++m) {
    const Json& markup = (*markups)[m];
    const std::string markupName = "markup " + std::to_string(m + 1);
    if (!markup.is_object())
      return Refused(markupName + " is not an object");
    // Slicer's schema makes LPS the frame of a file that names none.
    AnatomicalFrame fileFrame = AnatomicalFrame::LPS;
    const auto system = markup.find("coordinateSystem");
    if (system != markup.end() &&
        (!system->is_string() || !FrameNamed(system->get<std::string>(), fileFrame)))
      return Refused(markupName + ": the coordinate system " +
                     Shown(system->is_string()
                               ? system->get<std::string>()
                               : system->dump(-1, ' ', false, Json::error_handler_t::replace)) +
                     " is not supported (RAS or LPS)");
    const auto points = markup.find("controlPoints");
    if (points == markup.end() || points->is_null())
      continue;
    if (!points->is_array())
      return Refused(markupName + ": \"controlPoints\" is not a list");
    for (std::size_t p = 0; p < points->size(); ++p) {
      Landmark landmark;
      landmark.Where = (count > 1 ? markupName + ", " : std::string()) + "control point " +
                       std::to_string(p + 1);
      const std::string problem = ReadControlPoint((*points)[p], landmark);
      if (!problem.empty()) {
        result.Skipped.push_back({landmark.Where, problem});
        continue;
      }
      landmark.Position = ConvertFrame(landmark.Position, fileFrame, modelFrame);
      result.Landmarks.push_back(std::move(landmark));
    }
  }
  return result;
}

std::string FormatSlicerMarkupsJson(const std::vector<Landmark>& landmarks,
                                    AnatomicalFrame modelFrame) {
  using Ordered = nlohmann::ordered_json;
  Ordered points = Ordered::array();
  std::size_t id = 0;
  for (const Landmark& landmark : landmarks) {
    Ordered point;
    point["id"] = std::to_string(++id);
    point["label"] = landmark.Label;
    point["position"] = {landmark.Position[0], landmark.Position[1], landmark.Position[2]};
    point["selected"] = true;
    point["locked"] = false;
    point["visibility"] = true;
    point["positionStatus"] = "defined";
    points.push_back(std::move(point));
  }
  Ordered markup;
  markup["type"] = "Fiducial";
  markup["coordinateSystem"] = FrameName(modelFrame);
  markup["controlPoints"] = std::move(points);
  Ordered root;
  root["@schema"] = "https://raw.githubusercontent.com/slicer/slicer/master/Modules/Loadable/"
                    "Markups/Resources/Schema/markups-schema-v1.0.3.json#";
  root["markups"] = Ordered::array({std::move(markup)});
  // Labels that are not UTF-8 are written with replacement characters rather than refused.
  return root.dump(2, ' ', false, Ordered::error_handler_t::replace) + "\n";
}

} // namespace selvane::formats
