#include "VtpStructureCheck.h"

#include "MemoryStream.h"
#include "VtkMessageCapture.h"
#include "vtkNestingLimitedXMLDataParser.h"

#include <vtkBase64Utilities.h>
#include <vtkCallbackCommand.h>
#include <vtkCommand.h>
#include <vtkDataCompressor.h>
#include <vtkLZ4DataCompressor.h>
#include <vtkLZMADataCompressor.h>
#include <vtkSmartPointer.h>
#include <vtkXMLDataElement.h>
#include <vtkXMLDataParser.h>
#include <vtkZLibDataCompressor.h>

#include <charconv>
#include <cstring>
#include <limits>
#include <set>
#include <vector>

namespace selvane::formats {

namespace {

// Thrown inside the check only, caught at its entry.
struct Refusal {
  ErrorCode Problem;
  std::string Reason;
};

// Reasons quote the file's own attribute values and names.
[[noreturn]] void Refuse(ErrorCode problem, const std::string& reason) {
  throw Refusal{problem, ReasonOnOneLine(reason)};
}

constexpr std::uint64_t CountLimit = std::uint64_t(1) << 62;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// A count attribute: a plain non-negative integer, spaces around allowed.
std::uint64_t ParseCount(const char* text, const std::string& what) {
  std::string_view s = text ? text : "";
  while (!s.empty() && IsSpace(s.front())) {
    s.remove_prefix(1);
  }
  while (!s.empty() && IsSpace(s.back())) {
    s.remove_suffix(1);
  }
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || error != std::errc() || end != s.data() + s.size()) {
    Refuse(ErrorCode::Malformed,
           what + " is \"" + std::string(s.substr(0, 40)) + "\", not a non-negative integer");
  }
  if (value > CountLimit) {
    Refuse(ErrorCode::TooLarge, what + " is " + std::to_string(value) + ", too large");
  }
  return value;
}

std::uint64_t Multiply(std::uint64_t a, std::uint64_t b, const std::string& what) {
  std::uint64_t product = 0;
  if (__builtin_mul_overflow(a, b, &product) || product > CountLimit) {
    Refuse(ErrorCode::TooLarge, what + " is too large to be held");
  }
  return product;
}

std::uint64_t Add(std::uint64_t a, std::uint64_t b, const std::string& what) {
  std::uint64_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum) || sum > CountLimit) {
    Refuse(ErrorCode::TooLarge, what + " is too large to be held");
  }
  return sum;
}

struct WordType {
  const char* Name;
  unsigned Size;
  bool Integer;
  bool Signed;
};

constexpr WordType WordTypes[] = {
    {"Int8", 1, true, true},     {"UInt8", 1, true, false},  {"Int16", 2, true, true},
    {"UInt16", 2, true, false},  {"Int32", 4, true, true},   {"UInt32", 4, true, false},
    {"Int64", 8, true, true},    {"UInt64", 8, true, false}, {"Float32", 4, false, true},
    {"Float64", 8, false, true},
};

