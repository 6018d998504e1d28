// A program run to its end as a process of its own, for the tests that run
// the built or installed program and the desktop's and Debian's tools.
#pragma once

#include <QProcessEnvironment>
#include <QStringList>
#include <optional>
#include <string>

namespace glx::test {

struct ProcessResult {
  int exitCode = -1;  // -1 when it did not start, crashed or was killed
  std::string out, err;
};

struct ProcessOptions {
  std::optional<QProcessEnvironment> environment;  // none: the test's own
  std::string workingFolder;                       // empty: the test's own
  int finishMs = 60000;  // a guard against a hang: not ending by then fails the test
};

ProcessResult runProcess(const std::string& program, const QStringList& arguments,
                         const ProcessOptions& options = {});

// env without DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM: no display of any
// kind, so a command that needs one fails.
QProcessEnvironment withoutDisplay(QProcessEnvironment env);

}  // namespace glx::test
