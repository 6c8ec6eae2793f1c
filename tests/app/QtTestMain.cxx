// The main of the Qt tests: the application object they need, set up as the program sets it up.
#include "Locales.h"
#include "QtTestSupport.h"
#include "RecentModels.h"
#include "XDisplayConnection.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QSurfaceFormat>
#include <QTemporaryDir>
#include <QVTKOpenGLNativeWidget.h>

#include <clocale>

void selvane::Settle() {
  for (int i = 0; i < 5; ++i)
    QApplication::processEvents();
}

int main(int argc, char** argv) {
  // QApplication takes the environment's locale for C functions, as in the program.
  if (!selvane::test::AdoptEnvironmentLocale())
    return 1;
  QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
  // The program's settings names, kept in a folder of the test's own: the user's recent models
  // are neither read nor changed.
  selvane::NameApplicationForSettings();
  QStandardPaths::setTestModeEnabled(true);
  const QTemporaryDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  {
    // Qt aborts when the display refuses it; a busy virtual server is waited for first.
    const selvane::test::XDisplayConnection reachable;
  }
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
