#include "tests/support/process_run.h"

#include <gtest/gtest.h>

#include <QProcess>

namespace glx::test {

ProcessResult runProcess(const std::string& program, const QStringList& arguments, const ProcessOptions& options) {
  QProcess process;
  if (options.environment) process.setProcessEnvironment(*options.environment);
  if (!options.workingFolder.empty()) process.setWorkingDirectory(QString::fromStdString(options.workingFolder));
  process.start(QString::fromStdString(program), arguments);
  ProcessResult r;
  if (!process.waitForStarted(30000)) {
    r.err = "could not start " + program;
    return r;
  }
  EXPECT_TRUE(process.waitForFinished(options.finishMs)) << program << " did not end";
  r.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  r.out = process.readAllStandardOutput().toStdString();
  r.err = process.readAllStandardError().toStdString();
  return r;
}

QProcessEnvironment withoutDisplay(QProcessEnvironment env) {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
  return env;
}

}  // namespace glx::test
