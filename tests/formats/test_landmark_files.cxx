// The landmark files of other tools: each format reads back what it wrote bit for bit, files
// laid out as the tools' documentation shows open, damaged files are refused or their bad
// entries skipped with a reason, and two sets pair by label.
#include "LandmarkCsv.h"
#include "LandmarkFiles.h"
#include "PickedPoints.h"
#include "SlicerMarkups.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace fmt = selvane::formats;
using fmt::AnatomicalFrame;
using fmt::Landmark;
using fmt::LandmarkFormat;

namespace {

bool SameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

void ExpectSamePoint(const fmt::Point3& expected, const fmt::Point3& actual) {
  for (int k = 0; k < 3; ++k)
    EXPECT_TRUE(SameBits(expected[k], actual[k]))
        << "axis " << k << ": " << expected[k] << " read back as " << actual[k];
}

// Values whose text is easy to get wrong: no short decimal form, below the normal range, huge,
// negative zero, and coordinates of a typical scan.
std::vector<Landmark> TrickyLandmarks(bool withTargets) {
  const double values[][3] = {{0.1, -0.2, 0.30000000000000004},
                              {1.0 / 3.0, 2.0 / 3.0, -1.0 / 7.0},
                              {5e-324, -2.2250738585072014e-308, 1e300},
                              {-0.0, 0.0, 123456.78901234567},
                              {-71.25, 14.5, 1022.0000001}};
  const char* labels[] = {"F-1", "tip, left", "say \"ah\"", "#7", ""};
  std::vector<Landmark> landmarks;
  for (int i = 0; i < 5; ++i) {
    Landmark l;
    l.Label = labels[i];
    l.Position = {values[i][0], values[i][1], values[i][2]};
    if (withTargets)
      l.Target = fmt::Point3{values[i][2], values[i][0] * 3, -values[i][1]};
    landmarks.push_back(l);
  }
  return landmarks;
}

fmt::LandmarkFile RoundTrip(LandmarkFormat format, const std::vector<Landmark>& landmarks) {
  return fmt::ParseLandmarks(format, fmt::FormatLandmarks(format, landmarks, "model.vtk"));
}

} // namespace

TEST(LandmarkFiles, EachFormatReadsBackWhatItWroteBitForBit) {
  for (LandmarkFormat format : {LandmarkFormat::Csv, LandmarkFormat::SlicerFcsv,
                                LandmarkFormat::SlicerJson, LandmarkFormat::PickedPoints}) {
    SCOPED_TRACE(static_cast<int>(format));
    const bool targets = fmt::StoresTargets(format);
    const auto written = TrickyLandmarks(targets);
    const fmt::LandmarkFile read = RoundTrip(format, written);
    ASSERT_EQ(read.Refusal, "");
    EXPECT_TRUE(read.Skipped.empty()) << fmt::SummarizeSkippedLandmarks(read);
    ASSERT_EQ(read.Landmarks.size(), written.size());
    EXPECT_EQ(read.HasTargets, targets);
    for (std::size_t i = 0; i < written.size(); ++i) {
      EXPECT_EQ(read.Landmarks[i].Label, written[i].Label);
      ExpectSamePoint(written[i].Position, read.Landmarks[i].Position);
      ASSERT_EQ(read.Landmarks[i].Target.has_value(), targets);
      if (targets)
        ExpectSamePoint(*written[i].Target, *read.Landmarks[i].Target);
    }
  }
  // The switched-off state survives where the format has one.
  std::vector<Landmark> off = TrickyLandmarks(false);
  off[1].Active = false;
  const auto read = RoundTrip(LandmarkFormat::PickedPoints, off);
  ASSERT_EQ(read.Landmarks.size(), off.size());
  EXPECT_TRUE(read.Landmarks[0].Active);
  EXPECT_FALSE(read.Landmarks[1].Active);
  // An empty list writes a file that reads as empty, not as a damaged one.
  for (LandmarkFormat format : {LandmarkFormat::Csv, LandmarkFormat::SlicerFcsv,
                                LandmarkFormat::SlicerJson, LandmarkFormat::PickedPoints}) {
    const auto empty = RoundTrip(format, {});
    EXPECT_EQ(empty.Refusal, "");
    EXPECT_EQ(empty.Entries(), 0u);
  }
}

