#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace selvane::formats {

void AppendFixed6(std::string& out, double value) {
  // std::to_chars with a precision formats as printf does in the C locale; 400 bytes hold
  // DBL_MAX in fixed notation with six decimals.
  char buf[400];
  auto res = std::to_chars(buf, buf + sizeof(buf), value, std::chars_format::fixed, 6);
  out.append(buf, res.ptr);
}

std::string Fixed6(double value) {
  std::string out;
  AppendFixed6(out, value);
  return out;
}

void AppendDecimal(std::string& out, long long value) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof(buf), value);
  out.append(buf, res.ptr);
}

namespace {

// isspace in the C locale.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A hexadecimal number after "0x": hex digits with an optional point, at least one digit.
bool StartsHexNumber(const char* q, const char* end) {
  if (q + 2 >= end || q[0] != '0' || (q[1] != 'x' && q[1] != 'X'))
    return false;
  const char* h = q + 2;
  if (h < end && *h == '.')
    ++h;
  return h < end && IsHexDigit(*h);
}

// The end of the hexadecimal number at q (after "0x"): digits, a point, digits, and an exponent
// when "p" has one. std::from_chars is given no more, so a "p+-1" cannot pass for an exponent.
const char* HexNumberEnd(const char* q, const char* end) {
  while (q < end && IsHexDigit(*q))
    ++q;
  if (q < end && *q == '.')
    ++q;
  while (q < end && IsHexDigit(*q))
    ++q;
  if (q == end || (*q != 'p' && *q != 'P'))
    return q;
  const char* e = q + 1;
  if (e < end && (*e == '+' || *e == '-'))
    ++e;
  if (e == end || !IsDigit(*e))
    return q;
  while (e < end && IsDigit(*e))
    ++e;
  return e;
}

// Reads q..end as a float in format; decides out-of-range readings as strtof does.
Scan ReadFloat(const char* q, const char* end, std::chars_format format, float& f,
               const char*& after) {
  auto res = std::from_chars(q, end, f, format);
  if (res.ec == std::errc::invalid_argument)
    return Scan::None;
  after = res.ptr;
  if (res.ec != std::errc::result_out_of_range)
    return Scan::Ok;
  // Underflow reads as a tiny value or zero; overflow is refused.
  double d = 0.0;
  auto dres = std::from_chars(q, res.ptr, d, format);
  if (dres.ec == std::errc() && std::fabs(d) < 1.0) {
    f = static_cast<float>(d);
    return Scan::Ok;
  }
  if (dres.ec == std::errc::result_out_of_range) {
    // Beyond double too: decide by the sign of the exponent.
    const char mark = format == std::chars_format::hex ? 'p' : 'e';
    const char* e = q;
    while (e < res.ptr && *e != mark && *e != mark - 'a' + 'A')
      ++e;
    if (e + 1 < res.ptr && e[1] == '-') {
      f = 0.0f;
      return Scan::Ok;
    }
  }
  f = std::numeric_limits<float>::infinity();
  return Scan::OutOfRange;
}

// Where the C library's "%f" stops reading a number that std::from_chars read as q..after:
// it takes a dangling exponent mark (and its sign) along, and leaves a "(chars)" after "nan".
// False where it fails: "inf" followed by an unfinished "inity".
bool CLibraryEnd(const char* q, const char*& after, const char* end, bool hex) {
  if (*q == 'n' || *q == 'N') {
    after = q + 3;
    return true;
  }
  if (*q == 'i' || *q == 'I')
    return !(after == q + 3 && after < end && (*after == 'i' || *after == 'I'));
  const char mark = hex ? 'p' : 'e';
  auto isMark = [mark](char c) { return c == mark || c == mark - 'a' + 'A'; };
  for (const char* c = q; c < after; ++c) {
    if (isMark(*c))
      return true; // the number has its exponent
  }
  if (after < end && isMark(*after)) {
    ++after;
    if (after < end && (*after == '+' || *after == '-'))
      ++after;
  }
  return true;
}

} // namespace

Scan ScanInt32(const char*& p, const char* end, long long& value) {
  const char* q = p;
  while (q < end && IsBlank(*q))
    ++q;
  bool negative = false;
  if (q < end && (*q == '+' || *q == '-')) {
    negative = *q == '-';
    ++q;
  }
  if (q == end || !IsDigit(*q))
    return Scan::None;
  const char* digits = q;
  while (q < end && IsDigit(*q))
    ++q;
  p = q;
  unsigned long long magnitude = 0;
  auto res = std::from_chars(digits, q, magnitude);
  const unsigned long long limit =
      negative ? 2147483648ULL
               : static_cast<unsigned long long>(std::numeric_limits<int32_t>::max());
  if (res.ec != std::errc() || magnitude > limit)
    return Scan::OutOfRange;
  value = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
  return Scan::Ok;
}

Scan ScanFloat(const char*& p, const char* end, float& value, FloatSyntax syntax) {
  const char* q = p;
  while (q < end && IsBlank(*q))
    ++q;
  bool negative = false;
  if (q < end && (*q == '+' || *q == '-')) {
    negative = *q == '-';
    ++q;
  }
  if (q < end && (*q == '+' || *q == '-'))
    return Scan::None;
  const bool library = syntax == FloatSyntax::CLibrary;
  const bool hex = library && StartsHexNumber(q, end);
  if (library && !hex && q + 1 < end && q[0] == '0' && (q[1] == 'x' || q[1] == 'X')) {
    // The C library takes "0x" as the start of a hexadecimal number: "0x." reads as zero,
    // "0x" without a point or digit fails.
    if (q + 2 < end && q[2] == '.') {
      p = q + 3;
      value = negative ? -0.0f : 0.0f;
      return Scan::Ok;
    }
    return Scan::None;
  }
  float f = 0.0f;
  const char* after = q;
  const Scan scan =
      hex ? ReadFloat(q + 2, HexNumberEnd(q + 2, end), std::chars_format::hex, f, after)
          : ReadFloat(q, end, std::chars_format::general, f, after);
  if (scan == Scan::None)
    return Scan::None;
  if (library && !CLibraryEnd(q, after, end, hex))
    return Scan::None;
  p = after;
  value = negative ? -f : f;
  return scan;
}

} // namespace selvane::formats
