// What the tests of the command-line commands share: a home folder of the
// test's own with the setting the commands read, and the decoder's message.
#pragma once

#include <QProcessEnvironment>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/errors.h"
#include "publish/image_probe.h"
#include "tests/support/process_run.h"
#include "tests/support/temp_dir.h"

namespace glx::test {

// The setting "Play in today's browsers" as the program stores it.
inline void storePlayInBrowsers(const TempDir& home, bool on) {
  home.write(".config/glimmerax/HKLM.reg",
             std::string("REGEDIT4\r\n\r\n"
                         "[HKEY_LOCAL_MACHINE\\Software\\Tallowbrook Software\\Glimmerax\\1.0\\MainWindow]\r\n"
                         "\"Play in today's browsers\"=\"") +
                 (on ? "True" : "False") + "\"\r\n");
}

// The test's environment with no display of any kind (the commands must not
// need one) and home as HOME and the XDG config and data folders' parent.
inline QProcessEnvironment commandEnvironment(const TempDir& home) {
  QProcessEnvironment env = withoutDisplay(QProcessEnvironment::systemEnvironment());
  env.insert("HOME", QString::fromStdString(home.path()));
  env.insert("XDG_CONFIG_HOME", QString::fromStdString(home.path() + ".config"));
  env.insert("XDG_DATA_HOME", QString::fromStdString(home.path() + ".local/share"));
  return env;
}

// What the image decoder says of the picture at path, as a command prints
// it; empty when the picture decodes.
inline std::string decoderMessage(const std::string& path) {
  try {
    std::optional<ImageSize> probe;
    LoadImage(probe, "", std::filesystem::path(path).filename().string(), path);
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

}  // namespace glx::test