TEST(LandmarkFiles, FormatFollowsTheExtension) {
  EXPECT_EQ(fmt::LandmarkFormatOf("/a/b.CSV"), LandmarkFormat::Csv);
  EXPECT_EQ(fmt::LandmarkFormatOf("pts.tsv"), LandmarkFormat::Csv);
  EXPECT_EQ(fmt::LandmarkFormatOf("F.fcsv"), LandmarkFormat::SlicerFcsv);
  EXPECT_EQ(fmt::LandmarkFormatOf("F.mrk.json"), LandmarkFormat::SlicerJson);
  EXPECT_EQ(fmt::LandmarkFormatOf("skull.pp"), LandmarkFormat::PickedPoints);
  EXPECT_FALSE(fmt::LandmarkFormatOf("skull.ptt").has_value());
  EXPECT_FALSE(fmt::LandmarkFormatOf("pp").has_value());
}

TEST(LandmarkCsv, ReadsTheTablesSpreadsheetsWrite) {
  // Semicolons, another column order, capitals, quoted fields, CRLF, a byte-order mark, a
  // comment and an extra column.
  const auto semicolons = fmt::ParseLandmarkCsv("\xEF\xBB\xBF"
                                                "Name;TX;X;Y;Z;TY;TZ;note\r\n"
                                                "# placed by hand\r\n"
                                                "\"nose; tip\";4;1;2;3;5;6;\"a \"\"b\"\"\"\r\n"
                                                " chin ; -4.5e1 ; +1 ; 0 ;.5; 7 ; 8\r\n");
  ASSERT_EQ(semicolons.Refusal, "");
  ASSERT_EQ(semicolons.Landmarks.size(), 2u) << fmt::SummarizeSkippedLandmarks(semicolons);
  EXPECT_TRUE(semicolons.HasTargets);
  EXPECT_EQ(semicolons.Landmarks[0].Label, "nose; tip");
  ExpectSamePoint({1, 2, 3}, semicolons.Landmarks[0].Position);
  ExpectSamePoint({4, 5, 6}, *semicolons.Landmarks[0].Target);
  EXPECT_EQ(semicolons.Landmarks[1].Label, "chin");
  ExpectSamePoint({1, 0, 0.5}, semicolons.Landmarks[1].Position);
  ExpectSamePoint({-45, 7, 8}, *semicolons.Landmarks[1].Target);
  EXPECT_EQ(semicolons.Landmarks[1].Where, "line 4");

  // Tabs, no targets, the label column preferred to the id column.
  const auto tabs = fmt::ParseLandmarkCsv("id\tx\ty\tz\tlabel\n7\t1.25\t-2\t3e2\tear\n");
  ASSERT_EQ(tabs.Landmarks.size(), 1u);
  EXPECT_FALSE(tabs.HasTargets);
  EXPECT_FALSE(tabs.Landmarks[0].Target.has_value());
  EXPECT_EQ(tabs.Landmarks[0].Label, "ear");
  ExpectSamePoint({1.25, -2, 300}, tabs.Landmarks[0].Position);

  // Plain x,y,z without a label.
  const auto plain = fmt::ParseLandmarkCsv("x,y,z\n1,2,3\n");
  ASSERT_EQ(plain.Landmarks.size(), 1u);
  EXPECT_EQ(plain.Landmarks[0].Label, "");
}

TEST(LandmarkCsv, SkipsBadRowsAndRefusesFilesWithoutAHeader) {
  const auto file = fmt::ParseLandmarkCsv("id,x,y,z,tx,ty,tz\n"
                                          "a,1,2,3,4,5,6\n"
                                          "b,1,2\n"
                                          "\"c,1,2,3,4,5,6\n"
                                          "d;1,5;2;3;4;5;6\n"
                                          "e,1,2,3,4,nan,6\n"
                                          "f,1,2,1e999,4,5,6\n"
                                          "g,1,2,3,4,5,six\n");
  ASSERT_EQ(file.Refusal, "");
  ASSERT_EQ(file.Landmarks.size(), 1u);
  ASSERT_EQ(file.Skipped.size(), 6u);
  EXPECT_EQ(file.Skipped[0].Where, "line 3");
  EXPECT_NE(file.Skipped[0].Reason.find("too few fields"), std::string::npos);
  EXPECT_EQ(file.Skipped[1].Reason, "a quoted field is not closed");
  EXPECT_NE(file.Skipped[2].Reason.find("too few fields"), std::string::npos);
  EXPECT_EQ(file.Skipped[3].Reason, "'nan' in column ty is not a finite number");
  EXPECT_EQ(file.Skipped[4].Reason, "'1e999' in column z is out of range");
  EXPECT_EQ(file.Skipped[5].Reason, "'six' in column tz is not a number");
  const std::string summary = fmt::SummarizeSkippedLandmarks(file);
  EXPECT_EQ(summary.rfind("6 of 7 landmarks were skipped: line 3: too few fields", 0), 0u)
      << summary;

  // A decimal comma in a semicolon table is named as such.
  const auto comma = fmt::ParseLandmarkCsv("x;y;z\n1,5;2;3\n");
  ASSERT_EQ(comma.Skipped.size(), 1u);
  EXPECT_EQ(comma.Skipped[0].Reason,
            "'1,5' in column x is not a number (the decimal mark must be a point)");

  EXPECT_EQ(fmt::ParseLandmarkCsv("").Refusal,
            "the file has no header line naming the columns x, y and z");
  EXPECT_EQ(fmt::ParseLandmarkCsv("# only a comment\n\n1,2,3\n").Refusal,
            "line 3: the header names no columns x, y and z (separated by commas, semicolons "
            "or tabs)");
  EXPECT_EQ(fmt::ParseLandmarkCsv("x,y,z,tx,ty\n").Refusal,
            "line 1: the header names only some of the target columns tx, ty and tz");
  EXPECT_EQ(fmt::ParseLandmarkCsv("x,y,z,X\n").Refusal,
            "line 1: the header names the column x twice");
}

