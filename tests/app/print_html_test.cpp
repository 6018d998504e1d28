// "glimmerax --print-html": run as a process, with no display, on fixture
// projects copied into a temporary folder.
#include <gtest/gtest.h>

#include <QDir>
#include <filesystem>
#include <set>

#include "tests/app/command_test_support.h"
#include "tests/publish/exif_fixture.h"
#include "tests/publish/image_fixtures.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::ProcessResult;

const std::string kFixtures = GLX_PRINT_FIXTURES;
const std::string kExecutable = GLX_EXECUTABLE;

// Everything below a folder, so that a run can be shown to change nothing.
std::set<std::string> listing(const std::string& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    names.insert(it->path().string());
  return names;
}

class PrintHtmlTest : public ::testing::Test {
 protected:
  PrintHtmlTest() {
    for (const auto& entry : std::filesystem::directory_iterator(kFixtures))
      std::filesystem::copy_file(entry.path(), work.path() + entry.path().filename().string());
  }

  void storeSetting(bool on) { test::storePlayInBrowsers(home, on); }

  ProcessResult run(const QStringList& arguments) {
    return test::runProcess(kExecutable, QStringList{"--print-html"} + arguments,
                            {test::commandEnvironment(home), work.path()});
  }

  test::TempDir work;
  test::TempDir home;
};

