// Text formats of the selection files: cell and point ID files (.cid, .pid), point coordinate
// files (.pts) and point transformation files (.ptt).
//
// Plain code on strings and streams, with no viewer state: the command handlers gather the
// selection lists and the model's points, call these functions, and apply what the parsers
// return. The writers produce the bytes printf's "%d" and "%f" give in the C numeric locale,
// whatever the process's locale, with "\n" line ends, so files of earlier versions and of
// other programs that follow these layouts read the same. The parsers' line rules: a line counts
// when it starts with the numbers its format needs; leading blanks and a sign are accepted, text
// after the last number needed is ignored, "#" lines are comments. A leading UTF-8 byte-order
// mark is skipped. Every line that does not count, other than comments and blank lines, is
// reported with its reason. A line longer than MaxLineBytes (TextLines.h) refuses the whole file.
#ifndef SELVANE_SELECTION_FILES_H
#define SELVANE_SELECTION_FILES_H

#include "NumberText.h"
#include "Result.h"

#include <vtkType.h>

#include <array>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

class vtkDataSet;
class vtkIdList;
class vtkPoints;

namespace selvane::formats {

// ---------------------------------------------------------------------------------------------
// Parse reports
// ---------------------------------------------------------------------------------------------

enum class SkipReason {
  NoNumber,         // the line does not start with a number (after blanks and a sign)
  TooFewNumbers,    // it starts with fewer numbers than the format needs
  NumberOutOfRange, // a number too large for its type (32-bit ID, single-precision coordinate)
  NotFinite,        // "inf" or "nan" where a coordinate is needed
  IdOutsideModel,   // an ID that is negative or not below the model's count
  NoModelPoint,     // a position farther than the matching tolerance from every model point
  CellWithoutPoints // a cell ID of a cell that has no point to make current
};

// A short English phrase for messages, e.g. "without a number".
const char* DescribeSkipReason(SkipReason reason);

struct SkippedLine {
  std::size_t Line; // 1-based line number in the file
  SkipReason Reason;
};

struct ParseReport {
  std::size_t Lines = 0;        // lines read (a last line without a line end counts)
  std::size_t CommentLines = 0; // first non-blank character "#": ignored silently
  std::size_t BlankLines = 0;   // empty or only blanks: ignored silently
  std::vector<SkippedLine> Skipped;
  bool ReadError = false; // the stream failed before its end (what was read is returned)
  // A line longer than MaxLineBytes: its 1-based number. The file is refused: the parse
  // returns nothing else.
  std::size_t TooLongLine = 0;
};

// One sentence for the message after an import, or "" when no line was skipped, e.g.
// "3 lines were skipped: 2 without a number (lines 4, 9), 1 with an ID outside the model
// (line 7)." At most five line numbers are listed per reason.
std::string SummarizeSkipped(const ParseReport& report);

// ---------------------------------------------------------------------------------------------
// Selection-list entries
// ---------------------------------------------------------------------------------------------

// Entries as in SelectedCellIds / SelectedPointIds: e >= 0 is a selected ID, e < 0 a withdrawn
// entry that stands for the ID -2 - e.
using Entries = std::vector<vtkIdType>;
Entries EntriesOf(vtkIdList* list); // empty for a null list
inline vtkIdType EntryId(vtkIdType e) {
  return e >= 0 ? e : -2 - e;
}

// ---------------------------------------------------------------------------------------------
// Cell and point ID files
// ---------------------------------------------------------------------------------------------

enum class IdFileKind {
  Cells, // "# Cells IDs"
  Points // "# Points IDs" (both the point IDs and the cell points exports)
};

// The header line without its line end.
const char* IdFileHeader(IdFileKind kind);

// WriteIdList: per entry "%d\n" of e when e >= 0, else "# %d\n" of -2 - e.
void AppendIdList(std::string& out, const Entries& entries);
// The whole file: header line, then AppendIdList.
std::string FormatIdFile(IdFileKind kind, const Entries& entries);
// The same bytes written to a stream; CannotWrite when the stream fails.
Result WriteIdFile(std::ostream& os, IdFileKind kind, const Entries& entries);

// The entries of a cell points export: the points of the cells of
// cellEntries, each once, in order of first appearance, as selection entries: a point of a
// selected cell is selected (promoted in place when an earlier withdrawn cell brought it in), a
// point only of withdrawn cells is withdrawn. Linear in the number of cell points.
// cellPoints(cell, points) fills points with the cell's point IDs in the cell's own order.
using CellPointsFunction = std::function<void(vtkIdType cell, std::vector<vtkIdType>& points)>;
Entries CellPointEntries(const Entries& cellEntries, const CellPointsFunction& cellPoints);
// The same over a model (the model as read); cells outside the model contribute nothing.
Entries CellPointEntries(const Entries& cellEntries, vtkDataSet* model);

struct IdFileContent {
  std::vector<vtkIdType> Ids;       // the IDs that count, in file order
  std::vector<std::size_t> IdLines; // IdLines[i]: 1-based line of Ids[i]
  ParseReport Report;
};

// Reads an ID file: each line that starts with an integer (leading blanks and a sign allowed,
// any text after it ignored) gives one ID. IDs outside [0, idCount) are skipped and reported
// (IdOutsideModel), as are integers beyond 32 bits (NumberOutOfRange).
IdFileContent ParseIdFile(std::string_view text, vtkIdType idCount);
IdFileContent ParseIdFile(std::istream& is, vtkIdType idCount);

// ---------------------------------------------------------------------------------------------
// Point coordinate and transformation files
// ---------------------------------------------------------------------------------------------

using Point3 = std::array<double, 3>;
using Bounds = std::array<double, 6>; // xmin, xmax, ymin, ymax, zmin, zmax

inline constexpr const char* kPointsHeader = "# Points";
inline constexpr const char* kPointTransformationsHeader = "# Points Transformations";
inline constexpr const char* kModelBoundsBegin = "# Model Bounds";
inline constexpr const char* kModelBoundsEnd = "# End model Bounds";

// vtkPoints bounds of the model's points; all zero for a model without points.
Bounds BoundsOf(vtkPoints* modelPoints);

// "# Model Bounds\n", the eight corner lines (x fastest, then y, then z; each corner as both
// position and target, "%f %f %f %f %f %f\n"), "# End model Bounds\n".
void AppendBoundsBlock(std::string& out, const Bounds& bounds);

// One point line: "# " when withdrawn, "%f %f %f" of the position, with a target
// " %f %f %f", then "\n".
void AppendPointLine(std::string& out, bool withdrawn, const Point3& position);
void AppendPointLine(std::string& out, bool withdrawn, const Point3& position,
                     const Point3& target);

// The whole .pts file: "# Points\n" and one line per entry with the model's position of its
// point. Refused, naming the point, when an entry's point is not in modelPoints (out then holds
// a partial file).
Result FormatPointsFile(std::string& out, const Entries& entries, vtkPoints* modelPoints);

// The whole .ptt file: "# Points Transformations\n", the bounds block of modelPoints, and one
// line per entry with the model's position of its point and the target stored with the entry
// (targets[k] for the first index k whose entry equals it). Refused, naming the counts or the
// point, when targets.size() != entries.size() or a point is not in the model.
Result FormatPointTransformationsFile(std::string& out, const Entries& entries,
                                      const std::vector<Point3>& targets, vtkPoints* modelPoints);

// Stream forms of the two writers; CannotWrite also when the stream fails.
Result WritePointsFile(std::ostream& os, const Entries& entries, vtkPoints* modelPoints);
Result WritePointTransformationsFile(std::ostream& os, const Entries& entries,
                                     const std::vector<Point3>& targets, vtkPoints* modelPoints);

// What an import takes from each line.
enum class PointImport {
  Coordinates,               // lines starting with 3 numbers give sources ("%f %f %f")
  PointsFromTransformations, // lines starting with 6 numbers give sources, targets discarded
  Transformations            // lines starting with 6 numbers give sources and targets
};

struct PointFileContent {
  // Single-precision values, as "%f" reads them; Targets is empty except for Transformations,
  // where Targets[i] belongs to Sources[i].
  std::vector<std::array<float, 3>> Sources;
  std::vector<std::array<float, 3>> Targets;
  std::vector<std::size_t> SourceLines; // SourceLines[i]: 1-based line of Sources[i]
  // Lines of the first "# Model Bounds" and the "# End model Bounds" after it; 0 when absent.
  // The corner lines between them are written for the Transform command, not for selecting,
  // so an import need not report the corners that are no model points.
  std::size_t BoundsBlockBegin = 0;
  std::size_t BoundsBlockEnd = 0;
  bool InBoundsBlock(std::size_t line) const {
    return BoundsBlockBegin > 0 && line > BoundsBlockBegin && line < BoundsBlockEnd;
  }
  ParseReport Report;
};

PointFileContent ParsePointFile(std::string_view text, PointImport mode);
PointFileContent ParsePointFile(std::istream& is, PointImport mode);

} // namespace selvane::formats

#endif
