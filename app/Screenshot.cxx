#include "Screenshot.h"

#include "AtomicFile.h"
#include "MainDialog.h"
#include "MainWindow.h"
#include "RenderHost.h"

#include <QApplication>
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QPixmap>
#include <QRect>
#include <QVTKOpenGLNativeWidget.h>

#include <vtkRenderer.h>

#include <cmath>
#include <cstdlib>
#include <string_view>

namespace selvane {

namespace {

// A view drawn by OpenGL shows the renderer's background around whatever it draws (the camera
// is framed with a margin). Without it, the view came out black or empty: nothing was drawn.
bool ShowsBackground(const QImage& picture, const QRect& view, const double background[3]) {
  const QRect area = view.intersected(picture.rect());
  if (area.isEmpty())
    return false;
  const QImage pixels = picture.copy(area).convertToFormat(QImage::Format_RGB32);
  const auto near = [](int channel, double wanted) {
    return std::abs(channel - static_cast<int>(std::lround(wanted * 255))) <= 2;
  };
  long matching = 0;
  for (int y = 0; y < pixels.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
    for (int x = 0; x < pixels.width(); ++x)
      matching += near(qRed(line[x]), background[0]) && near(qGreen(line[x]), background[1]) &&
                  near(qBlue(line[x]), background[2]);
  }
  // A tenth of the view at least: a stray pixel is no drawn view.
  return matching * 10 >= static_cast<long>(pixels.width()) * pixels.height();
}

} // namespace

std::string SaveWindowPicture(MainWindow& window, const std::string& path) {
  QApplication::processEvents();
  window.Dialog().Render();
  QApplication::processEvents();

  QVTKOpenGLNativeWidget* view = window.Host()->View();
  if (!view->isValid() || !view->context())
    return "the 3-D view could not be drawn: the display gives no OpenGL context";
  const QImage picture = window.grab().toImage();
  if (picture.isNull())
    return "the window could not be drawn";
  const qreal scale = picture.devicePixelRatio();
  const QRect viewArea(view->mapTo(&window, QPoint(0, 0)) * scale, view->size() * scale);
  if (!ShowsBackground(picture, viewArea, window.Dialog().Renderer->GetBackground()))
    return "the 3-D view could not be drawn: it came out without its background (no working "
           "OpenGL)";

  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter encoder(&buffer, "png");
  if (!encoder.write(picture))
    return "the picture could not be encoded as PNG: " + encoder.errorString().toStdString();

  return formats::WriteFileAtomically(
             path, std::string_view(png.constData(), static_cast<std::size_t>(png.size())))
      .Reason;
}

} // namespace selvane