struct Base64Alphabet {
  bool Outside[256] = {};
  constexpr Base64Alphabet() {
    for (int c = 0; c < 256; ++c) {
      Outside[c] = !((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '+' || c == '/');
    }
  }
};
constexpr Base64Alphabet Alphabet;

// Whether n characters are all of the base64 alphabet, without a branch per character (a
// compressed model's text is tens of megabytes).
bool AllBase64(const unsigned char* p, std::uint64_t n) {
  bool outside = false;
  for (std::uint64_t i = 0; i < n; ++i) {
    outside |= Alphabet.Outside[p[i]];
  }
  return !outside;
}

// Characters VTK writes for `bytes` bytes encoded on their own (padded to whole quads).
std::uint64_t Base64Chars(std::uint64_t bytes) {
  return (bytes / 3 + (bytes % 3 != 0)) * 4;
}

// The file-wide facts every data array is read with.
struct FileLayout {
  std::string_view Bytes;
  bool BigEndian = false;
  bool ByteOrderGiven = false;
  unsigned HeaderSize = 4;
  vtkSmartPointer<vtkDataCompressor> Compressor;
  std::string CompressorName;
  std::uint64_t MaxExpansion = 0; // the most one compressed byte can expand to, per block
  bool HasAppended = false;
  bool AppendedBase64 = false;
  std::uint64_t AppendedStart = 0; // where offset 0 is
  std::uint64_t AppendedEnd = 0;   // where the appended block's closing tag starts
  VtpByteSource* Source = nullptr; // where bytes not yet held are loaded from; null: all held
};

// Bytes of an array as VTK reads them: raw, or base64 text decoded from `Start`, each segment
// encoded on its own.
struct Segment {
  const char* Start = nullptr;
  bool Base64 = false;
};

std::uint64_t ReadWord(const unsigned char* p, unsigned size, bool bigEndian) {
  std::uint64_t v = 0;
  for (unsigned i = 0; i < size; ++i) {
    const unsigned shift = 8 * (bigEndian ? size - 1 - i : i);
    v |= std::uint64_t(p[i]) << shift;
  }
  return v;
}

// Bytes [offset, offset + count) of a segment (its text checked before).
std::vector<unsigned char> SegmentBytes(const FileLayout& layout, const Segment& segment,
                                        std::uint64_t offset, std::size_t count) {
  std::vector<unsigned char> out(count);
  if (count == 0) {
    return out;
  }
  if (!segment.Base64) {
    if (layout.Source) {
      layout.Source->Load(static_cast<std::uint64_t>(segment.Start - layout.Bytes.data()) + offset,
                          count);
    }
    std::memcpy(out.data(), segment.Start + offset, count);
    return out;
  }
  const std::uint64_t firstQuad = offset / 3;
  const std::uint64_t lastQuad = (offset + count - 1) / 3;
  const std::size_t quads = static_cast<std::size_t>(lastQuad - firstQuad + 1);
  std::vector<unsigned char> decoded(quads * 3);
  const std::size_t got = vtkBase64Utilities::DecodeSafely(
      reinterpret_cast<const unsigned char*>(segment.Start + firstQuad * 4), quads * 4,
      decoded.data(), decoded.size());
  const std::size_t skip = static_cast<std::size_t>(offset % 3);
  if (got < skip + count) {
    Refuse(ErrorCode::Malformed, "base64 data that does not decode");
  }
  std::memcpy(out.data(), decoded.data() + skip, count);
  return out;
}

// Checks that the `bytes` bytes a segment encodes are present in the `available` characters at
// its start (and, in base64, are of its alphabet, padded as VTK pads); returns the characters
// they take.
std::uint64_t CheckSegment(const Segment& segment, std::uint64_t bytes, std::uint64_t available,
                           const std::string& what) {
  const std::uint64_t chars = segment.Base64 ? Base64Chars(bytes) : bytes;
  if (chars > available) {
    Refuse(ErrorCode::Truncated,
           what + " declares " + std::to_string(bytes) + " bytes, more than the file holds there");
  }
  if (segment.Base64) {
    const std::uint64_t padding = bytes % 3 == 0 ? 0 : 3 - bytes % 3;
    const auto* p = reinterpret_cast<const unsigned char*>(segment.Start);
    bool ok = AllBase64(p, chars - padding);
    for (std::uint64_t i = chars - padding; i < chars; ++i) {
      ok &= p[i] == '=';
    }
    if (!ok) {
      Refuse(ErrorCode::Malformed, what + " holds characters that are not base64");
    }
  }
  return chars;
}

// What the data of one array holds.
struct ArrayContent {
  std::uint64_t Values = 0;   // number of values (components times tuples)
  std::uint64_t Consumed = 0; // characters taken from where the data starts
  std::int64_t Last = 0;      // the last value, when asked for and Values > 0
  bool Raw = false;           // the values stand in the file as they are, from RawBegin
  std::uint64_t RawBegin = 0;
};

std::int64_t WordValue(const unsigned char* p, const WordType& type, bool bigEndian,
                       const std::string& what) {
  const std::uint64_t raw = ReadWord(p, type.Size, bigEndian);
  if (!type.Integer) {
    Refuse(ErrorCode::Malformed, what + " is not of an integer type");
  }
  if (type.Signed && type.Size < 8 && (raw >> (8 * type.Size - 1)) != 0) {
    return -1; // negative: refused by the caller
  }
  if (raw > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    return -1;
  }
  return static_cast<std::int64_t>(raw);
}

class ArrayChecker {
public:
  explicit ArrayChecker(const FileLayout& layout) : Layout(layout) {}

  ArrayContent Binary(const Segment& start, std::uint64_t available, const WordType& type,
                      bool wantLast, const std::string& what) const {
    return this->Layout.Compressor ? this->Compressed(start, available, type, wantLast, what)
                                   : this->Uncompressed(start, available, type, wantLast, what);
  }

private:
  const FileLayout& Layout;

  std::uint64_t Word(const unsigned char* p) const {
    return ReadWord(p, this->Layout.HeaderSize, this->Layout.BigEndian);
  }

  ArrayContent Uncompressed(const Segment& segment, std::uint64_t available, const WordType& type,
                            bool wantLast, const std::string& what) const {
    const unsigned hs = this->Layout.HeaderSize;
    if ((segment.Base64 ? Base64Chars(hs) : hs) > available) {
      Refuse(ErrorCode::Truncated, what + " ends before its size");
    }
    // Header and data are one segment; its start is checked with the rest below.
    const std::vector<unsigned char> header = SegmentBytes(this->Layout, segment, 0, hs);
    const std::uint64_t size = this->Word(header.data());
    if (size > available) {
      Refuse(ErrorCode::Truncated,
             what + " declares " + std::to_string(size) + " bytes, more than the file holds there");
    }
    ArrayContent content;
    content.Consumed = CheckSegment(segment, hs + size, available, what);
    if (size % type.Size != 0) {
      Refuse(ErrorCode::Malformed,
             what + " holds " + std::to_string(size) + " bytes, not a whole number of values");
    }
    content.Values = size / type.Size;
    content.Raw = !segment.Base64;
    content.RawBegin = static_cast<std::uint64_t>(segment.Start - this->Layout.Bytes.data()) + hs;
    if (wantLast && content.Values > 0) {
      const auto last = SegmentBytes(this->Layout, segment, hs + size - type.Size, type.Size);
      content.Last = WordValue(last.data(), type, this->Layout.BigEndian, what);
    }
    return content;
  }

