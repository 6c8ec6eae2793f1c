#include "CorrespondenceLine.h"

#include "NumberText.h"

namespace selvane {

bool ParseCorrespondenceLine(std::string_view line, float values[6]) {
  const char* p = line.data();
  const char* end = p + line.size();
  for (int k = 0; k < 6; ++k) {
    // Out of range still counts as a number: its infinity makes the reader refuse the file.
    if (formats::ScanFloat(p, end, values[k], formats::FloatSyntax::CLibrary) ==
        formats::Scan::None)
      return false;
  }
  return true;
}

} // namespace selvane
