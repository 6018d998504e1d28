// Start-up: the application, the main window, the windows created hidden
// after it, then the event loop until the main window has closed.
#include <QApplication>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/application_setup.h"
#include "app/companion_windows.h"
#include "app/export_animation.h"
#include "app/font_warm_up.h"
#include "app/info_command.h"
#include "app/main_window.h"
#include "app/print_html.h"
#include "app/publish_command.h"
#include "app/qt_services.h"
#include "app/quit_when_shown.h"
#include "app/startup_rules.h"
#include "app/update_window.h"
#include "platform/program_folders.h"
#include "platform/registry.h"
#include "platform/single_instance.h"

namespace {
// How long a later start waits for the running window to take its project.
constexpr int kHandOverMs = 20000;
}  // namespace

int main(int argc, char** argv) {
  // A command-line job: no window, no display, nothing changed.
  if (const auto rc = glx::infoCommand(argc, argv)) return *rc;
  if (const auto rc = glx::printHtmlCommand(argc, argv)) return *rc;
  if (const auto rc = glx::publishCommand(argc, argv)) return *rc;
  if (const auto rc = glx::exportAnimationCommand(argc, argv)) return *rc;

  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);

  // One window per user: a later start hands its project to the running
  // window and ends, before it needs a display or touches any folder.
  glx::SingleInstance instance(glx::SingleInstance::defaultFolder());
  if (!instance.acquire()) {
    std::error_code ec;
    const std::string here = std::filesystem::current_path(ec).string();
    if (instance.handOver(glx::handOverPath(arguments, here), kHandOverMs)) return 0;
    if (!instance.isRunningCopy()) {
      std::cerr << "Glimmerax is already running and does not answer.\n";
      return 1;
    }
  }

  // The preview's web engine, loaded later, shares its contexts with ours.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  // Read on a second core while the application object is made.
  glx::FontConfigWarmUp fontConfig;
  QApplication app(argc, argv);
  glx::setUpApplication();
  // The main window's close ends the program, whatever other windows are open.
  QApplication::setQuitOnLastWindowClosed(false);
  glx::MessageBoxErrorSink errorBox;
  glx::setErrorSink(&errorBox);

  int rc = 0;
  {
    glx::QtUserDialogs dialogs;
    // What the desktop cannot open is said in a message box.
    glx::QtLauncher launcher([&dialogs](const std::string& text) { dialogs.showMessage(text); });
    glx::DesktopShell shell(launcher);
    glx::setRegistryNotice([&dialogs](const std::string& text) { dialogs.showMessage(text); });

    // While the main window is built its settings restore and its counters
    // start at zero.
    const glx::ProgramFolders folders = glx::ProgramFolders::ofExecutable();
    folders.makeWorkFolder();
    // The first text the window measures needs the font configuration.
    fontConfig.wait();
    glx::TMainWindow window({folders, dialogs, shell});
    dialogs.setParent(&window);
    // For the start-up benchmark only: quit once the window is up.
    std::unique_ptr<glx::QuitWhenShown> quitWhenShown;
    if (glx::quitWhenShownRequested()) quitWhenShown = std::make_unique<glx::QuitWhenShown>(window);
    window.show();

    // Then the browser selection window and the update window, hidden.
    const glx::CompanionWindows companions =
        glx::createCompanionWindows(window, dialogs, shell, std::string(), glx::updateServerHost());
    glx::TupdateWindow* updateWindow = companions.update;

    QObject::connect(&window, &glx::TMainWindow::closed, &app, [updateWindow] {
      // A check waiting for the server must not hold the program open.
      updateWindow->cancelCheck();
      QCoreApplication::quit();
    }, Qt::QueuedConnection);

    // The class files, the command line's project or a fresh document, the
    // first-report flag and the monthly reminder.
    window.startUp(arguments);
    instance.serve(window);
    rc = app.exec();
    instance.stopServing();
  }
  glx::setRegistryNotice(nullptr);
  glx::setErrorSink(nullptr);
  return rc;
}
