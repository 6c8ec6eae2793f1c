#include "LegacyVtkScanner.h"

#include "InputFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>
#include <type_traits>

#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace selvane {

namespace {

// VTK's legacy reader reads keywords, names and lines into 256-character buffers.
constexpr std::size_t MaxTokenLength = 255;
// Longer words are never numbers or keywords; past this the scanner keeps only their head.
constexpr std::size_t TokenLimit = 4096;
// Longer lines are refused; also the most blanks looked through for an optional keyword.
constexpr std::size_t LineLimit = 4096;
// The most bytes the scanner ever needs in the buffer at once (a word or line and its end).
constexpr std::size_t MaxLookahead = 2 * LineLimit + 16;
// Position of a failure: the scanner's current position.
constexpr std::uint64_t Here = std::numeric_limits<std::uint64_t>::max();
// Selvane's IDs are 32-bit signed integers; no count may exceed this.
constexpr std::int64_t MaxCount = std::numeric_limits<std::int32_t>::max();
// VTK finds an array by comparing its name with every array before it, so that tens of thousands
// of arrays in a megabyte take many seconds; models carry a few.
constexpr std::int64_t MaxArrays = 1000;
constexpr double FloatMax = static_cast<double>(std::numeric_limits<float>::max());

// Every product and sum of counts a file declares goes through these: on overflow they give the
// largest value, which Fits refuses as more than any file holds, so no declared count can wrap
// around into one that passes.
constexpr std::uint64_t Saturated = std::numeric_limits<std::uint64_t>::max();
inline std::uint64_t SatMul(std::uint64_t a, std::uint64_t b) {
  std::uint64_t r;
  return __builtin_mul_overflow(a, b, &r) ? Saturated : r;
}
inline std::uint64_t SatAdd(std::uint64_t a, std::uint64_t b) {
  std::uint64_t r;
  return __builtin_add_overflow(a, b, &r) ? Saturated : r;
}

enum class Kind { Bit, Int, Float, Double };

struct TypeInfo {
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
    {"bit", Kind::Bit, 0, false, 0, 1},
    {"unsigned_char", Kind::Int, 1, false, 0, 255},
    {"char", Kind::Int, 1, true, -128, 255},
    {"signed_char", Kind::Int, 1, true, -128, 127},
    {"short", Kind::Int, 2, true, -32768, 32767},
    {"unsigned_short", Kind::Int, 2, false, 0, 65535},
    {"int", Kind::Int, 4, true, std::numeric_limits<std::int32_t>::min(),
     std::numeric_limits<std::int32_t>::max()},
    {"unsigned_int", Kind::Int, 4, false, 0, std::numeric_limits<std::uint32_t>::max()},
    {"long", Kind::Int, 0, true, I64Min, I64Max},
    {"unsigned_long", Kind::Int, 0, false, 0, I64Max},
    {"vtkidtype", Kind::Int, 0, true, I64Min, I64Max},
    {"vtktypeint64", Kind::Int, 8, true, I64Min, I64Max},
    {"vtktypeuint64", Kind::Int, 8, false, 0, I64Max},
    {"float", Kind::Float, 4, true, 0, 0},
    {"double", Kind::Double, 8, true, 0, 0},
};

struct SpaceTable {
  bool Is[256] = {};
  constexpr SpaceTable() {
    for (unsigned char c : {' ', '\n', '\t', '\r', '\v', '\f'}) {
      this->Is[c] = true;
    }
  }
};
constexpr SpaceTable Spaces;

inline bool IsSpace(char c) {
  return Spaces.Is[static_cast<unsigned char>(c)];
}

template <int Bytes, bool Signed> inline std::int64_t LoadBigEndian(const unsigned char* d) {
  if constexpr (Bytes == 1) {
    return Signed ? static_cast<std::int64_t>(static_cast<signed char>(d[0])) : d[0];
  } else if constexpr (Bytes == 2) {
    std::uint16_t u;
    std::memcpy(&u, d, 2);
    u = __builtin_bswap16(u);
    return Signed ? static_cast<std::int64_t>(static_cast<std::int16_t>(u)) : u;
  } else if constexpr (Bytes == 4) {
    std::uint32_t u;
    std::memcpy(&u, d, 4);
    u = __builtin_bswap32(u);
    return Signed ? static_cast<std::int64_t>(static_cast<std::int32_t>(u)) : u;
  } else {
    std::uint64_t u;
    std::memcpy(&u, d, 8);
    return static_cast<std::int64_t>(__builtin_bswap64(u));
  }
}

// Whether a message shows the byte as it is (else as '?').
inline bool Printable(char c) {
  return static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) <= 126;
}

inline char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

struct Token {
  const char* S = nullptr; // valid until the scanner reads on; only a head of long words
  std::size_t N = 0;
  std::uint64_t Pos = 0; // offset in the file

  bool Is(const char* lowerWord) const {
    std::size_t n = std::strlen(lowerWord);
    if (n != this->N) {
      return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
      if (Lower(this->S[i]) != lowerWord[i]) {
        return false;
      }
    }
    return true;
  }
  std::string Text() const {
    std::string t(this->S, std::min<std::size_t>(this->N, 40));
    for (char& c : t) {
      if (!Printable(c)) {
        c = '?';
      }
    }
    return this->N > 40 ? t + "..." : t;
  }
};

// What a value of an array is checked for.
enum class Check {
  None,
  Finite,      // finite, and within float range for float arrays
  Coordinate,  // finite and within float range whatever the type
  UnitInterval // finite, in [0, 1] (colour components)
};

// Keywords that can start a section; meeting one where a number belongs means a block ended.
const char* const SectionWords[] = {"points",          "vertices",
                                    "lines",           "polygons",
                                    "triangle_strips", "point_data",
                                    "cell_data",       "scalars",
                                    "color_scalars",   "lookup_table",
                                    "vectors",         "normals",
                                    "tensors",         "texture_coordinates",
                                    "field",           "metadata",
                                    "offsets",         "connectivity",
                                    "dataset"};

// The bytes being scanned, seen through a window that only moves forward: the whole buffer
// for a scan in memory, or pieces read with read() into one reused buffer for a scan of a
// file (a file that shrinks meanwhile then simply ends early). Pointers into the window stay
// valid until the next Fill.
class Window {
public:
  Window(const char* data, std::size_t size) : P(data), End(data + size), Size(size), Data(data) {}

  // A buffer that fills from its start while it is scanned.
  Window(const char* data, std::size_t size, formats::CopyProgress& progress)
      : P(data), End(data), Size(size), Data(data), Progress(&progress) {}

  Window(int fd, std::uint64_t size, std::size_t piece)
      : Size(size), Fd(fd), Piece(std::max<std::size_t>(piece, 1)),
        Storage(this->Piece + MaxLookahead) {
    this->Data = this->P = this->End = this->Storage.data();
  }

  const char* P = nullptr;   // next byte to scan
  const char* End = nullptr; // end of the bytes at hand
  std::uint64_t Size = 0;    // the size of the file when it was opened

  // Makes at least n (at most MaxLookahead) bytes from P available; false when the bytes end
  // first (what is left is then at hand).
  bool Fill(std::size_t n) {
    return static_cast<std::size_t>(this->End - this->P) >= n || this->Refill(n);
  }

  // True when no byte follows the ones at hand.
  bool Complete() const {
    return (this->Fd < 0 && !this->Progress) || this->Ended ||
           this->Offset(this->End) >= this->Size;
  }

  std::uint64_t Offset(const char* at) const {
    return this->Base + static_cast<std::uint64_t>(at - this->Data);
  }

  // Whether Jump can move past bytes without reading them.
  bool CanJump() const { return this->Fd >= 0; }

  // Moves P over n bytes, reading none that are not at hand (a file read in pieces only).
  void Jump(std::uint64_t n) {
    const std::uint64_t here = static_cast<std::uint64_t>(this->End - this->P);
    if (n <= here) {
      this->P += n;
      return;
    }
    const std::uint64_t skip = n - here;
    this->Base = this->Offset(this->End) + skip;
    this->P = this->End = this->Data;
    if (::lseek(this->Fd, static_cast<off_t>(skip), SEEK_CUR) < 0) {
      this->ReadError = errno;
      this->Ended = true;
    }
  }

  bool Shrunk() const { return this->ShrunkWhileRead; }
  int Error() const { return this->ReadError; }

  // Number of line ends before `offset` (for messages: read again from the start in a file).
  std::uint64_t LineEndsBefore(std::uint64_t offset) const {
    if (this->Fd < 0) {
      return static_cast<std::uint64_t>(std::count(this->Data, this->Data + offset, '\n'));
    }
    std::vector<char> piece(1 << 16);
    std::uint64_t count = 0;
    for (std::uint64_t at = 0; at < offset;) {
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), offset - at));
      const ssize_t got = ::pread(this->Fd, piece.data(), want, static_cast<off_t>(at));
      if (got < 0 && errno == EINTR) {
        continue;
      }
      if (got <= 0) {
        break;
      }
      count += static_cast<std::uint64_t>(std::count(piece.data(), piece.data() + got, '\n'));
      at += static_cast<std::uint64_t>(got);
    }
    return count;
  }

