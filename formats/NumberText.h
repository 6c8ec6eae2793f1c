// Numbers in text files, read and written in the C numeric locale whatever the process's
// locale: a file written under a German locale reads the same anywhere. The one tokenizer of
// every text reader; each format decides itself which lines it takes and what it refuses.
#ifndef SELVANE_NUMBER_TEXT_H
#define SELVANE_NUMBER_TEXT_H

#include <string>

namespace selvane::formats {

// Appends printf's "%f" of value (fixed, six decimals).
void AppendFixed6(std::string& out, double value);
// printf's "%f" of value.
std::string Fixed6(double value);
// Appends printf's "%d" of value.
void AppendDecimal(std::string& out, long long value);

enum class Scan {
  Ok,
  None,      // no number here (nothing consumed)
  OutOfRange // a number too large for its type (consumed)
};

// scanf's "%d": blanks, an optional sign, at least one digit; the value must fit 32 bits.
// On Ok and OutOfRange p moves past the number.
Scan ScanInt32(const char*& p, const char* end, long long& value);

enum class FloatSyntax {
  Decimal, // decimal numbers, inf and nan (with an optional "(chars)" tail)
  // As the C library's scanf "%f" reads: also hexadecimal numbers such as 0x1.8p3, an
  // exponent mark without digits ("1e", "1e+") read as no exponent, and "nan" without a tail.
  CLibrary
};

// scanf's "%f": blanks, an optional sign, a floating-point number read as a single-precision
// value, correctly rounded. Underflow reads as a tiny value or zero; on overflow (OutOfRange)
// value is set to an infinity of the number's sign. On Ok and OutOfRange p moves past the
// number.
Scan ScanFloat(const char*& p, const char* end, float& value,
               FloatSyntax syntax = FloatSyntax::Decimal);

} // namespace selvane::formats

#endif
