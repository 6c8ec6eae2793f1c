#include "QtWindowing.h"

#include "CommandTable.h"

#include "WorkRunner.h"

#include "AuxiliaryDialogWindows.h"
#include "ControlColumn.h"
#include "ControlIds.h"
#include "FileDialogs.h"
#include "RenderHost.h"

#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QVTKOpenGLNativeWidget.h>
#include <vtkGenericOpenGLRenderWindow.h>

#include <iostream>
#include <memory>

namespace selvane {

namespace {
constexpr int TargetFields[3] = {TargetXField, TargetYField, TargetZField};
constexpr int CurrentFields[3] = {CurrentXField, CurrentYField, CurrentZField};
} // namespace

QString FormatCoordinate(float value) {
  return QString::number(value, 'g', 6);
}

QtWindowing::QtWindowing(QWidget* window, ControlColumn* column, RenderHost* host,
                         std::map<int, QAction*> menuItems)
    : Window(window), Column(column), Host(host), MenuItems(std::move(menuItems)) {}

void QtWindowing::ClearListBox(int list) {
  QSignalBlocker block(Column->ListBox(list));
  Column->ListBox(list)->clear();
  ListEntries[list].clear();
}

void QtWindowing::AddListBoxText(int list, const std::string& text) {
  QListWidget* box = Column->ListBox(list);
  QSignalBlocker block(box);
  const QString entry = QString::fromStdString(text);
  auto* item = new QListWidgetItem(entry);
  box->addItem(item); // the box owns the item
  ListEntries[list].insert(entry, item);
}

void QtWindowing::FillListBox(int list, const std::vector<std::string>& texts) {
  QListWidget* box = Column->ListBox(list);
  QSignalBlocker block(box);
  // A sorted box sorts once at the end instead of placing each item as it comes.
  const bool sorted = box->isSortingEnabled();
  box->setSortingEnabled(false);
  box->clear();
  auto& entries = ListEntries[list];
  entries.clear();
  entries.reserve(static_cast<int>(texts.size()));
  for (const std::string& text : texts) {
    auto* item = new QListWidgetItem(QString::fromStdString(text));
    box->addItem(item); // the box owns the item
    entries.insert(item->text(), item);
  }
  if (sorted) {
    box->sortItems(Qt::AscendingOrder);
    box->setSortingEnabled(true);
  }
}

int QtWindowing::FindListBoxText(int list, const std::string& text) const {
  auto entries = ListEntries.find(list);
  if (entries == ListEntries.end())
    return -1;
  QListWidgetItem* item = entries->second.value(QString::fromStdString(text), nullptr);
  return item ? Column->ListBox(list)->row(item) : -1;
}

void QtWindowing::SelectListBoxEntry(int list, int index) {
  QListWidget* box = Column->ListBox(list);
  // The program's own selections must not look like the user's choice.
  QSignalBlocker block(box);
  if (index < 0 || index >= box->count()) {
    box->clearSelection();
    box->setCurrentRow(-1);
  } else {
    box->setCurrentRow(index);
    box->scrollToItem(box->item(index));
  }
  box->viewport()->update();
}

void QtWindowing::DeleteListBoxEntry(int list, int index) {
  QListWidget* box = Column->ListBox(list);
  QSignalBlocker block(box);
  if (index < 0 || index >= box->count())
    return;
  // Qt would pass the selection on to the next entry; a deleted selected entry leaves none.
  const bool wasSelected = box->item(index)->isSelected();
  std::unique_ptr<QListWidgetItem> item(box->takeItem(index));
  if (wasSelected) {
    box->clearSelection();
    box->setCurrentRow(-1);
  }
  auto& entries = ListEntries[list];
  auto found = entries.find(item->text());
  if (found != entries.end() && found.value() == item.get())
    entries.erase(found);
}

std::string QtWindowing::SelectedListBoxText(int list) const {
  const auto selected = Column->ListBox(list)->selectedItems();
  return selected.isEmpty() ? std::string() : selected.front()->text().toStdString();
}

void QtWindowing::WriteCoordinateFields(const float target[3], const float current[3]) {
  for (int i = 0; i < 3; ++i) {
    Column->Field(TargetFields[i])->setText(FormatCoordinate(target[i]));
    Column->Field(CurrentFields[i])->setText(FormatCoordinate(current[i]));
  }
}

bool QtWindowing::ReadCoordinateFields(float target[3], float current[3]) {
  float* destinations[6] = {&target[0],  &target[1],  &target[2],
                            &current[0], &current[1], &current[2]};
  const int fields[6] = {TargetXField,  TargetYField,  TargetZField,
                         CurrentXField, CurrentYField, CurrentZField};
  for (int i = 0; i < 6; ++i) {
    QLineEdit* edit = Column->Field(fields[i]);
    bool ok = false;
    const float value = edit->text().trimmed().toFloat(&ok);
    if (!ok) {
      ShowMessage("Please enter a number.");
      edit->setFocus();
      edit->selectAll();
      return false;
    }
    *destinations[i] = value;
  }
  return true;
}

void QtWindowing::EnableMenuItem(int command) {
  for (const CommandRow& row : CommandRows())
    if (row.RowKind == CommandRow::Item && row.EnabledBy == Enabling::WithCommand &&
        row.EnabledWith == command)
      EnableMenuItem(row.Command);
  auto found = MenuItems.find(command);
  if (found == MenuItems.end())
    return;
  // Nothing greys an item again: the window re-enables it after busy work from this mark.
  found->second->setProperty(EnabledByViewer, true);
  if (!Runner || !Runner->Busy())
    found->second->setEnabled(true);
}

void QtWindowing::SetFocusTo(int control) {
  if (control == RenderHostControl)
    Host->View()->setFocus(Qt::OtherFocusReason);
  else if (control >= CurrentXField && control <= TargetZField)
    Column->Field(control)->setFocus(Qt::OtherFocusReason);
  else
    Column->ListBox(control)->setFocus(Qt::OtherFocusReason);
}

void QtWindowing::SelectAllText(int field) {
  Column->Field(field)->selectAll();
}

bool QtWindowing::AskFileName(const FilePromptRequest& request, std::string& chosen) {
  auto dialog = MakeFileDialog(request, Window);
  // A bare name or pattern starts in the folder last used; a name with a folder, in its own.
  const QString folder = PromptFolder ? PromptFolder() : QString();
  if (!folder.isEmpty() && request.InitialName.find('/') == std::string::npos &&
      QFileInfo(folder).isDir()) {
    dialog->setDirectory(folder);
    dialog->selectFile(QString::fromStdString(request.InitialName));
  }
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
    return false;
  chosen = dialog->selectedFiles().front().toStdString();
  if (FileChosen)
    FileChosen(chosen);
  return true;
}

void QtWindowing::ModelOpened(const std::string& path) {
  if (ModelFileOpened)
    ModelFileOpened(path);
}

void QtWindowing::ShowStatus(const std::string& text) {
  if (StatusShown)
    StatusShown(text);
}

void QtWindowing::ShowMessage(const std::string& text) {
  Messages.push_back(text);
  ShowStatus(text.substr(0, text.find('\n')));
  if (MessagesToStandardError) {
    std::cerr << "selvane: " << text << '\n';
    return;
  }
  QMessageBox::warning(Window, Window->windowTitle(), QString::fromStdString(text));
}

bool QtWindowing::Confirm(const std::string& question) {
  if (MessagesToStandardError) {
    // No box to answer in a test: the work goes on, as without a window.
    std::cerr << "selvane: " << question << '\n';
    return true;
  }
  return QMessageBox::question(Window, Window->windowTitle(), QString::fromStdString(question),
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void QtWindowing::SetDialogs(AboutWindow* about, SetRadiusWindow* setRadius,
                             MakeTransformWindow* transform) {
  About = about;
  SetRadius = setRadius;
  MakeTransform = transform;
}

void QtWindowing::ShowDialog(AuxiliaryDialog dialog) {
  QDialog* box = dialog == AuxiliaryDialog::About       ? static_cast<QDialog*>(About)
                 : dialog == AuxiliaryDialog::SetRadius ? static_cast<QDialog*>(SetRadius)
                                                        : static_cast<QDialog*>(MakeTransform);
  if (!box)
    return;
  // Modeless: the boxes keep their typed values between showings.
  box->show();
  box->raise();
  box->activateWindow();
}

void QtWindowing::RefreshDialog(AuxiliaryDialog dialog) {
  if (dialog == AuxiliaryDialog::SetRadius && SetRadius)
    SetRadius->Refresh();
  else if (dialog == AuxiliaryDialog::MakeTransform && MakeTransform)
    MakeTransform->Refresh();
}

vtkRenderWindow* QtWindowing::ViewRenderWindow() {
  return Host->View()->renderWindow();
}

vtkRenderWindowInteractor* QtWindowing::ViewInteractor() {
  return Host->View()->interactor();
}

void QtWindowing::RunInBackground(BackgroundJob job) {
  if (Runner) {
    Runner->Run(std::move(job));
    return;
  }
  WindowingLayer::RunInBackground(std::move(job));
}

void QtWindowing::PlayFrames(long long count, std::function<void(long long k)> frame,
                             std::function<void()> finished) {
  auto present = [this] {
    Host->View()->update();
    if (FramePresented)
      FramePresented();
  };
  if (Runner) {
    Runner->Play(count, std::move(frame), std::move(finished), present);
    return;
  }
  WindowingLayer::PlayFrames(count, std::move(frame), std::move(finished));
}

void QtWindowing::ViewRendered() {
  if (Rendered)
    Rendered();
}

void QtWindowing::SelectionChanged(int list, long long index) {
  if (SelectionListChanged)
    SelectionListChanged(list, index);
}

void QtWindowing::HistoryChanged() {
  if (UndoHistoryChanged)
    UndoHistoryChanged();
}

void QtWindowing::PresentFrame() {
  // A render inside a running handler only draws into the view's buffer; the widget shows it
  // when its paint event runs. Keys and clicks stay queued until the handler ends.
  Host->View()->update();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  if (FramePresented)
    FramePresented();
}

} // namespace selvane
