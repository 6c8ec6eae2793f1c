#include "RenderHost.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QVTKOpenGLNativeWidget.h>
#include <vtkGenericOpenGLRenderWindow.h>
#include <vtkNew.h>

namespace selvane {

RenderHost::RenderHost(QWidget* parent) : QWidget(parent), ViewWidget(nullptr) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 1, 1);
  ViewWidget = new QVTKOpenGLNativeWidget(this);
  vtkNew<vtkGenericOpenGLRenderWindow> window;
  ViewWidget->setRenderWindow(window);
  ViewWidget->setFocusPolicy(Qt::StrongFocus);
  ViewWidget->installEventFilter(this);
  layout->addWidget(ViewWidget);
  setFocusProxy(ViewWidget);
}

void RenderHost::SetFocusState(int focused) {
  if (focused == HasFocus)
    return;
  HasFocus = focused;
  repaint();
}

bool RenderHost::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ViewWidget) {
    if (event->type() == QEvent::FocusIn)
      SetFocusState(1);
    else if (event->type() == QEvent::FocusOut)
      SetFocusState(0);
  }
  return QWidget::eventFilter(watched, event);
}

void RenderHost::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(QPen(HasFocus ? QColor(0, 0, 221) : QColor(85, 85, 85), 1));
  painter.drawRect(0, 0, width() - 1, height() - 1);
}

} // namespace selvane
