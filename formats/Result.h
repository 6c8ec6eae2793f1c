// The outcome of an operation of the plain C++ code: success, or a code that callers switch on
// and one line for the user naming the file or value and the reason. Own VTK classes report
// through vtkErrorMacro and an error code instead.
#ifndef SELVANE_RESULT_H
#define SELVANE_RESULT_H

#include <string>
#include <string_view>
#include <utility>

namespace selvane {

enum class ErrorCode {
  None = 0,
  CannotOpen,  // missing, no permission, or not a regular file
  Unreadable,  // opened, but reading failed or its content was refused
  NoData,      // read, but it holds nothing to work with
  Refused,     // the input was read but cannot be used
  CannotWrite, // the target was not replaced (it is left as it was)
  OutOfMemory,
  Cancelled,
  // What a model file's reader found wrong with it; tests and callers group refusals by them.
  NotLegacyVtk,       // empty, another file type, random bytes: no legacy VTK header
  UnsupportedVersion, // a legacy header with a version outside 2.0 to 5.1
  NotPolyData,        // a file of another dataset type, or without a DATASET line
  Malformed,          // text where a number belongs, negative counts, repeated blocks, ...
  Truncated,          // the file or a block ends before the data it declares
  TooLarge,           // declared counts that cannot fit in the file, or a file over a limit
  BadCell,            // cell sizes that do not add up, bad offsets, cells with too few IDs
  IdOutOfRange,       // a point ID outside [0, number of points)
  BadCoordinate,      // a coordinate or value that is NaN, infinite or out of float range
  Unsupported,        // a section, data type or extension the reader cannot check
  NoGeometry,         // no points or no cells
  ReaderReported,     // VTK's reader reported an error or a warning
  InvalidOutput,      // the model VTK produced failed the check after reading
  NoMemoryFile        // no sealed memory copy of a file can be made here; nothing was read
};

// Short lower-case name of a code ("truncated", "id out of range", ...), for test output and
// logs.
const char* ErrorCodeName(ErrorCode code);

// A reason as a message shows it: text a file put into it may hold line breaks or other control
// characters, which become '?'; past 300 characters it is cut, ending in "...".
std::string ReasonOnOneLine(std::string_view reason);

struct Result {
  ErrorCode Code = ErrorCode::None;
  std::string Reason; // "" on success

  static Result Success() { return Result(); }
  static Result Failure(ErrorCode code, std::string reason) {
    return Result{code, std::move(reason)};
  }
  bool Ok() const { return this->Code == ErrorCode::None; }
  explicit operator bool() const { return this->Ok(); }
};

} // namespace selvane

#endif
