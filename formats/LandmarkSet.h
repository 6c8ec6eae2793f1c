// Landmarks as other tools store them: a label and a position each, and in some files a target.
// What every landmark reader returns, the pairing of a set of sources with a set of targets, and
// the numbers of the landmark files, written and read the same way whatever the process's locale.
#ifndef SELVANE_LANDMARK_SET_H
#define SELVANE_LANDMARK_SET_H

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace selvane::formats {

using Point3 = std::array<double, 3>;

// The axes of a patient frame: x to the Left or Right, y to the Posterior or Anterior, z up.
// The two differ by the signs of x and y.
enum class AnatomicalFrame { LPS, RAS };
// Converts p between the two frames (the same sign change either way when they differ).
Point3 ConvertFrame(const Point3& p, AnatomicalFrame from, AnatomicalFrame to);

struct Landmark {
  std::string Label;
  Point3 Position{};
  std::optional<Point3> Target; // only from files that store targets
  bool Active = true;           // false: kept in the file but switched off by the user
  std::string Where;            // where it was read, for messages: "line 4", "control point 2"
};

struct SkippedLandmark {
  std::string Where;
  std::string Reason; // e.g. "'1,5' in column x is not a number"
};

// What a landmark reader returns. Positions and targets are in the model's frame.
struct LandmarkFile {
  std::vector<Landmark> Landmarks;
  bool HasTargets = false; // every landmark has a Target
  std::vector<SkippedLandmark> Skipped;
  // Non-empty when the whole file is refused (Landmarks and Skipped are then empty): where and
  // why, e.g. "line 1: the header names no column z".
  std::string Refusal;
  // Entries the file holds, whether they were taken or skipped.
  std::size_t Entries() const { return Landmarks.size() + Skipped.size(); }
};

// "2 of 7 landmarks were skipped: line 3: too few fields; line 9: ..." (at most five listed),
// or "" when none was.
std::string SummarizeSkippedLandmarks(const LandmarkFile& file);

// Sources and targets from two files, paired by label: the k-th source of a label goes with the
// k-th target of the same label (unlabelled landmarks pair among themselves in order). When no
// label pairs at all and both files hold as many landmarks, they pair by order instead.
struct LandmarkPairing {
  std::vector<std::pair<std::size_t, std::size_t>> Pairs; // (source, target), in source order
  std::vector<std::size_t> UnpairedSources;
  std::vector<std::size_t> UnpairedTargets;
  bool ByOrder = false;
};
LandmarkPairing PairLandmarks(const std::vector<Landmark>& sources,
                              const std::vector<Landmark>& targets);

// "F-1, F-4, 'no label' and 3 more": the labels of the landmarks at indices, for messages.
std::string ListLabels(const std::vector<Landmark>& landmarks,
                       const std::vector<std::size_t>& indices);

// ---------------------------------------------------------------------------------------------
// Numbers of the landmark files
// ---------------------------------------------------------------------------------------------

// The shortest decimal text that reads back as exactly value ("0.1", "-2", "1e+300"), in the C
// locale. Non-finite values are never written: they are not landmark positions.
void AppendShortest(std::string& out, double value);

enum class NumberProblem { None, NotANumber, OutOfRange, NotFinite };
// Reads the whole of text (blanks around it allowed, an optional sign) as a decimal number in the
// C locale: "1,5" is not a number, "1e999" is out of range, "nan" and "inf" are not finite.
NumberProblem ReadNumber(std::string_view text, double& value);
// "'abc' is not a number", with the reason of problem; what describes the place, e.g. "in column
// x": "'1,5' in column x is not a number (the decimal mark must be a point)".
std::string DescribeNumberProblem(std::string_view text, std::string_view what,
                                  NumberProblem problem);

// text without blanks at both ends.
std::string_view TrimBlanks(std::string_view text);

} // namespace selvane::formats

#endif
