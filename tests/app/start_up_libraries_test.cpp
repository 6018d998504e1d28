// What starting the program loads: the web engine and Qt's network library
// live in modules of the program's own, loaded at their first use, so a
// start pays for neither.
#include <gtest/gtest.h>

#include <QStringList>
#include <string>

#include "tests/support/process_run.h"

namespace glx {
namespace {

TEST(StartUpLibraries, TheProgramLoadsNeitherTheWebEngineNorTheNetworkLibrary) {
  // The dynamic loader's list of what the executable needs at start.
  const test::ProcessResult ldd = test::runProcess("ldd", {QStringLiteral(GLX_EXECUTABLE)});
  ASSERT_EQ(ldd.exitCode, 0) << ldd.err;
  ASSERT_NE(ldd.out.find("libQt6Widgets"), std::string::npos) << ldd.out;
  for (const char* library : {"libQt6Network", "libQt6WebEngine", "libglimmerax-"})
    EXPECT_EQ(ldd.out.find(library), std::string::npos) << library << " in\n" << ldd.out;
}

}  // namespace
}  // namespace glx
