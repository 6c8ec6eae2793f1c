#pragma once

#include <QWidget>

class QVTKOpenGLNativeWidget;

namespace selvane {

// Hosts the 3-D view two pixels inside a one-pixel frame that is blue while the view has
// the keyboard focus and grey when it has not.
class RenderHost : public QWidget {
  Q_OBJECT
public:
  explicit RenderHost(QWidget* parent = nullptr);

  QVTKOpenGLNativeWidget* View() const { return ViewWidget; }
  int HasFocus = 1; // starts blue although the view has no focus yet
  void SetFocusState(int focused);

protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  QVTKOpenGLNativeWidget* ViewWidget;
};

} // namespace selvane