TEST(SlicerMarkups, FcsvFilesOfEitherFrameOpenInTheModelsFrame) {
  // As Slicer 4.11 and later write them: the frame named, the columns listed.
  const char* lps = "# Markups fiducial file version = 4.11\n"
                    "# CoordinateSystem = LPS\n"
                    "# columns = id,x,y,z,ow,ox,oy,oz,vis,sel,lock,label,desc,associatedNodeID\n"
                    "1,-12.5,40.25,8,0,0,0,1,1,1,0,nasion,,vtkMRMLScalarVolumeNode1\n"
                    "2,30,-7.75,-2,0,0,0,1,1,0,0,\"porion, left\",some words,\n";
  const auto a = fmt::ParseSlicerFcsv(lps, AnatomicalFrame::LPS);
  ASSERT_EQ(a.Refusal, "");
  ASSERT_EQ(a.Landmarks.size(), 2u);
  EXPECT_EQ(a.Landmarks[0].Label, "nasion");
  ExpectSamePoint({-12.5, 40.25, 8}, a.Landmarks[0].Position);
  EXPECT_EQ(a.Landmarks[1].Label, "porion, left");
  ExpectSamePoint({30, -7.75, -2}, a.Landmarks[1].Position);
  // The same file read into a RAS model: x and y change sign.
  ExpectSamePoint({12.5, -40.25, 8},
                  fmt::ParseSlicerFcsv(lps, AnatomicalFrame::RAS).Landmarks[0].Position);

  // Older files: the frame as a number (0 is RAS), or not named at all (RAS), and no columns
  // line (Slicer's own order, label in the twelfth column).
  const char* older = "# Markups fiducial file version = 4.6\n"
                      "# CoordinateSystem = 0\n"
                      "vtkMRMLMarkupsFiducialNode_0,1.5,2.5,3.5,0,0,0,1,1,1,0,F-1,,\n";
  for (const char* text : {older, "vtkMRMLMarkupsFiducialNode_0,1.5,2.5,3.5,0,0,0,1,1,1,0,F-1\n"}) {
    const auto b = fmt::ParseSlicerFcsv(text, AnatomicalFrame::LPS);
    ASSERT_EQ(b.Landmarks.size(), 1u);
    EXPECT_EQ(b.Landmarks[0].Label, "F-1");
    ExpectSamePoint({-1.5, -2.5, 3.5}, b.Landmarks[0].Position);
  }

  EXPECT_EQ(
      fmt::ParseSlicerFcsv("# CoordinateSystem = IJK\n1,2,3,4\n", AnatomicalFrame::LPS).Refusal,
      "line 1: the coordinate system 'IJK' is not supported (RAS or LPS)");
  EXPECT_EQ(fmt::ParseSlicerFcsv("# columns = id,x,y,label\n", AnatomicalFrame::LPS).Refusal,
            "line 1: the columns line names no column z");
  const auto damaged = fmt::ParseSlicerFcsv("1,2,3\n2,a,3,4\n", AnatomicalFrame::LPS);
  ASSERT_EQ(damaged.Skipped.size(), 2u);
  EXPECT_EQ(damaged.Skipped[0].Where, "line 1");
  EXPECT_EQ(damaged.Skipped[1].Reason, "'a' in column x is not a number");
}

