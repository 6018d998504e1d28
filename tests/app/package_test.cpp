// The Debian package: built with `cpack -G DEB` into a temporary folder,
// read back with dpkg-deb and checked with lintian.
#include <gtest/gtest.h>

#include <QStringList>
#include <filesystem>
#include <memory>
#include <sstream>

#include "app/program_version.h"
#include "tests/support/process_run.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::ProcessResult;
using test::TempDir;

const std::string kBuildDir = GLX_BUILD_DIR;
const std::string kCPack = GLX_CPACK_COMMAND;

ProcessResult run(const std::string& program, const QStringList& arguments, const std::string& workingFolder = {}) {
  return test::runProcess(program, arguments, {std::nullopt, workingFolder, 280000});
}

class DebianPackage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_out = std::make_unique<TempDir>();
    const ProcessResult r = run(kCPack, {"-G", "DEB", "-B", QString::fromStdString(s_out->path()), "--config",
                                         QString::fromStdString(kBuildDir + "/CPackConfig.cmake")},
                                kBuildDir);
    s_log = r.out + r.err;
    for (const auto& entry : std::filesystem::directory_iterator(s_out->path()))
      if (entry.path().extension() == ".deb") s_deb = entry.path().string();
  }
  static void TearDownTestSuite() { s_out.reset(); }
  void SetUp() override { ASSERT_FALSE(s_deb.empty()) << "cpack made no package:\n" << s_log; }

  static std::string field(const std::string& name) {
    const ProcessResult r = run("dpkg-deb", {"-f", QString::fromStdString(s_deb), QString::fromStdString(name)});
    std::string value = r.out;
    while (!value.empty() && (value.back() == '\n' || value.back() == ' ')) value.pop_back();
    return value;
  }

  static std::unique_ptr<TempDir> s_out;
  static std::string s_deb;
  static std::string s_log;
};

std::unique_ptr<TempDir> DebianPackage::s_out;
std::string DebianPackage::s_deb;
std::string DebianPackage::s_log;

TEST_F(DebianPackage, DependsOnTheRuntimePackagesTheProgramLinks) {
  EXPECT_EQ(field("Package"), "glimmerax");
  EXPECT_EQ(field("Version"), kProgramVersion);
  EXPECT_EQ(field("Architecture"), "amd64");
  const std::string depends = field("Depends");
  for (const char* package : {"libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6network6", "libjpeg62-turbo",
                              "libgif7", "libc6", "libstdc++6"})
    EXPECT_NE(depends.find(package), std::string::npos) << package << " missing from: " << depends;
  // Development packages are for building only.
  EXPECT_EQ(depends.find("-dev"), std::string::npos) << depends;
  EXPECT_NE(field("Recommends").find("xdg-utils"), std::string::npos);
}

TEST_F(DebianPackage, HoldsTheInstalledLayoutUnderUsr) {
  const ProcessResult r = run("dpkg-deb", {"-c", QString::fromStdString(s_deb)});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const char* path : {"./usr/bin/glimmerax", "./usr/share/glimmerax/fade.class",
                           "./usr/share/glimmerax/Glimmerax Help.html",
                           "./usr/share/glimmerax/Samples.html", "./usr/share/glimmerax/sample-flower.gif",
                           "./usr/share/applications/example.tallowbrook.Glimmerax.desktop",
                           "./usr/share/metainfo/example.tallowbrook.Glimmerax.metainfo.xml",
                           "./usr/share/mime/packages/glimmerax.xml", "./usr/share/man/man1/glimmerax.1.gz",
                           "./usr/share/doc/glimmerax/copyright"})
    EXPECT_NE(r.out.find(std::string(path) + "\n"), std::string::npos) << path;
  // Every entry belongs to root.
  std::istringstream lines(r.out);
  std::string line;
  while (std::getline(lines, line)) EXPECT_NE(line.find(" root/root "), std::string::npos) << line;
}

TEST_F(DebianPackage, PassesLintianWithoutErrors) {
  const ProcessResult r = run("lintian", {"--tag-display-limit", "0", QString::fromStdString(s_deb)});
  std::istringstream lines(r.out);
  std::string line, errors;
  while (std::getline(lines, line))
    if (line.rfind("E: ", 0) == 0) errors += line + "\n";
  EXPECT_EQ(errors, "") << r.out << r.err;
  // Warnings alone leave lintian's exit status at 0.
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
}

}  // namespace
}  // namespace glx
