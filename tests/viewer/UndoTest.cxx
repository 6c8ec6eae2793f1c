// Scenario tests of Undo and Redo on the fake window system: every kind of change to the
// selections returns the lists, markers, list boxes and fields exactly, in both directions,
// and the history stays small when the lists are large.
#include "ControlIds.h"
#include "FakeWindowing.h"
#include "MainDialog.h"
#include "SelectionsShown.h"
#include "TestMeshes.h"

#include <gtest/gtest.h>

#include <vtkCellArray.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

#include <functional>
#include <numeric>

using namespace selvane;

namespace {

class UndoTest : public ::testing::Test {
protected:
  UndoTest() : Dialog(Windowing) { Dialog.InitializeView(); }

  void Open(vtkPolyData* mesh) {
    const std::string path = Dir.File("grid.vtk");
    ASSERT_TRUE(WriteLegacyModel(mesh, path));
    Windowing.QueueFileAnswer(path);
    Dialog.OpenModel();
    ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  }
  // Typed as the fields show numbers, so that a redrawn field reads the same.
  void TypeTarget(const char* x, const char* y, const char* z) {
    Windowing.FieldTexts[TargetXField] = x;
    Windowing.FieldTexts[TargetYField] = y;
    Windowing.FieldTexts[TargetZField] = z;
  }
  SelectionsShown Shown() const { return SelectionsShown::Of(Dialog, Windowing); }

