#include "LandmarkCsv.h"

#include "TextLines.h"

#include <algorithm>

namespace selvane::formats {

namespace {

// Blanks around a field; a tab is one only when it does not separate the fields.
bool IsPad(char c, char delimiter) {
  return c == ' ' || (c == '\t' && delimiter != '\t');
}

std::string_view TrimPad(std::string_view text, char delimiter) {
  while (!text.empty() && IsPad(text.front(), delimiter))
    text.remove_prefix(1);
  while (!text.empty() && IsPad(text.back(), delimiter))
    text.remove_suffix(1);
  return text;
}

std::string_view WithoutCarriageReturn(std::string_view line) {
  if (!line.empty() && line.back() == '\r')
    line.remove_suffix(1);
  return line;
}

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return text;
}

// Where each column the reader uses stands in a row.
struct CsvColumns {
  char Delimiter = ',';
  int Label = -1;
  int Position[3] = {-1, -1, -1};
  int Target[3] = {-1, -1, -1};
  std::size_t Needed = 0; // fields a row must have: one past the last column used
};

// Reads the header; returns "" or why it cannot be the header.
std::string ReadHeader(std::string_view line, CsvColumns& columns) {
  static const char Delimiters[] = {',', ';', '\t'};
  static const char* const PositionNames[] = {"x", "y", "z"};
  static const char* const TargetNames[] = {"tx", "ty", "tz"};
  std::vector<std::string> names;
  for (char delimiter : Delimiters) {
    if (!SplitDelimited(line, delimiter, names))
      continue;
    for (std::string& name : names)
      name = Lowercase(name);
    const auto column = [&](const char* name, int& where) -> std::string {
      const auto count = std::count(names.begin(), names.end(), name);
      if (count > 1)
        return std::string("the header names the column ") + name + " twice";
      const auto found = std::find(names.begin(), names.end(), name);
      where = found == names.end() ? -1 : static_cast<int>(found - names.begin());
      return std::string();
    };
    CsvColumns found;
    found.Delimiter = delimiter;
    std::string problem;
    for (int k = 0; k < 3 && problem.empty(); ++k)
      problem = column(PositionNames[k], found.Position[k]);
    if (!problem.empty())
      return problem;
    if (found.Position[0] < 0 || found.Position[1] < 0 || found.Position[2] < 0)
      continue;
    for (int k = 0; k < 3 && problem.empty(); ++k)
      problem = column(TargetNames[k], found.Target[k]);
    for (const char* name : {"id", "name", "label"})
      if (problem.empty()) {
        int where = -1;
        problem = column(name, where);
        if (where >= 0)
          found.Label = where;
      }
    if (!problem.empty())
      return problem;
    const int targets =
        static_cast<int>(found.Target[0] >= 0) + (found.Target[1] >= 0) + (found.Target[2] >= 0);
    if (targets != 0 && targets != 3)
      return "the header names only some of the target columns tx, ty and tz";
    int last = found.Label;
    for (int k = 0; k < 3; ++k)
      last = std::max({last, found.Position[k], found.Target[k]});
    found.Needed = static_cast<std::size_t>(last) + 1;
    columns = found;
    return std::string();
  }
  return "the header names no columns x, y and z (separated by commas, semicolons or tabs)";
}

// Reads the three numbers of columns at; "" or why not.
std::string ReadTriple(const std::vector<std::string>& fields, const int at[3],
                       const char* const names[3], Point3& p) {
  for (int k = 0; k < 3; ++k) {
    const std::string& field = fields[static_cast<std::size_t>(at[k])];
    const NumberProblem problem = ReadNumber(field, p[k]);
    if (problem != NumberProblem::None)
      return DescribeNumberProblem(field, std::string("in column ") + names[k], problem);
  }
  return std::string();
}

LandmarkFile Refused(std::string why) {
  LandmarkFile refused;
  refused.Refusal = std::move(why);
  return refused;
}

} // namespace

