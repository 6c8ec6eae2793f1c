// The model files opened last and the folder last used in a file prompt, kept across runs in
// the user's settings (QSettings under the organisation and application names set by
// NameApplicationForSettings; tests point QSettings at a folder of their own).
#pragma once

#include <QString>
#include <QStringList>

namespace selvane {

// Sets the organisation and application names the settings are kept under.
void NameApplicationForSettings();

class RecentModels {
public:
  static constexpr int Limit = 8;

  // Newest first, at most Limit, each once.
  QStringList Paths() const;
  // Puts an opened model's absolute path first, dropping the oldest past the limit.
  void Add(const QString& path);

  // "" until a file was chosen or opened.
  QString LastFolder() const;
  void SetLastFolder(const QString& folder);
};

} // namespace selvane