  ArrayContent Compressed(const Segment& segment, std::uint64_t available, const WordType& type,
                          bool wantLast, const std::string& what) const {
    const unsigned hs = this->Layout.HeaderSize;
    // The header (block count, block size, last block's size, compressed sizes) is a segment
    // of its own; the compressed blocks follow in another.
    if ((segment.Base64 ? Base64Chars(3 * hs) : 3 * hs) > available) {
      Refuse(ErrorCode::Truncated, what + " ends inside its compression header");
    }
    const std::vector<unsigned char> head = SegmentBytes(this->Layout, segment, 0, 3 * hs);
    const std::uint64_t blocks = this->Word(head.data());
    const std::uint64_t blockSize = this->Word(head.data() + hs);
    const std::uint64_t lastSize = this->Word(head.data() + 2 * hs);
    if (blocks > available / hs) {
      Refuse(ErrorCode::Truncated, what + " declares " + std::to_string(blocks) +
                                       " compressed blocks, more than the file holds");
    }
    const std::uint64_t headerBytes = hs * (3 + blocks);
    const std::uint64_t headerChars = CheckSegment(segment, headerBytes, available, what);
    const std::vector<unsigned char> header =
        SegmentBytes(this->Layout, segment, 0, static_cast<std::size_t>(headerBytes));
    std::vector<std::uint64_t> sizes(static_cast<std::size_t>(blocks));
    std::uint64_t compressed = 0;
    for (std::size_t b = 0; b < sizes.size(); ++b) {
      sizes[b] = this->Word(header.data() + hs * (3 + b));
      if (sizes[b] == 0) {
        Refuse(ErrorCode::Malformed, what + " has an empty compressed block");
      }
      compressed = Add(compressed, sizes[b], what + "'s compressed size");
    }
    const Segment data{segment.Start + headerChars, segment.Base64};
    ArrayContent content;
    content.Consumed = headerChars + CheckSegment(data, compressed, available - headerChars, what);
    std::uint64_t total = 0;
    if (blocks > 0) {
      if (blockSize == 0 || lastSize > blockSize) {
        Refuse(ErrorCode::Malformed, what + " has inconsistent compressed block sizes");
      }
      if (blockSize % type.Size != 0) {
        Refuse(ErrorCode::Unsupported, what + " is compressed in blocks that split its values");
      }
      total = Add(Multiply(blocks - 1, blockSize, what), lastSize == 0 ? blockSize : lastSize,
                  what + "'s size");
      for (std::size_t b = 0; b < sizes.size(); ++b) {
        const std::uint64_t expanded =
            b + 1 == sizes.size() && lastSize != 0 ? lastSize : blockSize;
        if (expanded / this->Layout.MaxExpansion > sizes[b]) {
          Refuse(ErrorCode::TooLarge, what + " declares a block of " + std::to_string(expanded) +
                                          " bytes made of " + std::to_string(sizes[b]) +
                                          " compressed bytes, more than " +
                                          this->Layout.CompressorName + " expands to");
        }
      }
    }
    if (total % type.Size != 0) {
      Refuse(ErrorCode::Malformed,
             what + " holds " + std::to_string(total) + " bytes, not a whole number of values");
    }
    content.Values = total / type.Size;
    if (wantLast && content.Values > 0) {
      const std::uint64_t at = total - type.Size;
      const std::size_t b = static_cast<std::size_t>(at / blockSize);
      std::uint64_t from = 0;
      for (std::size_t i = 0; i < b; ++i) {
        from += sizes[i];
      }
      const std::size_t expanded =
          static_cast<std::size_t>(b + 1 == sizes.size() && lastSize != 0 ? lastSize : blockSize);
      const std::vector<unsigned char> packed =
          SegmentBytes(this->Layout, data, from, static_cast<std::size_t>(sizes[b]));
      std::vector<unsigned char> block(expanded);
      if (this->Layout.Compressor->Uncompress(packed.data(), packed.size(), block.data(),
                                              block.size()) != block.size()) {
        Refuse(ErrorCode::Malformed, what + " has a compressed block that does not expand "
                                            "to its declared size");
      }
      content.Last =
          WordValue(block.data() + (at - b * blockSize), type, this->Layout.BigEndian, what);
    }
    return content;
  }
};

const WordType& ArrayType(vtkXMLDataElement* array, const std::string& what) {
  const char* name = array->GetAttribute("type");
  for (const WordType& type : WordTypes) {
    if (name && std::strcmp(name, type.Name) == 0) {
      return type;
    }
  }
  Refuse(ErrorCode::Unsupported, what + " is of type \"" +
                                     std::string(name ? name : "").substr(0, 40) +
                                     "\", not a numeric type");
}

// Where an inline array's text starts, found as VTK's reader finds it: after the first '>'
// from the element's start, then after white space.
std::uint64_t InlineStart(const FileLayout& layout, vtkXMLDataElement* array,
                          const std::string& what) {
  const std::int64_t index = array->GetXMLByteIndex();
  if (index < 0 || static_cast<std::uint64_t>(index) >= layout.Bytes.size()) {
    Refuse(ErrorCode::Malformed, what + " cannot be located in the file");
  }
  std::size_t at = layout.Bytes.find('>', static_cast<std::size_t>(index));
  if (at == std::string_view::npos) {
    Refuse(ErrorCode::Truncated, what + " has no data");
  }
  ++at;
  while (at < layout.Bytes.size() && IsSpace(layout.Bytes[at])) {
    ++at;
  }
  return at;
}

// Values of an inline ascii array: the tokens up to the next tag.
ArrayContent AsciiContent(const FileLayout& layout, std::uint64_t start, bool wantLast,
                          const WordType& type, const std::string& what) {
  const std::string_view text = layout.Bytes.substr(static_cast<std::size_t>(start));
  const std::size_t end = std::min(text.find('<'), text.size());
  ArrayContent content;
  std::size_t lastBegin = 0, lastEnd = 0;
  for (std::size_t i = 0; i < end;) {
    while (i < end && IsSpace(text[i])) {
      ++i;
    }
    if (i == end) {
      break;
    }
    lastBegin = i;
    while (i < end && !IsSpace(text[i])) {
      ++i;
    }
    lastEnd = i;
    ++content.Values;
  }
  content.Consumed = end;
  if (wantLast && content.Values > 0) {
    if (!type.Integer) {
      Refuse(ErrorCode::Malformed, what + " is not of an integer type");
    }
    std::int64_t value = 0;
    const char* first = text.data() + lastBegin;
    const char* last = text.data() + lastEnd;
    const auto [stop, error] = std::from_chars(first, last, value);
    content.Last = error != std::errc() || stop != last ? -1 : value;
  }
  return content;
}

struct ArrayExpectation {
  bool Known = false;
  std::uint64_t Values = 0;
};

// VTK reads an array's InformationKey children into vectors of their declared length, at the
// index each value names: the length must be what the file holds and every index inside it.
void CheckInformationKeys(vtkXMLDataElement* array, const std::string& what) {
  for (int i = 0; i < array->GetNumberOfNestedElements(); ++i) {
    vtkXMLDataElement* key = array->GetNestedElement(i);
    if (std::strcmp(key->GetName(), "InformationKey") != 0) {
      Refuse(ErrorCode::Unsupported, what + " holds a <" +
                                         std::string(key->GetName()).substr(0, 40) +
                                         "> element, which is not read");
    }
    const int values = key->GetNumberOfNestedElements();
    const char* lengthText = key->GetAttribute("length");
    if (!lengthText) {
      if (values > 0) {
        Refuse(ErrorCode::Malformed, what + " has information values without a length");
      }
      continue;
    }
    const std::uint64_t length = ParseCount(lengthText, what + "'s information length");
    if (length > static_cast<std::uint64_t>(values)) {
      Refuse(ErrorCode::Malformed, what + " has information of length " + std::to_string(length) +
                                       " with " + std::to_string(values) + " values");
    }
    for (int v = 0; v < values; ++v) {
      vtkXMLDataElement* value = key->GetNestedElement(v);
      const char* index = value->GetAttribute("index");
      if (std::strcmp(value->GetName(), "Value") != 0 || !index ||
          ParseCount(index, what + "'s information index") >= length) {
        Refuse(ErrorCode::Malformed, what + " has an information value out of place");
      }
    }
  }
}

// Checks one data array against the bytes that carry it; returns what it holds.
ArrayContent CheckArray(const FileLayout& layout, vtkXMLDataElement* array,
                        std::uint64_t components, ArrayExpectation expected, bool wantLast,
                        const std::string& what) {
  const WordType& type = ArrayType(array, what);
  CheckInformationKeys(array, what);
  const char* format = array->GetAttribute("format");
  const std::string f = format ? format : "";
  ArrayChecker checker(layout);
  ArrayContent content;
  if ((f == "ascii" || f == "binary") && layout.Source) {
    layout.Source->LoadAll(); // inline text is checked whole
  }
  if (f == "ascii") {
    content = AsciiContent(layout, InlineStart(layout, array, what), wantLast, type, what);
  } else if (f == "binary") {
    if (!layout.ByteOrderGiven) {
      Refuse(ErrorCode::Malformed, "the file holds binary data but names no byte order");
    }
    const std::uint64_t start = InlineStart(layout, array, what);
    const std::string_view text = layout.Bytes.substr(static_cast<std::size_t>(start));
    const std::uint64_t available = std::min(text.find('<'), text.size());
    content = checker.Binary(Segment{text.data(), true}, available, type, wantLast, what);
    for (std::uint64_t i = content.Consumed; i < available; ++i) {
      if (!IsSpace(text[static_cast<std::size_t>(i)])) {
        Refuse(ErrorCode::Malformed, what + " holds more text than its data");
      }
    }
  } else if (f == "appended") {
    if (!layout.HasAppended) {
      Refuse(ErrorCode::Malformed, what + " is appended, but the file has no appended data");
    }
    if (!layout.ByteOrderGiven) {
      Refuse(ErrorCode::Malformed, "the file holds binary data but names no byte order");
    }
    const char* offsetText = array->GetAttribute("offset");
    std::string_view s = offsetText ? offsetText : "";
    while (!s.empty() && IsSpace(s.back())) {
      s.remove_suffix(1);
    }
    while (!s.empty() && IsSpace(s.front())) {
      s.remove_prefix(1);
    }
    std::int64_t offset = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), offset);
    if (s.empty() || error != std::errc() || end != s.data() + s.size()) {
      Refuse(ErrorCode::Malformed,
             what + " has the offset \"" + std::string(s.substr(0, 40)) + "\", not an integer");
    }
    const std::uint64_t blockSize = layout.AppendedEnd - layout.AppendedStart;
    if (offset < 0 || static_cast<std::uint64_t>(offset) >= blockSize) {
      Refuse(ErrorCode::Malformed, what + " has the offset " + std::to_string(offset) +
                                       ", outside the appended data (" + std::to_string(blockSize) +
                                       " bytes)");
    }
    const Segment segment{layout.Bytes.data() + layout.AppendedStart + offset,
                          layout.AppendedBase64};
    content = checker.Binary(segment, blockSize - static_cast<std::uint64_t>(offset), type,
                             wantLast, what);
  } else {
    Refuse(ErrorCode::Unsupported,
           what + " has the format \"" + f.substr(0, 40) + "\", not ascii, binary or appended");
  }
  if (expected.Known) {
    const std::uint64_t values = Multiply(expected.Values, components, what);
    if (content.Values != values) {
      Refuse(content.Values < values ? ErrorCode::Truncated : ErrorCode::Malformed,
             what + " holds " + std::to_string(content.Values) + " values where " +
                 std::to_string(values) + " are declared");
    }
  }
  return content;
}

