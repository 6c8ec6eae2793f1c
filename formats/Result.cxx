#include "Result.h"

namespace selvane {

const char* ErrorCodeName(ErrorCode code) {
  switch (code) {
  case ErrorCode::None:
    return "none";
  case ErrorCode::CannotOpen:
    return "cannot open";
  case ErrorCode::Unreadable:
    return "unreadable";
  case ErrorCode::NoData:
    return "no data";
  case ErrorCode::Refused:
    return "refused";
  case ErrorCode::CannotWrite:
    return "cannot write";
  case ErrorCode::OutOfMemory:
    return "out of memory";
  case ErrorCode::Cancelled:
    return "cancelled";
  case ErrorCode::NotLegacyVtk:
    return "not a legacy VTK file";
  case ErrorCode::UnsupportedVersion:
    return "unsupported version";
  case ErrorCode::NotPolyData:
    return "not polygonal data";
  case ErrorCode::Malformed:
    return "malformed";
  case ErrorCode::Truncated:
    return "truncated";
  case ErrorCode::TooLarge:
    return "too large";
  case ErrorCode::BadCell:
    return "bad cell";
  case ErrorCode::IdOutOfRange:
    return "id out of range";
  case ErrorCode::BadCoordinate:
    return "bad coordinate";
  case ErrorCode::Unsupported:
    return "unsupported";
  case ErrorCode::NoGeometry:
    return "no geometry";
  case ErrorCode::ReaderReported:
    return "reader reported";
  case ErrorCode::InvalidOutput:
    return "invalid output";
  case ErrorCode::NoMemoryFile:
    return "no memory file";
  }
  return "unknown";
}

} // namespace selvane
