#include "app/web_engine_module.h"

#include <unistd.h>

#include <QtGlobal>
#include <vector>

#include "platform/private_module.h"

namespace glx {

const char kWebEngineMissingMessage[] = "The web view could not be loaded: ";

std::string webEngineFlags(const std::string& given, bool root) {
  // The web engine serves only the preview and the export, whose pages
  // never need the network: WebRTC gets no UDP of its own and QUIC is off,
  // whatever a page's script asks for; its log is kept to fatal errors, so
  // a command-line job prints only its own lines.
  std::vector<std::string> flags = {"--force-webrtc-ip-handling-policy=disable_non_proxied_udp", "--disable-quic",
                                    "--log-level=3"};
  // The web engine's sandbox refuses to start as root.
  if (root) flags.insert(flags.begin(), "--no-sandbox");
  std::string result = given;
  for (const std::string& flag : flags) {
    const std::string name = flag.substr(0, flag.find('='));
    bool present = false;
    for (size_t at = result.find(name); at != std::string::npos; at = result.find(name, at + 1)) {
      const size_t end = at + name.size();
      if ((at == 0 || result[at - 1] == ' ') && (end == result.size() || result[end] == ' ' || result[end] == '='))
        present = true;
    }
    if (present) continue;  // the user's own choice stands
    if (!result.empty()) result += ' ';
    result += flag;
  }
  return result;
}

namespace {

const WebEngineModule& load() {
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
          QByteArray::fromStdString(webEngineFlags(qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS").toStdString(),
                                                   ::geteuid() == 0)));
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
