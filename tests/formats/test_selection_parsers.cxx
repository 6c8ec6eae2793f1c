// Parsers of the selection files: line acceptance and reports.
#include "Locales.h"
#include "SelectionFiles.h"
#include "TextLines.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>

using namespace selvane::formats;

namespace {
using F3 = std::array<float, 3>;

std::vector<std::size_t> SkippedLines(const ParseReport& r, SkipReason reason) {
  std::vector<std::size_t> lines;
  for (const auto& s : r.Skipped)
    if (s.Reason == reason)
      lines.push_back(s.Line);
  return lines;
}
} // namespace

// ------------------------------------------------------------------------------ ID files ----

TEST(IdFileParser, HeaderAndWithdrawnEntriesAreComments) {
  const auto r = ParseIdFile("# Cells IDs\n12\n# 5\n3\n", 100);
  EXPECT_EQ(r.Ids, (std::vector<vtkIdType>{12, 3}));
  EXPECT_EQ(r.Report.Lines, 4u);
  EXPECT_EQ(r.Report.CommentLines, 2u);
  EXPECT_TRUE(r.Report.Skipped.empty());
  EXPECT_EQ(SummarizeSkipped(r.Report), "");
  EXPECT_FALSE(r.Report.ReadError);
}

TEST(IdFileParser, OnlyTheHeaderGivesNoIds) {
  const auto r = ParseIdFile("# Points IDs\n", 10);
  EXPECT_TRUE(r.Ids.empty());
  EXPECT_TRUE(r.Report.Skipped.empty());
  EXPECT_TRUE(ParseIdFile("", 10).Ids.empty());
  EXPECT_EQ(ParseIdFile("", 10).Report.Lines, 0u);
}

TEST(IdFileParser, BlanksSignsAndTrailingText) {
  const auto r = ParseIdFile("   42\n"  // leading blanks
                             "\t+7\n"   // tab and plus sign
                             "42abc\n"  // trailing letters
                             "12 13\n"  // only the first integer
                             "-0\n"     // minus zero is 0
                             "0009\n"   // leading zeros
                             "8\r\n"    // a CRLF line end
                             "\n"       // blank
                             "   \t \n" // only blanks
                             "  # 42\n" // comment after blanks
                             "#42\n",   // comment
                             100);
  EXPECT_EQ(r.Ids, (std::vector<vtkIdType>{42, 7, 42, 12, 0, 9, 8}));
  EXPECT_EQ(r.Report.BlankLines, 2u);
  EXPECT_EQ(r.Report.CommentLines, 2u);
  EXPECT_TRUE(r.Report.Skipped.empty());
}

TEST(IdFileParser, LinesWithoutALeadingIntegerAreSkippedAndReported) {
  const auto r = ParseIdFile("# Cells IDs\n"
                             "a42\n"  // letter before the number
                             "- 42\n" // sign apart from the digits
                             "+-4\n"  // two signs
                             ".5\n"   // not an integer
                             "x\n"
                             "5\n",
                             100);
  EXPECT_EQ(r.Ids, (std::vector<vtkIdType>{5}));
  EXPECT_EQ(SkippedLines(r.Report, SkipReason::NoNumber),
            (std::vector<std::size_t>{2, 3, 4, 5, 6}));
  EXPECT_EQ(SummarizeSkipped(r.Report),
            "5 lines were skipped: 5 without a number (lines 2, 3, 4, 5, 6).");
}

TEST(IdFileParser, IdsOutsideTheModelAreSkipped) {
  const auto r = ParseIdFile("9\n10\n-1\n0\n2147483647\n2147483648\n-2147483648\n"
                             "99999999999999999999999\n",
                             10);
  EXPECT_EQ(r.Ids, (std::vector<vtkIdType>{9, 0}));
  EXPECT_EQ(SkippedLines(r.Report, SkipReason::IdOutsideModel),
            (std::vector<std::size_t>{2, 3, 5, 7}));
  EXPECT_EQ(SkippedLines(r.Report, SkipReason::NumberOutOfRange), (std::vector<std::size_t>{6, 8}));
  EXPECT_EQ(SummarizeSkipped(r.Report),
            "6 lines were skipped: 2 with a number out of range (lines 6, 8), 4 with an ID "
            "outside the model (lines 2, 3, 5, 7).");
  // The largest 32-bit ID is accepted by a model large enough.
  EXPECT_EQ(ParseIdFile("2147483647\n", 2147483648LL).Ids, (std::vector<vtkIdType>{2147483647}));
}