// The listing of an array's raw values in `role`, if it has some of a type the listing covers
// (4- and 8-byte floats for values, 4- and 8-byte signed integers for cells).
bool ListRawValues(const FileLayout& layout, const ArrayContent& content, const WordType& type,
                   VtpRawValues::Role role, std::uint64_t limit, std::uint64_t leastStep,
                   std::vector<VtpRawValues>& listings) {
  const bool wantFloat =
      role == VtpRawValues::Role::Coordinates || role == VtpRawValues::Role::CellValues;
  if (!content.Raw || (type.Size != 4 && type.Size != 8) || type.Integer == wantFloat ||
      (type.Integer && !type.Signed)) {
    return false;
  }
  VtpRawValues values;
  values.Kind = role;
  values.WordSize = type.Size;
  values.BigEndian = layout.BigEndian;
  values.Begin = content.RawBegin;
  values.End = content.RawBegin + content.Values * type.Size;
  values.Limit = limit;
  values.LeastStep = leastStep;
  listings.push_back(values);
  return true;
}

std::uint64_t Components(vtkXMLDataElement* array, const std::string& what) {
  if (!array->GetAttribute("NumberOfComponents")) {
    return 1;
  }
  const std::uint64_t n =
      ParseCount(array->GetAttribute("NumberOfComponents"), what + "'s NumberOfComponents");
  if (n == 0 || n > (1u << 20)) {
    Refuse(ErrorCode::Malformed, what + " has " + std::to_string(n) + " components");
  }
  return n;
}

