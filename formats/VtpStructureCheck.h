// Strict check of a VTK XML PolyData file (.vtp) held in memory, run before VTK's reader sees
// those bytes.
//
// Debian's VTK 9.1 XML reader returns garbage points for a negative appended offset or bad
// base64, throws out of Update() for huge declared counts, and reads a root that is not
// PolyData. The check parses the XML with VTK's own parser (vtkXMLDataParser, the one the reader
// uses, so both see the same elements and the same appended-data position) and then holds every
// data array against the bytes that carry it, in each encoding VTK writes: ascii, inline base64,
// appended raw and appended base64, uncompressed or compressed (zlib, lz4, lzma), with 32- or
// 64-bit headers in either byte order. It accepts only:
//   - a VTKFile root of type PolyData with one PolyData element holding exactly one Piece;
//   - counts (points, verts, lines, strips, polys) that are plain non-negative integers;
//   - data arrays of numeric types whose data holds exactly the values the counts declare;
//     for cell connectivity, as many IDs as the last of the cell offsets says;
//   - appended offsets that are non-negative and lie inside the appended block, with the data
//     they lead to inside it too;
//   - compressed block headers consistent with the data size and the compressed bytes present,
//     within the most a block of that compressor can expand to;
//   - base64 text of the base64 alphabet only, padded where VTK pads it.
// It allocates nothing in proportion to a declared count, and reads the values of raw appended
// arrays only where it needs one (the last cell offset). Values themselves (finite coordinates,
// IDs in range) are checked as VTK reads them (raw values it lists) or on VTK's output.
#pragma once

#include "Result.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class vtkXMLDataParser;

namespace selvane::formats {

// Values of an array that VTK's reader reads from the file as they stand there (appended raw
// data, uncompressed): where they lie and what a sound one is, so that they can be checked as
// they are read (VtpValueWatch.h) instead of on the reader's output.
struct VtpRawValues {
  // Coordinates and cell values are floats, point IDs and cell ends signed integers.
  enum class Role {
    Coordinates, // finite, within single-precision range
    PointIds,    // in [0, Limit)
    CellEnds,    // where each cell ends: at least LeastStep past the one before (0 before
                 // the first), none past Limit
    CellValues,  // finite
  };
  Role Kind = Role::Coordinates;
  unsigned WordSize = 0; // bytes a value: 4 or 8
  bool BigEndian = false;
  std::uint64_t Begin = 0; // file position of the first value
  std::uint64_t End = 0;   // just past the last
  std::uint64_t Limit = 0;
  std::uint64_t LeastStep = 0;
};

struct VtpCheckResult {
  // What Result would carry, next to the counts the file declares.
  ErrorCode Problem = ErrorCode::None;
  std::string Reason; // one line without the path; empty when the file passed
  std::int64_t NumberOfPoints = 0;
  std::int64_t NumberOfVerts = 0;
  std::int64_t NumberOfLines = 0;
  std::int64_t NumberOfStrips = 0;
  std::int64_t NumberOfPolys = 0;
  // The raw values listed, and which parts of the model are made of them alone: the points,
  // the cells of each kind (verts, lines, strips, polys: offsets and IDs), and every
  // floating-point cell array.
  std::vector<VtpRawValues> RawValues;
  bool RawCoordinates = false;
  bool RawCells[4] = {false, false, false, false};
  bool RawCellFloats = false;
  bool Ok() const { return this->Problem == ErrorCode::None; }
};

// The check of a file whose bytes are all in `bytes`.
VtpCheckResult CheckVtpStructure(std::string_view bytes);

// Where the check of a file held only in part gets the bytes it looks at.
class VtpByteSource {
public:
  virtual ~VtpByteSource() = default;
  // Makes bytes [offset, offset + count) of the checked bytes the file's own.
  virtual void Load(std::uint64_t offset, std::uint64_t count) = 0;
  virtual void LoadAll() = 0;
  virtual bool Holds(std::uint64_t offset, std::uint64_t count) const = 0;
};

// The same check on `bytes` that hold the file's bytes only where `source` has loaded them, at
// least up to the first byte of the appended data and the last "</AppendedData>" if any. It
// loads what else it reads: the sizes and compression headers of raw appended arrays and the
// values it looks at, all of the file for inline or base64 data. Its result is the one the
// whole file gives: whatever it refuses, it checks again with the whole file loaded.
VtpCheckResult CheckVtpStructure(std::string_view bytes, VtpByteSource& source);

// The same check on the tree of a parser that has read the file already (VTK's reader's own,
// so that a large file is parsed once), with `bytes` and `source` as above. A refusal here may
// rest on bytes not loaded; unlike the call above it is not checked again.
VtpCheckResult CheckParsedVtpStructure(vtkXMLDataParser* parsed, std::string_view bytes,
                                       VtpByteSource& source);

} // namespace selvane::formats
