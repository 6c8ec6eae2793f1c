#include "InputInterceptor.h"

#include "MainWindow.h"
#include "RenderHost.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QVTKOpenGLNativeWidget.h>
#include <QWidget>

namespace selvane {

namespace {

bool IsWithin(QObject* object, const QWidget* ancestor) {
  auto* widget = qobject_cast<QWidget*>(object);
  return widget && (widget == ancestor || ancestor->isAncestorOf(widget));
}

} // namespace

InputInterceptor::InputInterceptor(MainWindow& window) : QObject(&window), Window(window) {}

MainDialog::Key InputInterceptor::ViewerKey(int qtKey) {
  using K = MainDialog::Key;
  switch (qtKey) {
  case Qt::Key_Space:
    return K::Space;
  case Qt::Key_Left:
    return K::Left;
  case Qt::Key_Up:
    return K::Up;
  case Qt::Key_Right:
    return K::Right;
  case Qt::Key_Down:
    return K::Down;
  case Qt::Key_W:
    return K::W;
  case Qt::Key_X:
    return K::X;
  case Qt::Key_Y:
    return K::Y;
  case Qt::Key_Z:
    return K::Z;
  default:
    return K::Other;
  }
}

bool InputInterceptor::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
  case QEvent::KeyPress:
  case QEvent::KeyRelease:
    if (IsWithin(watched, &Window))
      return OnKeyPress(watched, event);
    break;
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonDblClick:
    if (IsWithin(watched, &Window))
      return OnMousePress(watched, event);
    break;
  default:
    break;
  }
  return QObject::eventFilter(watched, event);
}

bool InputInterceptor::OnKeyPress(QObject*, QEvent* event) {
  auto* keyEvent = static_cast<QKeyEvent*>(event);
  MainDialog& dialog = Window.Dialog();
  if (keyEvent->key() == Qt::Key_Control) {
    dialog.SetCtrlDown(event->type() != QEvent::KeyRelease);
    return false;
  }
  const MainDialog::Key key = ViewerKey(keyEvent->key());
  if (!dialog.InterceptsKey(key, Window.Host()->HasFocus == 1))
    return false;
  // While work runs the selections stay as they are: Space waits like the Select commands.
  if (key == MainDialog::Key::Space && Window.Busy()) {
    event->accept();
    return true;
  }
  // A consumed key must not reach the focused control in any form.
  if (event->type() != QEvent::KeyPress) {
    event->accept();
    return true;
  }
  dialog.SetCtrlDown(keyEvent->modifiers() & Qt::ControlModifier);
  dialog.OnKeyDown(key);
  return true;
}

bool InputInterceptor::OnMousePress(QObject* watched, QEvent* event) {
  auto* mouse = static_cast<QMouseEvent*>(event);
  const bool pickClick = mouse->button() == Qt::LeftButton && mouse->buttons() == Qt::LeftButton &&
                         (mouse->modifiers() & Qt::ShiftModifier) &&
                         (mouse->modifiers() & Qt::ControlModifier);
  if (!pickClick)
    return false;
  // Picks land only on the view; the click is taken from VTK's camera interaction either way.
  QVTKOpenGLNativeWidget* view = Window.Host()->View();
  if (IsWithin(watched, view) && !Window.Dialog().NoModel) {
    const QPoint at = view->mapFromGlobal(mouse->globalPos());
    const double scale = view->devicePixelRatioF();
    Window.Dialog().PickAt(static_cast<int>(at.x() * scale), static_cast<int>(at.y() * scale));
  }
  return true;
}

} // namespace selvane
