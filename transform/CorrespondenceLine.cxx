#include "CorrespondenceLine.h"

#include <cstdio>

bool ParseCorrespondenceLine(const char* line, float values[6]) {
  return std::sscanf(line, "%f %f %f %f %f %f", &values[0], &values[1], &values[2], &values[3],
                     &values[4], &values[5]) == 6;
}

bool ReadWholeLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) {
    return false;
  }
  return true;
}
