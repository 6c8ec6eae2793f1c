#include "MainDialog.h"
#include "MainWindow.h"
#include "QtWindowing.h"
#include "Screenshot.h"

#include <QApplication>
#include <QSurfaceFormat>
#include <QVTKOpenGLNativeWidget.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Usage() {
  std::fprintf(stderr, "usage: selvane [MODEL.vtk]\n"
                       "       selvane --screenshot OUT.png [MODEL.vtk]\n");
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  std::string screenshot, model;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
      screenshot = argv[++i];
    else if (argv[i][0] == '-' || !model.empty())
      return Usage();
    else
      model = argv[i];
  }

  QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
  QApplication app(argc, argv);
  // Qt takes the user's locale for everything; numbers in files and fields stay "1.5".
  std::setlocale(LC_NUMERIC, "C");

  selvane::MainWindow window;
  window.Windowing().MessagesToStandardError = !screenshot.empty();
  window.show();
  if (!model.empty() && !window.Dialog().OpenModelFile(model) && !screenshot.empty())
    return 1;
  if (!screenshot.empty()) {
    const QString error = selvane::SaveWindowPicture(window, QString::fromStdString(screenshot));
    if (!error.isEmpty()) {
      std::fprintf(stderr, "selvane: %s\n", error.toLocal8Bit().constData());
      return 1;
    }
    return 0;
  }
  return app.exec();
}
