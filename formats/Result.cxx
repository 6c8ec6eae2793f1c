#include "Result.h"

#include <algorithm>

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

std::string ReasonOnOneLine(std::string_view reason) {
  constexpr std::size_t Longest = 300;
  std::string shown;
  shown.reserve(std::min(reason.size(), Longest + 3));
  std::size_t kept = std::min(reason.size(), Longest);
  // Cut before a character, not inside one's UTF-8 bytes.
  while (kept < reason.size() && kept > 0 &&
         (static_cast<unsigned char>(reason[kept]) & 0xC0) == 0x80) {
    --kept;
  }
  for (std::size_t i = 0; i < kept; ++i) {
    const unsigned char c = static_cast<unsigned char>(reason[i]);
    shown += c < 0x20 || c == 0x7f ? '?' : static_cast<char>(c);
  }
  if (kept < reason.size()) {
    shown += "...";
  }
  return shown;
}

} // namespace selvane
