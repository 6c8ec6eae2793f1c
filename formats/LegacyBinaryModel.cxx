#include "LegacyBinaryModel.h"

#include "LegacyVtkScanner.h"

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkCharArray.h>
#include <vtkDoubleArray.h>
#include <vtkFloatArray.h>
#include <vtkIntArray.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkShortArray.h>
#include <vtkSmartPointer.h>
#include <vtkTypeInt64Array.h>
#include <vtkUnsignedCharArray.h>
#include <vtkUnsignedIntArray.h>
#include <vtkUnsignedShortArray.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace selvane::formats {

namespace {

// Values read and turned per piece: small enough to stay in the cache between the two.
// VTK's 64-bit value type (long long, where std::int64_t is long).
using Int64 = vtkTypeInt64Array::ValueType;

constexpr std::uint64_t PieceBytes = std::uint64_t(1) << 18;

struct Descriptor {
  int Fd;
  ~Descriptor() {
    if (this->Fd >= 0) {
      ::close(this->Fd);
    }
  }
};

// Reads exactly n bytes at offset; false when the file ends first or cannot be read.
bool ReadAt(int fd, std::uint64_t offset, void* into, std::size_t n) {
  auto* p = static_cast<char*>(into);
  while (n > 0) {
    const ssize_t got = ::pread(fd, p, n, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return false;
    }
    p += got;
    n -= static_cast<std::size_t>(got);
    offset += static_cast<std::uint64_t>(got);
  }
  return true;
}

template <typename T> T FromBigEndian(T v) {
  if constexpr (sizeof(T) == 1) {
    return v;
  } else if constexpr (sizeof(T) == 2) {
    std::uint16_t u;
    std::memcpy(&u, &v, 2);
    u = __builtin_bswap16(u);
    std::memcpy(&v, &u, 2);
    return v;
  } else if constexpr (sizeof(T) == 4) {
    std::uint32_t u;
    std::memcpy(&u, &v, 4);
    u = __builtin_bswap32(u);
    std::memcpy(&v, &u, 4);
    return v;
  } else {
    std::uint64_t u;
    std::memcpy(&u, &v, 8);
    u = __builtin_bswap64(u);
    std::memcpy(&v, &u, 8);
    return v;
  }
}

constexpr bool IntoOnePiece = true;

// Reads count big-endian values of T at offset into values, a piece at a time (each into the
// same first piece of values when onePiece); each piece is handed to turn(piece, n, index of
// its first value), which turns it from big-endian in place, checks it in the same pass and
// says whether it passes.
template <typename T, typename Turn>
bool ReadValues(int fd, std::uint64_t offset, T* values, std::uint64_t count, Turn turn,
                bool onePiece = false) {
  const std::uint64_t piece = PieceBytes / sizeof(T);
  for (std::uint64_t done = 0; done < count;) {
    const std::uint64_t n = std::min(piece, count - done);
    T* p = onePiece ? values : values + done;
    if (!ReadAt(fd, offset + done * sizeof(T), p, static_cast<std::size_t>(n * sizeof(T)))) {
      return false;
    }
    if (!turn(p, n, done)) {
      return false;
    }
    done += n;
  }
  return true;
}

// Each function below turns n values from big-endian in place and checks them in the same
// pass, without an early exit so that the loop vectorises.

// Finite and within single precision.
template <typename T> bool TurnInFloatRange(T* v, std::uint64_t n) {
  bool bad = false;
  for (std::uint64_t i = 0; i < n; ++i) {
    v[i] = FromBigEndian(v[i]);
    if constexpr (std::is_same_v<T, float>) {
      std::uint32_t u;
      std::memcpy(&u, v + i, 4);
      bad |= (u & 0x7f800000u) == 0x7f800000u;
    } else {
      const double a = v[i] < 0 ? -v[i] : v[i];
      bad |= !(a <= static_cast<double>(std::numeric_limits<float>::max()));
    }
  }
  return !bad;
}

// Finite (integers always are).
template <typename T> bool TurnFinite(T* v, std::uint64_t n) {
  if constexpr (std::is_same_v<T, float>) {
    return TurnInFloatRange(v, n);
  }
  bool bad = false;
  for (std::uint64_t i = 0; i < n; ++i) {
    v[i] = FromBigEndian(v[i]);
    if constexpr (std::is_floating_point_v<T>) {
      bad |= !(v[i] - v[i] == 0.0); // NaN and infinities give NaN
    }
  }
  return !bad;
}

// Every ID in [0, points).
bool TurnIdsInRange(Int64* ids, std::uint64_t n, std::int64_t points) {
  const auto limit = static_cast<std::uint64_t>(points);
  bool bad = false;
  for (std::uint64_t i = 0; i < n; ++i) {
    ids[i] = FromBigEndian(ids[i]);
    bad |= static_cast<std::uint64_t>(ids[i]) >= limit;
  }
  return !bad;
}

// An array of T with room for values, or null when memory runs out.
template <typename ArrayT> vtkSmartPointer<ArrayT> MakeArray(std::uint64_t values, int components) {
  auto array = vtkSmartPointer<ArrayT>::New();
  array->SetNumberOfComponents(components);
  if (values > static_cast<std::uint64_t>(std::numeric_limits<vtkIdType>::max()) ||
      !array->SetNumberOfValues(static_cast<vtkIdType>(values))) {
    return nullptr;
  }
  return array;
}

template <typename ArrayT, typename Check>
vtkSmartPointer<ArrayT> ReadArray(int fd, const LegacyBinaryArray& a, Check check) {
  auto array = MakeArray<ArrayT>(a.Values, a.Components);
  if (!array ||
      (a.Values > 0 && !ReadValues(fd, a.Offset, array->GetPointer(0), a.Values, check))) {
    return nullptr;
  }
  return array;
}

vtkSmartPointer<vtkDataArray> ReadPoints(int fd, const LegacyBinaryArray& a) {
  if (a.Type == "float") {
    return ReadArray<vtkFloatArray>(
        fd, a, [](float* v, std::uint64_t n, std::uint64_t) { return TurnInFloatRange(v, n); });
  }
  return ReadArray<vtkDoubleArray>(
      fd, a, [](double* v, std::uint64_t n, std::uint64_t) { return TurnInFloatRange(v, n); });
}

template <typename ArrayT>
vtkSmartPointer<vtkDataArray> ReadScalarsOf(int fd, const LegacyBinaryArray& a) {
  using T = typename ArrayT::ValueType;
  vtkSmartPointer<vtkDataArray> array = ReadArray<ArrayT>(
      fd, a, [](T* v, std::uint64_t n, std::uint64_t) { return TurnFinite(v, n); });
  if (array) {
    array->SetName(a.Name.c_str());
  }
  return array;
}

vtkSmartPointer<vtkDataArray> ReadScalars(int fd, const LegacyBinaryArray& a) {
  if (a.Type == "unsigned_char") {
    return ReadScalarsOf<vtkUnsignedCharArray>(fd, a);
  } else if (a.Type == "char") {
    return ReadScalarsOf<vtkCharArray>(fd, a);
  } else if (a.Type == "short") {
    return ReadScalarsOf<vtkShortArray>(fd, a);
  } else if (a.Type == "unsigned_short") {
    return ReadScalarsOf<vtkUnsignedShortArray>(fd, a);
  } else if (a.Type == "int") {
    return ReadScalarsOf<vtkIntArray>(fd, a);
  } else if (a.Type == "unsigned_int") {
    return ReadScalarsOf<vtkUnsignedIntArray>(fd, a);
  } else if (a.Type == "float") {
    return ReadScalarsOf<vtkFloatArray>(fd, a);
  } else if (a.Type == "double") {
    return ReadScalarsOf<vtkDoubleArray>(fd, a);
  }
  return nullptr;
}

constexpr int MinIds[4] = {1, 2, 3, 3};

// 5.x: offsets from 0 to the connectivity size, each cell with its least number of IDs.
vtkSmartPointer<vtkTypeInt64Array> ReadOffsets(int fd, const LegacyBinaryArray& a) {
  const std::int64_t minIds = MinIds[a.CellKind];
  const std::int64_t size = a.Size;
  std::int64_t previous = 0;
  return ReadArray<vtkTypeInt64Array>(fd, a, [&](Int64* v, std::uint64_t n, std::uint64_t first) {
    for (std::uint64_t i = 0; i < n; ++i) {
      v[i] = FromBigEndian(v[i]);
    }
    if (first == 0 && v[0] != 0) {
      return false;
    }
    // The difference is taken only of an offset in [previous, size], so it cannot overflow
    // whatever the file holds.
    for (std::uint64_t i = first == 0 ? 1 : 0; i < n; ++i) {
      if (v[i] < previous || v[i] > size || v[i] - previous < minIds) {
        return false;
      }
      previous = v[i];
    }
    return first + n < a.Values || previous == size;
  });
}

vtkSmartPointer<vtkTypeInt64Array> ReadConnectivity(int fd, const LegacyBinaryArray& a,
                                                    std::int64_t points) {
  return ReadArray<vtkTypeInt64Array>(fd, a, [points](Int64* v, std::uint64_t n, std::uint64_t) {
    return TurnIdsInRange(v, n, points);
  });
}

// 4.x: "k id ... id" records, split into offsets and connectivity as they are read.
bool ReadLegacyCells(int fd, const LegacyBinaryArray& a, std::int64_t points,
                     vtkSmartPointer<vtkCellArray>& cells) {
  const auto size = static_cast<std::uint64_t>(a.Size);
  const auto count = static_cast<std::uint64_t>(a.Cells);
  if (size < count) {
    return false;
  }
  std::vector<std::int32_t> piece(PieceBytes / sizeof(std::int32_t));
  auto offsets = MakeArray<vtkTypeInt64Array>(count + 1, 1);
  auto connectivity = MakeArray<vtkTypeInt64Array>(size - count, 1);
  if (!offsets || !connectivity) {
    return false;
  }
  Int64* offset = offsets->GetPointer(0);
  Int64* id = connectivity->GetPointer(0);
  const Int64* idsEnd = id + (size - count);
  std::uint64_t cell = 0;
  std::int64_t idsLeft = 0;
  const std::int64_t minIds = MinIds[a.CellKind];
  const auto limit = static_cast<std::uint64_t>(points);
  offset[0] = 0;
  const bool read = ReadValues(
      fd, a.Offset, piece.data(), size,
      [&](std::int32_t* v, std::uint64_t n, std::uint64_t) {
        for (std::uint64_t i = 0; i < n; ++i) {
          v[i] = FromBigEndian(v[i]);
          if (idsLeft > 0) {
            if (static_cast<std::uint64_t>(static_cast<std::int64_t>(v[i])) >= limit) {
              return false;
            }
            *id++ = v[i];
            --idsLeft;
            continue;
          }
          if (cell == count || v[i] < minIds || v[i] > idsEnd - id) {
            return false;
          }
          idsLeft = v[i];
          ++cell;
          offset[cell] = offset[cell - 1] + idsLeft;
        }
        return true;
      },
      IntoOnePiece);
  if (!read || cell != count || idsLeft != 0 || id != idsEnd) {
    return false;
  }
  cells = vtkSmartPointer<vtkCellArray>::New();
  cells->SetData(offsets, connectivity);
  return true;
}

} // namespace

