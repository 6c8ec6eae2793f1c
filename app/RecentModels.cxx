#include "RecentModels.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>

namespace selvane {

namespace {

const char* const RecentKey = "RecentModels";
const char* const FolderKey = "LastFolder";

} // namespace

void NameApplicationForSettings() {
  QCoreApplication::setOrganizationName("Selvane");
  QCoreApplication::setApplicationName("Selvane");
}

QStringList RecentModels::Paths() const {
  QStringList paths = QSettings().value(RecentKey).toStringList();
  paths.removeDuplicates();
  while (paths.size() > Limit)
    paths.removeLast();
  return paths;
}

void RecentModels::Add(const QString& path) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  QStringList paths = this->Paths();
  paths.removeAll(absolute);
  paths.prepend(absolute);
  while (paths.size() > Limit)
    paths.removeLast();
  QSettings().setValue(RecentKey, paths);
}

QString RecentModels::LastFolder() const {
  return QSettings().value(FolderKey).toString();
}

void RecentModels::SetLastFolder(const QString& folder) {
  QSettings().setValue(FolderKey, folder);
}

} // namespace selvane