TEST(IdFileParser, DuplicatesAreKeptInFileOrder) {
  // Toggling twice withdraws: the handler needs both occurrences.
  EXPECT_EQ(ParseIdFile("7\n7\n3\n7\n", 10).Ids, (std::vector<vtkIdType>{7, 7, 3, 7}));
}

TEST(IdFileParser, MissingFinalNewline) {
  const auto r = ParseIdFile("# Points IDs\n1\n2", 10);
  EXPECT_EQ(r.Ids, (std::vector<vtkIdType>{1, 2}));
  EXPECT_EQ(r.Report.Lines, 3u);
}

TEST(IdFileParser, LongLinesAreReadWhole) {
  // An 80-byte reader would cut these lines and read the pieces as further IDs.
  const std::string blanks(200, ' ');
  const std::string zeros(150, '0');
  const std::string text = blanks + "42\n" + "5" + blanks + "6\n" + zeros + "3\n" + "4 " +
                           std::string(300, 'x') + " 7\n";
  const auto r = ParseIdFile(text, 100);
  EXPECT_EQ(r.Ids, (std::vector<vtkIdType>{42, 5, 3, 4}));
  EXPECT_TRUE(r.Report.Skipped.empty());
  EXPECT_EQ(r.Report.Lines, 4u);
}

TEST(IdFileParser, StreamFormAndReadError) {
  std::istringstream is("# Cells IDs\n4\n# 1\n");
  const auto r = ParseIdFile(is, 10);
  EXPECT_EQ(r.Ids, (std::vector<vtkIdType>{4}));
  EXPECT_FALSE(r.Report.ReadError);

  // A stream that fails after some data: what was read is returned and the error is flagged.
  struct FailingBuf : std::streambuf {
    std::string data = "12\n13\n";
    bool given = false;
    int_type underflow() override {
      if (given)
        throw std::runtime_error("disk error");
      given = true;
      setg(data.data(), data.data(), data.data() + data.size());
      return traits_type::to_int_type(data[0]);
    }
  } buf;
  std::istream failing(&buf);
  const auto f = ParseIdFile(failing, 100);
  EXPECT_EQ(f.Ids, (std::vector<vtkIdType>{12, 13}));
  EXPECT_TRUE(f.Report.ReadError);
}

// ---------------------------------------------------------------------- Points files ----

namespace {
const char* const kPtt = "# Points Transformations\n"
                         "# Model Bounds\n"
                         "-1.000000 0.000000 0.000000 -1.000000 0.000000 0.000000\n"
                         "2.000000 1.000000 3.000000 2.000000 1.000000 3.000000\n"
                         "# End model Bounds\n"
                         "1.500000 -0.250000 2.000000 1.600000 -0.250000 2.500000\n"
                         "# 2.000000 1.000000 3.000000 7.000000 8.000000 9.000000\n"
                         "0.500000 0.500000 0.500000\n";
}

TEST(PointFileParser, CoordinatesTakeTheFirstThreeNumbersOfEveryLine) {
  const auto r = ParsePointFile(kPtt, PointImport::Coordinates);
  EXPECT_EQ(r.Sources,
            (std::vector<F3>{{-1, 0, 0}, {2, 1, 3}, {1.5f, -0.25f, 2}, {0.5f, 0.5f, 0.5f}}));
  EXPECT_TRUE(r.Targets.empty());
  EXPECT_EQ(r.Report.CommentLines, 4u);
  EXPECT_TRUE(r.Report.Skipped.empty());
}

TEST(PointFileParser, PointsFromTransformationsSkipThreeNumberLines) {
  const auto r = ParsePointFile(kPtt, PointImport::PointsFromTransformations);
  EXPECT_EQ(r.Sources, (std::vector<F3>{{-1, 0, 0}, {2, 1, 3}, {1.5f, -0.25f, 2}}));
  EXPECT_TRUE(r.Targets.empty());
  EXPECT_EQ(SkippedLines(r.Report, SkipReason::TooFewNumbers), (std::vector<std::size_t>{8}));
}

TEST(PointFileParser, TransformationsGiveSourcesAndTargets) {
  const auto r = ParsePointFile(kPtt, PointImport::Transformations);
  EXPECT_EQ(r.Sources, (std::vector<F3>{{-1, 0, 0}, {2, 1, 3}, {1.5f, -0.25f, 2}}));
  EXPECT_EQ(r.Targets, (std::vector<F3>{{-1, 0, 0}, {2, 1, 3}, {1.6f, -0.25f, 2.5f}}));
}