private:
  const char* Data = nullptr; // start of the window; at Base in the file
  std::uint64_t Base = 0;
  int Fd = -1;
  formats::CopyProgress* Progress = nullptr;
  std::size_t Piece = 0;
  std::vector<char> Storage; // Piece + MaxLookahead bytes
  bool Ended = false;
  bool ShrunkWhileRead = false;
  int ReadError = 0;

  bool Refill(std::size_t n) {
    if (this->Progress) {
      // Everything copied so far is at hand; nothing before P moves.
      if (!this->Ended) {
        const std::uint64_t need = std::min(this->Size, this->Offset(this->P) + n);
        const std::uint64_t have = std::min(this->Size, this->Progress->WaitFor(need));
        this->End = this->Data + have;
        this->Ended = have < need || have == this->Size;
      }
      return static_cast<std::size_t>(this->End - this->P) >= n;
    }
    std::size_t kept = static_cast<std::size_t>(this->End - this->P);
    if (this->Fd < 0 || this->Ended) {
      return kept >= n;
    }
    if (this->P != this->Data) {
      std::memmove(this->Storage.data(), this->P, kept);
      this->Base += static_cast<std::uint64_t>(this->P - this->Data);
      this->P = this->Data;
      this->End = this->Data + kept;
    }
    while (kept < n) {
      const std::uint64_t unread = this->Size - std::min(this->Size, this->Base + kept);
      if (unread == 0) {
        this->Ended = true;
        break;
      }
      const std::size_t want = static_cast<std::size_t>(
          std::min<std::uint64_t>({this->Storage.size() - kept, this->Piece, unread}));
      const ssize_t got = ::read(this->Fd, this->Storage.data() + kept, want);
      if (got < 0 && errno == EINTR) {
        continue;
      }
      if (got <= 0) {
        this->ReadError = got < 0 ? errno : 0;
        this->ShrunkWhileRead = got == 0;
        this->Ended = true;
        break;
      }
      kept += static_cast<std::size_t>(got);
      this->End = this->Data + kept;
    }
    return kept >= n;
  }
};

class Scanner {
public:
  Scanner(Window& window, LegacyVtkScanResult& result) : W(window), Result(result) {}

  // Skimming: only a BINARY file of points, cells and plain scalars passes, and its arrays are
  // noted in layout instead of being read.
  Scanner(Window& window, formats::LegacyBinaryLayout& layout)
      : W(window), Result(layout.Scan), Layout(&layout) {}

  void Run() {
    if (this->ScanHeader() && this->ScanDataset()) {
      this->Finish();
    }
  }

private:
  Window& W;
  LegacyVtkScanResult& Result;
  bool Binary = false;
  int Major = 0;
  int Minor = 0;
  std::int64_t Points = -1;
  bool SeenCells[4] = {false, false, false, false};
  bool SeenPointData = false;
  bool SeenCellData = false;
  std::string Block;    // name of the block being read, for messages
  int Components = 1;   // components of the array being read (for METADATA)
  std::string LongHead; // the head of the last word longer than TokenLimit
  formats::LegacyBinaryLayout* Layout = nullptr; // set when skimming
  formats::LegacyBinaryArray Pending;            // what the next skimmed array is
  bool PendingSet = false;
  bool SkimmedPointScalars = false;
  bool SkimmedCellScalars = false;
  std::int64_t Arrays[3] = {0, 0, 0}; // of the field data, point data and cell data
  int ArraysOf = 0;                   // which of them the arrays read now add to

  // Counts `n` more arrays of the data being read, refusing more than MaxArrays.
  bool AddArrays(std::int64_t n) {
    std::int64_t& count = this->Arrays[this->ArraysOf];
    if (n > MaxArrays - count) {
      static const char* const Of[3] = {"the field data", "POINT_DATA", "CELL_DATA"};
      return this->Fail(ErrorCode::TooLarge, std::string(Of[this->ArraysOf]) + " holds more than " +
                                                 std::to_string(MaxArrays) +
                                                 " arrays; Selvane opens at most " +
                                                 std::to_string(MaxArrays));
    }
    count += n;
    return true;
  }

  // While skimming, anything but the plain layout ends the skim.
  bool NotPlain() { return this->Fail(ErrorCode::Unsupported, "not a plain BINARY layout"); }

  // Notes where the next binary array lies; skimming only.
  void Expect(formats::LegacyBinaryArray::Role role, int cellKind = 0) {
    this->Pending = formats::LegacyBinaryArray();
    this->Pending.TheRole = role;
    this->Pending.CellKind = cellKind;
    this->PendingSet = true;
  }

  // Scalars (SCALARS or COLOR_SCALARS) to come while skimming: one array per section, named
  // plainly.
  bool SkimScalars(bool onPoints, const std::string& name) {
    bool& seen = onPoints ? this->SkimmedPointScalars : this->SkimmedCellScalars;
    if (seen || name.size() > MaxTokenLength || name.find('%') != std::string::npos) {
      return this->NotPlain();
    }
    seen = true;
    this->Expect(formats::LegacyBinaryArray::Role::Scalars);
    this->Pending.OnPoints = onPoints;
    this->Pending.Name = name;
    return true;
  }

  // The skim's stand-in for reading a binary array: its place is noted and its bytes passed.
  bool SkimArray(std::uint64_t values, const TypeInfo& type) {
    if (!this->PendingSet || type.TheKind == Kind::Bit) {
      return this->NotPlain();
    }
    this->PendingSet = false;
    formats::LegacyBinaryArray array = this->Pending;
    array.Type = type.Name;
    array.Bytes = type.Bytes;
    array.Offset = this->Offset();
    array.Values = values;
    array.Components = this->Components;
    this->Layout->Arrays.push_back(array);
    return this->Skip(SatMul(values, static_cast<std::uint64_t>(type.Bytes)));
  }

  // ---- failures ----------------------------------------------------------------------

  std::string Where(std::uint64_t at) const {
    if (this->Binary) {
      return "at byte " + std::to_string(at);
    }
    return "line " + std::to_string(1 + this->W.LineEndsBefore(at));
  }

  bool Fail(ErrorCode problem, const std::string& what, std::uint64_t at = Here) {
    this->Result.Problem = problem;
    this->Result.Reason = this->Where(at == Here ? this->W.Offset(this->W.P) : at) + ": " + what;
    return false;
  }

  bool Failed() const { return this->Result.Problem != ErrorCode::None; }

  std::uint64_t Offset() const { return this->W.Offset(this->W.P); }
  std::uint64_t Offset(const void* at) const {
    return this->W.Offset(static_cast<const char*>(at));
  }

  // Bytes of the file after the current position (as its size was when it was opened).
  std::uint64_t Remaining() const { return this->W.Size - std::min(this->W.Size, this->Offset()); }

  // True at the end of the bytes.
  bool AtEnd() { return this->W.P == this->W.End && !this->W.Fill(1); }

  // ---- tokens and lines --------------------------------------------------------------

  void SkipSpace() {
    for (;;) {
      const char* p = this->W.P;
      const char* end = this->W.End;
      while (p < end && IsSpace(*p)) {
        ++p;
      }
      this->W.P = p;
      if (p < end || !this->W.Fill(1)) {
        return;
      }
    }
  }

  bool Next(Token& t) {
    this->SkipSpace();
    if (this->W.P == this->W.End) {
      return false;
    }
    std::size_t n = 0;
    for (;;) {
      const char* p = this->W.P;
      const std::size_t have = static_cast<std::size_t>(this->W.End - p);
      while (n < have && !IsSpace(p[n])) {
        ++n;
      }
      if (n < have || n > TokenLimit || !this->W.Fill(n + 1)) {
        break;
      }
    }
    t.S = this->W.P;
    t.N = n;
    t.Pos = this->Offset();
    this->W.P += n;
    if (n > TokenLimit && this->W.P == this->W.End && !this->W.Complete()) {
      // A word too long to keep: keep its head and go on to its end.
      this->LongHead.assign(t.S, 64);
      t.S = this->LongHead.data();
      for (;;) {
        const char* p = this->W.P;
        while (p < this->W.End && !IsSpace(*p)) {
          ++p;
        }
        t.N += static_cast<std::size_t>(p - this->W.P);
        this->W.P = p;
        if (p < this->W.End || !this->W.Fill(1)) {
          break;
        }
      }
    }
    return true;
  }

  // A keyword, name or type word: must exist and fit VTK's 256-character buffer.
  bool Word(Token& t, const char* what) {
    if (!this->Next(t)) {
      return this->Fail(ErrorCode::Truncated,
                        "the file ends where " + std::string(what) + " belongs" + this->InBlock());
    }
    if (t.N > MaxTokenLength) {
      return this->Fail(ErrorCode::Malformed, std::string(what) + " is longer than 255 characters",
                        t.Pos);
    }
    return true;
  }

