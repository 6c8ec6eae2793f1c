// The landmark table and the Edit menu's Undo and Redo in the real window: a target typed in
// the table moves the marker as a re-selection does, a withdrawn row is greyed and comes back
// from its check box, a click makes the row's point current, columns sort, and the menu names
// the step it takes back.
#include "LandmarkTable.h"
#include "ControlIds.h"
#include "MainDialog.h"
#include "MainWindow.h"
#include "QtTestSupport.h"
#include "QtWindowing.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTest>

#include "ControlColumn.h"

using namespace selvane;

namespace {

using Column = LandmarkTableModel::Column;

class LandmarkTableTest : public ::testing::Test {
protected:
  LandmarkTableTest() {
    Window.show();
    Settle();
    EXPECT_TRUE(Window.Dialog().OpenModelFile(SampleModel));
    // Three points, the second with a target of its own.
    for (int point : {3, 10, 17}) {
      Dialog().SetCurrentPoint(point);
      if (point == 10)
        Window.Column()->Field(TargetXField)->setText("7.5");
      Window.RunCommand(CmdSelectPoint);
    }
    Window.RunCommand(CmdLandmarkTable);
    Settle();
  }
  MainDialog& Dialog() { return Window.Dialog(); }
  QTableView* View() { return Window.Landmarks()->View(); }
  QModelIndex Cell(int row, int column) { return View()->model()->index(row, column); }
  QString Text(int row, int column) { return Cell(row, column).data().toString(); }
  QStringList PointBox() {
    QStringList texts;
    QListWidget* box = Window.Column()->ListBox(SelectedPointsList);
    for (int i = 0; i < box->count(); ++i)
      texts << box->item(i)->text();
    return texts;
  }

  MainWindow Window;
};

TEST_F(LandmarkTableTest, RowsFollowTheListAndATypedTargetIsAReselection) {
  ASSERT_TRUE(Window.Landmarks()->isVisible());
  ASSERT_EQ(View()->model()->rowCount(), 3);
  EXPECT_EQ(Text(0, Column::IdColumn), "3");
  EXPECT_EQ(Text(1, Column::TargetXColumn), "7.5");
  // Position and distance as the marker holds them.
  const PointMarker& second = Dialog().SelectedPoints().Markers()[1];
  const double dx = 7.5 - second.Position[0];
  const double dy = second.Target[1] - second.Position[1];
  const double dz = second.Target[2] - second.Position[2];
  EXPECT_NEAR(Cell(1, Column::DistanceColumn).data(LandmarkTableModel::SortRole).toDouble(),
              std::sqrt(dx * dx + dy * dy + dz * dz), 1e-5);
  EXPECT_FALSE(Cell(1, Column::ResidualColumn).data().isValid()) << "no fit yet";

  // Typing a target in the table: the editor, then Enter.
  const float oldTarget = Dialog().SelectedPoints().Markers()[0].Target[1];
  const QModelIndex target = Cell(0, Column::TargetYColumn);
  View()->setCurrentIndex(target);
  View()->edit(target);
  Settle();
  auto* editor = View()->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, "2.25");
  QTest::keyClick(editor, Qt::Key_Return);
  Settle();
  const PointMarker& first = Dialog().SelectedPoints().Markers()[0];
  EXPECT_EQ(first.Target[1], 2.25f);
  EXPECT_EQ(first.Radius, Dialog().PointerRadius) << "a new marker, as a re-selection makes";
  EXPECT_EQ(Dialog().SelectedPoints().Entry(0), 3) << "in its place, active";
  EXPECT_EQ(Text(0, Column::TargetYColumn), "2.25");
  EXPECT_EQ(PointBox(), (QStringList{"10", "17", "3"}));
  EXPECT_EQ(Window.MenuItem(CmdUndo)->text(), "&Undo Edit target\tCtrl-Z");

