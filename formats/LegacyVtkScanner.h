// Strict scanner of legacy VTK polygonal data files (.vtk), run before VTK's own reader.
//
// Debian's VTK 9.1 legacy reader crashes, reads past its buffers or allocates without bound on
// many damaged files. The scanner reads the file once, without allocating anything in
// proportion to the counts the file declares, and accepts only what it has checked whole:
// the header (versions 2.0 to 5.1), ASCII or BINARY, DATASET POLYDATA, POINTS, the four cell
// blocks in the 4.x layout ("n size" then "k id id ...") and in the 5.x layout (OFFSETS and
// CONNECTIVITY), POINT_DATA and CELL_DATA with SCALARS (with their LOOKUP_TABLE line),
// LOOKUP_TABLE, COLOR_SCALARS, VECTORS, NORMALS, TENSORS, TEXTURE_COORDINATES and FIELD
// arrays of numeric types, and the METADATA blocks VTK 9 writers emit after arrays.
// Anything else is refused with a one-line reason.
#pragma once

#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace selvane {

namespace formats {
class CopyProgress;
}

struct LegacyVtkScanResult {
  // What Result would carry, next to the figures the scan found.
  ErrorCode Problem = ErrorCode::None;
  std::string Reason; // one line, empty when the file passed; never contains the path

  int MajorVersion = 0;
  int MinorVersion = 0;
  bool Binary = false;
  std::int64_t NumberOfPoints = 0;
  std::int64_t NumberOfVerts = 0;
  std::int64_t NumberOfLines = 0;
  std::int64_t NumberOfPolys = 0;
  std::int64_t NumberOfStrips = 0;
  bool HasPointData = false;
  bool HasCellData = false;

  bool Ok() const { return this->Problem == ErrorCode::None; }
  std::int64_t NumberOfCells() const {
    return this->NumberOfVerts + this->NumberOfLines + this->NumberOfPolys + this->NumberOfStrips;
  }
};

// Size of the pieces a file is read in.
constexpr std::size_t LegacyVtkScanPieceBytes = std::size_t(1) << 20;

// Scans the file at `path`, read once from start to end in pieces of `pieceBytes` into one
// reused buffer (a file that changes meanwhile is refused, never a crash; anything but a
// regular file is refused without blocking). The piece size changes nothing but the number of
// reads. Open Model does not use it (ModelFileReader.h scans the bytes it gives VTK); it finds
// exactly what ScanLegacyVtkBuffer finds on the same bytes.
LegacyVtkScanResult ScanLegacyVtkFile(const std::string& path,
                                      std::size_t pieceBytes = LegacyVtkScanPieceBytes);

// Scans a file already in memory.
LegacyVtkScanResult ScanLegacyVtkBuffer(const char* data, std::size_t size);

// Scans a file while another thread copies it into memory: data fills from its start as
// progress says. Finds what ScanLegacyVtkBuffer finds on the complete bytes (a copy that stops
// early looks like a shorter file).
LegacyVtkScanResult ScanLegacyVtkBuffer(const char* data, std::size_t size,
                                        formats::CopyProgress& progress);

namespace formats {

// Where one array of a plain BINARY file lies, as a skim found it (its values unread).
struct LegacyBinaryArray {
  enum class Role { Points, LegacyCells, Offsets, Connectivity, Scalars };
  Role TheRole = Role::Points;
  int CellKind = 0;         // cell blocks: 0 vertices, 1 lines, 2 polygons, 3 triangle strips
  bool OnPoints = false;    // scalars: point data, else cell data
  std::string Type;         // the file's type word, lower case ("float", "vtktypeint64", ...)
  int Bytes = 0;            // bytes per value
  std::uint64_t Offset = 0; // first byte in the file
  std::uint64_t Values = 0;
  int Components = 1;
  std::string Name;       // scalars
  std::int64_t Cells = 0; // cell blocks: the cells declared
  std::int64_t Size = 0;  // cell blocks: values of the 4.x list, or of the 5.x connectivity
};

// A plain BINARY file: points, cell blocks and at most one SCALARS array (with the default
// table) in each of POINT_DATA and CELL_DATA, nothing else. Scan fails for any other file.
struct LegacyBinaryLayout {
  LegacyVtkScanResult Scan;
  std::vector<LegacyBinaryArray> Arrays; // in file order
};

// Checks everything of a plain BINARY file but the values of its arrays, reading only the
// text between them from fd (at its start; size bytes as fstat gave); notes where they lie.
LegacyBinaryLayout SkimLegacyVtkBinary(int fd, std::uint64_t size);

} // namespace formats

} // namespace selvane