TEST_F(PrintHtmlTest, PrintsTheSevenLines) {
  storeSetting(false);
  const std::string settings = home.read(".config/glimmerax/HKLM.reg");
  const std::string executableFolder = std::filesystem::path(kExecutable).parent_path().string();
  const auto workBefore = listing(work.path());
  const auto binBefore = listing(executableFolder);
  const auto homeBefore = listing(home.path());
  const ProcessResult r = run({"sun.glx"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "<APPLET CODE=\"pageflip.class\" WIDTH=120 HEIGHT=80>\r\n"
            "<PARAM NAME=\"GENERATOR\" VALUE=\"CREATED WITH THE GLIMMERAX HTTP://WWW.TALLOWBROOK.EXAMPLE/\">\r\n"
            "<PARAM NAME=\"GENERAL\" VALUE=\"2|7|0080FF|50|40|0|1|\">\r\n"
            "<PARAM NAME=\"IMAGES\" VALUE=\"sun.gif|moon.jpg|\">\r\n"
            "<PARAM NAME=\"LINK\" VALUE=\"pages/a.html|_top| |\">\r\n"
            "<PARAM NAME=\"LOAD MESSAGE\" VALUE=\"000000|FFFFFF|Wait...\">\r\n"
            "</APPLET>\r\n");
  EXPECT_EQ(listing(work.path()), workBefore) << "no folder or file made beside the project";
  EXPECT_EQ(listing(executableFolder), binBefore) << "no folder or usage log beside the program";
  EXPECT_EQ(listing(home.path()), homeBefore) << "no settings written";
  EXPECT_EQ(home.read(".config/glimmerax/HKLM.reg"), settings);
}

TEST_F(PrintHtmlTest, ForTodaysBrowsersByDefault) {
  const std::string executableFolder = std::filesystem::path(kExecutable).parent_path().string();
  const auto binBefore = listing(executableFolder);
  const std::string lines =
      "<APPLET CODE=\"pageflip.class\" WIDTH=120 HEIGHT=80>\r\n"
      "<PARAM NAME=\"GENERATOR\" VALUE=\"CREATED WITH THE GLIMMERAX HTTP://WWW.TALLOWBROOK.EXAMPLE/\">\r\n"
      "<PARAM NAME=\"GENERAL\" VALUE=\"2|7|0080FF|50|40|0|1|\">\r\n"
      "<PARAM NAME=\"IMAGES\" VALUE=\"sun.gif|moon.jpg|\">\r\n"
      "<PARAM NAME=\"LINK\" VALUE=\"pages/a.html|_top| |\">\r\n"
      "<PARAM NAME=\"LOAD MESSAGE\" VALUE=\"000000|FFFFFF|Wait...\">\r\n";
  const std::string forTodaysBrowsers =
      lines + "no java\r\n</APPLET>\r\n<SCRIPT SRC=\"glimmerax-player.js\"></SCRIPT>\r\n";
  // No settings at all: on.
  ProcessResult r = run({"sun.glx"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, forTodaysBrowsers);
  EXPECT_TRUE(listing(home.path()).empty()) << "no settings written";
  // Stored on, and stored off.
  storeSetting(true);
  EXPECT_EQ(run({"sun.glx"}).out, forTodaysBrowsers);
  storeSetting(false);
  EXPECT_EQ(run({"sun.glx"}).out, lines + "</APPLET>\r\n");
  EXPECT_EQ(listing(executableFolder), binBefore) << "no player copied anywhere";
}

// A link from a project file can hold anything; what is printed keeps it
// inside its attribute.
TEST_F(PrintHtmlTest, QuotesStayInsideTheValues) {
  storeSetting(false);
  std::string project = work.read("sun.glx");
  project.replace(project.find("pages/a.html"), 12, "http://a\"><script>alert(1)</script>");
  project.replace(project.find("Wait..."), 7, "Say \"cheese\"");
  work.write("injected.glx", project);
  const ProcessResult r = run({"injected.glx"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("\r\n<PARAM NAME=\"LINK\" VALUE=\"http://a&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;|_top| |\">\r\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\r\n<PARAM NAME=\"LOAD MESSAGE\" VALUE=\"000000|FFFFFF|Say &quot;cheese&quot;\">\r\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("<script>"), std::string::npos) << r.out;
}

TEST_F(PrintHtmlTest, MessagesAndFailures) {
  const std::string decoderMessage = test::decoderMessage(kFixtures + "broken.gif");
  ASSERT_FALSE(decoderMessage.empty());
  std::filesystem::copy_file(work / "sun.glx", work / "my project.glx");
  // The effect line of 50 MB: the message quotes 80 characters of it.
  std::string huge = work.read("sun.glx");
  huge.replace(huge.find("\r\n3\r\n") + 2, 1, std::string(50 << 20, '7'));
  work.write("huge.glx", huge);
  huge.clear();
  huge.shrink_to_fit();
  storeSetting(false);
  struct Case {
    const char* name;
    QStringList arguments;
    int exitCode;
    std::string firstLine;  // of standard output; empty: no output
    std::string err;
  };
  const Case cases[] = {
      {"first image missing", {"missing_image.glx"}, 0, "<APPLET CODE=\"fade.class\" WIDTH=150 HEIGHT=150>",
       "ERROR: I can not find the image \"gone.gif\" The applet may not work properly.\n"},
      {"arguments joined with blanks", {"my", "project.glx"}, 0,
       "<APPLET CODE=\"pageflip.class\" WIDTH=120 HEIGHT=80>", ""},
      {"first image cannot be decoded", {"broken.glx"}, 1, "", decoderMessage + "\n"},
      {"bad colour line", {"bad_colour.glx"}, 1, "", "'pink' is not a valid integer value\n"},
      {"an effect line of 50 MB", {"huge.glx"}, 1, "",
       "'" + std::string(80, '7') + "...' (52,428,800 characters) is not a valid integer value\n"},
      {"no such project", {"absent.glx"}, 1, "", "File not found\n"},
      {"a folder", {"."}, 1, "", "File access denied\n"},
      {"no project named", {}, 1, "", "File not found\n"},
  };
  for (const auto& c : cases) {
    const ProcessResult r = run(c.arguments);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
    EXPECT_EQ(r.out.substr(0, r.out.find("\r\n")), c.firstLine) << c.name;
    if (c.exitCode == 0) {
      size_t lines = 0;
      for (size_t at = r.out.find("\r\n"); at != std::string::npos; at = r.out.find("\r\n", at + 2)) ++lines;
      EXPECT_EQ(lines, 7u) << c.name;
    }
  }
}

// A portrait photo from a phone is stored 320 x 200 with orientation 6 or
// 8; browsers show it 200 x 320, and so is the applet.
TEST_F(PrintHtmlTest, APortraitPhotoGivesAPortraitApplet) {
  storeSetting(false);
  const std::string stored = test::encodeJpeg(320, 200);
  struct Case {
    const char* name;
    std::string jpeg;
    const char* firstLine;
  };
  const Case cases[] = {
      {"orientation 6", test::withExifOrientation(stored, 6), "<APPLET CODE=\"huecycle.class\" WIDTH=200 HEIGHT=320>"},
      {"orientation 8, big-endian", test::withExifOrientation(stored, 8, true),
       "<APPLET CODE=\"huecycle.class\" WIDTH=200 HEIGHT=320>"},
      {"orientation 3", test::withExifOrientation(stored, 3), "<APPLET CODE=\"huecycle.class\" WIDTH=320 HEIGHT=200>"},
  };
  for (const Case& c : cases) {
    work.write("portrait.jpg", c.jpeg);
    work.write("portrait.glx",
               "Glimmerax File\r\nIf you alter the values below this file may not open properly.\r\n1\r\n1\r\n40\r\n2\r\n"
               "\r\n\r\n$00000000\r\n1\r\nclBlack\r\nclWhite\r\nLoading...\r\n\r\nportrait.jpg\r\nportrait.jpg\r\n");
    const ProcessResult r = run({"portrait.glx"});
    EXPECT_EQ(r.exitCode, 0) << c.name;
    EXPECT_EQ(r.err, "") << c.name;
    EXPECT_EQ(r.out.substr(0, r.out.find("\r\n")), c.firstLine) << c.name;
  }
}

}  // namespace
}  // namespace glx
