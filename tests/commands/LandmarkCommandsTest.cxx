// Scenario tests of File > Import > Landmarks and File > Export > Landmarks through the
// scriptable window system: every format carries the selected points and their targets out and
// back exactly, two files pair by label, and files that cannot be used change nothing.
#include "CommandTable.h"
#include "ControlIds.h"
#include "FakeWindowing.h"
#include "LandmarkFileCommands.h"
#include "LegacyModelWriter.h"
#include "MainDialog.h"
#include "SelectionList.h"
#include "TestMeshes.h"

#include <gtest/gtest.h>

#include <vtkIdList.h>
#include <vtkPolyData.h>

#include <array>
#include <fstream>
#include <sstream>

using namespace selvane;

namespace {

using Ids = std::vector<vtkIdType>;
using F3 = std::array<float, 3>;

class LandmarkCommandsTest : public ::testing::Test {
protected:
  LandmarkCommandsTest() : Dialog(Windowing) {
    Dialog.InitializeView();
    AddCommandHandlers(Table, CommandGroup::LandmarkFile);
    // Corners (-1, 0, 0) to (2, 1, 3): points 0 to 7, x fastest, then y, then z.
    const std::string path = Dir.File("box.vtk");
    const Result written = formats::WriteLegacyModel(MakeBoxModel(-1, 0, 0, 2, 1, 3, false), path);
    EXPECT_TRUE(written.Ok()) << written.Reason;
    Windowing.QueueFileAnswer(path);
    Dialog.OpenModel();
    EXPECT_TRUE(Windowing.Messages.empty());
  }

  // Runs a command whose prompts answer with the paths in turn (nullopt: cancel).
  void Run(int command, std::vector<std::optional<std::string>> answers) {
    for (auto& answer : answers)
      Windowing.QueueFileAnswer(std::move(answer));
    Windowing.Prompts.clear();
    Windowing.Messages.clear();
    Table.at(command)(Dialog);
  }

  void TogglePoint(int point, const char* tx, const char* ty, const char* tz) {
    Dialog.SetCurrentPoint(point);
    Windowing.FieldTexts[TargetXField] = tx;
    Windowing.FieldTexts[TargetYField] = ty;
    Windowing.FieldTexts[TargetZField] = tz;
    Dialog.ToggleCurrentPoint();
  }

  Ids Selected() const {
    Ids ids;
    for (vtkIdType i = 0; i < Dialog.SelectedPoints().Size(); ++i)
      ids.push_back(Dialog.SelectedPoints().Entry(i));
    return ids;
  }

  std::vector<F3> Targets() const {
    std::vector<F3> targets;
    for (const PointMarker& marker : Dialog.SelectedPoints().Markers())
      targets.push_back({marker.Target[0], marker.Target[1], marker.Target[2]});
    return targets;
  }

  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = Dir.File(name);
    WriteTextFile(path, text);
    return path;
  }

  // Three points with targets that have no short decimal form, and one withdrawn point.
  void SelectFour() {
    TogglePoint(5, "0.1", "-2.7182817", "1e-7");
    TogglePoint(0, "3.3333333", "0", "-0.5");
    TogglePoint(6, "1", "1", "1");
    TogglePoint(6, "1", "1", "1");
    TogglePoint(7, "123456.79", "-4.25", "7");
  }

  TempDir Dir;
  FakeWindowing Windowing;
  MainDialog Dialog;
  CommandTable Table;
};

} // namespace

TEST_F(LandmarkCommandsTest, EveryFormatCarriesThePointsAndTargetsOutAndBackExactly) {
  const Ids active = {5, 0, 7};
  const std::vector<F3> targets = {
      {0.1f, -2.7182817f, 1e-7f}, {3.3333333f, 0, -0.5f}, {123456.79f, -4.25f, 7}};
  // The table holds both in one file; the others write the targets to a second file, whose
  // prompt offers a name beside the first.
  struct Case {
    std::vector<std::string> Files;
    std::string OfferedTargets;
  };
  const Case cases[] = {{{"all.csv"}, ""},
                        {{"a.fcsv", "a-t.fcsv"}, "a-targets.fcsv"},
                        {{"a.mrk.json", "a-t.mrk.json"}, "a-targets.mrk.json"},
                        {{"a.pp", "a-t.pp"}, "a-targets.pp"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Files[0]);
    std::vector<std::optional<std::string>> paths;
    for (const std::string& name : c.Files)
      paths.push_back(Dir.File(name));
    SelectFour();
    Run(CmdExportLandmarks, paths);
    ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
    ASSERT_EQ(Windowing.Prompts.size(), c.Files.size());
    EXPECT_EQ(Windowing.Statuses.at(Windowing.Statuses.size() - c.Files.size()),
              "Exported 3 landmarks (1 withdrawn point left out) to " + *paths[0]);
    if (c.Files.size() == 2) {
      EXPECT_EQ(Windowing.Prompts[1].InitialName, Dir.File(c.OfferedTargets));
    }

    Dialog.ClearSelectedPoints();
    Run(CmdImportLandmarks, paths);
    EXPECT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
    EXPECT_EQ(Selected(), active);
    EXPECT_EQ(Targets(), targets);
    EXPECT_FALSE(Dialog.HasUnsavedSelections());
    EXPECT_EQ(Windowing.Statuses.back(),
              "Imported 3 of 3 landmarks from " + *paths[0] +
                  (c.Files.size() == 2 ? " with targets from " + *paths[1] : std::string()));
    Dialog.ClearSelectedPoints();
  }
}

