// Which lines of a point-transformation file count: a line is a correspondence when it starts
// with six numbers as "%f %f %f %f %f %f" reads them (formats::ScanFloat, hexadecimal numbers
// included); text after the sixth is ignored. A number beyond single precision reads as an
// infinity, which the reader then refuses. Lines are split by formats::TextLines (a leading
// byte-order mark skipped, lines up to 1 MiB).
#pragma once

#include <string_view>

namespace selvane {

// Parses one line; true and the six numbers (source x y z, target x y z) when accepted.
bool ParseCorrespondenceLine(std::string_view line, float values[6]);

} // namespace selvane
