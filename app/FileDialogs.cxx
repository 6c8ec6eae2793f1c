#include "FileDialogs.h"

#include <QFileDialog>

namespace selvane {

QStringList NameFilters(const std::vector<FileFilter>& filters) {
  QStringList result;
  for (const auto& filter : filters) {
    const QString pattern = QString::fromStdString(filter.Pattern);
    QStringList patterns;
    if (pattern == "*.*") {
      patterns << "*";
    } else {
      patterns << pattern;
      if (pattern.toLower() != pattern)
        patterns << pattern.toLower();
      else if (pattern.toUpper() != pattern)
        patterns << pattern.toUpper();
    }
    result << QString::fromStdString(filter.Description) + " (" + patterns.join(' ') + ")";
  }
  return result;
}

std::unique_ptr<QFileDialog> MakeFileDialog(const FilePromptRequest& request, QWidget* parent) {
  auto dialog = std::make_unique<QFileDialog>(parent, QString::fromStdString(request.Title));
  // Qt's own dialog behaves the same on every desktop and can be driven by tests.
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  dialog->setAcceptMode(request.OpenMode ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  const bool mustExist = request.OpenMode && (request.Flags & FileMustExist);
  dialog->setFileMode(mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog->setOption(QFileDialog::DontConfirmOverwrite, !(request.Flags & OverwritePrompt));
  dialog->setNameFilters(NameFilters(request.Filters));
  dialog->selectFile(QString::fromStdString(request.InitialName));
  return dialog;
}

} // namespace selvane
