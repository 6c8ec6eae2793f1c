// The real Qt window under a (virtual) display: layout, menu, drawing, sizing.
#include "MainWindow.h"
#include "AuxiliaryDialogWindows.h"
#include "ControlColumn.h"
#include "ControlIds.h"
#include "FileDialogs.h"
#include "MainDialog.h"
#include "MenuLayout.h"
#include "QtWindowing.h"
#include "RenderHost.h"
#include "StatusLine.h"
#include "TestMeshes.h"

#include "QtTestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QVTKOpenGLNativeWidget.h>
#include <vtkActor.h>
#include <vtkCamera.h>
#include <vtkMath.h>
#include <vtkPolyData.h>
#include <vtkRenderer.h>
#include <vtkSphereSource.h>

using namespace selvane;

namespace {

// Pixels of the 3-D view that are not the white background.
int DrawnPixels(MainWindow& window) {
  window.Dialog().Render();
  Settle();
  const QImage view = window.Host()->View()->grabFramebuffer();
  int drawn = 0;
  for (int y = 0; y < view.height(); ++y)
    for (int x = 0; x < view.width(); ++x)
      if (view.pixelColor(x, y).lightness() < 240)
        ++drawn;
  return drawn;
}

TEST(MainWindowTest, StartsWithTitleControlsAndStartUpMenu) {
  MainWindow window;
  window.show();
  Settle();
  EXPECT_EQ(window.windowTitle(), "Selvane");

  QStringList labels;
  for (auto* label : window.findChildren<QLabel*>())
    labels << label->text();
  for (const char* text : {"Cell points", "Cell neighbors", "X", "Y", "Z", "Point cells",
                           "Selected points", "Selected cells"})
    EXPECT_TRUE(labels.contains(text)) << text;
  for (int list :
       {SelectedCellsList, CellPointsList, SelectedPointsList, CellNeighborsList, PointCellsList})
    EXPECT_EQ(window.Column()->ListBox(list)->isSortingEnabled(), list != CellPointsList);
  for (int field : {CurrentXField, CurrentYField, CurrentZField}) {
    EXPECT_TRUE(window.Column()->Field(field)->isReadOnly());
    // Greyed and out of the tab order, but its text can be selected and copied.
    EXPECT_EQ(window.Column()->Field(field)->focusPolicy(), Qt::ClickFocus);
  }
  EXPECT_EQ(window.Column()->Field(TargetXField)->text(), "0");

  int items = 0;
  for (const MenuRow& row : MainMenuLayout()) {
    if (row.RowKind != MenuRow::Item)
      continue;
    ++items;
    QAction* action = window.MenuItem(row.Command);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QString::fromLatin1(row.Text));
    EXPECT_EQ(action->isEnabled(), !row.Greyed) << row.Text;
  }
  EXPECT_EQ(items, 44);
  for (int enabled : {CmdOpenModel, CmdExit, CmdClearSelectedPoints, CmdSetPointer, CmdAbout})
    EXPECT_TRUE(window.MenuItem(enabled)->isEnabled());
}

TEST(MainWindowTest, DrawsThePlaceholderThenTheOpenedModel) {
  MainWindow window;
  window.show();
  Settle();
  const int placeholder = DrawnPixels(window);
  EXPECT_GT(placeholder, 50) << "the placeholder text is drawn";

  ASSERT_TRUE(window.Dialog().OpenModelFile(SampleModel)) << window.Windowing().Messages.back();
  const int model = DrawnPixels(window);
  EXPECT_GT(model, placeholder * 2);
  EXPECT_FALSE(window.MenuItem(CmdClearTransform)->isEnabled());
  EXPECT_TRUE(window.MenuItem(CmdSaveModelAs)->isEnabled());
  EXPECT_TRUE(window.MenuItem(CmdSelectPoint)->isEnabled());
  EXPECT_FALSE(window.MenuItem(CmdSelectCellsPoints)->isEnabled());

  // The model is drawn in its named colours: light grey and light pink are both present.
  const QImage view = window.Host()->View()->grabFramebuffer();
  int grey = 0, pink = 0;
  for (int y = 0; y < view.height(); ++y)
    for (int x = 0; x < view.width(); ++x) {
      const QColor c = view.pixelColor(x, y);
      if (c.red() > 60 && std::abs(c.red() - c.green()) < 8 && std::abs(c.green() - c.blue()) < 8 &&
          c.red() < 235)
        ++grey;
      if (c.red() > 120 && c.red() - c.green() > 30 && c.blue() - c.green() > 3)
        ++pink;
    }
  EXPECT_GT(grey, 100);
  EXPECT_GT(pink, 100);
}