std::string Describe(vtkXMLDataElement* array, const char* within) {
  const char* name = array->GetAttribute("Name");
  return std::string("the ") + within + " array \"" + std::string(name ? name : "").substr(0, 60) +
         "\"";
}

// Every array of PointData, CellData or FieldData: numeric, with `tuples` tuples (FieldData:
// as its NumberOfTuples says).
// With `result`, the floating-point arrays are listed as cell values, and RawCellFloats says
// whether all of them were.
void CheckAttributeArrays(const FileLayout& layout, vtkXMLDataElement* group, bool known,
                          std::uint64_t tuples, const char* within,
                          VtpCheckResult* result = nullptr) {
  if (result) {
    result->RawCellFloats = true;
  }
  // VTK finds an array by comparing its name with every array before it, so that tens of
  // thousands of arrays take many seconds; models carry a few.
  constexpr int MaxArrays = 1000;
  if (group->GetNumberOfNestedElements() > MaxArrays) {
    Refuse(ErrorCode::TooLarge, std::string(within) + " holds " +
                                    std::to_string(group->GetNumberOfNestedElements()) +
                                    " arrays; Selvane opens at most " + std::to_string(MaxArrays));
  }
  for (int i = 0; i < group->GetNumberOfNestedElements(); ++i) {
    vtkXMLDataElement* array = group->GetNestedElement(i);
    const std::string what = Describe(array, within);
    if (std::strcmp(array->GetName(), "DataArray") != 0) {
      Refuse(ErrorCode::Unsupported, std::string(within) + " holds a <" +
                                         std::string(array->GetName()).substr(0, 40) +
                                         "> element, which is not read");
    }
    std::uint64_t n = tuples;
    if (!known) {
      if (!array->GetAttribute("NumberOfTuples")) {
        Refuse(ErrorCode::Malformed, what + " does not say how many tuples it holds");
      }
      n = ParseCount(array->GetAttribute("NumberOfTuples"), what + "'s NumberOfTuples");
    }
    const ArrayContent content =
        CheckArray(layout, array, Components(array, what), ArrayExpectation{true, n}, false, what);
    const WordType& type = ArrayType(array, what);
    if (result && !type.Integer) {
      result->RawCellFloats &= ListRawValues(layout, content, type, VtpRawValues::Role::CellValues,
                                             0, 0, result->RawValues);
    }
  }
}

