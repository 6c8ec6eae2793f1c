// The real window driven by key and mouse events: what the interception takes, what it
// lets through, and the focus frame of the view.
#include "ControlColumn.h"
#include "ControlIds.h"
#include "MainDialog.h"
#include "MainWindow.h"
#include "RenderHost.h"

#include "QtTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QVTKOpenGLNativeWidget.h>

#include <vtkIdList.h>
#include <vtkPolyData.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>

#include <functional>

using namespace selvane;

namespace {

// Focus changes arrive through the event loop; under load they may take a moment.
bool WaitFor(const std::function<bool()>& condition) {
  return QTest::qWaitFor(condition, 3000);
}

QColor FrameColour(MainWindow& window) {
  return window.Host()->grab().toImage().pixelColor(0, window.Host()->height() / 2);
}

class InputTest : public ::testing::Test {
protected:
  void SetUp() override {
    Window.show();
    Window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window));
    Settle();
  }
  void LoadSample() {
    ASSERT_TRUE(Window.Dialog().OpenModelFile(SampleModel));
    Settle();
  }
  QWidget* View() { return Window.Host()->View(); }
  MainDialog& Dialog() { return Window.Dialog(); }

  MainWindow Window;
};

TEST_F(InputTest, BeforeAModelKeysReachTheFieldsAndClicksDoNotPick) {
  QLineEdit* field = Window.Column()->Field(TargetXField);
  field->setFocus();
  field->clear();
  QTest::keyClicks(field, "x y");
  EXPECT_EQ(field->text(), "x y");
  QTest::mouseClick(View(), Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier,
                    View()->rect().center());
  EXPECT_EQ(Dialog().CurrentCell, -1);
}

TEST_F(InputTest, CtrlShiftClickPicksTheCellUnderTheMouse) {
  LoadSample();
  // The pixel where a known cell is drawn: the display position of its first point.
  Dialog().Render();
  vtkPolyData* model = Dialog().Model();
  const int cell = 17;
  vtkNew<vtkIdList> ids;
  model->GetCellPoints(cell, ids);
  double centre[3] = {0, 0, 0};
  for (vtkIdType i = 0; i < ids->GetNumberOfIds(); ++i)
    for (int k = 0; k < 3; ++k)
      centre[k] += model->GetPoint(ids->GetId(i))[k] / ids->GetNumberOfIds();
  Dialog().Renderer->SetWorldPoint(centre[0], centre[1], centre[2], 1);
  Dialog().Renderer->WorldToDisplay();
  const double* display = Dialog().Renderer->GetDisplayPoint();
  const double scale = View()->devicePixelRatioF();
  const QPoint at(static_cast<int>(display[0] / scale),
                  static_cast<int>((Dialog().RenderWindow->GetSize()[1] - display[1]) / scale));

  QTest::mouseClick(View(), Qt::LeftButton, Qt::ShiftModifier, at);
  EXPECT_EQ(Dialog().CurrentCell, 0) << "Shift alone does not pick";
  QTest::mouseClick(View(), Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, at);
  EXPECT_EQ(Dialog().CurrentCell, cell);
}

TEST_F(InputTest, SpaceAndCtrlSpaceToggleFromAnyControl) {
  LoadSample();
  QListWidget* list = Window.Column()->ListBox(PointCellsList);
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_EQ(Dialog().SelectedCells().Ids()->GetNumberOfIds(), 1);
  QTest::keyPress(list, Qt::Key_Control);
  QTest::keyClick(list, Qt::Key_Space, Qt::ControlModifier);
  QTest::keyRelease(list, Qt::Key_Control);
  EXPECT_EQ(Dialog().SelectedPoints().Ids()->GetNumberOfIds(), 1);
  EXPECT_EQ(Window.Column()->ListBox(SelectedPointsList)->count(), 1);
  QTest::keyClick(list, Qt::Key_Space); // Ctrl released: the cell again, now withdrawn
  EXPECT_EQ(Dialog().SelectedCells().Ids()->GetId(0), -2);
}

TEST_F(InputTest, ArrowsWalkOnlyWhileTheViewHasTheFocusAndTheFrameShowsIt) {
  LoadSample();
  EXPECT_EQ(FrameColour(Window), QColor(0, 0, 221)) << "blue from the start";
  QTest::keyClick(Window.Column()->Field(TargetXField), Qt::Key_W);
  EXPECT_TRUE(WaitFor([&] { return View()->hasFocus(); }));
  const int first = Dialog().CurrentPoint;
  QTest::keyClick(View(), Qt::Key_Right);
  EXPECT_NE(Dialog().CurrentPoint, first);
  QTest::keyClick(View(), Qt::Key_Left);
  EXPECT_EQ(Dialog().CurrentPoint, first);
  EXPECT_EQ(FrameColour(Window), QColor(0, 0, 221));

  // In a list box the arrows move the list's selection, which makes its cell current.
  QListWidget* cells = Window.Column()->ListBox(PointCellsList);
  cells->setFocus();
  EXPECT_TRUE(WaitFor([&] { return FrameColour(Window) == QColor(85, 85, 85); }));
  const int point = Dialog().CurrentPoint;
  QTest::keyClick(cells, Qt::Key_Down);
  ASSERT_TRUE(WaitFor([&] { return Dialog().CurrentPoint != point || Dialog().CurrentCell != 0; }));
  ASSERT_NE(cells->currentItem(), nullptr);
  EXPECT_EQ(QString::number(Dialog().CurrentCell), cells->currentItem()->text());
}

TEST_F(InputTest, LettersMoveTheFocusAndSelectTheFieldText) {
  LoadSample();
  for (auto [key, field] :
       {std::pair{Qt::Key_X, TargetXField}, {Qt::Key_Y, TargetYField}, {Qt::Key_Z, TargetZField}}) {
    QTest::keyClick(View(), key);
    QLineEdit* edit = Window.Column()->Field(field);
    EXPECT_TRUE(WaitFor([&] { return edit->hasFocus(); }));
    EXPECT_EQ(edit->selectedText(), edit->text());
  }
  QLineEdit* z = Window.Column()->Field(TargetZField);
  QTest::keyClicks(z, "2.5");
  EXPECT_EQ(z->text(), "2.5"); // typing replaces the selected text
  QTest::keyClick(z, Qt::Key_Return);
  QTest::keyClick(z, Qt::Key_Escape);
  Settle();
  EXPECT_TRUE(Window.isVisible());
  QTest::keyClick(z, Qt::Key_W);
  EXPECT_TRUE(WaitFor([&] { return View()->hasFocus(); }));
}

} // namespace