  // When the next word is `lowerWord`: the number of bytes up to its end, blanks included;
  // otherwise 0. Nothing is consumed; at most LineLimit blanks are looked through.
  std::size_t Ahead(const char* lowerWord) {
    const std::size_t length = std::strlen(lowerWord);
    std::size_t i = 0;
    for (;;) {
      if (!this->W.Fill(i + 1)) {
        return 0;
      }
      if (!IsSpace(this->W.P[i])) {
        break;
      }
      if (++i > LineLimit) {
        return 0;
      }
    }
    const bool whole = this->W.Fill(i + length + 1);
    const std::size_t have = static_cast<std::size_t>(this->W.End - this->W.P);
    if (have < i + length || !Token{this->W.P + i, length}.Is(lowerWord) ||
        (whole && !IsSpace(this->W.P[i + length]))) {
      return 0;
    }
    return i + length;
  }

  std::string InBlock() const { return this->Block.empty() ? "" : " (in " + this->Block + ")"; }

  static bool IsSectionWord(const Token& t) {
    for (const char* w : SectionWords) {
      if (t.Is(w)) {
        return true;
      }
    }
    return false;
  }

  // Fails for a token that should have been a number.
  bool NotANumber(const Token& t, const char* what) {
    if (IsSectionWord(t)) {
      return this->Fail(
          ErrorCode::Truncated,
          this->Block + " ends early: found " + t.Text() + " where " + what + " belongs", t.Pos);
    }
    return this->Fail(ErrorCode::Malformed, "'" + t.Text() + "' is not " + what + this->InBlock(),
                      t.Pos);
  }

  static bool ParseInteger(const Token& t, std::int64_t& v) {
    if (t.N > TokenLimit) {
      return false;
    }
    const char* s = t.S;
    const char* e = t.S + t.N;
    bool negative = false;
    if (s < e && (*s == '+' || *s == '-')) {
      negative = *s == '-';
      ++s;
    }
    if (s == e) {
      return false;
    }
    std::uint64_t acc = 0;
    for (; s < e; ++s) {
      unsigned d = static_cast<unsigned>(*s - '0');
      if (d > 9) {
        return false;
      }
      if (acc > (std::uint64_t(1) << 63) / 10) {
        acc = std::uint64_t(1) << 63; // saturate: anything this long is out of every range
        continue;
      }
      acc = acc * 10 + d;
      if (acc > (std::uint64_t(1) << 63)) {
        acc = std::uint64_t(1) << 63;
      }
    }
    if (negative) {
      v = acc >= (std::uint64_t(1) << 63) ? I64Min : -static_cast<std::int64_t>(acc);
    } else {
      v = acc >= (std::uint64_t(1) << 63) ? I64Max : static_cast<std::int64_t>(acc);
    }
    return true;
  }

  // 0: parsed; 1: not a number; 2: out of double range.
  static int ParseReal(const Token& t, double& v) {
    if (t.N > TokenLimit) {
      return 1;
    }
    const char* s = t.S;
    const char* e = t.S + t.N;
    if (s < e && *s == '+') {
      ++s;
      if (s < e && (*s == '-' || *s == '+')) {
        return 1;
      }
    }
    auto r = std::from_chars(s, e, v, std::chars_format::general);
    if (r.ptr != e || s == e) {
      return 1;
    }
    if (r.ec == std::errc::result_out_of_range) {
      // Underflow to a subnormal or zero is harmless; overflow is not.
      std::size_t i = static_cast<std::size_t>(
          std::find_if(s, e, [](char c) { return c == 'e' || c == 'E'; }) - s);
      return (s + i < e && s[i + 1] == '-') ? (v = 0.0, 0) : 2;
    }
    return r.ec == std::errc() ? 0 : 1;
  }

  // A count in a block header: an integer, not negative, at most MaxCount.
  bool Count(std::int64_t& v, const char* what) {
    Token t;
    if (!this->Next(t)) {
      return this->Fail(ErrorCode::Truncated,
                        "the file ends where " + std::string(what) + " belongs" + this->InBlock());
    }
    if (!ParseInteger(t, v)) {
      return this->NotANumber(t, what);
    }
    if (v < 0) {
      return this->Fail(ErrorCode::Malformed,
                        std::string(what) + " is negative (" + t.Text() + ")" + this->InBlock(),
                        t.Pos);
    }
    if (v > MaxCount) {
      return this->Fail(
          ErrorCode::TooLarge,
          std::string(what) + " " + t.Text() + " exceeds 2147483647" + this->InBlock(), t.Pos);
    }
    return true;
  }

  // Moves past the end of the current line, which must hold nothing but blanks.
  bool EndOfLine(bool required) {
    for (;;) {
      const char* p = this->W.P;
      const char* end = this->W.End;
      while (p < end && *p != '\n') {
        if (!IsSpace(*p)) {
          this->W.P = p;
          return this->Fail(ErrorCode::Malformed, "unexpected text '" + this->PeekText() +
                                                      "' at the end of a line" + this->InBlock());
        }
        ++p;
      }
      this->W.P = p;
      if (p < end) {
        break;
      }
      if (!this->W.Fill(1)) {
        return required ? this->Fail(ErrorCode::Truncated,
                                     "the file ends before the data of " + this->Block)
                        : true;
      }
    }
    ++this->W.P;
    return true;
  }

  // The word at the current position, for a message.
  std::string PeekText() {
    this->W.Fill(41);
    Token t;
    t.S = this->W.P;
    const char* q = this->W.P;
    while (q < this->W.End && !IsSpace(*q) && q - this->W.P < 41) {
      ++q;
    }
    t.N = static_cast<std::size_t>(q - this->W.P);
    return t.Text();
  }

  // Reads one line (without its end), as VTK's ReadLine does; false at the end of the file,
  // and after failing for a line longer than LineLimit. `s` is valid until the next read.
  bool Line(const char*& s, std::size_t& n) {
    if (this->AtEnd()) {
      return false;
    }
    const char* nl = nullptr;
    for (std::size_t looked = 0;;) {
      const char* from = this->W.P + looked;
      nl = static_cast<const char*>(
          std::memchr(from, '\n', static_cast<std::size_t>(this->W.End - from)));
      looked = static_cast<std::size_t>(this->W.End - this->W.P);
      if (nl || looked > LineLimit || !this->W.Fill(looked + 1)) {
        break;
      }
    }
    s = this->W.P;
    const char* e = nl ? nl : this->W.End;
    n = static_cast<std::size_t>(e - s);
    if (n > LineLimit) {
      return this->Fail(ErrorCode::Malformed, "a line is longer than " + std::to_string(LineLimit) +
                                                  " characters" + this->InBlock());
    }
    this->W.P = nl ? nl + 1 : e;
    if (n > 0 && s[n - 1] == '\r') {
      --n;
    }
    return true;
  }

  static bool Blank(const char* s, std::size_t n) { return std::all_of(s, s + n, IsSpace); }

  // ---- types and arrays --------------------------------------------------------------

  const TypeInfo* Type(const Token& t, bool allowFloat = true) {
    for (const TypeInfo& info : Types) {
      if (t.Is(info.Name)) {
        if (this->Binary && info.TheKind == Kind::Int && info.Bytes == 0) {
          this->Fail(ErrorCode::Unsupported,
                     "data type " + t.Text() + " is not supported in BINARY files" +
                         this->InBlock(),
                     t.Pos);
          return nullptr;
        }
        if (!allowFloat && (info.TheKind == Kind::Float || info.TheKind == Kind::Double)) {
          break;
        }
        return &info;
      }
    }
    this->Fail(ErrorCode::Unsupported,
               "data type '" + t.Text() + "' is not supported" + this->InBlock(), t.Pos);
    return nullptr;
  }

  // Refuses before reading a count that cannot fit in what is left of the file.
  bool Fits(std::uint64_t values, const TypeInfo& type) {
    std::uint64_t need;
    if (values > (std::uint64_t(1) << 56)) {
      return this->Fail(ErrorCode::TooLarge,
                        this->Block + " declares " +
                            (values == Saturated ? "more" : std::to_string(values)) +
                            " values, more than any file holds");
    }
    if (this->Binary) {
      need = type.TheKind == Kind::Bit ? (values + 7) / 8
                                       : SatMul(values, static_cast<std::uint64_t>(type.Bytes));
    } else {
      need = values == 0 ? 0 : 2 * values - 1; // a digit and a separator per value
    }
    if (need <= this->Remaining()) {
      return true;
    }
    const std::uint64_t fileSize = this->W.Size;
    return this->Fail(need > fileSize ? ErrorCode::TooLarge : ErrorCode::Truncated,
                      this->Block + " declares " + std::to_string(values) +
                          " values, which need at least " + std::to_string(need) +
                          " bytes, but only " + std::to_string(this->Remaining()) +
                          " bytes follow");
  }