TEST(PointFileParser, BoundsBlockLinesAreKnown) {
  const auto r = ParsePointFile(kPtt, PointImport::Transformations);
  EXPECT_EQ(r.SourceLines, (std::vector<std::size_t>{3, 4, 6}));
  EXPECT_TRUE(r.InBoundsBlock(3));
  EXPECT_TRUE(r.InBoundsBlock(4));
  EXPECT_FALSE(r.InBoundsBlock(6));
  // Without its end line there is no block; the texts must match exactly.
  EXPECT_FALSE(ParsePointFile("# Model Bounds\n1 2 3 1 2 3\n", PointImport::Transformations)
                   .InBoundsBlock(2));
  EXPECT_FALSE(ParsePointFile("# model bounds\n1 2 3 1 2 3\n# End model Bounds\n",
                              PointImport::Transformations)
                   .InBoundsBlock(2));
}

TEST(PointFileParser, NumberForms) {
  const auto r = ParsePointFile("  1.5 -0.25 +3\n"      // blanks and signs
                                "1 2 3 trailing text\n" // text after the numbers
                                "1.0-2.0 3.0\n"         // like scanf: no blank needed
                                "1e2 .5 7.\n"           // exponent, no leading/trailing digit
                                "\t4\t5\t6\r\n"         // tabs and CRLF
                                "1e-60 0 0\n"           // underflow reads as zero
                                "-0 0 0",               // no final newline
                                PointImport::Coordinates);
  EXPECT_EQ(r.Sources, (std::vector<F3>{{1.5f, -0.25f, 3},
                                        {1, 2, 3},
                                        {1, -2, 3},
                                        {100, 0.5f, 7},
                                        {4, 5, 6},
                                        {0, 0, 0},
                                        {-0.0f, 0, 0}}));
  EXPECT_TRUE(r.Report.Skipped.empty()) << SummarizeSkipped(r.Report);
}

TEST(PointFileParser, ValuesAreSinglePrecisionCorrectlyRounded) {
  const auto r = ParsePointFile("0.1 1234.56787 -3.4028234e38\n", PointImport::Coordinates);
  ASSERT_EQ(r.Sources.size(), 1u);
  const selvane::test::ClassicNumbers classic;
  EXPECT_EQ(r.Sources[0][0], std::strtof("0.1", nullptr));
  EXPECT_EQ(r.Sources[0][1], std::strtof("1234.56787", nullptr));
  EXPECT_EQ(r.Sources[0][2], std::strtof("-3.4028234e38", nullptr));
}

TEST(PointFileParser, RejectedLinesAndTheirReasons) {
  const auto r = ParsePointFile("x 1 2\n"    // 1: no number
                                "1,5 2 3\n"  // 2: decimal comma: one number, then ","
                                "1 2\n"      // 3: too few
                                "1e39 0 0\n" // 4: beyond single precision
                                "inf 0 0\n"  // 5: not finite
                                "0 nan 0\n"  // 6: not finite
                                "- 1 2 3\n"  // 7: sign apart from the digits
                                "1 2 3\n",   // 8: fine
                                PointImport::Coordinates);
  EXPECT_EQ(r.Sources, (std::vector<F3>{{1, 2, 3}}));
  EXPECT_EQ(SkippedLines(r.Report, SkipReason::NoNumber), (std::vector<std::size_t>{1, 7}));
  EXPECT_EQ(SkippedLines(r.Report, SkipReason::TooFewNumbers), (std::vector<std::size_t>{2, 3}));
  EXPECT_EQ(SkippedLines(r.Report, SkipReason::NumberOutOfRange), (std::vector<std::size_t>{4}));
  EXPECT_EQ(SkippedLines(r.Report, SkipReason::NotFinite), (std::vector<std::size_t>{5, 6}));
  EXPECT_EQ(SummarizeSkipped(r.Report),
            "7 lines were skipped: 2 without a number (lines 1, 7), 2 with too few numbers "
            "(lines 2, 3), 1 with a number out of range (line 4), 2 with a number that is not "
            "finite (lines 5, 6).");
}

TEST(PointFileParser, ManySkippedLinesAreSummarizedShortly) {
  std::string text;
  for (int i = 0; i < 8; ++i)
    text += "bad\n";
  const auto r = ParsePointFile(text, PointImport::Coordinates);
  EXPECT_EQ(SummarizeSkipped(r.Report),
            "8 lines were skipped: 8 without a number (lines 1, 2, 3, 4, 5, ...).");
  EXPECT_EQ(SummarizeSkipped(ParsePointFile("1\n", PointImport::Coordinates).Report),
            "1 line was skipped: 1 with too few numbers (line 1).");
}

