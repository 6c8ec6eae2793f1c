#include "LandmarkSet.h"

#include <charconv>
#include <cmath>
#include <deque>
#include <map>

namespace selvane::formats {

Point3 ConvertFrame(const Point3& p, AnatomicalFrame from, AnatomicalFrame to) {
  if (from == to)
    return p;
  return {-p[0], -p[1], p[2]};
}

std::string SummarizeSkippedLandmarks(const LandmarkFile& file) {
  if (file.Skipped.empty())
    return std::string();
  const std::size_t skipped = file.Skipped.size();
  std::string text = std::to_string(skipped) + " of " + std::to_string(file.Entries()) +
                     (file.Entries() == 1 ? " landmark " : " landmarks ") +
                     (skipped == 1 ? "was" : "were") + " skipped: ";
  for (std::size_t i = 0; i < skipped && i < 5; ++i) {
    if (i > 0)
      text += "; ";
    text += file.Skipped[i].Where + ": " + file.Skipped[i].Reason;
  }
  if (skipped > 5)
    text += "; ...";
  text += '.';
  return text;
}

LandmarkPairing PairLandmarks(const std::vector<Landmark>& sources,
                              const std::vector<Landmark>& targets) {
  LandmarkPairing pairing;
  std::map<std::string_view, std::deque<std::size_t>> byLabel;
  for (std::size_t t = 0; t < targets.size(); ++t)
    byLabel[targets[t].Label].push_back(t);
  std::vector<bool> taken(targets.size(), false);
  for (std::size_t s = 0; s < sources.size(); ++s) {
    auto found = byLabel.find(sources[s].Label);
    if (found == byLabel.end() || found->second.empty()) {
      pairing.UnpairedSources.push_back(s);
      continue;
    }
    const std::size_t t = found->second.front();
    found->second.pop_front();
    taken[t] = true;
    pairing.Pairs.emplace_back(s, t);
  }
  for (std::size_t t = 0; t < targets.size(); ++t)
    if (!taken[t])
      pairing.UnpairedTargets.push_back(t);
  if (pairing.Pairs.empty() && !sources.empty() && sources.size() == targets.size()) {
    // Files of two tools that label differently ("F-1" and "T-1") still pair, point by point.
    pairing = LandmarkPairing();
    pairing.ByOrder = true;
    for (std::size_t i = 0; i < sources.size(); ++i)
      pairing.Pairs.emplace_back(i, i);
  }
  return pairing;
}

std::string ListLabels(const std::vector<Landmark>& landmarks,
                       const std::vector<std::size_t>& indices) {
  constexpr std::size_t Shown = 8;
  std::string text;
  for (std::size_t i = 0; i < indices.size() && i < Shown; ++i) {
    if (i > 0)
      text += ", ";
    const std::string& label = landmarks[indices[i]].Label;
    text += label.empty() ? "(no label, " + landmarks[indices[i]].Where + ")" : label;
  }
  if (indices.size() > Shown)
    text += " and " + std::to_string(indices.size() - Shown) + " more";
  return text;
}

void AppendShortest(std::string& out, double value) {
  // std::to_chars without a precision gives the shortest text that reads back bit for bit,
  // and never depends on the locale.
  char buf[32];
  auto res = std::to_chars(buf, buf + sizeof(buf), value);
  out.append(buf, res.ptr);
}

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  return text;
}

NumberProblem ReadNumber(std::string_view text, double& value) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.front() == '+' || text.front() == '-')
    return NumberProblem::NotANumber;
  double read = 0;
  const char* end = text.data() + text.size();
  auto res = std::from_chars(text.data(), end, read, std::chars_format::general);
  if (res.ec == std::errc::result_out_of_range && res.ptr == end) {
    // Too small to tell from zero is zero; too large is refused.
    const std::string_view digits = text.substr(0, text.find_first_of("eE"));
    const std::size_t e = text.find_first_of("eE");
    const bool tiny = e != std::string_view::npos && e + 1 < text.size() && text[e + 1] == '-' &&
                      digits.find_first_not_of("0.") != std::string_view::npos;
    if (!tiny)
      return NumberProblem::OutOfRange;
    read = 0;
  } else if (res.ec != std::errc() || res.ptr != end) {
    return NumberProblem::NotANumber;
  }
  if (!std::isfinite(read))
    return NumberProblem::NotFinite;
  value = negative ? -read : read;
  return NumberProblem::None;
}

std::string DescribeNumberProblem(std::string_view text, std::string_view what,
                                  NumberProblem problem) {
  constexpr std::size_t Longest = 40;
  std::string shown(TrimBlanks(text).substr(0, Longest));
  if (TrimBlanks(text).size() > Longest)
    shown += "...";
  std::string sentence = "'" + shown + "'";
  if (!what.empty())
    sentence += " " + std::string(what);
  switch (problem) {
  case NumberProblem::None:
    return sentence;
  case NumberProblem::NotANumber:
    sentence += " is not a number";
    if (shown.find(',') != std::string::npos && shown.find('.') == std::string::npos)
      sentence += " (the decimal mark must be a point)";
    return sentence;
  case NumberProblem::OutOfRange:
    return sentence + " is out of range";
  case NumberProblem::NotFinite:
    return sentence + " is not a finite number";
  }
  return sentence;
}

} // namespace selvane::formats