TEST(SlicerMarkups, MarkupsJsonOpensAndDamagedOnesAreRefused) {
  // As the markups schema describes it, with points Slicer skips (not placed yet).
  const char* json = R"({
  "@schema": "https://raw.githubusercontent.com/slicer/slicer/master/Modules/Loadable/Markups/Resources/Schema/markups-schema-v1.0.3.json#",
  "markups": [{
    "type": "Fiducial",
    "coordinateSystem": "RAS",
    "coordinateUnits": "mm",
    "locked": false,
    "labelFormat": "%N-%d",
    "controlPoints": [
      {"id": "1", "label": "P-1", "description": "", "associatedNodeID": "",
       "position": [10.5, -3, 4], "orientation": [-1.0, -0.0, -0.0, -0.0, -1.0, -0.0, 0.0, 0.0, 1.0],
       "selected": true, "locked": false, "visibility": true, "positionStatus": "defined"},
      {"id": "2", "label": "P-2", "position": [0, 0, 0], "positionStatus": "undefined"},
      {"id": "3", "label": "P-3", "position": [1, 2]}
    ],
    "measurements": [],
    "display": {"visibility": true, "opacity": 1.0}
  }, {
    "type": "Fiducial",
    "controlPoints": [{"label": 17, "position": [1e2, 2e-1, -3]}]
  }]
})";
  const auto file = fmt::ParseSlicerMarkupsJson(json, AnatomicalFrame::LPS);
  ASSERT_EQ(file.Refusal, "");
  ASSERT_EQ(file.Landmarks.size(), 2u);
  EXPECT_EQ(file.Landmarks[0].Label, "P-1");
  ExpectSamePoint({-10.5, 3, 4}, file.Landmarks[0].Position); // RAS into LPS
  EXPECT_EQ(file.Landmarks[1].Label, "17");
  ExpectSamePoint({100, 0.2, -3}, file.Landmarks[1].Position); // no frame named: LPS
  ASSERT_EQ(file.Skipped.size(), 2u);
  EXPECT_EQ(file.Skipped[0].Where, "markup 1, control point 2");
  EXPECT_EQ(file.Skipped[0].Reason, "its position is undefined");
  EXPECT_EQ(file.Skipped[1].Reason, "it has no position of three numbers");

  const auto broken = fmt::ParseSlicerMarkupsJson("{\"markups\": [\n{,}]}", AnatomicalFrame::LPS);
  EXPECT_EQ(broken.Refusal.rfind("not a JSON file: parse error at line 2, column 2", 0), 0u)
      << broken.Refusal;
  EXPECT_EQ(fmt::ParseSlicerMarkupsJson("{\"points\": []}", AnatomicalFrame::LPS).Refusal,
            "no \"markups\" list: not a markups file");
  EXPECT_EQ(fmt::ParseSlicerMarkupsJson(
                R"({"markups": [{"coordinateSystem": "IJK", "controlPoints": []}]})",
                AnatomicalFrame::LPS)
                .Refusal,
            "markup 1: the coordinate system 'IJK' is not supported (RAS or LPS)");
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  EXPECT_EQ(fmt::ParseSlicerMarkupsJson(deep, AnatomicalFrame::LPS).Refusal,
            "the JSON nests deeper than 64 levels");
}