// One of Verts, Lines, Strips, Polys: offsets (the end of each cell) and connectivity (as
// many IDs as the last offset says).
void CheckCells(const FileLayout& layout, vtkXMLDataElement* cells, std::uint64_t count,
                const char* kind, std::uint64_t points, std::uint64_t leastIds, bool& listed,
                VtpCheckResult& result) {
  listed = count == 0;
  if (!cells) {
    if (count > 0) {
      Refuse(ErrorCode::Malformed,
             std::string("the piece declares ") + kind + " but has no <" + kind + "> element");
    }
    return;
  }
  vtkXMLDataElement* offsets = nullptr;
  vtkXMLDataElement* connectivity = nullptr;
  for (int i = 0; i < cells->GetNumberOfNestedElements(); ++i) {
    vtkXMLDataElement* array = cells->GetNestedElement(i);
    const char* name = array->GetAttribute("Name");
    const bool isArray = std::strcmp(array->GetName(), "DataArray") == 0;
    vtkXMLDataElement** slot = !isArray || !name                        ? nullptr
                               : std::strcmp(name, "offsets") == 0      ? &offsets
                               : std::strcmp(name, "connectivity") == 0 ? &connectivity
                                                                        : nullptr;
    if (!slot || *slot) {
      Refuse(ErrorCode::Malformed, std::string("the <") + kind +
                                       "> element holds other arrays than one "
                                       "offsets and one connectivity array");
    }
    *slot = array;
  }
  const std::string what = std::string("the ") + kind + " ";
  if (!offsets || !connectivity) {
    if (count > 0) {
      Refuse(ErrorCode::Malformed, what + "cells lack their offsets or connectivity");
    }
    return;
  }
  if (Components(offsets, what + "offsets") != 1 ||
      Components(connectivity, what + "connectivity") != 1) {
    Refuse(ErrorCode::Malformed, what + "offsets or connectivity have several components");
  }
  const ArrayContent ends =
      CheckArray(layout, offsets, 1, ArrayExpectation{true, count}, count > 0, what + "offsets");
  if (!ArrayType(connectivity, what + "connectivity").Integer ||
      !ArrayType(offsets, what + "offsets").Integer) {
    Refuse(ErrorCode::Malformed, what + "cells are not given by integers");
  }
  if (count > 0 && ends.Last < 0) {
    Refuse(ErrorCode::BadCell, what + "cells end at a negative offset");
  }
  const ArrayContent ids =
      CheckArray(layout, connectivity, 1,
                 ArrayExpectation{count > 0, static_cast<std::uint64_t>(count > 0 ? ends.Last : 0)},
                 false, what + "connectivity");
  if (count > 0) {
    // Both listed, or neither: cells are checked as read only when all their values are.
    std::vector<VtpRawValues> listings;
    listed = ListRawValues(layout, ends, ArrayType(offsets, what), VtpRawValues::Role::CellEnds,
                           ids.Values, leastIds, listings) &&
             ListRawValues(layout, ids, ArrayType(connectivity, what), VtpRawValues::Role::PointIds,
                           points, 0, listings);
    if (listed) {
      result.RawValues.insert(result.RawValues.end(), listings.begin(), listings.end());
    }
  }
}

vtkXMLDataElement* OnlyChild(vtkXMLDataElement* parent, const char* name, bool required,
                             const char* where) {
  vtkXMLDataElement* found = nullptr;
  for (int i = 0; i < parent->GetNumberOfNestedElements(); ++i) {
    vtkXMLDataElement* child = parent->GetNestedElement(i);
    if (std::strcmp(child->GetName(), name) == 0) {
      if (found) {
        Refuse(ErrorCode::Unsupported,
               std::string(where) + " holds more than one <" + name + "> element");
      }
      found = child;
    }
  }
  if (!found && required) {
    Refuse(ErrorCode::Malformed, std::string(where) + " has no <" + name + "> element");
  }
  return found;
}

void OnlyChildrenNamed(vtkXMLDataElement* parent, const std::set<std::string>& names,
                       const char* where) {
  for (int i = 0; i < parent->GetNumberOfNestedElements(); ++i) {
    const char* name = parent->GetNestedElement(i)->GetName();
    if (!names.count(name)) {
      Refuse(ErrorCode::Unsupported, std::string(where) + " holds a <" +
                                         std::string(name).substr(0, 40) +
                                         "> element, which is not read");
    }
  }
}

