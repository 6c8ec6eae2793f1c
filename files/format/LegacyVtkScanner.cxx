#include "LegacyVtkScanner.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>
#include <type_traits>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace selvane
{

const char* ModelFileProblemName(ModelFileProblem problem)
{
  switch (problem)
  {
    case ModelFileProblem::None: return "none";
    case ModelFileProblem::CannotRead: return "cannot read";
    case ModelFileProblem::NotLegacyVtk: return "not a legacy VTK file";
    case ModelFileProblem::UnsupportedVersion: return "unsupported version";
    case ModelFileProblem::NotPolyData: return "not polygonal data";
    case ModelFileProblem::Malformed: return "malformed";
    case ModelFileProblem::Truncated: return "truncated";
    case ModelFileProblem::TooLarge: return "too large";
    case ModelFileProblem::BadCell: return "bad cell";
    case ModelFileProblem::IdOutOfRange: return "id out of range";
    case ModelFileProblem::BadCoordinate: return "bad coordinate";
    case ModelFileProblem::Unsupported: return "unsupported";
    case ModelFileProblem::NoGeometry: return "no geometry";
    case ModelFileProblem::ReaderReported: return "reader reported";
    case ModelFileProblem::InvalidOutput: return "invalid output";
  }
  return "unknown";
}

namespace
{

// VTK's legacy reader reads keywords, names and lines into 256-character buffers.
constexpr std::size_t MaxTokenLength = 255;
// Selvane's IDs are 32-bit signed integers; no count may exceed this.
constexpr std::int64_t MaxCount = std::numeric_limits<std::int32_t>::max();
constexpr double FloatMax = static_cast<double>(std::numeric_limits<float>::max());

enum class Kind
{
  Bit,
  Int,
  Float,
  Double
};

struct TypeInfo
{
  const char* Name;
  Kind TheKind;
  int Bytes;        // size of one value in a BINARY file; 0: not accepted in BINARY files
  bool Signed;      // binary integers: signed
  std::int64_t Min; // ASCII integers: accepted range
  std::int64_t Max;
};

constexpr std::int64_t I64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t I64Max = std::numeric_limits<std::int64_t>::max();

// The numeric types of the legacy format. "long", "unsigned_long" and "vtkIdType" have no
// fixed size in BINARY files across VTK versions, so they are accepted in ASCII files only.
const TypeInfo Types[] = {
  { "bit", Kind::Bit, 0, false, 0, 1 },
  { "unsigned_char", Kind::Int, 1, false, 0, 255 },
  { "char", Kind::Int, 1, true, -128, 255 },
  { "signed_char", Kind::Int, 1, true, -128, 127 },
  { "short", Kind::Int, 2, true, -32768, 32767 },
  { "unsigned_short", Kind::Int, 2, false, 0, 65535 },
  { "int", Kind::Int, 4, true, std::numeric_limits<std::int32_t>::min(),
    std::numeric_limits<std::int32_t>::max() },
  { "unsigned_int", Kind::Int, 4, false, 0, std::numeric_limits<std::uint32_t>::max() },
  { "long", Kind::Int, 0, true, I64Min, I64Max },
  { "unsigned_long", Kind::Int, 0, false, 0, I64Max },
  { "vtkidtype", Kind::Int, 0, true, I64Min, I64Max },
  { "vtktypeint64", Kind::Int, 8, true, I64Min, I64Max },
  { "vtktypeuint64", Kind::Int, 8, false, 0, I64Max },
  { "float", Kind::Float, 4, true, 0, 0 },
  { "double", Kind::Double, 8, true, 0, 0 },
};

struct SpaceTable
{
  bool Is[256] = {};
  constexpr SpaceTable()
  {
    for (unsigned char c : { ' ', '\n', '\t', '\r', '\v', '\f' })
    {
      this->Is[c] = true;
    }
  }
};
constexpr SpaceTable Spaces;

inline bool IsSpace(char c)
{
  return Spaces.Is[static_cast<unsigned char>(c)];
}

template <int Bytes, bool Signed>
inline std::int64_t LoadBigEndian(const unsigned char* d)
{
  if constexpr (Bytes == 1)
  {
    return Signed ? static_cast<std::int64_t>(static_cast<signed char>(d[0])) : d[0];
  }
  else if constexpr (Bytes == 2)
  {
    std::uint16_t u;
    std::memcpy(&u, d, 2);
    u = __builtin_bswap16(u);
    return Signed ? static_cast<std::int64_t>(static_cast<std::int16_t>(u)) : u;
  }
  else if constexpr (Bytes == 4)
  {
    std::uint32_t u;
    std::memcpy(&u, d, 4);
    u = __builtin_bswap32(u);
    return Signed ? static_cast<std::int64_t>(static_cast<std::int32_t>(u)) : u;
  }
  else
  {
    std::uint64_t u;
    std::memcpy(&u, d, 8);
    return static_cast<std::int64_t>(__builtin_bswap64(u));
  }
}

inline char Lower(char c)
{
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

struct Token
{
  const char* S = nullptr;
  std::size_t N = 0;

  bool Is(const char* lowerWord) const
  {
    std::size_t n = std::strlen(lowerWord);
    if (n != this->N)
    {
      return false;
    }
    for (std::size_t i = 0; i < n; ++i)
    {
      if (Lower(this->S[i]) != lowerWord[i])
      {
        return false;
      }
    }
    return true;
  }
  std::string Text() const
  {
    std::string t(this->S, std::min<std::size_t>(this->N, 40));
    for (char& c : t)
    {
      if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126)
      {
        c = '?';
      }
    }
    return this->N > 40 ? t + "..." : t;
  }
};

// What a value of an array is checked for.
enum class Check
{
  None,
  Finite,      // finite, and within float range for float arrays
  Coordinate,  // finite and within float range whatever the type
  UnitInterval // finite, in [0, 1] (colour components)
};

// Keywords that can start a section; meeting one where a number belongs means a block ended.
const char* const SectionWords[] = { "points", "vertices", "lines", "polygons", "triangle_strips",
  "point_data", "cell_data", "scalars", "color_scalars", "lookup_table", "vectors", "normals",
  "tensors", "texture_coordinates", "field", "metadata", "offsets", "connectivity", "dataset" };

class Scanner
{
public:
  Scanner(const char* data, std::size_t size, LegacyVtkScanResult& result)
    : Begin(data)
    , P(data)
    , End(data + size)
    , Result(result)
  {
  }

  void Run()
  {
    if (this->ScanHeader() && this->ScanDataset())
    {
      this->Finish();
    }
  }

private:
  const char* Begin;
  const char* P;
  const char* End;
  LegacyVtkScanResult& Result;
  bool Binary = false;
  int Major = 0;
  int Minor = 0;
  std::int64_t Points = -1;
  bool SeenCells[4] = { false, false, false, false };
  bool SeenPointData = false;
  bool SeenCellData = false;
  std::string Block; // name of the block being read, for messages
  int Components = 1; // components of the array being read (for METADATA)

  // ---- failures ----------------------------------------------------------------------

  std::string Where(const char* at) const
  {
    if (this->Binary)
    {
      return "at byte " + std::to_string(at - this->Begin);
    }
    std::size_t line = 1 + static_cast<std::size_t>(std::count(this->Begin, at, '\n'));
    return "line " + std::to_string(line);
  }

  bool Fail(ModelFileProblem problem, const std::string& what, const char* at = nullptr)
  {
    this->Result.Problem = problem;
    this->Result.Reason = this->Where(at ? at : this->P) + ": " + what;
    return false;
  }

  std::size_t Remaining() const { return static_cast<std::size_t>(this->End - this->P); }

  // ---- tokens and lines --------------------------------------------------------------

  void SkipSpace()
  {
    while (this->P < this->End && IsSpace(*this->P))
    {
      ++this->P;
    }
  }

  bool Next(Token& t)
  {
    this->SkipSpace();
    if (this->P == this->End)
    {
      return false;
    }
    t.S = this->P;
    while (this->P < this->End && !IsSpace(*this->P))
    {
      ++this->P;
    }
    t.N = static_cast<std::size_t>(this->P - t.S);
    return true;
  }

  // A keyword, name or type word: must exist and fit VTK's 256-character buffer.
  bool Word(Token& t, const char* what)
  {
    if (!this->Next(t))
    {
      return this->Fail(ModelFileProblem::Truncated, "the file ends where " + std::string(what) +
          " belongs" + this->InBlock());
    }
    if (t.N > MaxTokenLength)
    {
      return this->Fail(ModelFileProblem::Malformed,
        std::string(what) + " is longer than 255 characters", t.S);
    }
    return true;
  }

  std::string InBlock() const { return this->Block.empty() ? "" : " (in " + this->Block + ")"; }

  static bool IsSectionWord(const Token& t)
  {
    for (const char* w : SectionWords)
    {
      if (t.Is(w))
      {
        return true;
      }
    }
    return false;
  }

  // Fails for a token that should have been a number.
  bool NotANumber(const Token& t, const char* what)
  {
    if (IsSectionWord(t))
    {
      return this->Fail(ModelFileProblem::Truncated,
        this->Block + " ends early: found " + t.Text() + " where " + what + " belongs", t.S);
    }
    return this->Fail(
      ModelFileProblem::Malformed, "'" + t.Text() + "' is not " + what + this->InBlock(), t.S);
  }

  static bool ParseInteger(const Token& t, std::int64_t& v)
  {
    const char* s = t.S;
    const char* e = t.S + t.N;
    bool negative = false;
    if (s < e && (*s == '+' || *s == '-'))
    {
      negative = *s == '-';
      ++s;
    }
    if (s == e)
    {
      return false;
    }
    std::uint64_t acc = 0;
    for (; s < e; ++s)
    {
      unsigned d = static_cast<unsigned>(*s - '0');
      if (d > 9)
      {
        return false;
      }
      if (acc > (std::uint64_t(1) << 63) / 10)
      {
        acc = std::uint64_t(1) << 63; // saturate: anything this long is out of every range
        continue;
      }
      acc = acc * 10 + d;
      if (acc > (std::uint64_t(1) << 63))
      {
        acc = std::uint64_t(1) << 63;
      }
    }
    if (negative)
    {
      v = acc >= (std::uint64_t(1) << 63) ? I64Min : -static_cast<std::int64_t>(acc);
    }
    else
    {
      v = acc >= (std::uint64_t(1) << 63) ? I64Max : static_cast<std::int64_t>(acc);
    }
    return true;
  }

  // 0: parsed; 1: not a number; 2: out of double range.
  static int ParseReal(const Token& t, double& v)
  {
    const char* s = t.S;
    const char* e = t.S + t.N;
    if (s < e && *s == '+')
    {
      ++s;
      if (s < e && (*s == '-' || *s == '+'))
      {
        return 1;
      }
    }
    auto r = std::from_chars(s, e, v, std::chars_format::general);
    if (r.ptr != e || s == e)
    {
      return 1;
    }
    if (r.ec == std::errc::result_out_of_range)
    {
      // Underflow to a subnormal or zero is harmless; overflow is not.
      std::size_t i = static_cast<std::size_t>(std::find_if(s, e, [](char c)
                                                  { return c == 'e' || c == 'E'; }) -
        s);
      return (s + i < e && s[i + 1] == '-') ? (v = 0.0, 0) : 2;
    }
    return r.ec == std::errc() ? 0 : 1;
  }

  // A count in a block header: an integer, not negative, at most MaxCount.
  bool Count(std::int64_t& v, const char* what)
  {
    Token t;
    if (!this->Next(t))
    {
      return this->Fail(ModelFileProblem::Truncated,
        "the file ends where " + std::string(what) + " belongs" + this->InBlock());
    }
    if (!ParseInteger(t, v))
    {
      return this->NotANumber(t, what);
    }
    if (v < 0)
    {
      return this->Fail(ModelFileProblem::Malformed,
        std::string(what) + " is negative (" + t.Text() + ")" + this->InBlock(), t.S);
    }
    if (v > MaxCount)
    {
      return this->Fail(ModelFileProblem::TooLarge,
        std::string(what) + " " + t.Text() + " exceeds 2147483647" + this->InBlock(), t.S);
    }
    return true;
  }

  // Moves past the end of the current line, which must hold nothing but blanks.
  bool EndOfLine(bool required)
  {
    while (this->P < this->End && *this->P != '\n')
    {
      if (!IsSpace(*this->P))
      {
        return this->Fail(ModelFileProblem::Malformed,
          "unexpected text '" + this->PeekText() + "' at the end of a line" + this->InBlock());
      }
      ++this->P;
    }
    if (this->P == this->End)
    {
      return required ? this->Fail(ModelFileProblem::Truncated,
                          "the file ends before the data of " + this->Block)
                      : true;
    }
    ++this->P;
    return true;
  }

  std::string PeekText() const
  {
    Token t;
    t.S = this->P;
    const char* q = this->P;
    while (q < this->End && !IsSpace(*q))
    {
      ++q;
    }
    t.N = static_cast<std::size_t>(q - this->P);
    return t.Text();
  }

  // Reads one line (without its end), as VTK's ReadLine does; false at the end of the file.
  bool Line(const char*& s, std::size_t& n)
  {
    if (this->P == this->End)
    {
      return false;
    }
    s = this->P;
    const char* nl = static_cast<const char*>(std::memchr(this->P, '\n', this->Remaining()));
    const char* e = nl ? nl : this->End;
    this->P = nl ? nl + 1 : this->End;
    n = static_cast<std::size_t>(e - s);
    if (n > 0 && s[n - 1] == '\r')
    {
      --n;
    }
    return true;
  }

  static bool Blank(const char* s, std::size_t n)
  {
    return std::all_of(s, s + n, IsSpace);
  }

  // ---- types and arrays --------------------------------------------------------------

  const TypeInfo* Type(const Token& t, bool allowFloat = true)
  {
    for (const TypeInfo& info : Types)
    {
      if (t.Is(info.Name))
      {
        if (this->Binary && info.TheKind == Kind::Int && info.Bytes == 0)
        {
          this->Fail(ModelFileProblem::Unsupported,
            "data type " + t.Text() + " is not supported in BINARY files" + this->InBlock(), t.S);
          return nullptr;
        }
        if (!allowFloat && (info.TheKind == Kind::Float || info.TheKind == Kind::Double))
        {
          break;
        }
        return &info;
      }
    }
    this->Fail(
      ModelFileProblem::Unsupported, "data type '" + t.Text() + "' is not supported" + this->InBlock(), t.S);
    return nullptr;
  }

  // Refuses before reading a count that cannot fit in what is left of the file.
  bool Fits(std::uint64_t values, const TypeInfo& type)
  {
    std::uint64_t need;
    if (values > (std::uint64_t(1) << 56))
    {
      return this->Fail(ModelFileProblem::TooLarge,
        this->Block + " declares " + std::to_string(values) + " values, more than any file holds");
    }
    if (this->Binary)
    {
      need = type.TheKind == Kind::Bit ? (values + 7) / 8 : values * static_cast<std::uint64_t>(type.Bytes);
    }
    else
    {
      need = values == 0 ? 0 : 2 * values - 1; // a digit and a separator per value
    }
    if (need <= this->Remaining())
    {
      return true;
    }
    std::uint64_t fileSize = static_cast<std::uint64_t>(this->End - this->Begin);
    return this->Fail(need > fileSize ? ModelFileProblem::TooLarge : ModelFileProblem::Truncated,
      this->Block + " declares " + std::to_string(values) + " values, which need at least " +
        std::to_string(need) + " bytes, but only " + std::to_string(this->Remaining()) +
        " bytes follow");
  }

  bool BadValue(Check check, double v, const char* at)
  {
    if (!std::isfinite(v))
    {
      return this->Fail(
        ModelFileProblem::BadCoordinate, this->Block + " holds a value that is not finite", at);
    }
    if (check == Check::UnitInterval)
    {
      return this->Fail(ModelFileProblem::BadCoordinate,
        this->Block + " holds a colour component outside 0 to 1", at);
    }
    return this->Fail(ModelFileProblem::BadCoordinate,
      this->Block + " holds a value outside single-precision range", at);
  }

  static bool ValueOk(Check check, bool isFloat, double v)
  {
    switch (check)
    {
      case Check::None: return true;
      case Check::Finite: return std::isfinite(v) && (!isFloat || std::fabs(v) <= FloatMax);
      case Check::Coordinate: return std::isfinite(v) && std::fabs(v) <= FloatMax;
      case Check::UnitInterval: return v >= 0.0 && v <= 1.0;
    }
    return false;
  }

  // Reads `values` numbers of `type` (the block header is done, and in BINARY files its line).
  // `onInteger` sees each integer value and returns false after failing.
  template <typename OnInteger>
  bool Array(std::uint64_t values, const TypeInfo& type, Check check, OnInteger onInteger,
    int components = 1)
  {
    this->Components = components;
    if (!this->Fits(values, type))
    {
      return false;
    }
    if (this->Binary)
    {
      return this->BinaryArray(values, type, check, onInteger);
    }
    Token t;
    const bool integers = type.TheKind == Kind::Int || type.TheKind == Kind::Bit;
    for (std::uint64_t i = 0; i < values; ++i)
    {
      if (integers)
      {
        // Fast path: a plain decimal integer of at most 18 digits ended by a blank.
        const char* q = this->P;
        while (q < this->End && IsSpace(*q))
        {
          ++q;
        }
        const char* start = q;
        bool negative = q < this->End && *q == '-';
        q += negative ? 1 : 0;
        const char* digits = q;
        std::int64_t v = 0;
        while (q < this->End && static_cast<unsigned>(*q - '0') <= 9 && q - digits < 18)
        {
          v = v * 10 + (*q - '0');
          ++q;
        }
        if (q > digits && (q == this->End || IsSpace(*q)))
        {
          v = negative ? -v : v;
          const char* at = start;
          this->P = q;
          if (!onInteger(v, at))
          {
            return false;
          }
          if (v < type.Min || v > type.Max)
          {
            t = Token{ start, static_cast<std::size_t>(q - start) };
            return this->Fail(ModelFileProblem::Malformed,
              t.Text() + " is out of the range of type " + type.Name + this->InBlock(), t.S);
          }
          continue;
        }
        // Anything else takes the general path below.
      }
      if (!this->Next(t))
      {
        return this->Fail(ModelFileProblem::Truncated,
          "the file ends inside " + this->Block + " after " + std::to_string(i) + " of " +
            std::to_string(values) + " values");
      }
      if (type.TheKind == Kind::Float || type.TheKind == Kind::Double)
      {
        double v = 0;
        int r = ParseReal(t, v);
        if (r == 1)
        {
          // "nan", "inf" and the like are words, not numbers VTK reads.
          if (t.Is("nan") || t.Is("-nan") || t.Is("inf") || t.Is("-inf") || t.Is("infinity") ||
            t.Is("-infinity"))
          {
            return this->BadValue(check == Check::None ? Check::Finite : check,
              std::numeric_limits<double>::quiet_NaN(), t.S);
          }
          return this->NotANumber(t, "a number");
        }
        if (r == 2 || !ValueOk(check == Check::None ? Check::Finite : check,
                        type.TheKind == Kind::Float, v))
        {
          return this->BadValue(check, r == 2 ? std::numeric_limits<double>::max() : v, t.S);
        }
      }
      else
      {
        std::int64_t v = 0;
        if (!ParseInteger(t, v))
        {
          return this->NotANumber(t, "an integer");
        }

        if (!onInteger(v, t.S))
        {
          return false;
        }
        if (v < type.Min || v > type.Max)
        {
          return this->Fail(ModelFileProblem::Malformed,
            t.Text() + " is out of the range of type " + type.Name + this->InBlock(), t.S);
        }
      }
    }
    return this->AfterArray(type, this->Components);
  }

  template <typename OnInteger>
  bool BinaryArray(std::uint64_t values, const TypeInfo& type, Check check, OnInteger onInteger)
  {
    const unsigned char* d = reinterpret_cast<const unsigned char*>(this->P);
    if (type.TheKind == Kind::Bit)
    {
      this->P += (values + 7) / 8;
      return this->AfterArray(type, this->Components);
    }
    const std::uint64_t bytes = static_cast<std::uint64_t>(type.Bytes);
    if (type.TheKind == Kind::Float && check != Check::None)
    {
      // Exponent bits all set (NaN or infinity): big-endian bytes 0 and 1 under 0x7f 0x80.
      bool bad = false;
      for (std::uint64_t i = 0; i < values; ++i)
      {
        bad |= (d[4 * i] & 0x7f) == 0x7f && (d[4 * i + 1] & 0x80) == 0x80;
      }
      for (std::uint64_t i = 0; bad && i < values; ++i)
      {
        if ((d[4 * i] & 0x7f) == 0x7f && (d[4 * i + 1] & 0x80) == 0x80)
        {
          return this->BadValue(check, std::numeric_limits<double>::infinity(),
            reinterpret_cast<const char*>(d + 4 * i));
        }
      }
    }
    else if (type.TheKind == Kind::Double && check != Check::None)
    {
      for (std::uint64_t i = 0; i < values; ++i)
      {
        std::uint64_t u = static_cast<std::uint64_t>(LoadBigEndian<8, false>(d + 8 * i));
        double v;
        std::memcpy(&v, &u, 8);
        if (!ValueOk(check, false, v))
        {
          return this->BadValue(check, v, reinterpret_cast<const char*>(d + 8 * i));
        }
      }
    }
    else if (type.TheKind == Kind::Int && !IsNoop(onInteger))
    {
      bool ok = true;
      switch (type.Bytes * (type.Signed ? 1 : -1))
      {
        case 1: ok = Integers<1, true>(d, values, onInteger); break;
        case -1: ok = Integers<1, false>(d, values, onInteger); break;
        case 2: ok = Integers<2, true>(d, values, onInteger); break;
        case -2: ok = Integers<2, false>(d, values, onInteger); break;
        case 4: ok = Integers<4, true>(d, values, onInteger); break;
        case -4: ok = Integers<4, false>(d, values, onInteger); break;
        default: ok = Integers<8, true>(d, values, onInteger); break;
      }
      if (!ok)
      {
        return false;
      }
    }
    this->P += values * bytes;
    return this->AfterArray(type, this->Components);
  }

  template <int Bytes, bool Signed, typename OnInteger>
  static bool Integers(const unsigned char* d, std::uint64_t values, OnInteger& onInteger)
  {
    for (std::uint64_t i = 0; i < values; ++i)
    {
      if (!onInteger(LoadBigEndian<Bytes, Signed>(d + Bytes * i),
            reinterpret_cast<const char*>(d + Bytes * i)))
      {
        return false;
      }
    }
    return true;
  }

  // True when every big-endian ID in the binary block is in [0, Points); no early exit so
  // that the loop vectorises.
  template <int Bytes>
  bool IdsInRange(const unsigned char* d, std::uint64_t values) const
  {
    const std::uint64_t limit = static_cast<std::uint64_t>(this->Points);
    bool bad = false;
    for (std::uint64_t i = 0; i < values; ++i)
    {
      bad |= static_cast<std::uint64_t>(LoadBigEndian<Bytes, true>(d + Bytes * i)) >= limit;
    }
    return !bad;
  }

  struct NoInteger
  {
    bool operator()(std::int64_t, const char*) const { return true; }
  };
  template <typename F>
  static bool IsNoop(const F&)
  {
    return std::is_same<F, NoInteger>::value;
  }

  // After an array VTK looks for an optional METADATA block.
  bool AfterArray(const TypeInfo&, int components)
  {
    if (!this->Binary && !this->EndOfLine(false))
    {
      return false;
    }
    const char* save = this->P;
    Token t;
    if (this->Next(t) && t.Is("metadata"))
    {
      return this->Metadata(components);
    }
    this->P = save;
    return true;
  }

  // METADATA as VTK 9 writers emit it: an optional COMPONENT_NAMES line followed by one name
  // per component, an optional INFORMATION line followed by its range keys, then a blank line.
  bool Metadata(int components)
  {
    const std::string outer = this->Block;
    this->Block = "METADATA of " + outer;
    if (!this->EndOfLine(false))
    {
      return false;
    }
    bool names = false;
    bool info = false;
    for (;;)
    {
      const char* lineStart = this->P;
      const char* s;
      std::size_t n;
      if (!this->Line(s, n) || Blank(s, n))
      {
        break;
      }
      Token first{ s, n };
      while (first.N > 0 && IsSpace(first.S[first.N - 1]))
      {
        --first.N;
      }
      if (!names && first.Is("component_names"))
      {
        names = true;
        for (int c = 0; c < components; ++c)
        {
          if (!this->Line(s, n))
          {
            return this->Fail(ModelFileProblem::Truncated, "the file ends inside " + this->Block);
          }
          if (n > MaxTokenLength)
          {
            return this->Fail(ModelFileProblem::Malformed, "a component name is too long", s);
          }
        }
      }
      else if (!info && first.N > 12 && Token{ s, 11 }.Is("information") && IsSpace(s[11]))
      {
        info = true;
        Token count{ s + 12, first.N - 12 };
        while (count.N > 0 && IsSpace(*count.S))
        {
          ++count.S;
          --count.N;
        }
        std::int64_t keys = 0;
        if (!ParseInteger(count, keys) || keys < 1 || keys > 16)
        {
          return this->Fail(
            ModelFileProblem::Unsupported, "an INFORMATION line that cannot be checked", s);
        }
        for (std::int64_t k = 0; k < keys; ++k)
        {
          if (!this->InformationEntry())
          {
            return false;
          }
        }
      }
      else
      {
        return this->Fail(
          ModelFileProblem::Unsupported, "unexpected text in " + this->Block, lineStart);
      }
    }
    this->Block = outer;
    return true;
  }

  // "NAME L2_NORM_RANGE LOCATION vtkDataArray" then "DATA 2 min max".
  bool InformationEntry()
  {
    const char* s;
    std::size_t n;
    const char* at = this->P;
    if (!this->Line(s, n))
    {
      return this->Fail(ModelFileProblem::Truncated, "the file ends inside " + this->Block);
    }
    Token w[5];
    int count = SplitLine(s, n, w, 5);
    if (count != 4 || !w[0].Is("name") || !w[2].Is("location") || !w[3].Is("vtkdataarray") ||
      !(w[1].Is("l2_norm_range") || w[1].Is("l2_norm_finite_range")))
    {
      return this->Fail(ModelFileProblem::Unsupported,
        "an information key that cannot be checked in " + this->Block, at);
    }
    at = this->P;
    if (!this->Line(s, n))
    {
      return this->Fail(ModelFileProblem::Truncated, "the file ends inside " + this->Block);
    }
    count = SplitLine(s, n, w, 5);
    std::int64_t len = 0;
    double a = 0;
    double b = 0;
    if (count != 4 || !w[0].Is("data") || !ParseInteger(w[1], len) || len != 2 ||
      ParseReal(w[2], a) != 0 || ParseReal(w[3], b) != 0)
    {
      return this->Fail(
        ModelFileProblem::Unsupported, "information data that cannot be checked in " + this->Block, at);
    }
    return true;
  }

  static int SplitLine(const char* s, std::size_t n, Token* out, int max)
  {
    int count = 0;
    const char* e = s + n;
    while (s < e)
    {
      while (s < e && IsSpace(*s))
      {
        ++s;
      }
      if (s == e)
      {
        break;
      }
      const char* b = s;
      while (s < e && !IsSpace(*s))
      {
        ++s;
      }
      if (count == max)
      {
        return max + 1;
      }
      out[count++] = Token{ b, static_cast<std::size_t>(s - b) };
    }
    return count;
  }

  // In BINARY files the data start after the line of the block header.
  bool DataStart()
  {
    return this->Binary ? this->EndOfLine(true) : true;
  }

  // ---- header --------------------------------------------------------------------------

  bool ScanHeader()
  {
    if (this->Begin == this->End)
    {
      return this->Fail(ModelFileProblem::NotLegacyVtk, "the file is empty");
    }
    static const char Prefix[] = "# vtk DataFile Version";
    const std::size_t prefixLength = sizeof(Prefix) - 1;
    const char* s;
    std::size_t n;
    this->Line(s, n);
    if (n < prefixLength || std::memcmp(s, Prefix, prefixLength) != 0)
    {
      bool xml = n >= 5 && std::memcmp(s, "<?xml", 5) == 0;
      return this->Fail(ModelFileProblem::NotLegacyVtk,
        xml ? "this is an XML file, not a legacy VTK file (no '# vtk DataFile Version' header)"
            : "not a legacy VTK file (it does not start with '# vtk DataFile Version')",
        s);
    }
    if (n > MaxTokenLength)
    {
      return this->Fail(ModelFileProblem::Malformed, "the header line is too long", s);
    }
    const char* v = s + prefixLength;
    const char* e = s + n;
    while (v < e && (*v == ' ' || *v == '\t'))
    {
      ++v;
    }
    int major = 0;
    int minor = 0;
    auto r1 = std::from_chars(v, e, major);
    bool ok = r1.ec == std::errc() && r1.ptr < e && *r1.ptr == '.';
    if (ok)
    {
      auto r2 = std::from_chars(r1.ptr + 1, e, minor);
      ok = r2.ec == std::errc() && Blank(r2.ptr, static_cast<std::size_t>(e - r2.ptr)) &&
        (r1.ptr - v) <= 3 && (r2.ptr - r1.ptr) <= 4;
    }
    if (!ok)
    {
      return this->Fail(ModelFileProblem::NotLegacyVtk, "the header has no readable version", s);
    }
    this->Major = this->Result.MajorVersion = major;
    this->Minor = this->Result.MinorVersion = minor;
    if (major < 2 || major > 5 || (major == 5 && minor > 1))
    {
      return this->Fail(ModelFileProblem::UnsupportedVersion,
        "file version " + std::to_string(major) + "." + std::to_string(minor) +
          " is not supported (2.0 to 5.1 are)",
        s);
    }
    if (this->P == this->End)
    {
      return this->Fail(ModelFileProblem::Truncated, "the file ends after its header line");
    }
    const char* title = this->P;
    this->Line(s, n);
    if (n > MaxTokenLength)
    {
      return this->Fail(ModelFileProblem::Malformed, "the title line is longer than 255 characters",
        title);
    }
    Token t;
    if (!this->Next(t))
    {
      return this->Fail(ModelFileProblem::Truncated, "the file ends after its title line");
    }
    if (t.Is("ascii"))
    {
      this->Binary = false;
    }
    else if (t.Is("binary"))
    {
      this->Binary = true;
    }
    else
    {
      return this->Fail(
        ModelFileProblem::Malformed, "expected ASCII or BINARY, found '" + t.Text() + "'", t.S);
    }
    this->Result.Binary = this->Binary;
    if (!this->Next(t))
    {
      return this->Fail(ModelFileProblem::NoGeometry, "the file ends after its header");
    }
    if (!t.Is("dataset"))
    {
      return this->Fail(ModelFileProblem::NotPolyData,
        "expected DATASET POLYDATA, found '" + t.Text() + "'", t.S);
    }
    if (!this->Word(t, "the dataset type"))
    {
      return false;
    }
    if (!t.Is("polydata"))
    {
      return this->Fail(ModelFileProblem::NotPolyData,
        "the dataset is " + t.Text() + ", not POLYDATA (polygonal data)", t.S);
    }
    return true;
  }

  // ---- dataset ---------------------------------------------------------------------------

  bool ScanDataset()
  {
    Token t;
    for (;;)
    {
      this->Block.clear();
      if (!this->Next(t))
      {
        return true;
      }
      if (t.N > MaxTokenLength)
      {
        return this->Fail(ModelFileProblem::Malformed, "a keyword longer than 255 characters", t.S);
      }
      if (t.Is("field"))
      {
        if (!this->Field())
        {
          return false;
        }
      }
      else if (t.Is("points"))
      {
        if (!this->PointsBlock(t))
        {
          return false;
        }
      }
      else if (t.Is("vertices") || t.Is("lines") || t.Is("polygons") || t.Is("triangle_strips"))
      {
        if (!this->CellBlock(t))
        {
          return false;
        }
      }
      else if (t.Is("point_data") || t.Is("cell_data"))
      {
        return this->Attributes(t);
      }
      else
      {
        return this->Fail(ModelFileProblem::Unsupported,
          "section '" + t.Text() + "' is not one Selvane can check", t.S);
      }
    }
  }

  bool PointsBlock(const Token& keyword)
  {
    if (this->Points >= 0)
    {
      return this->Fail(ModelFileProblem::Malformed, "a second POINTS block", keyword.S);
    }
    this->Block = "POINTS";
    std::int64_t n = 0;
    Token t;
    if (!this->Count(n, "the number of points") || !this->Word(t, "the point type"))
    {
      return false;
    }
    const TypeInfo* type = this->Type(t);
    if (!type || !this->DataStart())
    {
      return false;
    }
    if (!this->Array(static_cast<std::uint64_t>(n) * 3, *type, Check::Coordinate, NoInteger(), 3))
    {
      return false;
    }
    this->Points = this->Result.NumberOfPoints = n;
    return true;
  }

  struct CellKind
  {
    const char* Word;
    const char* Name;
    int MinIds;
    const char* Noun;
  };

  bool CellBlock(const Token& keyword)
  {
    static const CellKind Kinds[4] = { { "vertices", "VERTICES", 1, "vertex" },
      { "lines", "LINES", 2, "line" }, { "polygons", "POLYGONS", 3, "polygon" },
      { "triangle_strips", "TRIANGLE_STRIPS", 3, "triangle strip" } };
    int k = 0;
    while (!keyword.Is(Kinds[k].Word))
    {
      ++k;
    }
    const CellKind& kind = Kinds[k];
    if (this->Points < 0)
    {
      return this->Fail(
        ModelFileProblem::Malformed, std::string(kind.Name) + " comes before POINTS", keyword.S);
    }
    if (this->SeenCells[k])
    {
      return this->Fail(
        ModelFileProblem::Malformed, std::string("a second ") + kind.Name + " block", keyword.S);
    }
    this->SeenCells[k] = true;
    this->Block = kind.Name;
    std::int64_t cells = 0;
    std::int64_t size = 0;
    if (this->Major >= 5)
    {
      if (!this->Count(cells, "the number of offsets") ||
        !this->Count(size, "the size of the connectivity"))
      {
        return false;
      }
      if (!this->Cells5(kind, cells, size))
      {
        return false;
      }
      cells -= 1;
    }
    else
    {
      if (!this->Count(cells, "the number of cells") || !this->Count(size, "the size of the cell list"))
      {
        return false;
      }
      if (!this->Cells4(kind, cells, size))
      {
        return false;
      }
    }
    std::int64_t* counts[4] = { &this->Result.NumberOfVerts, &this->Result.NumberOfLines,
      &this->Result.NumberOfPolys, &this->Result.NumberOfStrips };
    *counts[k] = cells;
    return true;
  }

  bool IdInRange(std::int64_t id, const char* at)
  {
    if (static_cast<std::uint64_t>(id) >= static_cast<std::uint64_t>(this->Points))
    {
      return this->Fail(ModelFileProblem::IdOutOfRange,
        this->Block + " uses point ID " + std::to_string(id) + ", outside 0 to " +
          std::to_string(this->Points - 1),
        at);
    }
    return true;
  }

  // 4.x layout: "n size", then n cells "k id ... id" whose k + 1 add up to size.
  bool Cells4(const CellKind& kind, std::int64_t cells, std::int64_t size)
  {
    const char* save = this->P;
    Token peek;
    if (this->Next(peek) && peek.Is("offsets"))
    {
      return this->Fail(ModelFileProblem::Malformed,
        this->Block + " has the 5.x layout (OFFSETS) under a version " +
          std::to_string(this->Major) + "." + std::to_string(this->Minor) + " header",
        peek.S);
    }
    this->P = save;
    if (cells == 0)
    {
      return this->Fail(ModelFileProblem::BadCell, this->Block + " declares no cells");
    }
    if (size < cells * (kind.MinIds + 1))
    {
      return this->Fail(ModelFileProblem::BadCell,
        this->Block + " declares " + std::to_string(cells) + " cells in a list of only " +
          std::to_string(size) + " values");
    }
    static const TypeInfo Int32 = { "int", Kind::Int, 4, true,
      std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max() };
    if (!this->DataStart())
    {
      return false;
    }
    // The 4.x cell list is one array of ints; walk it as "k id ... id" records.
    std::int64_t used = 0;
    std::int64_t cell = 0;
    std::int64_t idsLeft = 0; // IDs still due in the current cell
    const std::int64_t total = cells;
    const int minIds = kind.MinIds;
    auto onValue = [&](std::int64_t v, const char* at) -> bool
    {
      ++used;
      if (idsLeft > 0)
      {
        --idsLeft;
        return this->IdInRange(v, at);
      }
      if (cell == total)
      {
        return this->Fail(ModelFileProblem::BadCell,
          this->Block + " declares a list of " + std::to_string(size) +
            " values but its cells add up to " + std::to_string(used - 1),
          at);
      }
      if (v < minIds)
      {
        return this->Fail(ModelFileProblem::BadCell,
          this->Block + ": " + kind.Noun + " " + std::to_string(cell) + " has " +
            std::to_string(v) + " point IDs; a " + kind.Noun + " needs at least " +
            std::to_string(minIds),
          at);
      }
      if (v > size - used)
      {
        return this->Fail(ModelFileProblem::BadCell,
          this->Block + ": " + kind.Noun + " " + std::to_string(cell) + " has " +
            std::to_string(v) + " point IDs, more than the list declares",
          at);
      }
      ++cell;
      idsLeft = v;
      return true;
    };
    if (!this->Array(static_cast<std::uint64_t>(size), Int32, Check::None, onValue))
    {
      return false;
    }
    if (cell != total || idsLeft != 0)
    {
      return this->Fail(ModelFileProblem::BadCell,
        this->Block + " declares " + std::to_string(total) + " cells but its list of " +
          std::to_string(size) + " values holds " + std::to_string(cell));
    }
    return true;
  }

  // 5.x layout: "n+1 size", OFFSETS type (n+1 values from 0 to size, never decreasing),
  // CONNECTIVITY type (size point IDs).
  bool Cells5(const CellKind& kind, std::int64_t offsets, std::int64_t size)
  {
    if (offsets < 2)
    {
      return this->Fail(ModelFileProblem::BadCell, this->Block + " declares no cells");
    }
    if (size < (offsets - 1) * kind.MinIds)
    {
      return this->Fail(ModelFileProblem::BadCell,
        this->Block + " declares " + std::to_string(offsets - 1) + " cells in only " +
          std::to_string(size) + " point IDs");
    }
    Token t;
    if (!this->Word(t, "OFFSETS"))
    {
      return false;
    }
    if (!t.Is("offsets"))
    {
      return this->Fail(ModelFileProblem::Malformed,
        this->Block + " in a version " + std::to_string(this->Major) + "." +
          std::to_string(this->Minor) + " file must continue with OFFSETS, not '" + t.Text() + "'",
        t.S);
    }
    if (!this->Word(t, "the offsets type"))
    {
      return false;
    }
    const TypeInfo* offsetType = this->CellArrayType(t);
    if (!offsetType || !this->DataStart() ||
      !this->Fits(static_cast<std::uint64_t>(offsets + size), *offsetType))
    {
      return false;
    }
    std::int64_t index = 0;
    std::int64_t previous = 0;
    const int minIds = kind.MinIds;
    auto onOffset = [&](std::int64_t v, const char* at) -> bool
    {
      if (index == 0 && v != 0)
      {
        return this->Fail(ModelFileProblem::BadCell,
          this->Block + ": the offsets start at " + std::to_string(v) + ", not 0", at);
      }
      if (index > 0 && v - previous < minIds)
      {
        if (v < previous)
        {
          return this->Fail(ModelFileProblem::BadCell,
            this->Block + ": the offsets decrease at cell " + std::to_string(index - 1), at);
        }
        return this->Fail(ModelFileProblem::BadCell,
          this->Block + ": " + kind.Noun + " " + std::to_string(index - 1) + " has " +
            std::to_string(v - previous) + " point IDs; a " + kind.Noun + " needs at least " +
            std::to_string(minIds),
          at);
      }
      if (index == offsets - 1 && v != size)
      {
        return this->Fail(ModelFileProblem::BadCell,
          this->Block + ": the offsets end at " + std::to_string(v) +
            ", not at the connectivity size " + std::to_string(size),
          at);
      }
      previous = v;
      ++index;
      return true;
    };
    this->Block = this->Block + " OFFSETS";
    if (!this->Array(static_cast<std::uint64_t>(offsets), *offsetType, Check::None, onOffset))
    {
      return false;
    }
    this->Block = this->Block.substr(0, this->Block.size() - 8);
    if (!this->Word(t, "CONNECTIVITY"))
    {
      return false;
    }
    if (!t.Is("connectivity"))
    {
      return this->Fail(ModelFileProblem::Malformed,
        this->Block + ": expected CONNECTIVITY after the offsets, found '" + t.Text() + "'", t.S);
    }
    if (!this->Word(t, "the connectivity type"))
    {
      return false;
    }
    const TypeInfo* connType = this->CellArrayType(t);
    if (!connType || !this->DataStart())
    {
      return false;
    }
    if (connType != offsetType)
    {
      return this->Fail(ModelFileProblem::Unsupported,
        this->Block + ": offsets and connectivity of different types", t.S);
    }
    auto onId = [&](std::int64_t v, const char* at) { return this->IdInRange(v, at); };
    if (this->Binary && this->Fits(static_cast<std::uint64_t>(size), *connType))
    {
      const unsigned char* d = reinterpret_cast<const unsigned char*>(this->P);
      const bool ok = connType->Bytes == 8 ? this->IdsInRange<8>(d, static_cast<std::uint64_t>(size))
                                           : this->IdsInRange<4>(d, static_cast<std::uint64_t>(size));
      if (ok)
      {
        this->P += static_cast<std::uint64_t>(size) * static_cast<std::uint64_t>(connType->Bytes);
        return this->AfterArray(*connType, 1);
      }
    }
    return this->Array(static_cast<std::uint64_t>(size), *connType, Check::None, onId);
  }

  // The 5.x cell arrays VTK 9.1 turns into cell arrays: 64-bit or 32-bit signed integers.
  const TypeInfo* CellArrayType(const Token& t)
  {
    if (t.Is("vtktypeint64") || t.Is("int") || (!this->Binary && t.Is("vtkidtype")))
    {
      return this->Type(t);
    }
    this->Fail(ModelFileProblem::Unsupported,
      this->Block + ": cell arrays of type '" + t.Text() + "' are not supported", t.S);
    return nullptr;
  }

  // ---- FIELD -----------------------------------------------------------------------------

  bool Field()
  {
    const std::string outer = this->Block;
    this->Block = "FIELD";
    Token t;
    std::int64_t arrays = 0;
    if (!this->Word(t, "the field name") || !this->Count(arrays, "the number of arrays"))
    {
      return false;
    }
    if (static_cast<std::uint64_t>(arrays) > this->Remaining() / 8)
    {
      return this->Fail(ModelFileProblem::TooLarge,
        "FIELD declares " + std::to_string(arrays) + " arrays, more than the file can hold");
    }
    for (std::int64_t a = 0; a < arrays; ++a)
    {
      this->Block = "FIELD";
      if (!this->Word(t, "an array name"))
      {
        return false;
      }
      if (t.Is("null_array"))
      {
        continue;
      }
      this->Block = "FIELD array " + t.Text();
      std::int64_t components = 0;
      std::int64_t tuples = 0;
      if (!this->Count(components, "the number of components") ||
        !this->Count(tuples, "the number of tuples") || !this->Word(t, "the array type"))
      {
        return false;
      }
      if (components < 1)
      {
        return this->Fail(ModelFileProblem::Malformed, this->Block + " has no components");
      }
      const TypeInfo* type = this->Type(t);
      if (!type || !this->DataStart())
      {
        return false;
      }
      std::uint64_t values = static_cast<std::uint64_t>(components) * static_cast<std::uint64_t>(tuples);
      if (!this->Array(values, *type, Check::Finite, NoInteger(), static_cast<int>(components)))
      {
        return false;
      }
    }
    this->Block = outer;
    return true;
  }

  // ---- POINT_DATA / CELL_DATA --------------------------------------------------------------

  bool Attributes(Token keyword)
  {
    std::int64_t tuples = 0;
    for (;;)
    {
      // keyword is POINT_DATA or CELL_DATA here.
      const bool pointData = keyword.Is("point_data");
      this->Block = pointData ? "POINT_DATA" : "CELL_DATA";
      if ((pointData && this->SeenPointData) || (!pointData && this->SeenCellData))
      {
        return this->Fail(ModelFileProblem::Malformed, "a second " + this->Block + " block", keyword.S);
      }
      if (!this->Count(tuples, "the number of values"))
      {
        return false;
      }
      const std::int64_t expected = pointData ? this->Points : this->Result.NumberOfCells();
      if (this->Points < 0 || tuples != expected)
      {
        return this->Fail(ModelFileProblem::Malformed,
          this->Block + " " + std::to_string(tuples) + " does not match the " +
            std::to_string(std::max<std::int64_t>(expected, 0)) +
            (pointData ? " points" : " cells") + " of the model");
      }
      (pointData ? this->SeenPointData : this->SeenCellData) = true;
      (pointData ? this->Result.HasPointData : this->Result.HasCellData) = true;
      const std::string section = this->Block;
      Token t;
      for (;;)
      {
        this->Block = section;
        if (!this->Next(t))
        {
          return true;
        }
        if (t.Is("point_data") || t.Is("cell_data"))
        {
          keyword = t;
          break;
        }
        if (!this->Attribute(t, static_cast<std::uint64_t>(tuples)))
        {
          return false;
        }
      }
    }
  }

  bool Attribute(const Token& keyword, std::uint64_t tuples)
  {
    Token name;
    Token t;
    this->Block = keyword.Text() + " in " + this->Block;
    if (keyword.Is("scalars"))
    {
      if (!this->Word(name, "the scalars name") || !this->Word(t, "the scalars type"))
      {
        return false;
      }
      const TypeInfo* type = this->Type(t);
      if (!type)
      {
        return false;
      }
      Token key;
      if (!this->Word(key, "LOOKUP_TABLE"))
      {
        return false;
      }
      std::int64_t components = 1;
      if (!key.Is("lookup_table"))
      {
        if (!ParseInteger(key, components) || components < 1 || components > 4)
        {
          return this->Fail(ModelFileProblem::Malformed,
            "SCALARS needs a LOOKUP_TABLE line (found '" + key.Text() + "')", key.S);
        }
        if (!this->Word(key, "LOOKUP_TABLE"))
        {
          return false;
        }
        if (!key.Is("lookup_table"))
        {
          return this->Fail(ModelFileProblem::Malformed,
            "SCALARS needs a LOOKUP_TABLE line (found '" + key.Text() + "')", key.S);
        }
      }
      if (!this->Word(t, "the lookup table name") || !this->DataStart())
      {
        return false;
      }
      return this->Array(tuples * static_cast<std::uint64_t>(components), *type, Check::Finite,
        NoInteger(), static_cast<int>(components));
    }
    if (keyword.Is("lookup_table"))
    {
      std::int64_t size = 0;
      if (!this->Word(name, "the lookup table name") || !this->Count(size, "the table size"))
      {
        return false;
      }
      if (size < 1)
      {
        return this->Fail(ModelFileProblem::Malformed, "an empty LOOKUP_TABLE", name.S);
      }
      if (!this->DataStart())
      {
        return false;
      }
      static const TypeInfo Colour = { "float", Kind::Float, 1, false, 0, 0 };
      static const TypeInfo Bytes = { "unsigned_char", Kind::Int, 1, false, 0, 255 };
      const TypeInfo& type = this->Binary ? Bytes : Colour;
      // VTK reads the table directly: no METADATA may follow it.
      if (!this->Fits(4 * static_cast<std::uint64_t>(size), type))
      {
        return false;
      }
      return this->ColourValues(4 * static_cast<std::uint64_t>(size));
    }
    if (keyword.Is("color_scalars"))
    {
      std::int64_t components = 0;
      if (!this->Word(name, "the color scalars name") ||
        !this->Count(components, "the number of colour components"))
      {
        return false;
      }
      if (components < 1 || components > 4)
      {
        return this->Fail(ModelFileProblem::Malformed, "COLOR_SCALARS needs 1 to 4 components");
      }
      if (!this->DataStart())
      {
        return false;
      }
      static const TypeInfo Colour = { "float", Kind::Float, 4, false, 0, 0 };
      static const TypeInfo Bytes = { "unsigned_char", Kind::Int, 1, false, 0, 255 };
      return this->Array(tuples * static_cast<std::uint64_t>(components),
        this->Binary ? Bytes : Colour, Check::UnitInterval, NoInteger(),
        static_cast<int>(components));
    }
    std::uint64_t components = 0;
    if (keyword.Is("vectors") || keyword.Is("normals"))
    {
      components = 3;
    }
    else if (keyword.Is("tensors"))
    {
      components = 9;
    }
    else if (keyword.Is("texture_coordinates"))
    {
      std::int64_t dim = 0;
      if (!this->Word(name, "the texture coordinates name") ||
        !this->Count(dim, "the texture dimension"))
      {
        return false;
      }
      if (dim < 1 || dim > 3)
      {
        return this->Fail(ModelFileProblem::Malformed, "texture coordinates need 1 to 3 dimensions");
      }
      components = static_cast<std::uint64_t>(dim);
    }
    else if (keyword.Is("field"))
    {
      return this->Field();
    }
    else
    {
      return this->Fail(ModelFileProblem::Unsupported,
        "section '" + keyword.Text() + "' is not one Selvane can check", keyword.S);
    }
    if (!keyword.Is("texture_coordinates") && !this->Word(name, "the array name"))
    {
      return false;
    }
    if (!this->Word(t, "the data type"))
    {
      return false;
    }
    const TypeInfo* type = this->Type(t);
    if (!type || !this->DataStart())
    {
      return false;
    }
    return this->Array(
      tuples * components, *type, Check::Finite, NoInteger(), static_cast<int>(components));
  }

  // The components of a lookup table: bytes in BINARY files, numbers 0 to 1 in ASCII files.
  bool ColourValues(std::uint64_t values)
  {
    if (this->Binary)
    {
      this->P += values;
      return true;
    }
    Token t;
    for (std::uint64_t i = 0; i < values; ++i)
    {
      double v = 0;
      if (!this->Next(t))
      {
        return this->Fail(ModelFileProblem::Truncated, "the file ends inside " + this->Block);
      }
      if (ParseReal(t, v) != 0)
      {
        return this->NotANumber(t, "a number");
      }
      if (!ValueOk(Check::UnitInterval, true, v))
      {
        return this->BadValue(Check::UnitInterval, v, t.S);
      }
    }
    return this->EndOfLine(false);
  }

  void Finish()
  {
    if (this->Points <= 0)
    {
      this->Fail(ModelFileProblem::NoGeometry, "the file holds no points");
      return;
    }
    if (this->Result.NumberOfCells() == 0)
    {
      this->Fail(ModelFileProblem::NoGeometry, "the file holds no cells");
      return;
    }
  }
};

} // namespace

LegacyVtkScanResult ScanLegacyVtkBuffer(const char* data, std::size_t size)
{
  LegacyVtkScanResult result;
  Scanner scanner(data, size, result);
  scanner.Run();
  return result;
}

LegacyVtkScanResult ScanLegacyVtkFile(const std::string& path)
{
  LegacyVtkScanResult result;
  auto failRead = [&result](const std::string& why)
  {
    result.Problem = ModelFileProblem::CannotRead;
    result.Reason = why;
    return result;
  };
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
  {
    return failRead(std::string("cannot open the file: ") + std::strerror(errno));
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
  {
    ::close(fd);
    return failRead(S_ISDIR(st.st_mode) ? "it is a folder, not a file" : "it is not a regular file");
  }
  const std::size_t size = static_cast<std::size_t>(st.st_size);
  if (size == 0)
  {
    ::close(fd);
    return ScanLegacyVtkBuffer("", 0);
  }
  void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED)
  {
    return failRead(std::string("cannot read the file: ") + std::strerror(errno));
  }
  ::madvise(map, size, MADV_SEQUENTIAL);
  result = ScanLegacyVtkBuffer(static_cast<const char*>(map), size);
  ::munmap(map, size);
  return result;
}

} // namespace selvane