bool SplitDelimited(std::string_view line, char delimiter, std::vector<std::string>& fields) {
  fields.clear();
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (true) {
    while (i < n && IsPad(line[i], delimiter))
      ++i;
    std::string field;
    if (i < n && line[i] == '"') {
      ++i;
      bool closed = false;
      while (i < n) {
        if (line[i] != '"') {
          field += line[i++];
        } else if (i + 1 < n && line[i + 1] == '"') {
          field += '"';
          i += 2;
        } else {
          ++i;
          closed = true;
          break;
        }
      }
      if (!closed)
        return false;
      // Anything between the closing quote and the delimiter belongs to the field, as
      // spreadsheets read it.
      const std::size_t start = i;
      while (i < n && line[i] != delimiter)
        ++i;
      field += TrimPad(line.substr(start, i - start), delimiter);
    } else {
      const std::size_t start = i;
      while (i < n && line[i] != delimiter)
        ++i;
      field = TrimPad(line.substr(start, i - start), delimiter);
    }
    fields.push_back(std::move(field));
    if (i >= n)
      return true;
    ++i; // the delimiter
  }
}

std::string QuoteField(const std::string& field, char delimiter) {
  const bool plain = field.find_first_of(std::string("\"\r\n") + delimiter) == std::string::npos &&
                     (field.empty() || (!IsPad(field.front(), '\0') && !IsPad(field.back(), '\0') &&
                                        field.front() != '#'));
  if (plain)
    return field;
  std::string quoted = "\"";
  for (char c : field) {
    if (c == '"')
      quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

LandmarkFile ParseLandmarkCsv(std::string_view text) {
  static const char* const PositionNames[] = {"x", "y", "z"};
  static const char* const TargetNames[] = {"tx", "ty", "tz"};
  LandmarkFile result;
  TextLines lines(text);
  std::string_view line;
  CsvColumns columns;
  bool haveHeader = false;
  std::vector<std::string> fields;
  while (lines.Next(line)) {
    line = WithoutCarriageReturn(line);
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == '#')
      continue;
    const std::string where = "line " + std::to_string(lines.LineNumber());
    if (!haveHeader) {
      const std::string problem = ReadHeader(line, columns);
      if (!problem.empty())
        return Refused(where + ": " + problem);
      haveHeader = true;
      result.HasTargets = columns.Target[0] >= 0;
      continue;
    }
    if (!SplitDelimited(line, columns.Delimiter, fields)) {
      result.Skipped.push_back({where, "a quoted field is not closed"});
      continue;
    }
    if (fields.size() < columns.Needed) {
      result.Skipped.push_back({where, "too few fields (" + std::to_string(fields.size()) +
                                           " where the header needs " +
                                           std::to_string(columns.Needed) + ")"});
      continue;
    }
    Landmark landmark;
    std::string problem = ReadTriple(fields, columns.Position, PositionNames, landmark.Position);
    if (problem.empty() && result.HasTargets) {
      Point3 target{};
      problem = ReadTriple(fields, columns.Target, TargetNames, target);
      landmark.Target = target;
    }
    if (!problem.empty()) {
      result.Skipped.push_back({where, problem});
      continue;
    }
    if (columns.Label >= 0)
      landmark.Label = fields[static_cast<std::size_t>(columns.Label)];
    landmark.Where = where;
    result.Landmarks.push_back(std::move(landmark));
  }
  if (lines.TooLongLine() > 0)
    return Refused(DescribeTooLongLine(lines.TooLongLine()));
  if (!haveHeader)
    return Refused("the file has no header line naming the columns x, y and z");
  return result;
}

std::string FormatLandmarkCsv(const std::vector<Landmark>& landmarks) {
  const bool targets = std::all_of(landmarks.begin(), landmarks.end(),
                                   [](const Landmark& l) { return l.Target.has_value(); });
  std::string out = targets ? "id,x,y,z,tx,ty,tz\n" : "id,x,y,z\n";
  for (const Landmark& landmark : landmarks) {
    out += QuoteField(landmark.Label, ',');
    for (double v : landmark.Position) {
      out += ',';
      AppendShortest(out, v);
    }
    if (targets)
      for (double v : *landmark.Target) {
        out += ',';
        AppendShortest(out, v);
      }
    out += '\n';
  }
  return out;
}

} // namespace selvane::formats
