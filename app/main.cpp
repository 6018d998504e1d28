// Start-up: the application, the main window, the windows created hidden
// after it, then the event loop until the main window has closed.
#include <QApplication>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/print_html.h"
#include "app/qt_services.h"
#include "platform/program_folders.h"

int main(int argc, char** argv) {
  // A command-line job: no window, no display, nothing changed.
  if (const auto rc = glx::printHtmlCommand(argc, argv)) return *rc;

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Glimmerax"));
  QApplication::setApplicationDisplayName(QStringLiteral("Glimmerax"));
  // The main window's close ends the program, whatever other windows are open.
  QApplication::setQuitOnLastWindowClosed(false);
  glx::MessageBoxErrorSink errorBox;
  glx::setErrorSink(&errorBox);

  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);

  int rc = 0;
  {
    glx::QtUserDialogs dialogs;
    glx::QtLauncher launcher;
    glx::DesktopShell shell(launcher);
    glx::TMainWindow window({glx::ProgramFolders::ofExecutable(), dialogs, shell});
    dialogs.setParent(&window);
    QObject::connect(&window, &glx::TMainWindow::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();

    // The browser selection window, then the update window, are created
    // here, hidden, and handed to the main window's menu items.

    window.startUp(arguments);
    rc = app.exec();
  }
  glx::setErrorSink(nullptr);
  return rc;
}