  bool BadValue(Check check, double v, std::uint64_t at) {
    if (!std::isfinite(v)) {
      return this->Fail(ErrorCode::BadCoordinate, this->Block + " holds a value that is not finite",
                        at);
    }
    if (check == Check::UnitInterval) {
      return this->Fail(ErrorCode::BadCoordinate,
                        this->Block + " holds a colour component outside 0 to 1", at);
    }
    return this->Fail(ErrorCode::BadCoordinate,
                      this->Block + " holds a value outside single-precision range", at);
  }

  static bool ValueOk(Check check, bool isFloat, double v) {
    switch (check) {
    case Check::None:
      return true;
    case Check::Finite:
      return std::isfinite(v) && (!isFloat || std::fabs(v) <= FloatMax);
    case Check::Coordinate:
      return std::isfinite(v) && std::fabs(v) <= FloatMax;
    case Check::UnitInterval:
      return v >= 0.0 && v <= 1.0;
    }
    return false;
  }

  // Reads `values` numbers of `type` (the block header is done, and in BINARY files its line).
  // `onInteger` sees each integer value and its offset, and returns false after failing.
  template <typename OnInteger>
  bool Array(std::uint64_t values, const TypeInfo& type, Check check, OnInteger onInteger,
             int components = 1) {
    this->Components = components;
    if (!this->Fits(values, type)) {
      return false;
    }
    if (this->Binary) {
      return this->BinaryArray(values, type, check, onInteger);
    }
    Token t;
    const bool integers = type.TheKind == Kind::Int || type.TheKind == Kind::Bit;
    for (std::uint64_t i = 0; i < values; ++i) {
      if (integers) {
        // Fast path: a plain decimal integer of at most 18 digits ended by a blank, all at hand.
        this->W.Fill(64);
        const char* q = this->W.P;
        const char* end = this->W.End;
        while (q < end && IsSpace(*q)) {
          ++q;
        }
        const char* start = q;
        bool negative = q < end && *q == '-';
        q += negative ? 1 : 0;
        const char* digits = q;
        std::int64_t v = 0;
        while (q < end && static_cast<unsigned>(*q - '0') <= 9 && q - digits < 18) {
          v = v * 10 + (*q - '0');
          ++q;
        }
        if (q > digits && (q < end ? IsSpace(*q) : this->W.Complete())) {
          v = negative ? -v : v;
          const std::uint64_t at = this->Offset(start);
          t = Token{start, static_cast<std::size_t>(q - start), at};
          this->W.P = q;
          if (!onInteger(v, at)) {
            return false;
          }
          if (v < type.Min || v > type.Max) {
            return this->Fail(
                ErrorCode::Malformed,
                t.Text() + " is out of the range of type " + type.Name + this->InBlock(), t.Pos);
          }
          continue;
        }
        // Anything else takes the general path below.
      }
      if (!this->Next(t)) {
        return this->Fail(ErrorCode::Truncated, "the file ends inside " + this->Block + " after " +
                                                    std::to_string(i) + " of " +
                                                    std::to_string(values) + " values");
      }
      if (type.TheKind == Kind::Float || type.TheKind == Kind::Double) {
        double v = 0;
        int r = ParseReal(t, v);
        if (r == 1) {
          // "nan", "inf" and the like are words, not numbers VTK reads.
          if (t.Is("nan") || t.Is("-nan") || t.Is("inf") || t.Is("-inf") || t.Is("infinity") ||
              t.Is("-infinity")) {
            return this->BadValue(check == Check::None ? Check::Finite : check,
                                  std::numeric_limits<double>::quiet_NaN(), t.Pos);
          }
          return this->NotANumber(t, "a number");
        }
        if (r == 2 || !ValueOk(check == Check::None ? Check::Finite : check,
                               type.TheKind == Kind::Float, v)) {
          return this->BadValue(check, r == 2 ? std::numeric_limits<double>::max() : v, t.Pos);
        }
      } else {
        std::int64_t v = 0;
        if (!ParseInteger(t, v)) {
          return this->NotANumber(t, "an integer");
        }
        // The token is copied: onInteger may read on.
        const std::string text = t.Text();
        const std::uint64_t at = t.Pos;
        if (!onInteger(v, at)) {
          return false;
        }
        if (v < type.Min || v > type.Max) {
          return this->Fail(ErrorCode::Malformed,
                            text + " is out of the range of type " + type.Name + this->InBlock(),
                            at);
        }
      }
    }
    return this->AfterArray(type, this->Components);
  }

  // Fails for binary data that end before their block (the file shrank while it was read).
  bool EndsInside() {
    return this->Fail(ErrorCode::Truncated, "the file ends inside " + this->Block);
  }

  // Moves over `bytes` bytes of binary data.
  bool Skip(std::uint64_t bytes) {
    if (this->Layout && this->W.CanJump()) {
      if (bytes > this->Remaining()) {
        return this->EndsInside();
      }
      this->W.Jump(bytes);
      return true;
    }
    while (bytes > 0) {
      if (!this->W.Fill(1)) {
        return this->EndsInside();
      }
      const std::uint64_t step =
          std::min<std::uint64_t>(bytes, static_cast<std::uint64_t>(this->W.End - this->W.P));
      this->W.P += step;
      bytes -= step;
    }
    return true;
  }

  // Calls chunk(data, n) over the `values` binary values of `bytes` bytes each, a piece at a
  // time; chunk returns false after failing.
  template <typename Chunk> bool BinaryPieces(std::uint64_t values, int bytes, Chunk chunk) {
    const std::size_t size = static_cast<std::size_t>(bytes);
    while (values > 0) {
      if (!this->W.Fill(size)) {
        return this->EndsInside();
      }
      const std::uint64_t n = std::min<std::uint64_t>(
          values, static_cast<std::uint64_t>(this->W.End - this->W.P) / size);
      if (!chunk(reinterpret_cast<const unsigned char*>(this->W.P), n)) {
        return false;
      }
      this->W.P += n * size;
      values -= n;
    }
    return true;
  }

  template <typename OnInteger>
  bool BinaryArray(std::uint64_t values, const TypeInfo& type, Check check, OnInteger onInteger) {
    if (this->Layout) {
      return this->SkimArray(values, type) && this->AfterArray(type, this->Components);
    }
    if (type.TheKind == Kind::Bit) {
      return this->Skip((values + 7) / 8) && this->AfterArray(type, this->Components);
    }
    bool ok = true;
    if (type.TheKind == Kind::Float && check != Check::None) {
      ok = this->BinaryPieces(values, 4, [&](const unsigned char* d, std::uint64_t n) {
        // Exponent bits all set (NaN or infinity): big-endian bytes 0 and 1 under 0x7f 0x80.
        bool bad = false;
        for (std::uint64_t i = 0; i < n; ++i) {
          bad |= (d[4 * i] & 0x7f) == 0x7f && (d[4 * i + 1] & 0x80) == 0x80;
        }
        for (std::uint64_t i = 0; bad && i < n; ++i) {
          if ((d[4 * i] & 0x7f) == 0x7f && (d[4 * i + 1] & 0x80) == 0x80) {
            return this->BadValue(check, std::numeric_limits<double>::infinity(),
                                  this->Offset(d + 4 * i));
          }
        }
        return true;
      });
    } else if (type.TheKind == Kind::Double && check != Check::None) {
      ok = this->BinaryPieces(values, 8, [&](const unsigned char* d, std::uint64_t n) {
        for (std::uint64_t i = 0; i < n; ++i) {
          std::uint64_t u = static_cast<std::uint64_t>(LoadBigEndian<8, false>(d + 8 * i));
          double v;
          std::memcpy(&v, &u, 8);
          if (!ValueOk(check, false, v)) {
            return this->BadValue(check, v, this->Offset(d + 8 * i));
          }
        }
        return true;
      });
    } else if (type.TheKind == Kind::Int && !IsNoop(onInteger)) {
      ok = this->BinaryPieces(values, type.Bytes, [&](const unsigned char* d, std::uint64_t n) {
        switch (type.Bytes * (type.Signed ? 1 : -1)) {
        case 1:
          return this->Integers<1, true>(d, n, onInteger);
        case -1:
          return this->Integers<1, false>(d, n, onInteger);
        case 2:
          return this->Integers<2, true>(d, n, onInteger);
        case -2:
          return this->Integers<2, false>(d, n, onInteger);
        case 4:
          return this->Integers<4, true>(d, n, onInteger);
        case -4:
          return this->Integers<4, false>(d, n, onInteger);
        default:
          return this->Integers<8, true>(d, n, onInteger);
        }
      });
    } else {
      ok = this->Skip(SatMul(values, static_cast<std::uint64_t>(type.Bytes)));
    }
    return ok && this->AfterArray(type, this->Components);
  }

  template <int Bytes, bool Signed, typename OnInteger>
  bool Integers(const unsigned char* d, std::uint64_t values, OnInteger& onInteger) {
    for (std::uint64_t i = 0; i < values; ++i) {
      if (!onInteger(LoadBigEndian<Bytes, Signed>(d + Bytes * i), this->Offset(d + Bytes * i))) {
        return false;
      }
    }
    return true;
  }