TEST(MainWindowTest, ASecondModelFillsTheViewAsOnAFreshStart) {
  // A small grid at the origin, then a model hundreds of units across, far from it.
  const TempDir dir;
  ASSERT_TRUE(WriteLegacyModel(MakeBoxModel(0, 0, 0, 6, 6, 0, false), dir.File("grid.vtk")));
  ASSERT_TRUE(WriteLegacyModel(MakeBoxModel(1000, 2000, -500, 1400, 2300, -300, false),
                               dir.File("large.vtk")));
  MainWindow fresh;
  fresh.show();
  Settle();
  ASSERT_TRUE(fresh.Dialog().OpenModelFile(dir.File("large.vtk")));
  const int freshPixels = DrawnPixels(fresh);
  fresh.hide();

  MainWindow second;
  second.show();
  Settle();
  ASSERT_TRUE(second.Dialog().OpenModelFile(dir.File("grid.vtk")));
  DrawnPixels(second);
  ASSERT_TRUE(second.Dialog().OpenModelFile(dir.File("large.vtk")));
  const int secondPixels = DrawnPixels(second);
  EXPECT_GT(freshPixels, 2000);
  EXPECT_NEAR(secondPixels, freshPixels, freshPixels / 20);
}

TEST(MainWindowTest, HoldsItsMinimumSizeAndGrowsTheSelectionLists) {
  MainWindow window;
  window.show();
  Settle();
  window.resize(100, 100);
  Settle();
  EXPECT_GE(window.width(), 500);
  EXPECT_GE(window.height(), 380);

  window.resize(900, 700);
  Settle();
  const int cy = window.Column()->height();
  EXPECT_EQ(window.Column()->ListBox(SelectedPointsList)->height(), cy - 176);
  EXPECT_EQ(window.Column()->ListBox(SelectedCellsList)->height(), cy - 260);
  EXPECT_EQ(window.Column()->ListBox(CellPointsList)->height(), 61);
  EXPECT_GT(window.Host()->width(), 900 - window.Column()->width() - 10);
}

TEST(MainWindowTest, EnterAndEscapeDoNotCloseTheWindow) {
  MainWindow window;
  window.show();
  Settle();
  for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(window.Column()->Field(TargetXField), &press);
    QKeyEvent pressWindow(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&window, &pressWindow);
    Settle();
    EXPECT_TRUE(window.isVisible());
  }
  window.RunCommand(CmdExit);
  Settle();
  EXPECT_FALSE(window.isVisible());
}

TEST(MainWindowTest, FieldsShowSixSignificantDigitsAndParseTypedNumbers) {
  MainWindow window;
  const float target[3] = {1.23456789f, -0.5f, 1e-7f};
  const float current[3] = {123456.7f, 0, 2};
  window.Windowing().WriteCoordinateFields(target, current);
  EXPECT_EQ(window.Column()->Field(TargetXField)->text(), "1.23457");
  EXPECT_EQ(window.Column()->Field(CurrentXField)->text(), "123457");
  EXPECT_EQ(window.Column()->Field(TargetZField)->text(), "1e-07");

  window.Column()->Field(TargetYField)->setText(" 2.25 ");
  float readTarget[3] = {9, 9, 9}, readCurrent[3] = {9, 9, 9};
  EXPECT_TRUE(window.Windowing().ReadCoordinateFields(readTarget, readCurrent));
  EXPECT_FLOAT_EQ(readTarget[1], 2.25f);

  window.Windowing().MessagesToStandardError = true; // no modal box in a test
  window.Column()->Field(TargetZField)->setText("abc");
  readTarget[0] = 7;
  readCurrent[0] = 9;
  EXPECT_FALSE(window.Windowing().ReadCoordinateFields(readTarget, readCurrent));
  EXPECT_FLOAT_EQ(readTarget[0], 1.23457f); // fields before the bad one are read
  EXPECT_FLOAT_EQ(readCurrent[0], 9);       // fields after it are not
  EXPECT_EQ(window.Windowing().Messages.size(), 1u);
}

