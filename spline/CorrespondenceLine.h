// Which lines of a point-transformation file count: a line is a correspondence when
// the format "%f %f %f %f %f %f" converts all six numbers; text after the sixth is ignored.
// Lines are split by formats::TextLines (a leading byte-order mark skipped, lines up to 1 MiB).
#pragma once

// Parses one line; true and the six numbers (source x y z, target x y z) when accepted.
bool ParseCorrespondenceLine(const char* line, float values[6]);
