#pragma once

#include <QObject>

class QLabel;
class QSlider;
class QStatusBar;

namespace selvane {

class MainDialog;

// The status bar: the model's file name, its points and cells, the current cell and point,
// and the fraction of the deformation shown, with a slider that sets it once a Transform has
// been fitted. Refreshed after every render of the view.
class StatusLine : public QObject {
  Q_OBJECT
public:
  StatusLine(QStatusBar* bar, MainDialog& viewer);
  void Refresh();
  // The last note or message, until the next one.
  void ShowNote(const QString& text);
  QString NoteText() const;
  QSlider* DeformationSlider() const { return Slider; }
  // While work runs the slider waits, as the commands do.
  void SetBusy(bool busy);

  QString ModelText() const;
  QString CurrentText() const;
  QString FractionText() const;

private:
  MainDialog& Viewer;
  QLabel* Model;
  QLabel* Note;
  QLabel* Current;
  QLabel* Fraction;
  QSlider* Slider;
  bool Busy = false;
  bool Refreshing = false;
};

} // namespace selvane