bool ReadPlainBinaryLegacyModel(const std::string& path, vtkPolyData* output) {
  if (!output) {
    return false;
  }
  Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
  struct stat st;
  if (file.Fd < 0 || ::fstat(file.Fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    return false;
  }
  const LegacyBinaryLayout layout =
      SkimLegacyVtkBinary(file.Fd, static_cast<std::uint64_t>(st.st_size));
  if (!layout.Scan.Ok()) {
    return false;
  }
  ::posix_fadvise(file.Fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  const std::int64_t points = layout.Scan.NumberOfPoints;
  auto model = vtkSmartPointer<vtkPolyData>::New();
  vtkSmartPointer<vtkCellArray> blocks[4];
  vtkSmartPointer<vtkTypeInt64Array> pendingOffsets;
  try {
    for (const LegacyBinaryArray& a : layout.Arrays) {
      switch (a.TheRole) {
      case LegacyBinaryArray::Role::Points: {
        vtkSmartPointer<vtkDataArray> coordinates = ReadPoints(file.Fd, a);
        if (!coordinates) {
          return false;
        }
        vtkNew<vtkPoints> p;
        p->SetData(coordinates);
        model->SetPoints(p);
        break;
      }
      case LegacyBinaryArray::Role::LegacyCells:
        if (!ReadLegacyCells(file.Fd, a, points, blocks[a.CellKind])) {
          return false;
        }
        break;
      case LegacyBinaryArray::Role::Offsets:
        pendingOffsets = ReadOffsets(file.Fd, a);
        if (!pendingOffsets) {
          return false;
        }
        break;
      case LegacyBinaryArray::Role::Connectivity: {
        vtkSmartPointer<vtkTypeInt64Array> connectivity = ReadConnectivity(file.Fd, a, points);
        if (!connectivity || !pendingOffsets) {
          return false;
        }
        blocks[a.CellKind] = vtkSmartPointer<vtkCellArray>::New();
        blocks[a.CellKind]->SetData(pendingOffsets, connectivity);
        pendingOffsets = nullptr;
        break;
      }
      case LegacyBinaryArray::Role::Scalars: {
        vtkSmartPointer<vtkDataArray> scalars = ReadScalars(file.Fd, a);
        if (!scalars) {
          return false;
        }
        if (a.OnPoints) {
          model->GetPointData()->SetScalars(scalars);
        } else {
          model->GetCellData()->SetScalars(scalars);
        }
        break;
      }
      }
    }
  } catch (const std::bad_alloc&) {
    return false; // the general path says so
  }
  if (blocks[0]) {
    model->SetVerts(blocks[0]);
  }
  if (blocks[1]) {
    model->SetLines(blocks[1]);
  }
  if (blocks[2]) {
    model->SetPolys(blocks[2]);
  }
  if (blocks[3]) {
    model->SetStrips(blocks[3]);
  }
  output->ShallowCopy(model);
  return true;
}

} // namespace selvane::formats