  // True when every big-endian ID in the binary values is in [0, Points); no early exit so
  // that the loop vectorises.
  template <int Bytes> bool IdsInRange(const unsigned char* d, std::uint64_t values) const {
    const std::uint64_t limit = static_cast<std::uint64_t>(this->Points);
    bool bad = false;
    for (std::uint64_t i = 0; i < values; ++i) {
      bad |= static_cast<std::uint64_t>(LoadBigEndian<Bytes, true>(d + Bytes * i)) >= limit;
    }
    return !bad;
  }

  struct NoInteger {
    bool operator()(std::int64_t, std::uint64_t) const { return true; }
  };
  template <typename F> static bool IsNoop(const F&) { return std::is_same<F, NoInteger>::value; }

  // After an array VTK looks for an optional METADATA block.
  bool AfterArray(const TypeInfo&, int components) {
    if (!this->Binary && !this->EndOfLine(false)) {
      return false;
    }
    if (const std::size_t n = this->Ahead("metadata")) {
      if (this->Layout) {
        return this->NotPlain();
      }
      this->W.P += n;
      return this->Metadata(components);
    }
    return true;
  }

  // METADATA as VTK 9 writers emit it: an optional COMPONENT_NAMES line followed by one name
  // per component, an optional INFORMATION line followed by its range keys, then a blank line.
  bool Metadata(int components) {
    const std::string outer = this->Block;
    this->Block = "METADATA of " + outer;
    if (!this->EndOfLine(false)) {
      return false;
    }
    bool names = false;
    bool info = false;
    for (;;) {
      const std::uint64_t lineStart = this->Offset();
      const char* s;
      std::size_t n;
      if (!this->Line(s, n)) {
        if (this->Failed()) {
          return false;
        }
        break;
      }
      if (Blank(s, n)) {
        break;
      }
      Token first{s, n};
      while (first.N > 0 && IsSpace(first.S[first.N - 1])) {
        --first.N;
      }
      if (!names && first.Is("component_names")) {
        names = true;
        for (int c = 0; c < components; ++c) {
          if (!this->Line(s, n)) {
            return this->EndsInsideLines();
          }
          if (n > MaxTokenLength) {
            return this->Fail(ErrorCode::Malformed, "a component name is too long",
                              this->Offset(s));
          }
        }
      } else if (!info && first.N > 12 && Token{s, 11}.Is("information") && IsSpace(s[11])) {
        info = true;
        Token count{s + 12, first.N - 12};
        while (count.N > 0 && IsSpace(*count.S)) {
          ++count.S;
          --count.N;
        }
        std::int64_t keys = 0;
        // VTK writes "INFORMATION 0" for an array whose information holds only keys it does
        // not write (a cached per-component range, for one).
        if (!ParseInteger(count, keys) || keys < 0 || keys > 16) {
          return this->Fail(ErrorCode::Unsupported, "an INFORMATION line that cannot be checked",
                            this->Offset(s));
        }
        for (std::int64_t k = 0; k < keys; ++k) {
          if (!this->InformationEntry()) {
            return false;
          }
        }
      } else {
        return this->Fail(ErrorCode::Unsupported, "unexpected text in " + this->Block, lineStart);
      }
    }
    this->Block = outer;
    return true;
  }

  // After Line found no line: keeps a failure Line reported, else the block is cut short.
  bool EndsInsideLines() { return this->Failed() ? false : this->EndsInside(); }

  // "NAME L2_NORM_RANGE LOCATION vtkDataArray" then "DATA 2 min max".
  bool InformationEntry() {
    const char* s;
    std::size_t n;
    std::uint64_t at = this->Offset();
    if (!this->Line(s, n)) {
      return this->EndsInsideLines();
    }
    Token w[5];
    int count = SplitLine(s, n, w, 5);
    if (count != 4 || !w[0].Is("name") || !w[2].Is("location") || !w[3].Is("vtkdataarray") ||
        !(w[1].Is("l2_norm_range") || w[1].Is("l2_norm_finite_range"))) {
      return this->Fail(ErrorCode::Unsupported,
                        "an information key that cannot be checked in " + this->Block, at);
    }
    at = this->Offset();
    if (!this->Line(s, n)) {
      return this->EndsInsideLines();
    }
    count = SplitLine(s, n, w, 5);
    std::int64_t len = 0;
    double a = 0;
    double b = 0;
    if (count != 4 || !w[0].Is("data") || !ParseInteger(w[1], len) || len != 2 ||
        ParseReal(w[2], a) != 0 || ParseReal(w[3], b) != 0) {
      return this->Fail(ErrorCode::Unsupported,
                        "information data that cannot be checked in " + this->Block, at);
    }
    return true;
  }

  static int SplitLine(const char* s, std::size_t n, Token* out, int max) {
    int count = 0;
    const char* e = s + n;
    while (s < e) {
      while (s < e && IsSpace(*s)) {
        ++s;
      }
      if (s == e) {
        break;
      }
      const char* b = s;
      while (s < e && !IsSpace(*s)) {
        ++s;
      }
      if (count == max) {
        return max + 1;
      }
      out[count++] = Token{b, static_cast<std::size_t>(s - b)};
    }
    return count;
  }

  // In BINARY files the data start after the line of the block header.
  bool DataStart() { return this->Binary ? this->EndOfLine(true) : true; }

  // ---- header --------------------------------------------------------------------------

  bool ScanHeader() {
    if (this->AtEnd()) {
      return this->Fail(ErrorCode::NotLegacyVtk, "the file is empty");
    }
    static const char Prefix[] = "# vtk DataFile Version";
    const std::size_t prefixLength = sizeof(Prefix) - 1;
    this->W.Fill(prefixLength);
    const std::size_t have = static_cast<std::size_t>(this->W.End - this->W.P);
    if (have < prefixLength || std::memcmp(this->W.P, Prefix, prefixLength) != 0) {
      bool xml = have >= 5 && std::memcmp(this->W.P, "<?xml", 5) == 0;
      return this->Fail(
          ErrorCode::NotLegacyVtk,
          xml ? "this is an XML file, not a legacy VTK file (no '# vtk DataFile Version' header)"
              : "not a legacy VTK file (it does not start with '# vtk DataFile Version')",
          0);
    }
    const char* s;
    std::size_t n;
    if (!this->Line(s, n)) {
      return false;
    }
    if (n > MaxTokenLength) {
      return this->Fail(ErrorCode::Malformed, "the header line is too long", 0);
    }
    const char* v = s + prefixLength;
    const char* e = s + n;
    while (v < e && (*v == ' ' || *v == '\t')) {
      ++v;
    }
    int major = 0;
    int minor = 0;
    auto r1 = std::from_chars(v, e, major);
    bool ok = r1.ec == std::errc() && r1.ptr < e && *r1.ptr == '.';
    if (ok) {
      auto r2 = std::from_chars(r1.ptr + 1, e, minor);
      ok = r2.ec == std::errc() && Blank(r2.ptr, static_cast<std::size_t>(e - r2.ptr)) &&
           (r1.ptr - v) <= 3 && (r2.ptr - r1.ptr) <= 4;
    }
    if (!ok) {
      return this->Fail(ErrorCode::NotLegacyVtk, "the header has no readable version", 0);
    }
    this->Major = this->Result.MajorVersion = major;
    this->Minor = this->Result.MinorVersion = minor;
    if (major < 2 || major > 5 || (major == 5 && minor > 1)) {
      return this->Fail(ErrorCode::UnsupportedVersion,
                        "file version " + std::to_string(major) + "." + std::to_string(minor) +
                            " is not supported (2.0 to 5.1 are)",
                        0);
    }
    if (this->AtEnd()) {
      return this->Fail(ErrorCode::Truncated, "the file ends after its header line");
    }
    const std::uint64_t title = this->Offset();
    if (!this->Line(s, n)) {
      return false;
    }
    if (n > MaxTokenLength) {
      return this->Fail(ErrorCode::Malformed, "the title line is longer than 255 characters",
                        title);
    }
    Token t;
    if (!this->Next(t)) {
      return this->Fail(ErrorCode::Truncated, "the file ends after its title line");
    }
    if (t.Is("ascii")) {
      this->Binary = false;
    } else if (t.Is("binary")) {
      this->Binary = true;
    } else {
      return this->Fail(ErrorCode::Malformed, "expected ASCII or BINARY, found '" + t.Text() + "'",
                        t.Pos);
    }
    this->Result.Binary = this->Binary;
    if (this->Layout && !this->Binary) {
      return this->NotPlain();
    }
    if (!this->Next(t)) {
      return this->Fail(ErrorCode::NoGeometry, "the file ends after its header");
    }
    if (!t.Is("dataset")) {
      return this->Fail(ErrorCode::NotPolyData,
                        "expected DATASET POLYDATA, found '" + t.Text() + "'", t.Pos);
    }
    if (!this->Word(t, "the dataset type")) {
      return false;
    }
    if (!t.Is("polydata")) {
      return this->Fail(ErrorCode::NotPolyData,
                        "the dataset is " + t.Text() + ", not POLYDATA (polygonal data)", t.Pos);
    }
    return true;
  }

