#include "app/web_engine_module.h"

#include <unistd.h>

#include <QtGlobal>

#include "platform/private_module.h"

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
  using Entry = const WebEngineModule* (*)();
  const PrivateModule module{GLX_WEBENGINE_MODULE_NAME, GLX_WEBENGINE_MODULE_BUILT, kWebEngineModuleEntry};
  return *reinterpret_cast<Entry>(loadPrivateModule(module, kWebEngineMissingMessage))();
}

}  // namespace

const WebEngineModule& webEngineModule() {
  static const WebEngineModule& module = load();
  return module;
}

}  // namespace glx