  TempDir Dir;
  FakeWindowing Windowing;
  MainDialog Dialog;
};

TEST_F(UndoTest, EverySelectionChangeIsUndoneAndRedoneExactly) {
  Open(MakeGrid(4));
  ASSERT_FALSE(Dialog.CanUndo()) << "opening a model is no step";
  struct Step {
    std::string Name;
    std::function<void()> Before; // moving about and typing: no step
    std::function<void()> Change;
  };
  const float newTarget[3] = {5, 5, 5};
  const std::vector<Step> steps = {
      {"Select cell", [&] { Dialog.SetCurrentCell(7, 0); }, [&] { Dialog.ToggleCurrentCell(); }},
      {"Select cell", [&] { Dialog.SetCurrentCell(3, 0); }, [&] { Dialog.ToggleCurrentCell(); }},
      {"Select cell", [&] { Dialog.SetCurrentCell(7, 0); }, [&] { Dialog.ToggleCurrentCell(); }},
      {"Select cell", [] {}, [&] { Dialog.ToggleCurrentCell(); }}, // restored in place
      {"Select point", [&] { Dialog.SetCurrentPoint(6); },
       [&] {
         TypeTarget("1", "2", "3");
         Dialog.ToggleCurrentPoint();
       }},
      {"Select point", [&] { Dialog.SetCurrentPoint(8); }, [&] { Dialog.ToggleCurrentPoint(); }},
      {"Select point", [&] { Dialog.SetCurrentPoint(6); }, [&] { Dialog.ToggleCurrentPoint(); }},
      {"Select point", [] {},
       [&] { // restored with a new target: a new marker
         TypeTarget("4", "4", "4");
         Dialog.ToggleCurrentPoint();
       }},
      {"Edit target", [] {}, [&] { Dialog.SetSelectedPointTarget(8, newTarget); }},
      {"Edit target", [] {}, [&] { Dialog.SetSelectedPointTarget(6, newTarget); }},
      {"Withdraw point", [] {}, [&] { Dialog.WithdrawSelectedPoint(8); }},
      {"Restore point", [] {}, [&] { Dialog.RestoreSelectedPoint(8); }},
      {"Clear Selected Points List", [] {}, [&] { Dialog.OnClearSelectedPoints(); }},
      {"Clear Selected Cells", [] {}, [&] { Dialog.ClearSelectedCells(); }},
  };
  std::vector<SelectionsShown> before, after;
  for (const Step& step : steps) {
    step.Before();
    before.push_back(Shown());
    step.Change();
    after.push_back(Shown());
    ASSERT_NE(before.back(), after.back()) << step.Name << " changed nothing";
    EXPECT_EQ(Dialog.UndoStepName(), step.Name);
  }
  EXPECT_EQ(Dialog.UndoHistory().Count(), steps.size());

  for (std::size_t k = steps.size(); k-- > 0;) {
    SCOPED_TRACE("undo of step " + std::to_string(k) + ", " + steps[k].Name);
    ASSERT_EQ(Dialog.UndoStepName(), steps[k].Name);
    Dialog.Undo();
    EXPECT_EQ(Shown(), before[k]);
    EXPECT_EQ(Dialog.RedoStepName(), steps[k].Name);
  }
  EXPECT_FALSE(Dialog.CanUndo());
  for (std::size_t k = 0; k < steps.size(); ++k) {
    SCOPED_TRACE("redo of step " + std::to_string(k) + ", " + steps[k].Name);
    Dialog.Redo();
    EXPECT_EQ(Shown(), after[k]);
  }
  EXPECT_FALSE(Dialog.CanRedo());

  // A new change after an undo drops what was undone.
  Dialog.Undo();
  Dialog.Undo();
  Dialog.SetCurrentCell(9, 0);
  Dialog.ToggleCurrentCell();
  EXPECT_FALSE(Dialog.CanRedo());
  Dialog.Undo();
  EXPECT_EQ(Dialog.UndoStepName(), "Restore point");
}

TEST_F(UndoTest, NothingThatChangesNoSelectionIsAStep) {
  Open(MakeGrid(2));
  Dialog.SetCurrentCell(999, 0); // outside the model: never selected
  Dialog.ToggleCurrentCell();
  Dialog.ClearSelectedPoints();             // already empty
  Dialog.WithdrawSelectedPoint(3);          // not selected
  Dialog.ClearTransform("Clear Transform"); // nothing deformed
  EXPECT_FALSE(Dialog.CanUndo());
  Dialog.Undo(); // harmless
  Dialog.Redo();

  // Opening a model forgets the steps: they name another model's cells and points.
  Dialog.SetCurrentCell(1, 0);
  Dialog.ToggleCurrentCell();
  ASSERT_TRUE(Dialog.CanUndo());
  Open(MakeGrid(3));
  EXPECT_FALSE(Dialog.CanUndo());
}

TEST_F(UndoTest, ALargeImportIsOneStepAndTheHistoryKeepsOnlyWhatChanged) {
  Open(MakeGrid(317)); // 101,124 points
  std::vector<vtkIdType> ids(100000);
  std::iota(ids.begin(), ids.end(), 1000);
  Dialog.ReplaceSelectedPoints(ids, {}, "Import points from IDs");
  EXPECT_EQ(Dialog.UndoHistory().Count(), 1u);
  EXPECT_EQ(Dialog.UndoStepName(), "Import points from IDs");
  const SelectionsShown imported = Shown();

  // 99 toggles on the large list: each step keeps the entry it changed, not a copy of the list.
  for (int k = 0; k < 99; ++k) {
    Dialog.SetCurrentPoint(2000 + 7 * k);
    Dialog.ToggleCurrentPoint();
  }
  const SelectionsShown toggled = Shown();
  ASSERT_EQ(Dialog.UndoHistory().Count(), 100u);
  EXPECT_LE(Dialog.UndoHistory().KeptEntries(), ids.size() + 2 * 99);

  for (int k = 0; k < 99; ++k)
    Dialog.Undo();
  EXPECT_EQ(Shown().PointEntries, imported.PointEntries);
  EXPECT_EQ(Shown().DrawnMarkers, imported.DrawnMarkers);
  Dialog.Undo();
  EXPECT_EQ(Dialog.SelectedPoints().Size(), 0);
  EXPECT_TRUE(Windowing.ListBoxes[SelectedPointsList].empty());
  EXPECT_FALSE(Dialog.CanUndo());
  // The dialog's named views follow the list through the snapshots undo put back.
  EXPECT_EQ(Dialog.SelectedPointIds.Get(), Dialog.SelectedPoints().Ids());
  EXPECT_EQ(Dialog.SelectedPointIds->GetNumberOfIds(), 0);
  EXPECT_TRUE(Dialog.PointMarkers.empty());
  EXPECT_EQ(Dialog.PointMarkersAppend->GetNumberOfMarkers(), 0);
  for (int k = 0; k < 100; ++k)
    Dialog.Redo();
  EXPECT_EQ(Shown(), toggled);

  // The history is bounded: the oldest steps go, at least 100 stay.
  for (int k = 0; k < 300; ++k) {
    Dialog.SetCurrentPoint(k);
    Dialog.ToggleCurrentPoint();
  }
  EXPECT_GE(Dialog.UndoHistory().Count(), 100u);
  EXPECT_LT(Dialog.UndoHistory().Count(), 300u);
  EXPECT_LT(Dialog.UndoHistory().KeptEntries(), 1000u) << "the import's snapshot went with it";
}

} // namespace
