#pragma once

#include <QObject>

class QLabel;
class QStatusBar;

namespace selvane {

class MainDialog;

// The status bar: the model's file name, its points and cells, the current cell and point,
// and the fraction of the deformation shown. Refreshed after every render of the view.
class StatusLine : public QObject {
  Q_OBJECT
public:
  StatusLine(QStatusBar* bar, const MainDialog& viewer);
  void Refresh();
  // The last note or message, until the next one.
  void ShowNote(const QString& text);
  QString NoteText() const;

  QString ModelText() const;
  QString CurrentText() const;
  QString FractionText() const;

private:
  const MainDialog& Viewer;
  QLabel* Model;
  QLabel* Note;
  QLabel* Current;
  QLabel* Fraction;
};

} // namespace selvane