TEST_F(LandmarkCommandsTest, TwoFilesPairByLabelAndTheUnpairedAreNamed) {
  // Sources from MeshLab, targets from Slicer, in another order; one label on each side alone,
  // one source switched off, one off the model.
  const std::string sources = Write("s.pp", R"(<!DOCTYPE PickedPoints>
<PickedPoints>
 <point x="2" y="1" z="3" active="1" name="top"/>
 <point x="-1" y="0" z="0" active="1" name="origin"/>
 <point x="2" y="0" z="0" active="0" name="off"/>
 <point x="9" y="9" z="9" active="1" name="far"/>
 <point x="-1" y="1" z="0" active="1" name="lonely"/>
</PickedPoints>
)");
  const std::string targets = Write("t.fcsv", "# Markups fiducial file version = 4.11\n"
                                              "# CoordinateSystem = LPS\n"
                                              "# columns = id,x,y,z,ow,ox,oy,oz,vis,sel,lock,"
                                              "label,desc,associatedNodeID\n"
                                              "1,0.5,0.5,0.5,0,0,0,1,1,1,0,origin,,\n"
                                              "2,4,5,6,0,0,0,1,1,1,0,top,,\n"
                                              "3,7,7,7,0,0,0,1,1,1,0,far,,\n"
                                              "4,8,8,8,0,0,0,1,1,1,0,extra,,\n");
  Run(CmdImportLandmarks, {sources, targets});
  EXPECT_EQ(Selected(), (Ids{7, 0}));
  EXPECT_EQ(Targets(), (std::vector<F3>{{4, 5, 6}, {0.5f, 0.5f, 0.5f}}));
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  EXPECT_EQ(Windowing.Messages[0],
            "In '" + sources +
                "', 3 of 5 landmarks were skipped: line 5: it is switched off (active=\"0\"); "
                "line 7: its label has no target in '" +
                targets + "'; line 6: its position matches no model point.\nWithout a target in '" +
                targets + "': lonely.\nWithout a source in '" + sources + "': extra.\n");

  // Cancelling the second prompt: each landmark is its own target.
  Run(CmdImportLandmarks, {sources, std::nullopt});
  EXPECT_EQ(Selected(), (Ids{7, 0, 2}));
  EXPECT_EQ(Targets(), (std::vector<F3>{{2, 1, 3}, {-1, 0, 0}, {-1, 1, 0}}));

  // Each import is one step that undo takes back whole.
  EXPECT_EQ(Dialog.UndoStepName(), "Import landmarks");
  Dialog.Undo();
  EXPECT_EQ(Selected(), (Ids{7, 0}));
  EXPECT_EQ(Targets(), (std::vector<F3>{{4, 5, 6}, {0.5f, 0.5f, 0.5f}}));
  Dialog.Undo();
  EXPECT_TRUE(Selected().empty());
  Dialog.Redo();
  EXPECT_EQ(Selected(), (Ids{7, 0}));
}

TEST_F(LandmarkCommandsTest, FilesThatCannotBeUsedChangeNothingAndSayWhy) {
  TogglePoint(3, "1", "2", "3");
  const Ids before = Selected();
  const auto unchanged = [&] {
    EXPECT_EQ(Selected(), before);
    EXPECT_EQ(Targets(), (std::vector<F3>{{1, 2, 3}}));
  };

  // Entries, none on the model.
  const std::string far = Write("far.csv", "x,y,z\n10,10,10\n1,5;2;3\n");
  Run(CmdImportLandmarks, {far});
  unchanged();
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  EXPECT_EQ(Windowing.Messages[0],
            "No landmark of '" + far +
                "' was imported; the selected points are as they were.\n2 of 2 landmarks were "
                "skipped: line 3: too few fields (2 where the header needs 3); line 2: its "
                "position matches no model point.");

  // A damaged file, an unknown extension, a damaged targets file: refused with the reason.
  const std::string broken = Write("broken.mrk.json", "{\"markups\": [");
  Run(CmdImportLandmarks, {broken});
  unchanged();
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  EXPECT_EQ(Windowing.Messages[0].rfind("Cannot oper file for reading!\nCannot read '" + broken +
                                            "': not a JSON file: parse error at line 1",
                                        0),
            0u)
      << Windowing.Messages[0];
  const std::string other = Write("points.ptt", "# Points Transformations\n");
  Run(CmdImportLandmarks, {other});
  unchanged();
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  EXPECT_EQ(Windowing.Messages[0],
            "Cannot oper file for reading!\nCannot read '" + other +
                "': its extension names no landmark format (.csv, .tsv, .txt, .fcsv, .mrk.json "
                "or .pp)");
  const std::string good = Write("good.fcsv", "1,2,1,3\n");
  const std::string bad = Write("bad.pp", "<PickedPoints>");
  Run(CmdImportLandmarks, {good, bad});
  unchanged();
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  EXPECT_EQ(Windowing.Messages[0].rfind("Cannot oper file for reading!\nCannot read '" + bad +
                                            "': line 1: not an XML document: ",
                                        0),
            0u)
      << Windowing.Messages[0];

  // An export whose extension names no format writes nothing.
  Run(CmdExportLandmarks, {Dir.File("out.xyz")});
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  EXPECT_EQ(Windowing.Messages[0], "Cannot oper file for write!\nCannot write '" +
                                       Dir.File("out.xyz") +
                                       "': its extension names no landmark format (.csv, .tsv, "
                                       ".txt, .fcsv, .mrk.json or .pp)");
  EXPECT_FALSE(std::ifstream(Dir.File("out.xyz")).good());

  // A file without entries is an empty list, as an empty selection exports it.
  Run(CmdImportLandmarks, {Write("empty.csv", "id,x,y,z,tx,ty,tz\n")});
  EXPECT_TRUE(Windowing.Messages.empty());
  EXPECT_TRUE(Selected().empty());
}