void ReadFileAttributes(vtkXMLDataElement* root, FileLayout& layout) {
  if (const char* order = root->GetAttribute("byte_order")) {
    if (std::strcmp(order, "LittleEndian") == 0) {
      layout.BigEndian = false;
    } else if (std::strcmp(order, "BigEndian") == 0) {
      layout.BigEndian = true;
    } else {
      Refuse(ErrorCode::Malformed,
             "the byte order is \"" + std::string(order).substr(0, 40) + "\"");
    }
    layout.ByteOrderGiven = true;
  }
  if (const char* header = root->GetAttribute("header_type")) {
    if (std::strcmp(header, "UInt32") == 0) {
      layout.HeaderSize = 4;
    } else if (std::strcmp(header, "UInt64") == 0) {
      layout.HeaderSize = 8;
    } else {
      Refuse(ErrorCode::Unsupported,
             "the header type is \"" + std::string(header).substr(0, 40) + "\"");
    }
  }
  const char* compressor = root->GetAttribute("compressor");
  const std::string name = compressor ? compressor : "";
  // How far one block can expand: zlib's deflate at most 1032 to 1; lz4 at most 255 to 1; lzma
  // has no such bound, so one that no block VTK writes (32 KiB) comes near.
  if (name == "vtkZLibDataCompressor") {
    layout.Compressor = vtkSmartPointer<vtkZLibDataCompressor>::New();
    layout.MaxExpansion = 1100;
  } else if (name == "vtkLZ4DataCompressor") {
    layout.Compressor = vtkSmartPointer<vtkLZ4DataCompressor>::New();
    layout.MaxExpansion = 300;
  } else if (name == "vtkLZMADataCompressor") {
    layout.Compressor = vtkSmartPointer<vtkLZMADataCompressor>::New();
    layout.MaxExpansion = 8192;
  } else if (!name.empty()) {
    Refuse(ErrorCode::Unsupported,
           "the data are compressed by \"" + name.substr(0, 40) + "\", which is not known");
  }
  if (layout.Compressor) {
    // A block that does not expand is refused below; what the decompressor would print about
    // it (to the terminal, through VTK's logger, as nobody observes it) says nothing more.
    auto quiet = vtkSmartPointer<vtkCallbackCommand>::New();
    layout.Compressor->AddObserver(vtkCommand::ErrorEvent, quiet);
    layout.Compressor->AddObserver(vtkCommand::WarningEvent, quiet);
  }
  layout.CompressorName = name;
}

void FindAppendedData(vtkXMLDataElement* root, vtkXMLDataParser* parser, FileLayout& layout) {
  vtkXMLDataElement* appended = OnlyChild(root, "AppendedData", false, "the file");
  if (!appended) {
    return;
  }
  const char* encoding = appended->GetAttribute("encoding");
  const std::string e = encoding ? encoding : "";
  if (e != "raw" && e != "base64") {
    Refuse(ErrorCode::Unsupported,
           "the appended data are encoded as \"" + e.substr(0, 40) + "\", not raw or base64");
  }
  const vtkTypeInt64 start = parser->GetAppendedDataPosition();
  if (start <= 0 || static_cast<std::uint64_t>(start) > layout.Bytes.size()) {
    Refuse(ErrorCode::Truncated, "the appended data cannot be found");
  }
  if (layout.Bytes[static_cast<std::size_t>(start) - 1] != '_') {
    Refuse(ErrorCode::Malformed, "the appended data do not start with '_'");
  }
  if (layout.Source && !layout.Source->Holds(0, static_cast<std::uint64_t>(start))) {
    // The parse may have seen bytes not yet loaded: refused here, checked again whole.
    Refuse(ErrorCode::Malformed, "the appended data cannot be found");
  }
  layout.HasAppended = true;
  layout.AppendedBase64 = e == "base64";
  if (layout.AppendedBase64 && layout.Source) {
    layout.Source->LoadAll(); // base64 text is checked whole
  }
  layout.AppendedStart = static_cast<std::uint64_t>(start);
  // The block ends where its closing tag starts; without one (a cut file), at the end.
  const std::size_t close = layout.Bytes.rfind("</AppendedData>");
  layout.AppendedEnd = close != std::string_view::npos && close >= layout.AppendedStart
                           ? close
                           : layout.Bytes.size();
}

