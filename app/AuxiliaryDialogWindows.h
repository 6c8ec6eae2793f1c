#pragma once

#include "AuxiliaryDialogs.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace selvane {

// The About box: a title-less box with a short text and OK.
class AboutWindow : public QDialog {
  Q_OBJECT
public:
  explicit AboutWindow(QWidget* parent);
};

// Set Radius: the radius of the pointing sphere and of new point markers.
class SetRadiusWindow : public QDialog {
  Q_OBJECT
public:
  SetRadiusWindow(SetRadiusDialog& values, QWidget* parent);
  void Refresh();
  QLineEdit* RadiusField() const { return Radius; }
  std::function<void()> Accepted; // runs after the field was read and the box hidden

private:
  void OnOk();
  SetRadiusDialog& Values;
  QLineEdit* Radius;
};

// Make Transform: radius of support, number of frames, number of cycles.
class MakeTransformWindow : public QDialog {
  Q_OBJECT
public:
  MakeTransformWindow(MakeTransformDialog& values, QWidget* parent);
  void Refresh();
  QLineEdit* SupportRadiusField() const { return SupportRadius; }
  QLineEdit* FrameCountField() const { return FrameCount; }
  QLineEdit* CycleCountField() const { return CycleCount; }
  QLabel* SuggestedRadiusLabel() const { return Suggestion; }
  std::function<void()> Accepted; // runs after the fields were read and the box hidden

private:
  void OnOk();
  MakeTransformDialog& Values;
  QLineEdit* SupportRadius;
  QLineEdit* FrameCount;
  QLineEdit* CycleCount;
  // Beside the radius: the radius the last centres suggest, and a button that takes it.
  QLabel* Suggestion;
  QPushButton* UseSuggestion;
};

} // namespace selvane