TEST(PointFileParser, LongLinesAreReadWhole) {
  // A reader with an 80-byte buffer would cut this line and import corrupted numbers.
  const std::string first = "1." + std::string(100, '0') + "1";
  const std::string text =
      first + " 2.5 3.5 4.5 5.5 6.5\n" + std::string(120, ' ') + "7 8 9 10 11 12\n";
  const auto r = ParsePointFile(text, PointImport::Transformations);
  EXPECT_EQ(r.Sources, (std::vector<F3>{{1, 2.5f, 3.5f}, {7, 8, 9}}));
  EXPECT_EQ(r.Targets, (std::vector<F3>{{4.5f, 5.5f, 6.5f}, {10, 11, 12}}));
  EXPECT_TRUE(r.Report.Skipped.empty());
  EXPECT_EQ(r.Report.Lines, 2u);
}

TEST(PointFileParser, ParsersIgnoreTheUserLocale) {
  selvane::test::GermanLocale german;
  if (!german.Enter())
    GTEST_SKIP() << "no German locale available";
  float scanned = 0;
  ASSERT_EQ(std::sscanf("1,5", "%f", &scanned), 1);
  EXPECT_EQ(scanned, 1.5f); // the locale is really in effect for the C library
  const auto r = ParsePointFile("1.5 -2.25 3.125\n1,5 2,5 3,5\n", PointImport::Coordinates);
  EXPECT_EQ(r.Sources, (std::vector<F3>{{1.5f, -2.25f, 3.125f}}));
  EXPECT_EQ(SkippedLines(r.Report, SkipReason::TooFewNumbers), (std::vector<std::size_t>{2}));
}

// ------------------------------------------------ Byte-order marks and overlong lines ----

TEST(SelectionFileText, ALeadingByteOrderMarkIsSkipped) {
  const std::string bom = "\xEF\xBB\xBF";
  const auto ids = ParseIdFile(bom + "7\n8\n", 10);
  EXPECT_EQ(ids.Ids, (std::vector<vtkIdType>{7, 8}));
  EXPECT_EQ(ids.IdLines, (std::vector<std::size_t>{1, 2}));
  EXPECT_TRUE(ids.Report.Skipped.empty());
  // Only at the very start: elsewhere the same bytes are text that holds no number.
  const auto later = ParseIdFile("7\n" + bom + "8\n", 10);
  EXPECT_EQ(SkippedLines(later.Report, SkipReason::NoNumber), (std::vector<std::size_t>{2}));

  const auto points = ParsePointFile(bom + "1 2 3 4 5 6\n", PointImport::Transformations);
  EXPECT_EQ(points.Sources, (std::vector<F3>{{1, 2, 3}}));
  EXPECT_EQ(points.Targets, (std::vector<F3>{{4, 5, 6}}));
  const auto header = ParsePointFile(bom + "# Points\n1 2 3\n", PointImport::Coordinates);
  EXPECT_EQ(header.Report.CommentLines, 1u);
  EXPECT_EQ(header.SourceLines, (std::vector<std::size_t>{2}));
}

TEST(SelectionFileText, ALineLongerThanTheLimitRefusesTheWholeFile) {
  // A line of exactly the limit still counts.
  const std::string longest = std::string(MaxLineBytes - 1, ' ') + "5";
  EXPECT_EQ(ParseIdFile("1\n" + longest + "\n", 10).Ids, (std::vector<vtkIdType>{1, 5}));

  const std::string tooLong = std::string(MaxLineBytes, ' ') + "5";
  const auto ids = ParseIdFile("1\n2\n" + tooLong + "\n3\n", 10);
  EXPECT_EQ(ids.Report.TooLongLine, 3u);
  EXPECT_TRUE(ids.Ids.empty()); // nothing of a refused file is returned
  std::istringstream stream("1\n" + tooLong);
  EXPECT_EQ(ParseIdFile(stream, 10).Report.TooLongLine, 2u);

  // The same in point files, with and without a last line end, after a byte-order mark.
  const auto points = ParsePointFile("\xEF\xBB\xBF"
                                     "1 2 3\n" +
                                         tooLong,
                                     PointImport::Coordinates);
  EXPECT_EQ(points.Report.TooLongLine, 2u);
  EXPECT_TRUE(points.Sources.empty());
  EXPECT_EQ(ParsePointFile("1 2 3\n", PointImport::Coordinates).Report.TooLongLine, 0u);
}