TEST(MainWindowTest, AuxiliaryDialogsShowTheirDefaultsAndKeepTypedValues) {
  MainWindow window;
  window.show();
  Settle();
  window.RunCommand(CmdTransform); // greyed before a model: choosing it does nothing here
  window.Windowing().ShowDialog(AuxiliaryDialog::MakeTransform);
  Settle();
  MakeTransformWindow* transform = window.MakeTransformBox();
  EXPECT_TRUE(transform->isVisible());
  EXPECT_EQ(transform->windowTitle(), "Make Transform");
  EXPECT_EQ(transform->SupportRadiusField()->text(), "0.5");
  EXPECT_EQ(transform->FrameCountField()->text(), "25");
  EXPECT_EQ(transform->CycleCountField()->text(), "2");
  transform->FrameCountField()->setText("7");
  transform->reject(); // Cancel hides without reading
  EXPECT_FALSE(transform->isVisible());
  EXPECT_EQ(window.Dialog().MakeTransformBox.FrameCount, 25);
  window.Windowing().ShowDialog(AuxiliaryDialog::MakeTransform);
  EXPECT_EQ(transform->FrameCountField()->text(), "7"); // typed text stays

  window.RunCommand(CmdSetPointer);
  Settle();
  SetRadiusWindow* radius = window.SetRadiusBox();
  EXPECT_TRUE(radius->isVisible());
  EXPECT_EQ(radius->windowTitle(), "Set Radius");
  EXPECT_EQ(radius->RadiusField()->text(), "0.03");
  ASSERT_TRUE(window.Dialog().OpenModelFile(SampleModel));
  // The sample's largest extent is a little over 8: the box shows the derived radius while
  // it is open.
  EXPECT_EQ(radius->RadiusField()->text(), FormatCoordinate(window.Dialog().PointerRadius));
  EXPECT_NEAR(window.Dialog().PointerRadius, 0.016f, 2e-4);

  radius->RadiusField()->setText("0.1");
  QTest::keyClick(radius->RadiusField(), Qt::Key_Return); // OK is the default button
  Settle();
  EXPECT_FALSE(radius->isVisible());
  EXPECT_FLOAT_EQ(window.Dialog().PointerRadius, 0.1f);
  EXPECT_NEAR(window.Dialog().PointingSphere->GetRadius(), 0.1, 1e-7);

  window.RunCommand(CmdAbout);
  Settle();
  EXPECT_TRUE(window.AboutBox()->isVisible());
  EXPECT_TRUE(window.AboutBox()->windowTitle().isEmpty());
}

TEST(MainWindowTest, AxesAndLabelsAppearInTheView) {
  MainWindow window;
  window.show();
  Settle();
  ASSERT_TRUE(window.Dialog().OpenModelFile(SampleModel));
  window.Dialog().Render();
  Settle();
  const QImage view = window.Host()->View()->grabFramebuffer();
  int green = 0, red = 0;
  for (int y = 0; y < view.height(); ++y)
    for (int x = 0; x < view.width(); ++x) {
      const QColor c = view.pixelColor(x, y);
      if (c.green() > 150 && c.red() < 80 && c.blue() < 80)
        ++green; // the z label
      if (c.red() > 180 && c.green() < 60 && c.blue() < 60)
        ++red; // the x label (and the small pointing sphere)
    }
  EXPECT_GT(green, 20);
  EXPECT_GT(red, 20);
  window.Dialog().OnScreenShot();
  Settle();
  const QImage clean = window.Host()->View()->grabFramebuffer();
  int greenAfter = 0;
  for (int y = 0; y < clean.height(); ++y)
    for (int x = 0; x < clean.width(); ++x) {
      const QColor c = clean.pixelColor(x, y);
      if (c.green() > 150 && c.red() < 80 && c.blue() < 80)
        ++greenAfter;
    }
  EXPECT_EQ(greenAfter, 0);
}

