// The rules of the window system that the viewer relies on, run against the Qt layer of the
// program and against the fake that every other viewer and command test drives the viewer
// with: when one of them changes a rule, this test fails for it, so the two cannot drift.
#include "ControlColumn.h"
#include "ControlIds.h"
#include "FakeWindowing.h"
#include "QtTestSupport.h"
#include "QtWindowing.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <QWidget>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

using namespace selvane;

namespace {

const int AllFields[6] = {CurrentXField, CurrentYField, CurrentZField,
                          TargetXField,  TargetYField,  TargetZField};

// The fake, with the user's side of it: what the user types and answers, what is shown.
class FakeSide {
public:
  WindowingLayer& Layer() { return Windowing; }
  void Type(int field, const std::string& text) { Windowing.FieldTexts[field] = text; }
  std::string FieldText(int field) { return Windowing.FieldTexts[field]; }
  int Focused() const { return Windowing.FocusedControl; }
  int TextSelected() const { return Windowing.TextSelectedField; }
  std::vector<std::string> Entries(int list) { return Windowing.ListBoxes[list]; }
  void AnswerNextPrompt(const std::optional<std::string>& path) { Windowing.QueueFileAnswer(path); }
  const std::vector<std::string>& Messages() const { return Windowing.Messages; }

private:
  FakeWindowing Windowing;
};

// The Qt layer on the program's own control column, in a shown window.
class QtSide {
public:
  QtSide() : Column(new ControlColumn(&Window)), Windowing(&Window, Column, nullptr, {}) {
    Windowing.MessagesToStandardError = true; // no message box to answer
    Window.show();
    Settle();
  }
  WindowingLayer& Layer() { return Windowing; }
  void Type(int field, const std::string& text) {
    Column->Field(field)->setText(QString::fromStdString(text));
  }
  std::string FieldText(int field) { return Column->Field(field)->text().toStdString(); }
  // The window's focus widget (the window itself need not be the active one).
  int Focused() {
    for (int field : AllFields)
      if (Window.focusWidget() == Column->Field(field))
        return field;
    return 0;
  }
  int TextSelected() {
    for (int field : AllFields)
      if (Column->Field(field)->hasSelectedText())
        return field;
    return 0;
  }
  std::vector<std::string> Entries(int list) {
    std::vector<std::string> texts;
    QListWidget* box = Column->ListBox(list);
    for (int row = 0; row < box->count(); ++row)
      texts.push_back(box->item(row)->text().toStdString());
    return texts;
  }
  // Answers the next file dialog as soon as it is open, as the user would: the typed name
  // and OK, or Cancel.
  void AnswerNextPrompt(const std::optional<std::string>& path) {
    QTimer::singleShot(50, [this, path] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog) {
        AnswerNextPrompt(path);
        return;
      }
      if (!path) {
        dialog->reject();
        return;
      }
      auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
      ASSERT_NE(name, nullptr);
      name->setText(QString::fromStdString(*path));
      static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept, as its OK does
    });
  }
  const std::vector<std::string>& Messages() const { return Windowing.Messages; }

private:
  QWidget Window;
  ControlColumn* Column; // owned by Window
  QtWindowing Windowing;
};

template <class Side> class WindowingContract : public ::testing::Test {
protected:
  Side S;
  WindowingLayer& W = S.Layer();
};

using Sides = ::testing::Types<FakeSide, QtSide>;
TYPED_TEST_SUITE(WindowingContract, Sides);

TYPED_TEST(WindowingContract, ListBoxesSortFindSelectAndDeleteAlike) {
  auto& w = this->W;
  auto& s = this->S;
  // The selection lists and the neighbour lists sort as text; the cell's points keep the
  // order they were added in.
  for (int list : {SelectedCellsList, SelectedPointsList, CellNeighborsList, PointCellsList}) {
    for (const char* text : {"10", "9", "1", "2"})
      w.AddListBoxText(list, text);
    EXPECT_EQ(s.Entries(list), (std::vector<std::string>{"1", "10", "2", "9"})) << list;
  }
  for (const char* text : {"10", "9", "1"})
    w.AddListBoxText(CellPointsList, text);
  EXPECT_EQ(s.Entries(CellPointsList), (std::vector<std::string>{"10", "9", "1"}));

  const int list = SelectedPointsList;
  EXPECT_EQ(w.FindListBoxText(list, "2"), 2);
  EXPECT_EQ(w.FindListBoxText(list, "3"), -1);
  EXPECT_EQ(w.SelectedListBoxText(list), "");
  w.SelectListBoxEntry(list, 2);
  EXPECT_EQ(w.SelectedListBoxText(list), "2");

  // Deleting an entry before the selected one keeps the selection on its text; found
  // positions follow.
  w.DeleteListBoxEntry(list, 0);
  EXPECT_EQ(s.Entries(list), (std::vector<std::string>{"10", "2", "9"}));
  EXPECT_EQ(w.SelectedListBoxText(list), "2");
  EXPECT_EQ(w.FindListBoxText(list, "9"), 2);
  EXPECT_EQ(w.FindListBoxText(list, "1"), -1);
  // Positions outside the list delete nothing.
  w.DeleteListBoxEntry(list, 3);
  w.DeleteListBoxEntry(list, -1);
  EXPECT_EQ(s.Entries(list).size(), 3u);
  // Deleting the selected entry leaves nothing selected.
  w.DeleteListBoxEntry(list, 1);
  EXPECT_EQ(w.SelectedListBoxText(list), "");
  EXPECT_EQ(w.FindListBoxText(list, "2"), -1);

  // Selecting outside the list, or -1, clears the selection.
  w.SelectListBoxEntry(list, 1);
  EXPECT_EQ(w.SelectedListBoxText(list), "9");
  w.SelectListBoxEntry(list, 5);
  EXPECT_EQ(w.SelectedListBoxText(list), "");
  w.SelectListBoxEntry(list, 0);
  w.SelectListBoxEntry(list, -1);
  EXPECT_EQ(w.SelectedListBoxText(list), "");

  // Clearing empties the box; a text added again is found again.
  w.SelectListBoxEntry(list, 0);
  w.ClearListBox(list);
  EXPECT_TRUE(s.Entries(list).empty());
  EXPECT_EQ(w.SelectedListBoxText(list), "");
  EXPECT_EQ(w.FindListBoxText(list, "10"), -1);
  w.AddListBoxText(list, "10");
  EXPECT_EQ(w.FindListBoxText(list, "10"), 0);
}

