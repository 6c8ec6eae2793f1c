#include "MainDialog.h"
#include "MainWindow.h"
#include "ModelFormats.h"
#include "QtWindowing.h"
#include "RecentModels.h"
#include "Screenshot.h"

#include <QApplication>
#include <QSurfaceFormat>
#include <QVTKOpenGLNativeWidget.h>
#include <QtGlobal>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* const NoDisplay = "selvane: no display: set DISPLAY or run under xvfb-run\n";

int Usage() {
  std::fprintf(stderr,
               "usage: selvane [MODEL]\n"
               "       selvane --screenshot OUT.png [MODEL]\n"
               "MODEL is read by its extension: %s\n",
               selvane::KnownModelExtensions());
  return 2;
}

bool IsUnset(const char* variable) {
  const char* value = std::getenv(variable);
  return !value || !*value;
}

// Qt's default platform (X11) needs DISPLAY, and Qt aborts without it. A platform chosen
// through QT_QPA_PLATFORM is left to Qt.
bool DisplayMissing() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  const bool x11 = IsUnset("QT_QPA_PLATFORM") || std::strncmp(platform, "xcb", 3) == 0;
  return x11 && IsUnset("DISPLAY");
}

// While the application object starts: a display that cannot be reached (or any platform that
// cannot start) ends the program with one line instead of Qt's abort.
void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtFatalMsg) {
    std::fputs(NoDisplay, stderr);
    std::_Exit(1);
  }
  std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv) {
  // Past a file-size limit a write then fails with EFBIG and is reported, instead of the
  // signal ending the process with the picture half written.
  std::signal(SIGXFSZ, SIG_IGN);
  std::string screenshot, model;
  bool takeScreenshot = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc && argv[i + 1][0] != '\0') {
      // The name's bytes as given: a name that is not UTF-8 must not be rewritten.
      screenshot = argv[++i];
      takeScreenshot = true;
    } else if (argv[i][0] == '-' || argv[i][0] == '\0' || !model.empty()) {
      return Usage();
    } else {
      model = argv[i];
    }
  }
  if (DisplayMissing()) {
    std::fputs(NoDisplay, stderr);
    return 1;
  }

  selvane::NameApplicationForSettings();
  QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
  const QtMessageHandler previous = qInstallMessageHandler(StartupMessages);
  QApplication app(argc, argv);
  qInstallMessageHandler(previous);
  // Qt takes the user's locale for everything; numbers in files and fields stay "1.5".
  std::setlocale(LC_NUMERIC, "C");

  selvane::MainWindow window;
  window.Windowing().MessagesToStandardError = takeScreenshot;
  // A screenshot run leaves the user's recent models and folder as they were.
  window.RememberModels = !takeScreenshot;
  window.show();
  if (!model.empty() && !window.Dialog().OpenModelFile(model) && takeScreenshot)
    return 1;
  if (takeScreenshot) {
    const std::string error = selvane::SaveWindowPicture(window, screenshot);
    if (!error.empty()) {
      std::fprintf(stderr, "selvane: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  return app.exec();
}
