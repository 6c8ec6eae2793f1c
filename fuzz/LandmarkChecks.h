// What every landmark reader must hold to, whatever the bytes: a refusal returns nothing else,
// every number returned is finite, targets come with every landmark or with none, and what was
// read, written again by the same format, reads back the same, bit for bit.
#pragma once

#include "Check.h"
#include "InputFile.h"
#include "LandmarkFiles.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

namespace selvane::fuzz {

inline bool SameBits(const formats::Point3& a, const formats::Point3& b) {
  return std::memcmp(a.data(), b.data(), sizeof a) == 0;
}

inline bool Finite(const formats::Point3& p) {
  return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

inline void CheckLandmarkFile(const formats::LandmarkFile& file, bool targetsPossible) {
  if (!file.Refusal.empty())
    SELVANE_FUZZ_CHECK(file.Landmarks.empty() && file.Skipped.empty());
  SELVANE_FUZZ_CHECK(targetsPossible || !file.HasTargets);
  for (const formats::Landmark& landmark : file.Landmarks) {
    SELVANE_FUZZ_CHECK(Finite(landmark.Position));
    SELVANE_FUZZ_CHECK(landmark.Target.has_value() == file.HasTargets);
    SELVANE_FUZZ_CHECK(!landmark.Target || Finite(*landmark.Target));
    SELVANE_FUZZ_CHECK(!landmark.Where.empty());
  }
  for (const formats::SkippedLandmark& skipped : file.Skipped)
    SELVANE_FUZZ_CHECK(!skipped.Where.empty() && !skipped.Reason.empty());
  (void)formats::SummarizeSkippedLandmarks(file);
}

// Writes what parse read with the format's writer and parses it again: the same landmarks.
inline void CheckRewrite(const formats::LandmarkFile& file, formats::LandmarkFormat format,
                         const std::function<formats::LandmarkFile(std::string_view)>& parse) {
  if (!file.Refusal.empty())
    return;
  const std::string written = formats::FormatLandmarks(format, file.Landmarks);
  const formats::LandmarkFile again = parse(written);
  SELVANE_FUZZ_CHECK(again.Refusal.empty() && again.Skipped.empty());
  SELVANE_FUZZ_CHECK(again.Landmarks.size() == file.Landmarks.size());
  SELVANE_FUZZ_CHECK(file.Landmarks.empty() || again.HasTargets == file.HasTargets);
  for (std::size_t i = 0; i < file.Landmarks.size(); ++i) {
    const formats::Landmark& a = file.Landmarks[i];
    const formats::Landmark& b = again.Landmarks[i];
    SELVANE_FUZZ_CHECK(a.Label == b.Label);
    SELVANE_FUZZ_CHECK(a.Active == b.Active);
    SELVANE_FUZZ_CHECK(SameBits(a.Position, b.Position));
    SELVANE_FUZZ_CHECK(a.Target.has_value() == b.Target.has_value());
    SELVANE_FUZZ_CHECK(!a.Target || SameBits(*a.Target, *b.Target));
  }
}

// The same bytes behind a UTF-8 byte-order mark read the same.
inline void
CheckByteOrderMark(const formats::LandmarkFile& file, std::string_view text,
                   const std::function<formats::LandmarkFile(std::string_view)>& parse) {
  if (formats::Utf8BomLength(text) > 0)
    return;
  const formats::LandmarkFile marked = parse("\xEF\xBB\xBF" + std::string(text));
  SELVANE_FUZZ_CHECK(marked.Refusal.empty() == file.Refusal.empty());
  SELVANE_FUZZ_CHECK(marked.Landmarks.size() == file.Landmarks.size());
  SELVANE_FUZZ_CHECK(marked.Skipped.size() == file.Skipped.size());
  for (std::size_t i = 0; i < file.Landmarks.size(); ++i)
    SELVANE_FUZZ_CHECK(SameBits(marked.Landmarks[i].Position, file.Landmarks[i].Position) &&
                       marked.Landmarks[i].Label == file.Landmarks[i].Label);
}

} // namespace selvane::fuzz