TYPED_TEST(WindowingContract, FieldsShowSixSignificantDigitsAndReadNumbersWithAPoint) {
  auto& w = this->W;
  auto& s = this->S;
  const float target[3] = {1.5f, -0.000123456f, 1234567.0f};
  const float current[3] = {0.0f, 100.0f, -2.25e-7f};
  w.WriteCoordinateFields(target, current);
  EXPECT_EQ(s.FieldText(TargetXField), "1.5");
  EXPECT_EQ(s.FieldText(TargetYField), "-0.000123456");
  EXPECT_EQ(s.FieldText(TargetZField), "1.23457e+06");
  EXPECT_EQ(s.FieldText(CurrentXField), "0");
  EXPECT_EQ(s.FieldText(CurrentYField), "100");
  EXPECT_EQ(s.FieldText(CurrentZField), "-2.25e-07");

  // What the user types: a decimal point whatever the locale, a sign, an exponent, blanks
  // around the number.
  s.Type(TargetXField, "+2.5");
  s.Type(TargetYField, " -1e-3 ");
  s.Type(TargetZField, "7");
  float readTarget[3] = {}, readCurrent[3] = {};
  ASSERT_TRUE(w.ReadCoordinateFields(readTarget, readCurrent));
  EXPECT_EQ(readTarget[0], 2.5f);
  EXPECT_EQ(readTarget[1], -1e-3f);
  EXPECT_EQ(readTarget[2], 7.0f);
  EXPECT_EQ(readCurrent[1], 100.0f);
  EXPECT_TRUE(s.Messages().empty());

  // A field without a number stops the reading there: one message, the values before it
  // kept, the field focused with its text selected for retyping.
  for (const char* bad : {"1,5", "", "abc", "2.5x"}) {
    SCOPED_TRACE(bad);
    const std::size_t before = s.Messages().size();
    s.Type(TargetYField, bad);
    float t[3] = {-9, -9, -9}, c[3] = {-9, -9, -9};
    EXPECT_FALSE(w.ReadCoordinateFields(t, c));
    ASSERT_EQ(s.Messages().size(), before + 1);
    EXPECT_EQ(s.Messages().back(), "Please enter a number.");
    EXPECT_EQ(t[0], 2.5f);
    EXPECT_EQ(t[1], -9.0f);
    EXPECT_EQ(c[0], -9.0f);
    EXPECT_EQ(s.Focused(), TargetYField);
    if (*bad) {
      EXPECT_EQ(s.TextSelected(), TargetYField);
    }
  }
}

TYPED_TEST(WindowingContract, FilePromptsGiveTheChosenPathOrLeaveItOnCancel) {
  auto& w = this->W;
  auto& s = this->S;
  const TempDir dir;
  const std::string existing = dir.File("pairs.ptt");
  std::ofstream(existing) << "1 2 3 4 5 6\n";
  const FilePromptRequest open{"Open Data File",
                               FileMustExist | HideReadOnly,
                               {{"PTT formated Files", "*.PTT"}},
                               "*.ptt",
                               true};
  std::string chosen = "*.ptt";
  s.AnswerNextPrompt(std::nullopt);
  EXPECT_FALSE(w.AskFileName(open, chosen));
  EXPECT_EQ(chosen, "*.ptt");
  s.AnswerNextPrompt(existing);
  ASSERT_TRUE(w.AskFileName(open, chosen));
  EXPECT_EQ(chosen, existing);

  const FilePromptRequest save{
      "Export Points", HideReadOnly, {{"Points Files", "*.PTS"}}, "*.pts", false};
  const std::string fresh = dir.File("new.pts");
  s.AnswerNextPrompt(fresh);
  ASSERT_TRUE(w.AskFileName(save, chosen));
  EXPECT_EQ(chosen, fresh);
}

} // namespace
