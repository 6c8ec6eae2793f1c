// The outcome of an operation of the plain C++ code: success, or a code that callers switch on
// and one line for the user naming the file or value and the reason. Own VTK classes report
// through vtkErrorMacro and an error code instead.
#ifndef SELVANE_RESULT_H
#define SELVANE_RESULT_H

#include <string>
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
  Cancelled
};

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
