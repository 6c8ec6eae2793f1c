#pragma once

#include "MainDialog.h"

#include <QObject>

namespace selvane {

class MainWindow;

// Sees every key and mouse press addressed to the main window or its children before they
// are delivered, handles the viewer's keys and the pick click, and lets the rest through.
class InputInterceptor : public QObject {
  Q_OBJECT
public:
  explicit InputInterceptor(MainWindow& window);

  static MainDialog::Key ViewerKey(int qtKey);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  bool OnKeyPress(QObject* watched, QEvent* event);
  bool OnMousePress(QObject* watched, QEvent* event);
  MainWindow& Window;
};

} // namespace selvane
