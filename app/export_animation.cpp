#include "app/export_animation.h"

#include <QApplication>
#include <iostream>
#include <memory>

#include "app/command_run.h"
#include "app/player_applet.h"
#include "app/web_engine_module.h"
#include "document/project_file.h"
#include "platform/errors.h"
#include "platform/program_folders.h"
#include "publish/animation_export.h"
#include "publish/required_files.h"

namespace glx {

const char kExportUsage[] = "Usage: glimmerax --export-animation PROJECT.glx OUT.gif|OUT.webp";
const char kExportFilter[] = "Animated GIF (*.gif);;Animated WebP (*.webp)";

namespace {

std::unique_ptr<FrameSource> playerSource(const PlayerApplet& applet, const std::string& playerScript) {
  try {
    return std::unique_ptr<FrameSource>(webEngineModule().createFrameSource(applet, playerScript));
  } catch (const Error&) {
    throw;
  } catch (const std::exception& e) {
    throw Error(std::string("The effect could not be rendered: ") + e.what());
  }
}

// The command line's reader gets its result and its errors: the web
// engine's start-up notes (its graphics table, the display it lacks) and
// Qt's other warnings are left out; critical and fatal messages still go
// to standard error.
QtMessageHandler g_qtHandler = nullptr;

void commandLineMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type != QtCriticalMsg && type != QtFatalMsg) return;
  if (g_qtHandler)
    g_qtHandler(type, context, text);
  else
    std::cerr << qFormatLogMessage(type, context, text).toStdString() << std::endl;
}

std::string suggestedName(const AppletDocument& document) {
  std::string name = document.documentPath.empty() ? "Applet" : document.documentPath;
  const size_t slash = name.rfind('/');
  if (slash != std::string::npos) name = name.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name = name.substr(0, dot);
  return name + ".gif";
}

}  // namespace

void exportAnimationFromWindow(const AppletDocument& document, const std::string& playerScript,
                               UserDialogs& dialogs, ExportProgressView& progress) {
  const AppletBuild build = buildAppletQuietly(document);
  if (!build.message.empty()) {
    dialogs.showMessage(build.message);
    return;
  }
  FileDialogOptions options;
  options.title = "Export Animation";
  options.filter = kExportFilter;
  options.defaultExt = "gif";
  options.fileName = suggestedName(document);
  const std::optional<std::string> target = dialogs.saveFile(options);
  if (!target) return;
  if (!animationFormatOf(*target)) {
    dialogs.showMessage(kAnimationTypeMessage);
    return;
  }
  struct End {
    ExportProgressView& view;
    ~End() { view.endExport(); }
  };
  progress.beginExport();
  End end{progress};
  std::unique_ptr<FrameSource> source = playerSource(playerAppletOf(build), playerScript);
  if (progress.exportCancelled()) return;
  exportAnimation(*source, *target, [&progress](int done, int total) { return progress.exportProgress(done, total); });
}

int exportProjectAnimation(const std::string& projectPath, const std::string& target,
                           const std::string& playerScript, std::ostream& out, std::ostream& err) {
  return runCommandBody(out, err, [&] {
    if (!animationFormatOf(target)) throw Error(kAnimationTypeMessage);
    const AppletDocument document = readProjectDocument(projectPath);
    const AppletBuild build = buildAppletQuietly(document);
    const PlayerApplet applet = playerAppletOf(build);
    std::unique_ptr<FrameSource> source = playerSource(applet, playerScript);
    exportAnimation(*source, target);
    out << "Exported " << source->cycleLength() << " frames of " << applet.width << " x " << applet.height
        << " to \"" << target << "\".\n";
  });
}

std::optional<int> exportAnimationCommand(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) != kExportAnimationOption) return std::nullopt;
  if (argc != 4) {
    std::cerr << kExportUsage << '\n';
    return 1;
  }
  // No display needed: the frames are drawn off screen.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  g_qtHandler = qInstallMessageHandler(commandLineMessage);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  const std::string playerScript = dataFilePath(ProgramFolders::ofExecutable(), kPlayerFile);
  return exportProjectAnimation(argv[2], argv[3], playerScript, std::cout, std::cerr);
}

}  // namespace glx