// The check of the tree `parser` made of the file.
VtpCheckResult CheckTree(vtkXMLDataParser* parser, std::string_view bytes, VtpByteSource* source) {
  vtkXMLDataElement* root = parser->GetRootElement();
  if (!root || std::strcmp(root->GetName(), "VTKFile") != 0) {
    Refuse(ErrorCode::Malformed, "it is not a VTK XML file (no <VTKFile> root)");
  }
  const char* type = root->GetAttribute("type");
  if (!type || std::strcmp(type, "PolyData") != 0) {
    Refuse(ErrorCode::NotPolyData,
           "it holds " + (type ? "\"" + std::string(type).substr(0, 40) + "\"" : "no data type") +
               ", not PolyData");
  }
  FileLayout layout;
  layout.Bytes = bytes;
  layout.Source = source;
  ReadFileAttributes(root, layout);
  OnlyChildrenNamed(root, {"PolyData", "AppendedData"}, "the file");
  FindAppendedData(root, parser, layout);
  vtkXMLDataElement* polyData = OnlyChild(root, "PolyData", true, "the file");
  OnlyChildrenNamed(polyData, {"Piece", "FieldData"}, "the <PolyData> element");
  vtkXMLDataElement* piece = OnlyChild(polyData, "Piece", true, "the <PolyData> element");
  if (vtkXMLDataElement* fieldData = OnlyChild(polyData, "FieldData", false, "<PolyData>")) {
    CheckAttributeArrays(layout, fieldData, false, 0, "field data");
  }
  OnlyChildrenNamed(piece, {"PointData", "CellData", "Points", "Verts", "Lines", "Strips", "Polys"},
                    "the <Piece> element");

  VtpCheckResult result;
  const std::uint64_t points = ParseCount(piece->GetAttribute("NumberOfPoints"), "NumberOfPoints");
  const char* kinds[] = {"Verts", "Lines", "Strips", "Polys"};
  std::uint64_t counts[4];
  std::uint64_t cells = 0;
  for (int k = 0; k < 4; ++k) {
    const std::string attribute = std::string("NumberOf") + kinds[k];
    counts[k] = piece->GetAttribute(attribute.c_str())
                    ? ParseCount(piece->GetAttribute(attribute.c_str()), attribute)
                    : 0;
    cells = Add(cells, counts[k], "the number of cells");
  }

  vtkXMLDataElement* pointsElement = OnlyChild(piece, "Points", points > 0, "the <Piece> element");
  if (pointsElement) {
    OnlyChildrenNamed(pointsElement, {"DataArray"}, "the <Points> element");
    vtkXMLDataElement* coordinates =
        OnlyChild(pointsElement, "DataArray", points > 0, "the <Points> element");
    if (coordinates) {
      if (Components(coordinates, "the points") != 3) {
        Refuse(ErrorCode::Malformed, "the points do not have 3 components");
      }
      const ArrayContent content =
          CheckArray(layout, coordinates, 3, ArrayExpectation{true, points}, false, "the points");
      result.RawCoordinates =
          ListRawValues(layout, content, ArrayType(coordinates, "the points"),
                        VtpRawValues::Role::Coordinates, 0, 0, result.RawValues);
    }
  }
  const std::uint64_t leastIds[4] = {1, 2, 3, 3}; // verts, lines, strips, polys
  for (int k = 0; k < 4; ++k) {
    CheckCells(layout, OnlyChild(piece, kinds[k], false, "the <Piece> element"), counts[k],
               kinds[k], points, leastIds[k], result.RawCells[k], result);
  }
  if (vtkXMLDataElement* pointData = OnlyChild(piece, "PointData", false, "the <Piece> element")) {
    CheckAttributeArrays(layout, pointData, true, points, "point data");
  }
  if (vtkXMLDataElement* cellData = OnlyChild(piece, "CellData", false, "the <Piece> element")) {
    CheckAttributeArrays(layout, cellData, true, cells, "cell data", &result);
  }
  result.NumberOfPoints = static_cast<std::int64_t>(points);
  result.NumberOfVerts = static_cast<std::int64_t>(counts[0]);
  result.NumberOfLines = static_cast<std::int64_t>(counts[1]);
  result.NumberOfStrips = static_cast<std::int64_t>(counts[2]);
  result.NumberOfPolys = static_cast<std::int64_t>(counts[3]);
  return result;
}

VtpCheckResult Check(std::string_view bytes, VtpByteSource* source) {
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::streamsize>::max())) {
    Refuse(ErrorCode::TooLarge, "the file is too large");
  }
  MemoryInputStream stream(bytes);
  auto parser = vtkSmartPointer<vtkNestingLimitedXMLDataParser>::New();
  parser->SetStream(&stream);
  parser->SetIgnoreCharacterData(1); // data are checked in the bytes themselves
  MessageLog log;
  int parsed = 0;
  {
    ScopedVtkMessageCapture capture(parser, log);
    parsed = parser->Parse();
  }
  if (parser->TooDeep()) {
    Refuse(ErrorCode::Malformed, "its elements nest more than " +
                                     std::to_string(parser->GetMaximumDepth()) +
                                     " levels deep; a VTK XML file nests a few");
  }
  if (!parsed || !log.Messages.empty()) {
    Refuse(ErrorCode::Malformed,
           "it is not a well-formed VTK XML file" +
               (log.Messages.empty() ? std::string()
                                     : ": " + CleanVtkMessage(log.Messages.front(), "")));
  }
  return CheckTree(parser, bytes, source);
}

template <typename CheckT> VtpCheckResult Checked(CheckT&& check) {
  try {
    return check();
  } catch (const Refusal& refusal) {
    VtpCheckResult result;
    result.Problem = refusal.Problem;
    result.Reason = refusal.Reason;
    return result;
  } catch (const std::bad_alloc&) {
    VtpCheckResult result;
    result.Problem = ErrorCode::TooLarge;
    result.Reason = "not enough memory to check the file";
    return result;
  }
}

} // namespace

VtpCheckResult CheckVtpStructure(std::string_view bytes) {
  return Checked([&] { return Check(bytes, nullptr); });
}

VtpCheckResult CheckVtpStructure(std::string_view bytes, VtpByteSource& source) {
  VtpCheckResult result = Checked([&] { return Check(bytes, &source); });
  if (!result.Ok() && !source.Holds(0, bytes.size())) {
    // A refusal may rest on bytes not loaded: the whole file's answer is the one given.
    source.LoadAll();
    result = Checked([&] { return Check(bytes, nullptr); });
  }
  return result;
}

VtpCheckResult CheckParsedVtpStructure(vtkXMLDataParser* parsed, std::string_view bytes,
                                       VtpByteSource& source) {
  if (!parsed || !parsed->GetRootElement()) {
    VtpCheckResult result;
    result.Problem = ErrorCode::Malformed;
    result.Reason = "it is not a VTK XML file (no <VTKFile> root)";
    return result;
  }
  return Checked([&] { return CheckTree(parsed, bytes, &source); });
}

} // namespace selvane::formats
