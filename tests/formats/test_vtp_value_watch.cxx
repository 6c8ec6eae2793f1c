// VtpValueWatch: raw values checked as a reader receives them agree with plain checks of the
// same values, however the stretches are cut; values received twice, out of order or not at all
// are never called sound.
#include "VtpValueWatch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using selvane::formats::VtpRawValues;
using selvane::formats::VtpValueWatch;
using Role = VtpRawValues::Role;

constexpr std::uint64_t Start = 1000; // file position of the values

// The bytes of `values` as words of type T in the given byte order.
template <typename T> std::string Bytes(const std::vector<T>& values, bool bigEndian = false) {
  std::string out;
  for (T v : values) {
    char word[sizeof(T)];
    std::memcpy(word, &v, sizeof(T));
    for (std::size_t i = 0; i < sizeof(T); ++i) {
      out += word[bigEndian ? sizeof(T) - 1 - i : i];
    }
  }
  return out;
}

VtpRawValues Listing(Role role, unsigned size, std::size_t bytes, std::uint64_t limit = 0,
                     std::uint64_t least = 0, bool bigEndian = false) {
  VtpRawValues v;
  v.Kind = role;
  v.WordSize = size;
  v.BigEndian = bigEndian;
  v.Begin = Start;
  v.End = Start + bytes;
  v.Limit = limit;
  v.LeastStep = least;
  return v;
}

// The watch's verdict on `bytes`, received in stretches cut at `cuts` (offsets into bytes).
bool Watched(const VtpRawValues& listing, const std::string& bytes,
             std::vector<std::size_t> cuts = {}) {
  VtpValueWatch watch;
  watch.Watch({listing});
  cuts.push_back(bytes.size());
  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    watch.Received(Start + from, bytes.data() + from, cut - from);
    from = cut;
  }
  return watch.AllSound();
}

// Plain statements of what a sound value is, for the values the tests make.
bool CoordinateSound(double x) {
  return std::isfinite(x) && std::fabs(x) <= std::numeric_limits<float>::max();
}
bool IdsSound(const std::vector<std::int64_t>& ids, std::int64_t points) {
  for (std::int64_t id : ids) {
    if (id < 0 || id >= points) {
      return false;
    }
  }
  return true;
}
bool EndsSound(const std::vector<std::int64_t>& ends, std::int64_t limit, std::int64_t least) {
  std::int64_t before = 0;
  for (std::int64_t end : ends) {
    if (end > limit || end < before || end - before < least) {
      return false;
    }
    before = end;
  }
  return true;
}

TEST(VtpValueWatch, FloatsAreSoundWhenFiniteAndCoordinatesWithinSinglePrecision) {
  const double most = std::numeric_limits<float>::max();
  const double beyond = std::nextafter(most, 1e300);
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (bool big : {false, true}) {
    for (double x : {0.0, -0.0, 1.5, -most, most, beyond, -beyond, 1e300, inf, -inf, nan,
                     std::numeric_limits<double>::denorm_min()}) {
      const std::vector<double> values = {1.0, x, 2.0};
      EXPECT_EQ(CoordinateSound(x),
                Watched(Listing(Role::Coordinates, 8, 24, 0, 0, big), Bytes(values, big)))
          << x << (big ? " big-endian" : "");
      EXPECT_EQ(static_cast<bool>(std::isfinite(x)),
                Watched(Listing(Role::CellValues, 8, 24, 0, 0, big), Bytes(values, big)))
          << x;
    }
  }
}

TEST(VtpValueWatch, SinglePrecisionFloatsAreSoundWhenFinite) {
  const float most = std::numeric_limits<float>::max();
  const float inf = std::numeric_limits<float>::infinity();
  for (bool big : {false, true}) {
    for (float x :
         {0.f, -0.f, 1.5f, most, -most, inf, -inf, std::numeric_limits<float>::quiet_NaN(),
          std::numeric_limits<float>::denorm_min()}) {
      const std::vector<float> values = {1.f, x, 2.f};
      for (Role role : {Role::Coordinates, Role::CellValues}) {
        EXPECT_EQ(static_cast<bool>(std::isfinite(x)),
                  Watched(Listing(role, 4, 12, 0, 0, big), Bytes(values, big)))
            << x << (big ? " big-endian" : "");
      }
    }
  }
}

TEST(VtpValueWatch, IdsAreSoundWhenBelowTheNumberOfPoints) {
  const std::int64_t points = 10;
  for (bool big : {false, true}) {
    for (std::int64_t id : {std::int64_t(0), std::int64_t(9), std::int64_t(10), std::int64_t(-1),
                            std::numeric_limits<std::int64_t>::min(),
                            std::numeric_limits<std::int64_t>::max(), std::int64_t(1) << 32}) {
      const std::vector<std::int64_t> ids = {3, id, 4};
      EXPECT_EQ(IdsSound(ids, points),
                Watched(Listing(Role::PointIds, 8, 24, points, 0, big), Bytes(ids, big)))
          << id;
      const std::vector<std::int32_t> narrow = {3, static_cast<std::int32_t>(id), 4};
      const std::vector<std::int64_t> widened = {3, static_cast<std::int32_t>(id), 4};
      EXPECT_EQ(IdsSound(widened, points),
                Watched(Listing(Role::PointIds, 4, 12, points, 0, big), Bytes(narrow, big)))
          << id;
    }
  }
}

