// Correspondence reader.
#include "CorrespondenceLine.h"
#include "SelvaneError.h"
#include "SplineTestSupport.h"
#include "vtkDatReader.h"

#include <gtest/gtest.h>

#include <vtkMath.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

using namespace selvane;
using namespace spline_test;

namespace {
vtkSmartPointer<vtkDatReader> Read(const std::string& path, float radius, int expect = 0) {
  auto r = vtkSmartPointer<vtkDatReader>::New();
  r->SetFileName(path.c_str());
  r->SetRadius(radius);
  EXPECT_EQ(r->ReadDatFile(), expect);
  return r;
}

void ExpectPermutation(vtkDatReader* r) {
  const int n = static_cast<int>(r->GetPointArray()->GetNumberOfPoints());
  ASSERT_EQ(r->GetList()->GetNumberOfValues(), n);
  ASSERT_EQ(r->GetUnList()->GetNumberOfValues(), n);
  std::set<int> seen;
  for (int i = 0; i < n; ++i) {
    const int id = r->GetList()->GetValue(i);
    ASSERT_GE(id, 0);
    ASSERT_LT(id, n);
    seen.insert(id);
    EXPECT_EQ(r->GetUnList()->GetValue(id), i);
  }
  EXPECT_EQ(static_cast<int>(seen.size()), n);
}
} // namespace

TEST(CorrespondenceLine, WhichLinesCount) {
  float v[6];
  EXPECT_TRUE(ParseCorrespondenceLine("1 2 3 4 5 6 7", v));
  EXPECT_EQ(v[0], 1.0f);
  EXPECT_EQ(v[5], 6.0f);
  EXPECT_FALSE(ParseCorrespondenceLine("1 2 3 4 5", v));
  EXPECT_FALSE(ParseCorrespondenceLine("# 1 2 3 4 5 6", v));
  EXPECT_FALSE(ParseCorrespondenceLine("# Model Bounds", v));
  EXPECT_FALSE(ParseCorrespondenceLine("", v));
  EXPECT_FALSE(ParseCorrespondenceLine("   ", v));
  EXPECT_TRUE(ParseCorrespondenceLine("  -1.5 0 0 2 2 2 trailing text", v));
  EXPECT_EQ(v[0], -1.5f);
  // Numbers as the C library's "%f" reads them: hexadecimal ones, an exponent mark without
  // digits, a number beyond single precision as an infinity (the reader then refuses the
  // file), "nan" without its "(chars)".
  EXPECT_TRUE(ParseCorrespondenceLine("0x1.8p1 1e 2e+ 0x. 1e39 -1e39", v));
  EXPECT_EQ(v[0], 3.0f);
  EXPECT_EQ(v[1], 1.0f);
  EXPECT_EQ(v[2], 2.0f);
  EXPECT_EQ(v[3], 0.0f);
  EXPECT_EQ(v[4], std::numeric_limits<float>::infinity());
  EXPECT_EQ(v[5], -std::numeric_limits<float>::infinity());
  EXPECT_FALSE(ParseCorrespondenceLine("nan(1) 0 0 0 0 0", v));
  EXPECT_FALSE(ParseCorrespondenceLine("0x 0 0 0 0 0", v));
  EXPECT_FALSE(ParseCorrespondenceLine("infin 0 0 0 0 0", v));
}

TEST(Reader, AcceptanceCasesFromAFile) {
  const std::string path =
      WriteFile("accept.ptt", "# Points Transformations\n"
                              "# Model Bounds\n"
                              "0.000000 0.000000 0.000000 0.000000 0.000000 0.000000\n"
                              "# End model Bounds\n"
                              "\n"
                              "1 2 3 4 5 6 7\n"
                              "1 2 3 4 5\n"
                              "# 9 9 9 8 8 8\n"
                              "10 20 30 11 21 31"); // no line terminator
  auto r = Read(path, 0.5f);
  ASSERT_EQ(r->GetPointArray()->GetNumberOfPoints(), 3);
  double p[3];
  r->GetPointArray()->GetPoint(1, p);
  EXPECT_EQ(p[0], 1.0);
  EXPECT_EQ(p[2], 3.0);
  r->GetPointArrayN()->GetPoint(1, p);
  EXPECT_EQ(p[0], 4.0);
  EXPECT_EQ(p[2], 6.0);
  r->GetPointArray()->GetPoint(2, p);
  EXPECT_EQ(p[1], 20.0);
  ExpectPermutation(r);
  // The bounding-box line has zero differences.
  const int pos = r->GetUnList()->GetValue(0);
  EXPECT_EQ(r->GetBX()->GetValue(pos), 0.0f);
  EXPECT_EQ(r->GetBY()->GetValue(pos), 0.0f);
  EXPECT_EQ(r->GetBZ()->GetValue(pos), 0.0f);
  const int pos1 = r->GetUnList()->GetValue(1);
  EXPECT_EQ(r->GetBX()->GetValue(pos1), -3.0f);
  EXPECT_EQ(r->GetMergedPairs(), 0);
  EXPECT_TRUE(r->GetWarningMessage().empty());
}