  // ---- dataset ---------------------------------------------------------------------------

  bool ScanDataset() {
    Token t;
    for (;;) {
      // The block just read, should its data run on past what it declares.
      const std::string previous = this->Block;
      this->Block.clear();
      if (!this->Next(t)) {
        return true;
      }
      if (t.N > MaxTokenLength) {
        return this->Fail(ErrorCode::Malformed, "a keyword longer than 255 characters", t.Pos);
      }
      if (t.Is("field")) {
        if (this->Layout) {
          return this->NotPlain();
        }
        this->ArraysOf = 0;
        if (!this->Field()) {
          return false;
        }
      } else if (t.Is("points")) {
        if (!this->PointsBlock(t)) {
          return false;
        }
      } else if (t.Is("vertices") || t.Is("lines") || t.Is("polygons") || t.Is("triangle_strips")) {
        if (!this->CellBlock(t)) {
          return false;
        }
      } else if (t.Is("point_data") || t.Is("cell_data")) {
        return this->Attributes(t);
      } else if (!previous.empty() && LooksLikeData(t)) {
        return this->Fail(ErrorCode::Malformed,
                          "'" + t.Text() + "' where a section keyword is expected: " + previous +
                              " holds more data than it declares",
                          t.Pos);
      } else {
        return this->Fail(ErrorCode::Unsupported,
                          "section '" + t.Text() + "' is not one Selvane can check", t.Pos);
      }
    }
  }

  // A number, or bytes that are not text: what a block's data is made of, and no keyword is.
  static bool LooksLikeData(const Token& t) {
    const unsigned char first = static_cast<unsigned char>(t.S[0]);
    if (std::isdigit(first) || first == '-' || first == '+' || first == '.') {
      return true;
    }
    return !std::all_of(t.S, t.S + std::min<std::size_t>(t.N, 40), Printable);
  }

  bool PointsBlock(const Token& keyword) {
    if (this->Points >= 0) {
      return this->Fail(ErrorCode::Malformed, "a second POINTS block", keyword.Pos);
    }
    this->Block = "POINTS";
    std::int64_t n = 0;
    Token t;
    if (!this->Count(n, "the number of points") || !this->Word(t, "the point type")) {
      return false;
    }
    const TypeInfo* type = this->Type(t);
    if (!type || !this->DataStart()) {
      return false;
    }
    if (this->Layout) {
      if (type->TheKind != Kind::Float && type->TheKind != Kind::Double) {
        return this->NotPlain();
      }
      this->Expect(formats::LegacyBinaryArray::Role::Points);
    }
    if (!this->Array(SatMul(static_cast<std::uint64_t>(n), 3), *type, Check::Coordinate,
                     NoInteger(), 3)) {
      return false;
    }
    this->Points = this->Result.NumberOfPoints = n;
    return true;
  }

  struct CellKind {
    const char* Word;
    const char* Name;
    int MinIds;
    const char* Noun;
    int Index; // order of the blocks in a model's cells
  };

  bool CellBlock(const Token& keyword) {
    static const CellKind Kinds[4] = {
        {"vertices", "VERTICES", 1, "vertex", 0},
        {"lines", "LINES", 2, "line", 1},
        {"polygons", "POLYGONS", 3, "polygon", 2},
        {"triangle_strips", "TRIANGLE_STRIPS", 3, "triangle strip", 3}};
    int k = 0;
    while (!keyword.Is(Kinds[k].Word)) {
      ++k;
    }
    const CellKind& kind = Kinds[k];
    if (this->Points < 0) {
      return this->Fail(ErrorCode::Malformed, std::string(kind.Name) + " comes before POINTS",
                        keyword.Pos);
    }
    if (this->SeenCells[k]) {
      return this->Fail(ErrorCode::Malformed, std::string("a second ") + kind.Name + " block",
                        keyword.Pos);
    }
    this->SeenCells[k] = true;
    this->Block = kind.Name;
    std::int64_t cells = 0;
    std::int64_t size = 0;
    if (this->Major >= 5) {
      if (!this->Count(cells, "the number of offsets") ||
          !this->Count(size, "the size of the connectivity")) {
        return false;
      }
      if (!this->Cells5(kind, cells, size)) {
        return false;
      }
      cells -= 1;
    } else {
      if (!this->Count(cells, "the number of cells") ||
          !this->Count(size, "the size of the cell list")) {
        return false;
      }
      if (!this->Cells4(kind, cells, size)) {
        return false;
      }
    }
    std::int64_t* counts[4] = {&this->Result.NumberOfVerts, &this->Result.NumberOfLines,
                               &this->Result.NumberOfPolys, &this->Result.NumberOfStrips};
    *counts[k] = cells;
    return true;
  }

  bool IdInRange(std::int64_t id, std::uint64_t at) {
    if (static_cast<std::uint64_t>(id) >= static_cast<std::uint64_t>(this->Points)) {
      return this->Fail(ErrorCode::IdOutOfRange,
                        this->Block + " uses point ID " + std::to_string(id) +
                            (this->Points > 0 ? ", outside 0 to " + std::to_string(this->Points - 1)
                                              : std::string(", but the model has no points")),
                        at);
    }
    return true;
  }

  // 4.x layout: "n size", then n cells "k id ... id" whose k + 1 add up to size.
  bool Cells4(const CellKind& kind, std::int64_t cells, std::int64_t size) {
    if (const std::size_t ahead = this->Ahead("offsets")) {
      return this->Fail(ErrorCode::Malformed,
                        this->Block + " has the 5.x layout (OFFSETS) under a version " +
                            std::to_string(this->Major) + "." + std::to_string(this->Minor) +
                            " header",
                        this->Offset() + ahead - 7);
    }
    if (cells == 0) {
      return this->Fail(ErrorCode::BadCell, this->Block + " declares no cells");
    }
    if (static_cast<std::uint64_t>(size) <
        SatMul(static_cast<std::uint64_t>(cells), static_cast<std::uint64_t>(kind.MinIds + 1))) {
      return this->Fail(ErrorCode::BadCell, this->Block + " declares " + std::to_string(cells) +
                                                " cells in a list of only " + std::to_string(size) +
                                                " values");
    }
    static const TypeInfo Int32 = {"int",
                                   Kind::Int,
                                   4,
                                   true,
                                   std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max()};
    if (!this->DataStart()) {
      return false;
    }
    // The 4.x cell list is one array of ints; walk it as "k id ... id" records.
    std::int64_t used = 0;
    std::int64_t cell = 0;
    std::int64_t idsLeft = 0; // IDs still due in the current cell
    const std::int64_t total = cells;
    const int minIds = kind.MinIds;
    auto onValue = [&](std::int64_t v, std::uint64_t at) -> bool {
      ++used;
      if (idsLeft > 0) {
        --idsLeft;
        return this->IdInRange(v, at);
      }
      if (cell == total) {
        return this->Fail(ErrorCode::BadCell,
                          this->Block + " declares a list of " + std::to_string(size) +
                              " values but its cells add up to " + std::to_string(used - 1),
                          at);
      }
      if (v < minIds) {
        return this->Fail(ErrorCode::BadCell,
                          this->Block + ": " + kind.Noun + " " + std::to_string(cell) + " has " +
                              std::to_string(v) + " point IDs; a " + kind.Noun +
                              " needs at least " + std::to_string(minIds),
                          at);
      }
      if (v > size - used) {
        return this->Fail(ErrorCode::BadCell,
                          this->Block + ": " + kind.Noun + " " + std::to_string(cell) + " has " +
                              std::to_string(v) + " point IDs, more than the list declares",
                          at);
      }
      ++cell;
      idsLeft = v;
      return true;
    };
    if (this->Layout) {
      // The cell sizes are checked when the block is read.
      this->Expect(formats::LegacyBinaryArray::Role::LegacyCells, kind.Index);
      this->Pending.Cells = cells;
      this->Pending.Size = size;
      return this->Array(static_cast<std::uint64_t>(size), Int32, Check::None, NoInteger());
    }
    if (!this->Array(static_cast<std::uint64_t>(size), Int32, Check::None, onValue)) {
      return false;
    }
    if (cell != total || idsLeft != 0) {
      return this->Fail(ErrorCode::BadCell, this->Block + " declares " + std::to_string(total) +
                                                " cells but its list of " + std::to_string(size) +
                                                " values holds " + std::to_string(cell));
    }
    return true;
  }

