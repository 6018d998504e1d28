#include <QApplication>
#include <QMainWindow>

#include "app/qt_services.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Glimmerax"));
  glx::MessageBoxErrorSink errorBox;
  glx::setErrorSink(&errorBox);

  QMainWindow window;
  window.setWindowTitle(QStringLiteral("Glimmerax"));
  window.resize(563, 317);
  window.show();
  const int rc = app.exec();
  glx::setErrorSink(nullptr);
  return rc;
}
