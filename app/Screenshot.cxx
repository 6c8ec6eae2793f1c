#include "Screenshot.h"

#include "MainDialog.h"
#include "MainWindow.h"

#include <QApplication>
#include <QImage>
#include <QImageWriter>
#include <QPixmap>

namespace selvane {

QString SaveWindowPicture(MainWindow& window, const QString& path) {
  QApplication::processEvents();
  window.Dialog().Render();
  QApplication::processEvents();
  const QImage picture = window.grab().toImage();
  if (picture.isNull())
    return "the window could not be drawn";
  QImageWriter writer(path, "png");
  if (!writer.write(picture))
    return "cannot write " + path + ": " + writer.errorString();
  return {};
}

} // namespace selvane
