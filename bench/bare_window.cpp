// The reference for the start-up benchmark: a Qt program that shows one
// empty main window, nothing else, and quits the same way the program does
// when GLIMMERAX_QUIT_WHEN_SHOWN is set.
#include <QApplication>
#include <QMainWindow>
#include <memory>

#include "app/quit_when_shown.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  std::unique_ptr<glx::QuitWhenShown> quitWhenShown;
  if (glx::quitWhenShownRequested()) quitWhenShown = std::make_unique<glx::QuitWhenShown>(window);
  window.show();
  return app.exec();
}