  // 5.x layout: "n+1 size", OFFSETS type (n+1 values from 0 to size, never decreasing),
  // CONNECTIVITY type (size point IDs).
  bool Cells5(const CellKind& kind, std::int64_t offsets, std::int64_t size) {
    if (offsets < 2) {
      return this->Fail(ErrorCode::BadCell, this->Block + " declares no cells");
    }
    if (static_cast<std::uint64_t>(size) <
        SatMul(static_cast<std::uint64_t>(offsets - 1), static_cast<std::uint64_t>(kind.MinIds))) {
      return this->Fail(ErrorCode::BadCell, this->Block + " declares " +
                                                std::to_string(offsets - 1) + " cells in only " +
                                                std::to_string(size) + " point IDs");
    }
    Token t;
    if (!this->Word(t, "OFFSETS")) {
      return false;
    }
    if (!t.Is("offsets")) {
      return this->Fail(ErrorCode::Malformed,
                        this->Block + " in a version " + std::to_string(this->Major) + "." +
                            std::to_string(this->Minor) +
                            " file must continue with OFFSETS, not '" + t.Text() + "'",
                        t.Pos);
    }
    if (!this->Word(t, "the offsets type")) {
      return false;
    }
    const TypeInfo* offsetType = this->CellArrayType(t);
    if (!offsetType || !this->DataStart() ||
        !this->Fits(SatAdd(static_cast<std::uint64_t>(offsets), static_cast<std::uint64_t>(size)),
                    *offsetType)) {
      return false;
    }
    std::int64_t index = 0;
    std::int64_t previous = 0;
    const int minIds = kind.MinIds;
    auto onOffset = [&](std::int64_t v, std::uint64_t at) -> bool {
      if (index == 0 && v != 0) {
        return this->Fail(ErrorCode::BadCell,
                          this->Block + ": the offsets start at " + std::to_string(v) + ", not 0",
                          at);
      }
      // Every offset lies in [0, size], so the difference below cannot overflow whatever the
      // file holds (values near 2^63 once wrapped around into valid-looking cell sizes).
      if (v < 0 || v > size) {
        return this->Fail(ErrorCode::BadCell,
                          this->Block + ": offset " + std::to_string(v) + " of cell " +
                              std::to_string(index) + " is outside 0 to the connectivity size " +
                              std::to_string(size),
                          at);
      }
      if (index > 0 && v - previous < minIds) {
        if (v < previous) {
          return this->Fail(
              ErrorCode::BadCell,
              this->Block + ": the offsets decrease at cell " + std::to_string(index - 1), at);
        }
        return this->Fail(ErrorCode::BadCell,
                          this->Block + ": " + kind.Noun + " " + std::to_string(index - 1) +
                              " has " + std::to_string(v - previous) + " point IDs; a " +
                              kind.Noun + " needs at least " + std::to_string(minIds),
                          at);
      }
      if (index == offsets - 1 && v != size) {
        return this->Fail(ErrorCode::BadCell,
                          this->Block + ": the offsets end at " + std::to_string(v) +
                              ", not at the connectivity size " + std::to_string(size),
                          at);
      }
      previous = v;
      ++index;
      return true;
    };
    this->Block = this->Block + " OFFSETS";
    if (this->Layout) {
      if (offsetType->Bytes != 8) {
        return this->NotPlain();
      }
      this->Expect(formats::LegacyBinaryArray::Role::Offsets, kind.Index);
      this->Pending.Cells = offsets - 1;
      this->Pending.Size = size;
    }
    if (!this->Array(static_cast<std::uint64_t>(offsets), *offsetType, Check::None, onOffset)) {
      return false;
    }
    this->Block = this->Block.substr(0, this->Block.size() - 8);
    if (!this->Word(t, "CONNECTIVITY")) {
      return false;
    }
    if (!t.Is("connectivity")) {
      return this->Fail(ErrorCode::Malformed,
                        this->Block + ": expected CONNECTIVITY after the offsets, found '" +
                            t.Text() + "'",
                        t.Pos);
    }
    if (!this->Word(t, "the connectivity type")) {
      return false;
    }
    const TypeInfo* connType = this->CellArrayType(t);
    if (!connType || !this->DataStart()) {
      return false;
    }
    if (connType != offsetType) {
      return this->Fail(ErrorCode::Unsupported,
                        this->Block + ": offsets and connectivity of different types", t.Pos);
    }
    auto onId = [&](std::int64_t v, std::uint64_t at) { return this->IdInRange(v, at); };
    if (this->Layout) {
      this->Expect(formats::LegacyBinaryArray::Role::Connectivity, kind.Index);
      this->Pending.Cells = offsets - 1;
      this->Pending.Size = size;
      return this->Fits(static_cast<std::uint64_t>(size), *connType) &&
             this->SkimArray(static_cast<std::uint64_t>(size), *connType) &&
             this->AfterArray(*connType, 1);
    }
    if (this->Binary) {
      // The vectorised range check per piece; the first bad ID is looked for only on failure.
      const bool wide = connType->Bytes == 8;
      return this->Fits(static_cast<std::uint64_t>(size), *connType) &&
             this->BinaryPieces(static_cast<std::uint64_t>(size), connType->Bytes,
                                [&](const unsigned char* d, std::uint64_t n) {
                                  if (wide ? this->IdsInRange<8>(d, n)
                                           : this->IdsInRange<4>(d, n)) {
                                    return true;
                                  }
                                  return wide ? this->Integers<8, true>(d, n, onId)
                                              : this->Integers<4, true>(d, n, onId);
                                }) &&
             this->AfterArray(*connType, 1);
    }
    return this->Array(static_cast<std::uint64_t>(size), *connType, Check::None, onId);
  }

  // The 5.x cell arrays VTK 9.1 turns into cell arrays: 64-bit or 32-bit signed integers.
  const TypeInfo* CellArrayType(const Token& t) {
    if (t.Is("vtktypeint64") || t.Is("int") || (!this->Binary && t.Is("vtkidtype"))) {
      return this->Type(t);
    }
    this->Fail(ErrorCode::Unsupported,
               this->Block + ": cell arrays of type '" + t.Text() + "' are not supported", t.Pos);
    return nullptr;
  }

  // ---- FIELD -----------------------------------------------------------------------------

  bool Field() {
    const std::string outer = this->Block;
    this->Block = "FIELD";
    Token t;
    std::int64_t arrays = 0;
    if (!this->Word(t, "the field name") || !this->Count(arrays, "the number of arrays")) {
      return false;
    }
    if (static_cast<std::uint64_t>(arrays) > this->Remaining() / 8) {
      return this->Fail(ErrorCode::TooLarge, "FIELD declares " + std::to_string(arrays) +
                                                 " arrays, more than the file can hold");
    }
    if (!this->AddArrays(arrays)) {
      return false;
    }
    for (std::int64_t a = 0; a < arrays; ++a) {
      this->Block = "FIELD";
      if (!this->Word(t, "an array name")) {
        return false;
      }
      if (t.Is("null_array")) {
        continue;
      }
      this->Block = "FIELD array " + t.Text();
      std::int64_t components = 0;
      std::int64_t tuples = 0;
      if (!this->Count(components, "the number of components") ||
          !this->Count(tuples, "the number of tuples") || !this->Word(t, "the array type")) {
        return false;
      }
      if (components < 1) {
        return this->Fail(ErrorCode::Malformed, this->Block + " has no components");
      }
      const TypeInfo* type = this->Type(t);
      if (!type || !this->DataStart()) {
        return false;
      }
      const std::uint64_t values =
          SatMul(static_cast<std::uint64_t>(components), static_cast<std::uint64_t>(tuples));
      if (!this->Array(values, *type, Check::Finite, NoInteger(), static_cast<int>(components))) {
        return false;
      }
    }
    this->Block = outer;
    return true;
  }

  // ---- POINT_DATA / CELL_DATA --------------------------------------------------------------

  bool Attributes(Token keyword) {
    std::int64_t tuples = 0;
    for (;;) {
      // keyword is POINT_DATA or CELL_DATA here.
      const bool pointData = keyword.Is("point_data");
      this->Block = pointData ? "POINT_DATA" : "CELL_DATA";
      if ((pointData && this->SeenPointData) || (!pointData && this->SeenCellData)) {
        return this->Fail(ErrorCode::Malformed, "a second " + this->Block + " block", keyword.Pos);
      }
      if (!this->Count(tuples, "the number of values")) {
        return false;
      }
      const std::int64_t expected = pointData ? this->Points : this->Result.NumberOfCells();
      if (this->Points < 0 || tuples != expected) {
        return this->Fail(ErrorCode::Malformed,
                          this->Block + " " + std::to_string(tuples) + " does not match the " +
                              std::to_string(std::max<std::int64_t>(expected, 0)) +
                              (pointData ? " points" : " cells") + " of the model");
      }
      (pointData ? this->SeenPointData : this->SeenCellData) = true;
      (pointData ? this->Result.HasPointData : this->Result.HasCellData) = true;
      this->ArraysOf = pointData ? 1 : 2;
      const std::string section = this->Block;
      Token t;
      for (;;) {
        this->Block = section;
        if (!this->Next(t)) {
          return true;
        }
        if (t.Is("point_data") || t.Is("cell_data")) {
          keyword = t;
          break;
        }
        if (!this->Attribute(t, static_cast<std::uint64_t>(tuples))) {
          return false;
        }
      }
    }
  }