TEST(Reader, LongLinesAreReadWhole) {
  // 83 characters: a fixed 80-byte line buffer would split it and import garbage.
  const std::string line =
      "-12345.678901 -12345.678901 -12345.678901 -12345.678901 -12345.678901 -12345.678901";
  ASSERT_GT(line.size(), 80u);
  std::string padded = "1 2 3 4 5 6" + std::string(500, ' ') + "\n";
  auto r = Read(WriteFile("long.ptt", line + "\n" + padded), 1.0f);
  ASSERT_EQ(r->GetPointArray()->GetNumberOfPoints(), 2);
  double p[3];
  r->GetPointArrayN()->GetPoint(0, p);
  EXPECT_FLOAT_EQ(static_cast<float>(p[2]), -12345.678901f);
}

TEST(Reader, OnlyCommentsGivesEmptyResults) {
  auto r = Read(WriteFile("comments.ptt", "# a\n\n# b 1 2 3 4 5 6\n"), 1.0f);
  EXPECT_EQ(r->GetPointArray()->GetNumberOfPoints(), 0);
  EXPECT_EQ(r->GetList()->GetNumberOfValues(), 0);
  EXPECT_EQ(r->GetUnList()->GetNumberOfValues(), 0);
  EXPECT_EQ(r->GetBX()->GetNumberOfValues(), 0);
  EXPECT_EQ(r->GetMax(), 0);
}

TEST(Reader, WhatCannotBeOpenedAsAFileIsRefusedAtOnce) {
  const std::string fifo = TempPath("pipe.ptt");
  ::unlink(fifo.c_str());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::string, std::string> files[] = {
      {TempPath("does_not_exist.ptt"),
       std::string("cannot open the file: ") + std::strerror(ENOENT)},
      {ScratchFolder(), "it is a folder, not a file"},
      {fifo, "it is a pipe (FIFO), not a file"},
      {"/dev/zero", "it is a character device, not a file"},
      {"/dev/urandom", "it is a character device, not a file"}};
  for (const auto& [path, reason] : files) {
    testing::internal::CaptureStdout();
    ::alarm(20); // a blocking open or an endless read ends the test instead of hanging it
    auto r = Read(path, 1.0f, -1);
    ::alarm(0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Cannot open " + path + "!\n");
    EXPECT_EQ(r->GetErrorKind(), vtkDatReader::CannotOpenFile) << path;
    EXPECT_EQ(r->GetErrorMessage(), reason);
  }
  ::unlink(fifo.c_str());
}

TEST(Reader, RunningOutOfMemoryIsReportedAsThat) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer ends the process where operator new would throw";
#endif
  // A sparse file far larger than memory: refused as such, not read as a file without pairs.
  const std::string path = WriteFile("huge.ptt", "");
  if (::truncate(path.c_str(), off_t(1) << 43) != 0)
    GTEST_SKIP() << "no sparse file of 8 TiB here";
  auto r = Read(path, 1.0f, -1);
  ::unlink(path.c_str());
  EXPECT_EQ(r->GetErrorKind(), vtkDatReader::NotEnoughMemory);
  EXPECT_EQ(r->GetErrorMessage(), "not enough memory to hold the file (8796093022208 bytes)");
}

TEST(Reader, AByteOrderMarkDoesNotCostTheFirstPair) {
  auto r = Read(WriteFile("bom.ptt", "\xEF\xBB\xBF"
                                     "1 2 3 4 5 6\n7 8 9 7 8 9\n"),
                1.0f);
  ASSERT_EQ(r->GetPointArray()->GetNumberOfPoints(), 2);
  double p[3];
  r->GetPointArrayN()->GetPoint(0, p);
  EXPECT_EQ(p[0], 4.0);
}

