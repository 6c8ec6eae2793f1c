// Landmarks as a table of comma-separated values, as spreadsheets and scripts write them.
//
// The first line that is neither blank nor a "#" comment is the header; it names the columns,
// in any order and any letter case: x, y, z (required), tx, ty, tz (the target: all three or
// none) and a label column (label, name or id; label wins when there are several). Other columns
// are ignored. Fields are separated by commas, semicolons or tabs, whichever splits the header
// into x, y and z. A field may be quoted ("a, b" and "say ""hi""" as in spreadsheets); a quoted
// field does not run over a line end. Numbers are read in the C locale (a point as the decimal
// mark) whatever the user's locale. Each row that cannot be read is skipped and reported.
#ifndef SELVANE_LANDMARK_CSV_H
#define SELVANE_LANDMARK_CSV_H

#include "LandmarkSet.h"

#include <string>
#include <string_view>
#include <vector>

namespace selvane::formats {

// Splits one line into fields at delimiter: blanks around a field are dropped, quotes are taken
// off a quoted field and "" inside it reads as one quote. False when a quote is not closed.
bool SplitDelimited(std::string_view line, char delimiter, std::vector<std::string>& fields);
// The field as a delimited line holds it: quoted when it has the delimiter, a quote, a line
// end or blanks at an end, or starts with "#" (a comment to readers), otherwise as it is.
std::string QuoteField(const std::string& field, char delimiter);

LandmarkFile ParseLandmarkCsv(std::string_view text);

// "id,x,y,z,tx,ty,tz" (or "id,x,y,z" without targets), then one row per landmark with its label
// as the id and the shortest numbers that read back exactly. Targets are written when every
// landmark has one.
std::string FormatLandmarkCsv(const std::vector<Landmark>& landmarks);

} // namespace selvane::formats

#endif
