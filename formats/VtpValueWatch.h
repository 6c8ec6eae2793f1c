// Checks of the raw values VTK's XML reader reads from a .vtp file, made on the bytes as the
// reader receives them, a piece at a time while they are in cache, instead of in a pass over
// the reader's output afterwards.
//
// The watch is told where the values lie (VtpRawValues, from the structure check) and is shown
// every stretch of the file the reader receives, where it receives it. A listing is sound when
// each of its values was received once, in order, all of it, and passed; anything else (a
// stretch received twice or out of order, one never received) leaves it unsound, and the
// output is then checked value by value as before.
#pragma once

#include "VtpStructureCheck.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace selvane::formats {

class VtpValueWatch {
public:
  // Watches these listings from now on, none received yet.
  void Watch(const std::vector<VtpRawValues>& listings);

  // Bytes [position, position + count) of the file, as the reader receives them in `bytes`.
  void Received(std::uint64_t position, const char* bytes, std::size_t count);

  // Whether some listing is watched and every one is sound.
  bool AllSound() const;

private:
  struct Track {
    VtpRawValues Values;
    std::uint64_t Next = 0;        // the file position expected next
    std::uint64_t PreviousEnd = 0; // CellEnds: the last cell end seen
    unsigned char Partial[8] = {}; // a value split between two stretches
    unsigned PartialSize = 0;
    bool Sound = true;
  };
  static void CheckValues(Track& track, const char* bytes, std::size_t count);

  std::vector<Track> Tracks;
};

} // namespace selvane::formats