TEST(VtpValueWatch, CellEndsAreSoundWhenEachCellHasItsLeastAndNoneEndsPastTheIds) {
  const std::int64_t ids = 12;
  const std::vector<std::vector<std::int64_t>> cases = {
      {3, 6, 9, 12},
      {3, 7, 12},
      {4, 8, 12},
      {2, 6, 9, 12},
      {3, 6, 5, 12},
      {3, 6, 9, 15},
      {3, 6, 8, 12},
      {-3, 6, 12},
      {3, 3, 6},
      {0},
      {12},
      {13},
      {3, 6, std::numeric_limits<std::int64_t>::min(), 12}};
  for (bool big : {false, true}) {
    for (const auto& ends : cases) {
      EXPECT_EQ(EndsSound(ends, ids, 3),
                Watched(Listing(Role::CellEnds, 8, 8 * ends.size(), ids, 3, big), Bytes(ends, big)))
          << ends[0] << ", " << ends.back() << " (" << ends.size() << ")";
    }
  }
  // Fewer IDs than the least cell takes: no end can be sound.
  EXPECT_FALSE(Watched(Listing(Role::CellEnds, 8, 8, 2, 3), Bytes<std::int64_t>({2})));
}

// Random values with a few bad ones, received in random stretches that cut values in two: the
// same verdict as all at once, and as the plain checks.
TEST(VtpValueWatch, StretchesCutAnywhereGiveTheSameVerdict) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    const std::size_t n = 1 + random() % 2000;
    const std::int64_t points = 5000;
    std::vector<std::int64_t> ids(n), ends(n);
    std::int64_t end = 0;
    for (std::size_t i = 0; i < n; ++i) {
      ids[i] = static_cast<std::int64_t>(random() % points);
      end += 3 + static_cast<std::int64_t>(random() % 3);
      ends[i] = end;
    }
    if (round % 3 == 1) {
      ids[random() % n] = points + static_cast<std::int64_t>(random() % 3) - 1; // maybe sound
      ends[random() % n] -= static_cast<std::int64_t>(random() % 3);            // maybe short
    }
    std::vector<std::size_t> cuts;
    const std::string idBytes = Bytes(ids);
    for (std::size_t at = random() % 50; at < idBytes.size(); at += 1 + random() % 3000) {
      cuts.push_back(at);
    }
    const bool whole = Watched(Listing(Role::PointIds, 8, idBytes.size(), points), idBytes);
    EXPECT_EQ(IdsSound(ids, points), whole) << round;
    EXPECT_EQ(whole, Watched(Listing(Role::PointIds, 8, idBytes.size(), points), idBytes, cuts))
        << round;
    const std::string endBytes = Bytes(ends);
    const VtpRawValues listing = Listing(Role::CellEnds, 8, endBytes.size(), end, 3);
    EXPECT_EQ(EndsSound(ends, end, 3), Watched(listing, endBytes, cuts)) << round;
  }
}

TEST(VtpValueWatch, ValuesNotReceivedOnceInOrderAreNeverSound) {
  const std::string ids = Bytes<std::int64_t>({1, 2, 3, 4});
  const VtpRawValues listing = Listing(Role::PointIds, 8, ids.size(), 10);
  VtpValueWatch none;
  EXPECT_FALSE(none.AllSound()); // nothing watched: nothing known
  {
    VtpValueWatch watch; // a part never received
    watch.Watch({listing});
    watch.Received(Start, ids.data(), 24);
    EXPECT_FALSE(watch.AllSound());
  }
  {
    VtpValueWatch watch; // a part received twice, the second time other bytes
    watch.Watch({listing});
    watch.Received(Start, ids.data(), 32);
    const std::string other = Bytes<std::int64_t>({99});
    watch.Received(Start + 8, other.data(), 8);
    EXPECT_FALSE(watch.AllSound());
  }
  {
    VtpValueWatch watch; // out of order
    watch.Watch({listing});
    watch.Received(Start + 16, ids.data() + 16, 16);
    watch.Received(Start, ids.data(), 16);
    EXPECT_FALSE(watch.AllSound());
  }
  {
    VtpValueWatch watch; // received with bytes around it, in one stretch
    watch.Watch({listing});
    const std::string around = "xxxx" + ids + "yyyy";
    watch.Received(Start - 4, around.data(), around.size());
    EXPECT_TRUE(watch.AllSound());
    watch.Watch({listing}); // watched anew: nothing received yet
    EXPECT_FALSE(watch.AllSound());
  }
}

} // namespace
