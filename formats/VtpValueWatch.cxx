#include "VtpValueWatch.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace selvane::formats {

namespace {

constexpr bool HostBigEndian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;

template <typename Word> Word Swapped(Word w) {
  if constexpr (sizeof(Word) == 4) {
    return __builtin_bswap32(w);
  } else {
    return __builtin_bswap64(w);
  }
}

template <typename Word, bool Swap> Word WordAt(const char* p, std::size_t i) {
  Word w;
  std::memcpy(&w, p + i * sizeof(Word), sizeof(Word));
  if constexpr (Swap) {
    w = Swapped(w);
  }
  return w;
}

// A value as VTK takes it into a vtkIdType (sign-extended), then unsigned: a negative one is
// beyond every limit.
template <typename Word> std::uint64_t AsId(Word w) {
  return static_cast<std::uint64_t>(
      static_cast<std::int64_t>(static_cast<std::make_signed_t<Word>>(w)));
}

// The loops below look at every value without an early exit, and compare by subtraction
// alone (x86-64's base vector instructions have no unsigned 64-bit comparison), so that they
// vectorize and run at the speed of the cache the values are in.

// A word whose top bit is set when x is not below `bound`, for a bound of at most half the
// word's range: x - bound wraps to a set top bit when x is below, unless x has it set itself.
template <typename Word> Word NotBelow(Word x, Word bound) {
  return static_cast<Word>(~(x - bound) | x);
}

template <typename Word> bool TopBitClear(Word w) {
  return (w >> (8 * sizeof(Word) - 1)) == 0;
}

// Floats whose magnitude's bits are below `bound`: bits order as magnitudes do, and infinities
// and NaNs come after every finite value.
template <typename Word, bool Swap> bool MagnitudesBelow(const char* p, std::size_t n, Word bound) {
  constexpr Word magnitude = static_cast<Word>(~Word(0) >> 1);
  Word bad = 0;
  for (std::size_t i = 0; i < n; ++i) {
    bad |= NotBelow<Word>(WordAt<Word, Swap>(p, i) & magnitude, bound);
  }
  return TopBitClear(bad);
}

template <typename Word, bool Swap>
bool IdsBelow(const char* p, std::size_t n, std::uint64_t limit) {
  std::uint64_t bad = 0;
  for (std::size_t i = 0; i < n; ++i) {
    bad |= NotBelow<std::uint64_t>(AsId(WordAt<Word, Swap>(p, i)), limit);
  }
  return TopBitClear(bad);
}

// Cell ends, each at least `least` past the one before and none past `limit`: each end below
// limit + 1, and each step less `least` below limit - least + 1 (a step that is short, or an
// end before the one before, wraps to far more).
template <typename Word, bool Swap>
bool EndsSound(const char* p, std::size_t n, std::uint64_t limit, std::uint64_t least,
               std::uint64_t& previous) {
  if (n == 0) {
    return true;
  }
  if (limit < least) {
    return false;
  }
  const std::uint64_t endBound = limit + 1;
  const std::uint64_t stepBound = limit - least + 1;
  const std::uint64_t first = AsId(WordAt<Word, Swap>(p, 0));
  std::uint64_t bad = NotBelow<std::uint64_t>(first, endBound) |
                      NotBelow<std::uint64_t>(first - previous - least, stepBound);
  for (std::size_t i = 1; i < n; ++i) {
    const std::uint64_t end = AsId(WordAt<Word, Swap>(p, i));
    const std::uint64_t step = end - AsId(WordAt<Word, Swap>(p, i - 1));
    bad |=
        NotBelow<std::uint64_t>(end, endBound) | NotBelow<std::uint64_t>(step - least, stepBound);
  }
  previous = AsId(WordAt<Word, Swap>(p, n - 1));
  return TopBitClear(bad);
}

template <typename Word, bool Swap>
bool ValuesSound(const VtpRawValues& values, std::uint64_t& previousEnd, const char* p,
                 std::size_t n) {
  // Past the bits of the largest float, and of the largest finite value.
  constexpr bool single = sizeof(Word) == 4;
  const Word pastLargestFloat =
      single ? Word(0x7f800000u) : static_cast<Word>(0x47efffffe0000001ull);
  const Word pastFinite = single ? Word(0x7f800000u) : static_cast<Word>(0x7ff0000000000000ull);
  switch (values.Kind) {
  case VtpRawValues::Role::Coordinates:
    return MagnitudesBelow<Word, Swap>(p, n, pastLargestFloat);
  case VtpRawValues::Role::CellValues:
    return MagnitudesBelow<Word, Swap>(p, n, pastFinite);
  case VtpRawValues::Role::PointIds:
    return IdsBelow<Word, Swap>(p, n, values.Limit);
  case VtpRawValues::Role::CellEnds:
    return EndsSound<Word, Swap>(p, n, values.Limit, values.LeastStep, previousEnd);
  }
  return false;
}

template <typename Word>
bool ValuesSound(const VtpRawValues& values, std::uint64_t& previousEnd, const char* p,
                 std::size_t n) {
  return values.BigEndian != HostBigEndian ? ValuesSound<Word, true>(values, previousEnd, p, n)
                                           : ValuesSound<Word, false>(values, previousEnd, p, n);
}

} // namespace