  bool Attribute(const Token& keyword, std::uint64_t tuples) {
    Token name;
    Token t;
    // The keyword's bytes do not outlive the reads below.
    const bool texture = keyword.Is("texture_coordinates");
    const bool onPoints = this->Block == "POINT_DATA";
    if (this->Layout && !keyword.Is("scalars") && !keyword.Is("color_scalars")) {
      return this->NotPlain();
    }
    // A FIELD counts its own arrays.
    if (!keyword.Is("field") && !this->AddArrays(1)) {
      return false;
    }
    this->Block = keyword.Text() + " in " + this->Block;
    if (keyword.Is("scalars")) {
      if (!this->Word(name, "the scalars name")) {
        return false;
      }
      // The name's bytes do not outlive the reads below either.
      const std::string nameText(name.S, name.N);
      if (!this->Word(t, "the scalars type")) {
        return false;
      }
      const TypeInfo* type = this->Type(t);
      if (!type) {
        return false;
      }
      Token key;
      if (!this->Word(key, "LOOKUP_TABLE")) {
        return false;
      }
      std::int64_t components = 1;
      if (!key.Is("lookup_table")) {
        if (!ParseInteger(key, components) || components < 1 || components > 4) {
          return this->Fail(ErrorCode::Malformed,
                            "SCALARS needs a LOOKUP_TABLE line (found '" + key.Text() + "')",
                            key.Pos);
        }
        if (!this->Word(key, "LOOKUP_TABLE")) {
          return false;
        }
        if (!key.Is("lookup_table")) {
          return this->Fail(ErrorCode::Malformed,
                            "SCALARS needs a LOOKUP_TABLE line (found '" + key.Text() + "')",
                            key.Pos);
        }
      }
      if (!this->Word(t, "the lookup table name")) {
        return false;
      }
      const bool defaultTable = t.Is("default");
      if (!this->DataStart()) {
        return false;
      }
      if (this->Layout) {
        // Of a common type, without a table of its own.
        static const char* const Plain[] = {"unsigned_char",  "char",  "short",
                                            "unsigned_short", "int",   "unsigned_int",
                                            "float",          "double"};
        if (!defaultTable ||
            std::none_of(std::begin(Plain), std::end(Plain),
                         [type](const char* p) { return std::strcmp(p, type->Name) == 0; })) {
          return this->NotPlain();
        }
        if (!this->SkimScalars(onPoints, nameText)) {
          return false;
        }
      }
      return this->Array(SatMul(tuples, static_cast<std::uint64_t>(components)), *type,
                         Check::Finite, NoInteger(), static_cast<int>(components));
    }
    if (keyword.Is("lookup_table")) {
      std::int64_t size = 0;
      if (!this->Word(name, "the lookup table name") || !this->Count(size, "the table size")) {
        return false;
      }
      if (size < 1) {
        return this->Fail(ErrorCode::Malformed, "an empty LOOKUP_TABLE", name.Pos);
      }
      if (!this->DataStart()) {
        return false;
      }
      static const TypeInfo Colour = {"float", Kind::Float, 1, false, 0, 0};
      static const TypeInfo Bytes = {"unsigned_char", Kind::Int, 1, false, 0, 255};
      const TypeInfo& type = this->Binary ? Bytes : Colour;
      // VTK reads the table directly: no METADATA may follow it.
      if (!this->Fits(SatMul(4, static_cast<std::uint64_t>(size)), type)) {
        return false;
      }
      return this->ColourValues(SatMul(4, static_cast<std::uint64_t>(size)));
    }
    if (keyword.Is("color_scalars")) {
      std::int64_t components = 0;
      if (!this->Word(name, "the color scalars name")) {
        return false;
      }
      const std::string nameText(name.S, name.N);
      if (!this->Count(components, "the number of colour components")) {
        return false;
      }
      if (components < 1 || components > 4) {
        return this->Fail(ErrorCode::Malformed, "COLOR_SCALARS needs 1 to 4 components");
      }
      if (!this->DataStart()) {
        return false;
      }
      static const TypeInfo Colour = {"float", Kind::Float, 4, false, 0, 0};
      static const TypeInfo Bytes = {"unsigned_char", Kind::Int, 1, false, 0, 255};
      if (this->Layout && !this->SkimScalars(onPoints, nameText)) {
        return false;
      }
      return this->Array(SatMul(tuples, static_cast<std::uint64_t>(components)),
                         this->Binary ? Bytes : Colour, Check::UnitInterval, NoInteger(),
                         static_cast<int>(components));
    }
    std::uint64_t components = 0;
    if (keyword.Is("vectors") || keyword.Is("normals")) {
      components = 3;
    } else if (keyword.Is("tensors")) {
      components = 9;
    } else if (texture) {
      std::int64_t dim = 0;
      if (!this->Word(name, "the texture coordinates name") ||
          !this->Count(dim, "the texture dimension")) {
        return false;
      }
      if (dim < 1 || dim > 3) {
        return this->Fail(ErrorCode::Malformed, "texture coordinates need 1 to 3 dimensions");
      }
      components = static_cast<std::uint64_t>(dim);
    } else if (keyword.Is("field")) {
      return this->Field();
    } else {
      return this->Fail(ErrorCode::Unsupported,
                        "section '" + keyword.Text() + "' is not one Selvane can check",
                        keyword.Pos);
    }
    if (!texture && !this->Word(name, "the array name")) {
      return false;
    }
    if (!this->Word(t, "the data type")) {
      return false;
    }
    const TypeInfo* type = this->Type(t);
    if (!type || !this->DataStart()) {
      return false;
    }
    return this->Array(SatMul(tuples, components), *type, Check::Finite, NoInteger(),
                       static_cast<int>(components));
  }

  // The components of a lookup table: bytes in BINARY files, numbers 0 to 1 in ASCII files.
  bool ColourValues(std::uint64_t values) {
    if (this->Binary) {
      return this->Skip(values);
    }
    Token t;
    for (std::uint64_t i = 0; i < values; ++i) {
      double v = 0;
      if (!this->Next(t)) {
        return this->Fail(ErrorCode::Truncated, "the file ends inside " + this->Block);
      }
      if (ParseReal(t, v) != 0) {
        return this->NotANumber(t, "a number");
      }
      if (!ValueOk(Check::UnitInterval, true, v)) {
        return this->BadValue(Check::UnitInterval, v, t.Pos);
      }
    }
    return this->EndOfLine(false);
  }

  void Finish() {
    if (this->Points <= 0) {
      this->Fail(ErrorCode::NoGeometry, "the file holds no points");
      return;
    }
    if (this->Result.NumberOfCells() == 0) {
      this->Fail(ErrorCode::NoGeometry, "the file holds no cells");
      return;
    }
  }
};

} // namespace

LegacyVtkScanResult ScanLegacyVtkBuffer(const char* data, std::size_t size) {
  LegacyVtkScanResult result;
  Window window(data, size);
  Scanner(window, result).Run();
  return result;
}

LegacyVtkScanResult ScanLegacyVtkBuffer(const char* data, std::size_t size,
                                        formats::CopyProgress& progress) {
  LegacyVtkScanResult result;
  Window window(data, size, progress);
  Scanner(window, result).Run();
  return result;
}

namespace formats {

LegacyBinaryLayout SkimLegacyVtkBinary(int fd, std::uint64_t size) {
  LegacyBinaryLayout layout;
  Window window(fd, size, LegacyVtkScanPieceBytes);
  Scanner(window, layout).Run();
  if (layout.Scan.Ok() && (window.Error() != 0 || window.Shrunk())) {
    layout.Scan.Problem = ErrorCode::Unreadable;
    layout.Scan.Reason = "the file could not be read to its end";
  }
  return layout;
}

} // namespace formats

LegacyVtkScanResult ScanLegacyVtkFile(const std::string& path, std::size_t pieceBytes) {
  LegacyVtkScanResult result;
  auto failRead = [&result](const std::string& why, ErrorCode code = ErrorCode::Unreadable) {
    result = LegacyVtkScanResult();
    result.Problem = code;
    result.Reason = why;
    return result;
  };
  // Closes the file on every path out.
  struct Descriptor {
    int Fd;
    ~Descriptor() {
      if (this->Fd >= 0) {
        ::close(this->Fd);
      }
    }
  } file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
  if (file.Fd < 0) {
    return failRead(std::string("cannot open the file: ") + std::strerror(errno),
                    ErrorCode::CannotOpen);
  }
  struct stat st;
  if (::fstat(file.Fd, &st) != 0) {
    return failRead(std::string("cannot read the file: ") + std::strerror(errno));
  }
  if (!S_ISREG(st.st_mode)) {
    return failRead(std::string("it is ") + formats::DescribeFileKind(st.st_mode) + ", not a file",
                    ErrorCode::CannotOpen);
  }
  ::posix_fadvise(file.Fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  Window window(file.Fd, static_cast<std::uint64_t>(st.st_size), pieceBytes);
  Scanner(window, result).Run();
  if (window.Error() != 0) {
    return failRead(std::string("cannot read the file: ") + std::strerror(window.Error()));
  }
  if (window.Shrunk()) {
    return failRead("the file became shorter while it was read");
  }
  return result;
}

} // namespace selvane