TEST(Reader, AnOverlongLineRefusesTheFileAndKeepsEarlierResults) {
  auto r = Read(WriteFile("good.ptt", "0 0 0 1 1 1\n"), 1.0f);
  r->SetFileName(
      WriteFile("overlong.ptt", "5 5 5 5 5 5\n" + std::string(1 << 20, ' ') + "1 2 3 4 5 6\n")
          .c_str());
  EXPECT_EQ(r->ReadDatFile(), -1);
  EXPECT_EQ(r->GetErrorKind(), vtkDatReader::UnreadableContent);
  EXPECT_EQ(r->GetErrorMessage(), "line 2 is longer than 1048576 bytes");
  EXPECT_EQ(r->GetPointArray()->GetNumberOfPoints(), 1);
}

TEST(Reader, NonFiniteNumberIsRefused) {
  auto r = Read(WriteFile("nan.ptt", "1 2 3 4 5 6\n1 nan 3 4 5 6\n"), 1.0f, -1);
  EXPECT_NE(r->GetErrorMessage().find("line 2"), std::string::npos);
}

TEST(Reader, WorkedExampleOrdering) {
  auto r = Read(WriteFile("order.ptt", "0 0 0 0 0 0\n2 0 0 2 0 0\n1 0 0 1 0 0\n"), 1.5f);
  ASSERT_EQ(r->GetList()->GetNumberOfValues(), 3);
  EXPECT_EQ(r->GetList()->GetValue(0), 0);
  EXPECT_EQ(r->GetList()->GetValue(1), 2);
  EXPECT_EQ(r->GetList()->GetValue(2), 1);
  EXPECT_EQ(r->GetUnList()->GetValue(0), 0);
  EXPECT_EQ(r->GetUnList()->GetValue(1), 2);
  EXPECT_EQ(r->GetUnList()->GetValue(2), 1);
  EXPECT_EQ(r->GetMax(), 1);
}

TEST(Reader, IsolatedPointsKeepFileOrder) {
  auto r =
      Read(WriteFile("isolated.ptt", "0 0 0 0 0 0\n5 0 0 5 0 0\n0 5 0 0 5 0\n0 0 5 0 0 5\n"), 1.0f);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(r->GetList()->GetValue(i), i);
  }
  EXPECT_EQ(r->GetMax(), 0);
}

TEST(Reader, DuplicateSourcesMergedLaterWins) {
  auto r = Read(WriteFile("dups.ptt", "0 0 0 0 0 0\n1 0 0 1 0 0\n0 0 0 0.5 0 0\n"
                                      "-0 0 0 0.25 0 0\n2 0 0 2 0 0\n"),
                0.5f);
  ASSERT_EQ(r->GetPointArray()->GetNumberOfPoints(), 3);
  EXPECT_EQ(r->GetMergedPairs(), 2);
  EXPECT_NE(r->GetWarningMessage().find("2 pairs"), std::string::npos);
  double t[3];
  r->GetPointArrayN()->GetPoint(0, t);
  EXPECT_EQ(t[0], 0.25); // the last line wins
}

TEST(Reader, OrderingPropertiesOnRandomClouds) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 5; ++trial) {
    const auto pairs = RandomPairs(400, rng);
    const float radius = 0.08f + 0.04f * trial;
    auto r = Read(WritePairs("cloud.ptt", pairs), radius);
    ExpectPermutation(r);
    // Every pair closer than R lies at most Max positions apart.
    const int n = 400;
    vtkPoints* pts = r->GetPointArray();
    for (int a = 0; a < n; ++a) {
      for (int b = a + 1; b < n; ++b) {
        double p[3], q[3];
        pts->GetPoint(a, p);
        pts->GetPoint(b, q);
        const double d2 = vtkMath::Distance2BetweenPoints(p, q);
        if (d2 < static_cast<double>(radius) * radius) {
          EXPECT_LE(std::abs(r->GetUnList()->GetValue(a) - r->GetUnList()->GetValue(b)),
                    r->GetMax());
        }
      }
    }
  }
}

TEST(Reader, SecondReadAppends) {
  auto r = Read(WriteFile("first.ptt", "0 0 0 0 0 0\n"), 1.0f);
  r->SetFileName(WriteFile("second.ptt", "3 0 0 3 0 0\n0 0 0 1 1 1\n").c_str());
  EXPECT_EQ(r->ReadDatFile(), 0);
  EXPECT_EQ(r->GetPointArray()->GetNumberOfPoints(), 2);
  EXPECT_EQ(r->GetMergedPairs(), 1);
  ExpectPermutation(r);
}