  // A new selection adds a row; Undo takes it away again, and names what Redo brings back.
  Dialog().SetCurrentPoint(25);
  Window.RunCommand(CmdSelectPoint);
  EXPECT_EQ(View()->model()->rowCount(), 4);
  Window.MenuItem(CmdUndo)->trigger();
  EXPECT_EQ(View()->model()->rowCount(), 3);
  EXPECT_EQ(Window.MenuItem(CmdRedo)->text(), "&Redo Select point\tCtrl-Shift-Z");
  EXPECT_TRUE(Window.MenuItem(CmdRedo)->isEnabled());
  EXPECT_TRUE(Window.MenuItem(CmdRedo)->shortcuts().contains(QKeySequence("Ctrl+Y")));
  Window.MenuItem(CmdUndo)->trigger();
  EXPECT_EQ(Dialog().SelectedPoints().Markers()[0].Target[1], oldTarget);
  EXPECT_EQ(Text(0, Column::TargetYColumn), FormatCoordinate(oldTarget))
      << "the old target is back";
}

TEST_F(LandmarkTableTest, AWithdrawnRowIsGreyedAndRestoredFromItsCheckBox) {
  QAbstractItemModel* model = View()->model();
  ASSERT_TRUE(model->setData(Cell(1, Column::IdColumn), Qt::Unchecked, Qt::CheckStateRole));
  EXPECT_EQ(Dialog().SelectedPoints().Entry(1), SelectionList::WithdrawnEntry(10));
  EXPECT_EQ(PointBox(), (QStringList{"17", "3"}));
  const QBrush grey = QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
  EXPECT_EQ(Cell(1, Column::XColumn).data(Qt::ForegroundRole).value<QBrush>(), grey);
  EXPECT_FALSE(Cell(0, Column::XColumn).data(Qt::ForegroundRole).isValid());
  EXPECT_FALSE(model->flags(Cell(1, Column::TargetXColumn)) & Qt::ItemIsEditable);
  EXPECT_EQ(Window.MenuItem(CmdUndo)->text(), "&Undo Withdraw point\tCtrl-Z");

  ASSERT_TRUE(model->setData(Cell(1, Column::IdColumn), Qt::Checked, Qt::CheckStateRole));
  EXPECT_EQ(Dialog().SelectedPoints().Entry(1), 10);
  EXPECT_EQ(Dialog().SelectedPoints().Markers()[1].Target[0], 7.5f) << "with its own marker";
  EXPECT_EQ(PointBox(), (QStringList{"10", "17", "3"}));
  EXPECT_FALSE(Cell(1, Column::XColumn).data(Qt::ForegroundRole).isValid());
}

TEST_F(LandmarkTableTest, AClickMakesTheRowsPointCurrentInAnySortOrder) {
  // Sorted by distance, the point with its own target comes last.
  View()->sortByColumn(Column::DistanceColumn, Qt::AscendingOrder);
  EXPECT_EQ(Window.Landmarks()->PointAt(2), 10);
  View()->sortByColumn(Column::IdColumn, Qt::DescendingOrder);
  EXPECT_EQ(Window.Landmarks()->PointAt(0), 17);

  Dialog().SetCurrentPoint(0);
  const QRect row = View()->visualRect(Cell(2, Column::XColumn));
  QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, row.center());
  Settle();
  EXPECT_EQ(Dialog().CurrentPoint, 3);
  EXPECT_EQ(Dialog().SelectedPoints().HighlightedPoint(), 3);
  EXPECT_EQ(Window.Column()->ListBox(SelectedPointsList)->currentItem()->text(), "3");
}

} // namespace

namespace {

// An import fills the sorted list box in one go: sorted as entry by entry, and every entry can
// still be found, chosen and deleted.
TEST_F(LandmarkTableTest, AnImportFillsTheSortedListBoxAtOnce) {
  Dialog().ReplaceSelectedPoints({30, 4, 100, 12, 4, 4}, {}, "Import points from IDs");
  EXPECT_EQ(PointBox(), (QStringList{"100", "12", "30", "4"}));
  EXPECT_EQ(View()->model()->rowCount(), 4);
  EXPECT_EQ(Window.Column()->ListBox(SelectedPointsList)->currentItem()->text(), "4")
      << "the last point is current";
  Dialog().SetCurrentPoint(30);
  Window.RunCommand(CmdSelectPoint); // withdraws it: its entry goes
  EXPECT_EQ(PointBox(), (QStringList{"100", "12", "4"}));
  Window.MenuItem(CmdUndo)->trigger();
  EXPECT_EQ(PointBox(), (QStringList{"100", "12", "30", "4"}));
  EXPECT_EQ(Window.Column()->ListBox(SelectedPointsList)->currentItem()->text(), "30");
}

} // namespace
