// Which lines of a point-transformation file count: a line is a correspondence when
// the format "%f %f %f %f %f %f" converts all six numbers; text after the sixth is ignored.
// Lines are taken whole, whatever their length.
#pragma once

#include <istream>
#include <string>

// Parses one line; true and the six numbers (source x y z, target x y z) when accepted.
bool ParseCorrespondenceLine(const char* line, float values[6]);

// Reads the next whole line (any length, the last one even without a line terminator);
// false at end of input.
bool ReadWholeLine(std::istream& in, std::string& line);