TEST(FileDialogTest, FiltersMatchBothCasesAndDialogsFollowTheirFlags) {
  const QStringList filters = NameFilters({{"VTK formated Files", "*.VTK"}, {"All Files", "*.*"}});
  ASSERT_EQ(filters.size(), 2);
  EXPECT_EQ(filters[0], "VTK formated Files (*.VTK *.vtk)");
  EXPECT_EQ(filters[1], "All Files (*)");

  FilePromptRequest open{"Open File",
                         FileMustExist | HideReadOnly | OverwritePrompt,
                         {{"VTK formated Files", "*.VTK"}},
                         "*.vtk",
                         true};
  auto openDialog = MakeFileDialog(open, nullptr);
  EXPECT_EQ(openDialog->windowTitle(), "Open File");
  EXPECT_EQ(openDialog->acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(openDialog->fileMode(), QFileDialog::ExistingFile);
  EXPECT_TRUE(openDialog->defaultSuffix().isEmpty()); // typed names come back as typed

  FilePromptRequest transform{"Open Data File", HideReadOnly | OverwritePrompt, {}, ".ptt", true};
  EXPECT_EQ(MakeFileDialog(transform, nullptr)->fileMode(), QFileDialog::AnyFile);

  FilePromptRequest save{"Export Cells IDs",
                         HideReadOnly | OverwritePrompt,
                         {{"Cells IDs Files", "*.CID"}},
                         "*.cid",
                         false};
  auto saveDialog = MakeFileDialog(save, nullptr);
  EXPECT_EQ(saveDialog->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_FALSE(saveDialog->testOption(QFileDialog::DontConfirmOverwrite));
}

// The status line follows the model and the current cell and point; the Ctrl accelerators the
// menu shows are real shortcuts; the About box names the program and its version.
TEST(MainWindowTest, StatusLineAcceleratorsAndAbout) {
  MainWindow window;
  window.show();
  Settle();
  EXPECT_EQ(window.Status()->ModelText(), "No model");

  ASSERT_TRUE(window.Dialog().OpenModelFile(SampleModel));
  EXPECT_TRUE(window.Status()->ModelText().startsWith("sample.vtk: 800 points"))
      << window.Status()->ModelText().toStdString();
  window.Dialog().SetCurrentCell(7, 1);
  window.Dialog().Render();
  const QString current = window.Status()->CurrentText();
  EXPECT_TRUE(current.startsWith("cell 7, point ")) << current.toStdString();
  EXPECT_EQ(current, QString("cell 7, point %1").arg(window.Dialog().CurrentPoint));
  EXPECT_EQ(window.Status()->FractionText(), "deformation 0%");
  EXPECT_FALSE(window.Status()->DeformationSlider()->isEnabled()) << "no Transform yet";

  EXPECT_EQ(window.MenuItem(CmdOpenModel)->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(window.MenuItem(CmdSaveModelAs)->shortcut(), QKeySequence("Ctrl+S"));
  // Space belongs to the fields and the view, not to a menu shortcut.
  EXPECT_TRUE(window.MenuItem(CmdSelectPoint)->shortcut().isEmpty());

  auto* name = window.AboutBox()->findChild<QLabel*>("aboutName");
  ASSERT_NE(name, nullptr);
  EXPECT_TRUE(name->text().contains(QRegularExpression("^Selvane \\d+\\.\\d+")))
      << name->text().toStdString();
}

// No text of the column is cut: every label's text fits its label, and a coordinate with a
// sign and six digits fits its field, whatever the font's resolution (the test also runs with
// 144-dpi fonts).
TEST(MainWindowTest, ColumnTextIsNeverCut) {
  MainWindow window;
  window.show();
  Settle();
  for (auto* label : window.Column()->findChildren<QLabel*>()) {
    const QFontMetrics metrics(label->font());
    EXPECT_LE(metrics.horizontalAdvance(label->text()), label->contentsRect().width())
        << label->text().toStdString();
    EXPECT_LE(metrics.height(), label->contentsRect().height()) << label->text().toStdString();
  }
  const float target[3] = {-0.0147535f, -123.457f, -1.23457e-07f};
  window.Windowing().WriteCoordinateFields(target, target);
  for (int field :
       {CurrentXField, CurrentYField, CurrentZField, TargetXField, TargetYField, TargetZField}) {
    QLineEdit* edit = window.Column()->Field(field);
    const QFontMetrics metrics(edit->font());
    // The text area of a line edit is its contents less the style's frame and a margin of 2
    // pixels each side.
    const int room =
        edit->width() - 2 * edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) - 4;
    EXPECT_LE(metrics.horizontalAdvance(edit->text()), room)
        << edit->text().toStdString() << " in field " << field;
  }
  QLineEdit* current = window.Column()->Field(CurrentXField);
  current->selectAll();
  current->copy();
  EXPECT_EQ(QApplication::clipboard()->text(), current->text());
  EXPECT_EQ(current->text(), "-0.0147535");
}

// Markers and the pointing sphere keep a few pixels on screen whatever the model's size: at the
// default radius (0.2% of the model) they would be a pixel or two wide.
TEST(MainWindowTest, MarkersStayVisibleAtAnyModelSize) {
  MainWindow window;
  window.show();
  Settle();
  ASSERT_TRUE(window.Dialog().OpenModelFile(SampleModel));
  MainDialog& dialog = window.Dialog();
  // The point nearest the camera, so that nothing of the model hides its marker.
  vtkPolyData* model = dialog.Model();
  double eye[3];
  dialog.Renderer->GetActiveCamera()->GetPosition(eye);
  vtkIdType nearest = 0;
  double best = 1e300;
  for (vtkIdType id = 0; id < model->GetNumberOfPoints(); ++id) {
    const double d = vtkMath::Distance2BetweenPoints(model->GetPoint(id), eye);
    if (d < best) {
      best = d;
      nearest = id;
    }
  }
  dialog.SetCurrentPoint(static_cast<int>(nearest));
  dialog.ToggleCurrentPoint();
  dialog.OnScreenShot(); // only the model and the markers
  Settle();
  const QImage view = window.Host()->View()->grabFramebuffer();
  int marker = 0; // the highlighted marker is azure
  for (int y = 0; y < view.height(); ++y)
    for (int x = 0; x < view.width(); ++x) {
      const QColor c = view.pixelColor(x, y);
      if (c.blue() > 120 && c.red() < 60 && c.blue() - c.green() > 40)
        ++marker;
    }
  EXPECT_GE(marker, 25) << "the selected point's marker is a visible disc";
  EXPECT_FLOAT_EQ(dialog.SelectedPoints().Markers()[0].Radius, dialog.PointerRadius)
      << "its radius is kept";
  EXPECT_GT(dialog.PointingSphereActor->GetScale()[0], 1.0);
}

// Leaving with selections not written to a file asks first; after an export it does not.
TEST(MainWindowTest, ExitAsksWhenSelectionsChangedSinceTheirExport) {
  MainWindow window;
  window.show();
  Settle();
  ASSERT_TRUE(window.Dialog().OpenModelFile(SampleModel));
  window.RunCommand(CmdExit); // nothing selected: closes at once
  Settle();
  EXPECT_FALSE(window.isVisible());

  window.show();
  Settle();
  window.Dialog().ToggleCurrentPoint();
  int asked = 0;
  auto answer = [&](QMessageBox::StandardButton button) {
    QTimer::singleShot(50, [&asked, button] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        ++asked;
        box->button(button)->click();
      }
    });
  };
  answer(QMessageBox::No);
  window.RunCommand(CmdExit);
  Settle();
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(window.isVisible()) << "No keeps the window";

  window.Dialog().MarkPointSelectionSaved(); // as an export does
  window.RunCommand(CmdExit);
  Settle();
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(window.isVisible());

  window.show();
  Settle();
  window.Dialog().ToggleCurrentPoint(); // withdrawn: a change again
  answer(QMessageBox::Yes);
  window.RunCommand(CmdExit);
  Settle();
  EXPECT_EQ(asked, 2);
  EXPECT_FALSE(window.isVisible());
}

} // namespace