void VtpValueWatch::Watch(const std::vector<VtpRawValues>& listings) {
  this->Tracks.clear();
  for (const VtpRawValues& values : listings) {
    Track track;
    track.Values = values;
    track.Next = values.Begin;
    track.Sound = (values.WordSize == 4 || values.WordSize == 8) && values.Begin <= values.End &&
                  (values.End - values.Begin) % values.WordSize == 0;
    this->Tracks.push_back(track);
  }
}

void VtpValueWatch::CheckValues(Track& track, const char* bytes, std::size_t count) {
  const unsigned size = track.Values.WordSize;
  auto check = [&](const char* p, std::size_t n) {
    if (n > 0) {
      track.Sound &= size == 4 ? ValuesSound<std::uint32_t>(track.Values, track.PreviousEnd, p, n)
                               : ValuesSound<std::uint64_t>(track.Values, track.PreviousEnd, p, n);
    }
  };
  if (track.PartialSize > 0) {
    const std::size_t take = std::min<std::size_t>(size - track.PartialSize, count);
    std::memcpy(track.Partial + track.PartialSize, bytes, take);
    track.PartialSize += static_cast<unsigned>(take);
    bytes += take;
    count -= take;
    if (track.PartialSize < size) {
      return;
    }
    check(reinterpret_cast<const char*>(track.Partial), 1);
    track.PartialSize = 0;
  }
  const std::size_t whole = count / size;
  check(bytes, whole);
  const std::size_t rest = count - whole * size;
  std::memcpy(track.Partial, bytes + whole * size, rest);
  track.PartialSize = static_cast<unsigned>(rest);
}

void VtpValueWatch::Received(std::uint64_t position, const char* bytes, std::size_t count) {
  const std::uint64_t end = position + count;
  for (Track& track : this->Tracks) {
    const std::uint64_t from = std::max(position, track.Values.Begin);
    const std::uint64_t to = std::min(end, track.Values.End);
    if (from >= to) {
      continue;
    }
    if (from != track.Next) {
      track.Sound = false; // received twice, or out of order
      continue;
    }
    if (track.Sound) {
      CheckValues(track, bytes + (from - position), static_cast<std::size_t>(to - from));
    }
    track.Next = to;
  }
}

bool VtpValueWatch::AllSound() const {
  if (this->Tracks.empty()) {
    return false;
  }
  for (const Track& track : this->Tracks) {
    if (!track.Sound || track.Next != track.Values.End || track.PartialSize != 0) {
      return false;
    }
  }
  return true;
}

} // namespace selvane::formats
