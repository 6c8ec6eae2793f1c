#include "SelectionFiles.h"

#include "NumberText.h"
#include "TextLines.h"

#include <vtkDataSet.h>
#include <vtkIdList.h>
#include <vtkPoints.h>
#include <vtkSmartPointer.h>

#include <cmath>
#include <istream>
#include <map>
#include <ostream>
#include <unordered_map>

namespace selvane::formats {

namespace {

// isspace in the C locale.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

enum class LineKind { Blank, Comment, Other };

LineKind Classify(std::string_view line) {
  for (char c : line) {
    if (IsBlank(c))
      continue;
    return c == '#' ? LineKind::Comment : LineKind::Other;
  }
  return LineKind::Blank;
}

// Calls f(lineNumber, line) for every line of text that is neither blank nor a comment, and
// comment(lineNumber, line) for every comment, as TextLines splits them (a leading byte-order
// mark skipped). Lines keep a trailing "\r" (a blank to the parsers). Returns false, with
// report.TooLongLine set, at a line longer than MaxLineBytes.
template <class F, class C>
bool ForEachLine(std::string_view text, ParseReport& report, F&& f, C&& comment) {
  TextLines lines(text);
  std::string_view line;
  while (lines.Next(line)) {
    const std::size_t number = lines.LineNumber();
    ++report.Lines;
    switch (Classify(line)) {
    case LineKind::Blank:
      ++report.BlankLines;
      break;
    case LineKind::Comment:
      ++report.CommentLines;
      comment(number, line);
      break;
    case LineKind::Other:
      f(number, line);
      break;
    }
  }
  report.TooLongLine = lines.TooLongLine();
  return report.TooLongLine == 0;
}

template <class F> bool ForEachLine(std::string_view text, ParseReport& report, F&& f) {
  return ForEachLine(text, report, f, [](std::size_t, std::string_view) {});
}

// What a parse returns for a file with a line that is too long: nothing but that line.
template <class Content> Content Refused(std::size_t tooLongLine) {
  Content refused;
  refused.Report.TooLongLine = tooLongLine;
  return refused;
}

// The line without leading and trailing blanks.
std::string_view Trimmed(std::string_view line) {
  while (!line.empty() && IsBlank(line.front()))
    line.remove_prefix(1);
  while (!line.empty() && IsBlank(line.back()))
    line.remove_suffix(1);
  return line;
}

std::string ReadAll(std::istream& is, bool& readError) {
  // Line by line: std::getline keeps what it read before a failure of the stream, so the lines
  // before a read error are still returned (a block read would lose its whole block).
  std::string text;
  std::string line;
  while (std::getline(is, line)) {
    text += line;
    if (!is.eof())
      text += '\n';
  }
  readError = is.bad();
  return text;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Parse reports
// ---------------------------------------------------------------------------------------------

const char* DescribeSkipReason(SkipReason reason) {
  switch (reason) {
  case SkipReason::NoNumber:
    return "without a number";
  case SkipReason::TooFewNumbers:
    return "with too few numbers";
  case SkipReason::NumberOutOfRange:
    return "with a number out of range";
  case SkipReason::NotFinite:
    return "with a number that is not finite";
  case SkipReason::IdOutsideModel:
    return "with an ID outside the model";
  case SkipReason::NoModelPoint:
    return "with a position that matches no model point";
  case SkipReason::CellWithoutPoints:
    return "with a cell that has no points";
  }
  return "unreadable";
}

std::string SummarizeSkipped(const ParseReport& report) {
  if (report.Skipped.empty())
    return std::string();
  std::map<SkipReason, std::vector<std::size_t>> byReason;
  for (const auto& s : report.Skipped)
    byReason[s.Reason].push_back(s.Line);
  std::string text;
  AppendDecimal(text, static_cast<long long>(report.Skipped.size()));
  text += report.Skipped.size() == 1 ? " line was skipped: " : " lines were skipped: ";
  bool first = true;
  for (const auto& [reason, lines] : byReason) {
    if (!first)
      text += ", ";
    first = false;
    AppendDecimal(text, static_cast<long long>(lines.size()));
    text += ' ';
    text += DescribeSkipReason(reason);
    text += lines.size() == 1 ? " (line " : " (lines ";
    for (std::size_t i = 0; i < lines.size() && i < 5; ++i) {
      if (i > 0)
        text += ", ";
      AppendDecimal(text, static_cast<long long>(lines[i]));
    }
    if (lines.size() > 5)
      text += ", ...";
    text += ')';
  }
  text += '.';
  return text;
}

// ---------------------------------------------------------------------------------------------
// Entries
// ---------------------------------------------------------------------------------------------

Entries EntriesOf(vtkIdList* list) {
  Entries entries;
  if (!list)
    return entries;
  const vtkIdType n = list->GetNumberOfIds();
  entries.reserve(static_cast<std::size_t>(n));
  for (vtkIdType i = 0; i < n; ++i)
    entries.push_back(list->GetId(i));
  return entries;
}

// ---------------------------------------------------------------------------------------------
// ID files
// ---------------------------------------------------------------------------------------------

const char* IdFileHeader(IdFileKind kind) {
  return kind == IdFileKind::Cells ? "# Cells IDs" : "# Points IDs";
}

void AppendIdList(std::string& out, const Entries& entries) {
  out.reserve(out.size() + entries.size() * 8);
  for (vtkIdType e : entries) {
    if (e < 0)
      out += "# ";
    AppendDecimal(out, static_cast<long long>(EntryId(e)));
    out += '\n';
  }
}

std::string FormatIdFile(IdFileKind kind, const Entries& entries) {
  std::string out = IdFileHeader(kind);
  out += '\n';
  AppendIdList(out, entries);
  return out;
}

Result WriteIdFile(std::ostream& os, IdFileKind kind, const Entries& entries) {
  const std::string text = FormatIdFile(kind, entries);
  os.write(text.data(), static_cast<std::streamsize>(text.size()));
  os.flush();
  if (!os)
    return Result::Failure(ErrorCode::CannotWrite, "the ID file could not be written");
  return Result::Success();
}

Entries CellPointEntries(const Entries& cellEntries, const CellPointsFunction& cellPoints) {
  Entries t;
  std::unordered_map<vtkIdType, std::size_t> where; // point ID -> index of its entry in t
  std::vector<vtkIdType> points;
  for (vtkIdType e : cellEntries) {
    points.clear();
    cellPoints(EntryId(e), points);
    for (vtkIdType p : points) {
      auto it = where.find(p);
      if (e >= 0) {
        if (it == where.end()) {
          where.emplace(p, t.size());
          t.push_back(p);
        } else {
          t[it->second] = p; // promotes a withdrawn entry in place; a selected one stays
        }
      } else if (it == where.end()) {
        where.emplace(p, t.size());
        t.push_back(-2 - p);
      }
    }
  }
  return t;
}

Entries CellPointEntries(const Entries& cellEntries, vtkDataSet* model) {
  if (!model)
    return Entries();
  const vtkIdType numCells = model->GetNumberOfCells();
  auto ids = vtkSmartPointer<vtkIdList>::New();
  return CellPointEntries(cellEntries, [&](vtkIdType cell, std::vector<vtkIdType>& points) {
    if (cell < 0 || cell >= numCells)
      return;
    model->GetCellPoints(cell, ids);
    for (vtkIdType i = 0; i < ids->GetNumberOfIds(); ++i)
      points.push_back(ids->GetId(i));
  });
}

IdFileContent ParseIdFile(std::string_view text, vtkIdType idCount) {
  IdFileContent result;
  const bool whole =
      ForEachLine(text, result.Report, [&](std::size_t number, std::string_view line) {
        const char* p = line.data();
        long long value = 0;
        switch (ScanInt32(p, line.data() + line.size(), value)) {
        case Scan::None:
          result.Report.Skipped.push_back({number, SkipReason::NoNumber});
          return;
        case Scan::OutOfRange:
          result.Report.Skipped.push_back({number, SkipReason::NumberOutOfRange});
          return;
        case Scan::Ok:
          break;
        }
        if (value < 0 || value >= static_cast<long long>(idCount)) {
          result.Report.Skipped.push_back({number, SkipReason::IdOutsideModel});
          return;
        }
        result.Ids.push_back(static_cast<vtkIdType>(value));
        result.IdLines.push_back(number);
      });
  return whole ? result : Refused<IdFileContent>(result.Report.TooLongLine);
}

IdFileContent ParseIdFile(std::istream& is, vtkIdType idCount) {
  bool readError = false;
  const std::string text = ReadAll(is, readError);
  IdFileContent result = ParseIdFile(std::string_view(text), idCount);
  result.Report.ReadError = readError;
  return result;
}

// ---------------------------------------------------------------------------------------------
// Point coordinate and transformation files
// ---------------------------------------------------------------------------------------------

Bounds BoundsOf(vtkPoints* modelPoints) {
  Bounds b = {0, 0, 0, 0, 0, 0};
  if (modelPoints && modelPoints->GetNumberOfPoints() > 0)
    modelPoints->GetBounds(b.data());
  return b;
}

void AppendBoundsBlock(std::string& out, const Bounds& b) {
  out += kModelBoundsBegin;
  out += '\n';
  for (int corner = 0; corner < 8; ++corner) {
    const Point3 c = {(corner & 1) ? b[1] : b[0], (corner & 2) ? b[3] : b[2],
                      (corner & 4) ? b[5] : b[4]};
    AppendPointLine(out, false, c, c);
  }
  out += kModelBoundsEnd;
  out += '\n';
}

namespace {
void AppendTriple(std::string& out, const Point3& p) {
  AppendFixed6(out, p[0]);
  out += ' ';
  AppendFixed6(out, p[1]);
  out += ' ';
  AppendFixed6(out, p[2]);
}

// The model's position of entry e's point; Refused naming the point when the model has none.
Result ModelPosition(vtkPoints* modelPoints, vtkIdType e, Point3& position) {
  const vtkIdType id = EntryId(e);
  if (!modelPoints || id < 0 || id >= modelPoints->GetNumberOfPoints())
    return Result::Failure(ErrorCode::Refused,
                           "point " + std::to_string(id) + " is not in the model (" +
                               std::to_string(modelPoints ? modelPoints->GetNumberOfPoints() : 0) +
                               " points)");
  modelPoints->GetPoint(id, position.data());
  return Result::Success();
}

Result WriteText(std::ostream& os, const std::string& text) {
  os.write(text.data(), static_cast<std::streamsize>(text.size()));
  os.flush();
  if (!os)
    return Result::Failure(ErrorCode::CannotWrite, "the point file could not be written");
  return Result::Success();
}
} // namespace

void AppendPointLine(std::string& out, bool withdrawn, const Point3& position) {
  if (withdrawn)
    out += "# ";
  AppendTriple(out, position);
  out += '\n';
}

void AppendPointLine(std::string& out, bool withdrawn, const Point3& position,
                     const Point3& target) {
  if (withdrawn)
    out += "# ";
  AppendTriple(out, position);
  out += ' ';
  AppendTriple(out, target);
  out += '\n';
}

Result FormatPointsFile(std::string& out, const Entries& entries, vtkPoints* modelPoints) {
  out = kPointsHeader;
  out += '\n';
  out.reserve(out.size() + entries.size() * 40);
  for (vtkIdType e : entries) {
    Point3 position;
    if (Result found = ModelPosition(modelPoints, e, position); !found)
      return found;
    AppendPointLine(out, e < 0, position);
  }
  return Result::Success();
}

Result FormatPointTransformationsFile(std::string& out, const Entries& entries,
                                      const std::vector<Point3>& targets, vtkPoints* modelPoints) {
  if (targets.size() != entries.size())
    return Result::Failure(ErrorCode::Refused, std::to_string(targets.size()) + " targets for " +
                                                   std::to_string(entries.size()) + " points");
  out = kPointTransformationsHeader;
  out += '\n';
  AppendBoundsBlock(out, BoundsOf(modelPoints));
  out.reserve(out.size() + entries.size() * 80);
  // The target of the first list index whose entry equals e, as earlier versions wrote it;
  // entries are unique in a selection list, so that is normally i itself.
  std::unordered_map<vtkIdType, std::size_t> first;
  first.reserve(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i)
    first.emplace(entries[i], i);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Point3 position;
    if (Result found = ModelPosition(modelPoints, entries[i], position); !found)
      return found;
    AppendPointLine(out, entries[i] < 0, position, targets[first[entries[i]]]);
  }
  return Result::Success();
}

Result WritePointsFile(std::ostream& os, const Entries& entries, vtkPoints* modelPoints) {
  std::string text;
  if (Result formatted = FormatPointsFile(text, entries, modelPoints); !formatted)
    return formatted;
  return WriteText(os, text);
}

Result WritePointTransformationsFile(std::ostream& os, const Entries& entries,
                                     const std::vector<Point3>& targets, vtkPoints* modelPoints) {
  std::string text;
  if (Result formatted = FormatPointTransformationsFile(text, entries, targets, modelPoints);
      !formatted)
    return formatted;
  return WriteText(os, text);
}

PointFileContent ParsePointFile(std::string_view text, PointImport mode) {
  PointFileContent result;
  const int needed = mode == PointImport::Coordinates ? 3 : 6;
  auto takeLine = [&](std::size_t number, std::string_view line) {
    const char* p = line.data();
    const char* end = line.data() + line.size();
    float v[6] = {0, 0, 0, 0, 0, 0};
    for (int k = 0; k < needed; ++k) {
      switch (ScanFloat(p, end, v[k])) {
      case Scan::None:
        result.Report.Skipped.push_back(
            {number, k == 0 ? SkipReason::NoNumber : SkipReason::TooFewNumbers});
        return;
      case Scan::OutOfRange:
        result.Report.Skipped.push_back({number, SkipReason::NumberOutOfRange});
        return;
      case Scan::Ok:
        break;
      }
    }
    for (int k = 0; k < needed; ++k) {
      if (!std::isfinite(v[k])) {
        result.Report.Skipped.push_back({number, SkipReason::NotFinite});
        return;
      }
    }
    result.Sources.push_back({v[0], v[1], v[2]});
    result.SourceLines.push_back(number);
    if (mode == PointImport::Transformations)
      result.Targets.push_back({v[3], v[4], v[5]});
  };
  auto comment = [&](std::size_t number, std::string_view line) {
    const std::string_view text = Trimmed(line);
    if (result.BoundsBlockBegin == 0 && text == kModelBoundsBegin)
      result.BoundsBlockBegin = number;
    else if (result.BoundsBlockBegin > 0 && result.BoundsBlockEnd == 0 && text == kModelBoundsEnd)
      result.BoundsBlockEnd = number;
  };
  if (!ForEachLine(text, result.Report, takeLine, comment))
    return Refused<PointFileContent>(result.Report.TooLongLine);
  if (result.BoundsBlockEnd == 0)
    result.BoundsBlockBegin = 0; // an unfinished block is no block
  return result;
}

PointFileContent ParsePointFile(std::istream& is, PointImport mode) {
  bool readError = false;
  const std::string text = ReadAll(is, readError);
  PointFileContent result = ParsePointFile(std::string_view(text), mode);
  result.Report.ReadError = readError;
  return result;
}

} // namespace selvane::formats
