#include "app/web_engine_module.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QLibrary>
#include <QStringList>

#include "platform/errors.h"

namespace glx {

const char kWebEngineMissingMessage[] = "The web view could not be loaded: ";

namespace {

// The web engine's sandbox refuses to start as root.
void allowRootWithoutSandbox() {
  if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
}

const WebEngineModule& load() {
  allowRootWithoutSandbox();
  // Beside the executable (the build and a copied folder), then where an
  // installed program keeps its private libraries, then the build tree.
  const QString dir = QCoreApplication::applicationDirPath();
  const QStringList candidates = {
      dir + QStringLiteral("/" GLX_WEBENGINE_MODULE_NAME),
      dir + QStringLiteral("/../lib/glimmerax/" GLX_WEBENGINE_MODULE_NAME),
      QStringLiteral(GLX_WEBENGINE_MODULE_BUILT),
  };
  QString reason;
  for (const QString& path : candidates) {
    // A loaded library stays loaded for the rest of the run: destroying the
    // QLibrary object does not unload it.
    QLibrary library(path);
    if (!library.load()) {
      if (reason.isEmpty()) reason = library.errorString();
      continue;
    }
    using Entry = const WebEngineModule* (*)();
    const auto entry = reinterpret_cast<Entry>(library.resolve(kWebEngineModuleEntry));
    if (entry) return *entry();
    reason = library.errorString();
  }
  throw Error(kWebEngineMissingMessage + reason.toStdString());
}

}  // namespace

const WebEngineModule& webEngineModule() {
  static const WebEngineModule& module = load();
  return module;
}

}  // namespace glx