TEST(PickedPoints, MeshLabFilesOpenAndDamagedOnesAreRefused) {
  // As MeshLab's PickPoints editor saves them.
  const char* pp = R"(<!DOCTYPE PickedPoints>
<PickedPoints>
 <DocumentData>
  <DateTime time="09:41:00" date="2025-03-14"/>
  <User name="someone"/>
  <DataFileName name="jaw.ply"/>
  <templateName name=""/>
 </DocumentData>
 <point x="0.125" y="-4" z="7.5e1" active="1" name="incisor"/>
 <point y="2" x="1" z="3" active="0" name="molar &amp; root"/>
 <point x="1" y="2" name="no z"/>
 <point x="1" y="2,5" z="3" name="comma"/>
</PickedPoints>
)";
  const auto file = fmt::ParsePickedPoints(pp);
  ASSERT_EQ(file.Refusal, "");
  ASSERT_EQ(file.Landmarks.size(), 2u);
  EXPECT_EQ(file.Landmarks[0].Label, "incisor");
  ExpectSamePoint({0.125, -4, 75}, file.Landmarks[0].Position);
  EXPECT_TRUE(file.Landmarks[0].Active);
  EXPECT_EQ(file.Landmarks[0].Where, "line 9");
  EXPECT_EQ(file.Landmarks[1].Label, "molar & root");
  EXPECT_FALSE(file.Landmarks[1].Active);
  ASSERT_EQ(file.Skipped.size(), 2u);
  EXPECT_EQ(file.Skipped[0].Where, "line 11");
  EXPECT_EQ(file.Skipped[0].Reason, "it has no z attribute");
  EXPECT_EQ(file.Skipped[1].Reason,
            "'2,5' in y is not a number (the decimal mark must be a point)");

  const auto unclosed = fmt::ParsePickedPoints("<PickedPoints>\n<point x=\"1\" y=\"2\" z=\"3\">\n"
                                               "</PickedPoints>\n");
  EXPECT_EQ(unclosed.Refusal.rfind("line 3: not an XML document: ", 0), 0u) << unclosed.Refusal;
  EXPECT_TRUE(unclosed.Landmarks.empty());
  EXPECT_EQ(fmt::ParsePickedPoints("<Points><point x=\"1\" y=\"2\" z=\"3\"/></Points>").Refusal,
            "the document is <Points>, not <PickedPoints>");
  EXPECT_EQ(fmt::ParsePickedPoints("").Refusal.rfind("line ", 0), 0u);
  // Entity declarations are refused before anything expands them.
  EXPECT_EQ(fmt::ParsePickedPoints("<!DOCTYPE PickedPoints [<!ENTITY a \"1\">]>\n"
                                   "<PickedPoints><point x=\"&a;\" y=\"2\" z=\"3\"/>"
                                   "</PickedPoints>")
                .Refusal,
            "the document declares entities, which picked points files never do");
}

TEST(LandmarkPairing, PairsByLabelThenByOrderAndNamesTheUnpaired) {
  const auto set = [](std::vector<const char*> labels) {
    std::vector<Landmark> landmarks;
    for (const char* label : labels) {
      Landmark l;
      l.Label = label;
      l.Where = "line " + std::to_string(landmarks.size() + 1);
      landmarks.push_back(l);
    }
    return landmarks;
  };
  using Pairs = std::vector<std::pair<std::size_t, std::size_t>>;
  // Another order, a repeated label paired in order, one label on each side alone.
  const auto sources = set({"a", "b", "dup", "c", "dup", "only-source"});
  const auto targets = set({"dup", "c", "b", "a", "only-target", "dup"});
  const auto pairing = fmt::PairLandmarks(sources, targets);
  EXPECT_FALSE(pairing.ByOrder);
  EXPECT_EQ(pairing.Pairs, (Pairs{{0, 3}, {1, 2}, {2, 0}, {3, 1}, {4, 5}}));
  EXPECT_EQ(pairing.UnpairedSources, std::vector<std::size_t>{5});
  EXPECT_EQ(pairing.UnpairedTargets, std::vector<std::size_t>{4});
  EXPECT_EQ(fmt::ListLabels(sources, pairing.UnpairedSources), "only-source");

  // Labels of two tools that share none: point by point when the counts agree...
  const auto byOrder = fmt::PairLandmarks(set({"F-1", "F-2"}), set({"T-1", "T-2"}));
  EXPECT_TRUE(byOrder.ByOrder);
  EXPECT_EQ(byOrder.Pairs, (Pairs{{0, 0}, {1, 1}}));
  // ...else nothing pairs, and every label is named.
  const auto none = fmt::PairLandmarks(set({"F-1", "F-2"}), set({"T-1"}));
  EXPECT_TRUE(none.Pairs.empty());
  EXPECT_EQ(none.UnpairedSources.size(), 2u);
  EXPECT_EQ(none.UnpairedTargets.size(), 1u);
  // Unlabelled landmarks pair in order, and are named by where they stand.
  const auto unlabelled = set({"", "", "", "", "", "", "", "", "", ""});
  EXPECT_EQ(fmt::PairLandmarks(unlabelled, set({"", "", ""})).Pairs,
            (Pairs{{0, 0}, {1, 1}, {2, 2}}));
  std::vector<std::size_t> all(10);
  for (std::size_t i = 0; i < all.size(); ++i)
    all[i] = i;
  EXPECT_EQ(fmt::ListLabels(unlabelled, all),
            "(no label, line 1), (no label, line 2), (no label, line 3), (no label, line 4), "
            "(no label, line 5), (no label, line 6), (no label, line 7), (no label, line 8) and "
            "2 more");
}
