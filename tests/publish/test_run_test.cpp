#include "publish/test_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "document/applet_document.h"
#include "document/html_builder.h"
#include "platform/errors.h"
#include "platform/file_ops.h"
#include "platform/program_folders.h"
#include "publish/required_files.h"
#include "tests/publish/image_fixtures.h"
#include "tests/support/fakes.h"
#include "tests/support/loopback_client.h"
#include "tests/support/temp_dir.h"
#include "update/usage_log.h"

namespace glx {
namespace {

using test::TempDir;

constexpr int kImageCrossFade = 0;
constexpr int kHueRotator = 1;
constexpr int kColorExtractor = 2;
constexpr int kPageFlip = 3;

class NoConfigOne : public ConfigOneSetting {
 public:
  std::string configOneText() const override { return "true"; }
  void setConfigOneText(const std::string&) override {}
  void saveSettingsNow() override {}
};

const std::vector<std::string> kSevenLines = {
    "<APPLET CODE=\"huecycle.class\" WIDTH=40 HEIGHT=30>",
    "<PARAM NAME=\"GENERATOR\" VALUE=\"line two\">",
    "<PARAM NAME=\"GENERAL\" VALUE=\"2|40|0|33\">",
    "<PARAM NAME=\"IMAGES\" VALUE=\"caf\xe9.gif\">",
    "<PARAM NAME=\"LINK\" VALUE=\"|\">",
    "<PARAM NAME=\"LOAD MESSAGE\" VALUE=\"Loading...\">",
    "</APPLET>"};

// A program folder with the six class files, the services the run uses,
// and a run counter in the real usage counters.
struct Bench {
  TempDir dir;
  ProgramFolders folders{dir.path()};
  test::RecordingShell shell;
  test::ScriptedDialogs dialogs;
  RequiredFiles requiredFiles{folders, shell};
  BrowserTestRun run{requiredFiles, shell, dialogs};
  UsageCounters counters;
  NoConfigOne configOne;
  UsageLog usage{counters, dir.path() + "config.data", configOne};
  int htmlBuilds = 0;

  Bench() {
    for (const std::string& name : kClassFiles) dir.write(name, "class " + name);
  }

  TestRunRequest request(std::vector<std::string> images, int effect, std::string browser = "default") {
    TestRunRequest r;
    r.imageNames = std::move(images);
    r.effectIndex = effect;
    r.currentBrowser = std::move(browser);
    r.makeHTML = [this] {
      ++htmlBuilds;
      return kSevenLines;
    };
    r.updateLogData = [this, effect] { usage.updateLogData("", "", effect); };
    return r;
  }
  std::string page() const { return folders.appletTempFolder() + "Applet Temp.html"; }
};

TEST(BrowserTestRun, RefusesWithoutImagesOrWithOneImageWhereTwoAreNeeded) {
  const std::string noImages =
      "This applet will not work because it does not contain any images.\n"
      "          Press the \"Add Image\" to add an image to the applet.";
  const std::string needsTwo =
      "          This applet must contain more than one image.\n"
      "Press the \"Add Image\" to add another image to the applet.";
  struct Case {
    const char* name;
    std::vector<std::string> images;
    int effect;
    std::string message;
  };
  const Case cases[] = {
      {"no image, cross fade", {}, kImageCrossFade, noImages},
      {"no image, hue rotator", {}, kHueRotator, noImages},
      {"one image, cross fade", {"a.gif"}, kImageCrossFade, needsTwo},
      {"one image, page flip", {"a.gif"}, kPageFlip, needsTwo},
  };
  for (const Case& c : cases) {
    Bench b;
    b.run.bTestClick(b.request(c.images, c.effect));
    EXPECT_EQ(b.dialogs.messages, std::vector<std::string>{c.message}) << c.name;
    EXPECT_EQ(b.counters.testRunCount, 0) << c.name;
    EXPECT_EQ(b.htmlBuilds, 0) << c.name;
    EXPECT_FALSE(pathExists(b.folders.appletTempFolder())) << c.name;
    EXPECT_TRUE(b.shell.opened.empty() && b.shell.executed.empty()) << c.name;
  }
}

// The browser reads the copies in the test folder: one that is no picture
// (a text file named .gif, a PNG named .jpg, a GIF cut in its header)
// refuses the run before anything is counted or written.
TEST(BrowserTestRun, RefusesAnImageInTheTestFolderThatIsNoPicture) {
  const std::string gif = test::encodeGif(8, 8);
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"a text file", "root:x:0:0:root:/root:/bin/bash\n"},
      {"a PNG", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16)},
      {"a truncated GIF header", gif.substr(0, 10)},
  };
  for (const Case& c : cases) {
    Bench b;
    b.dir.write("Applet Temp/a.gif", gif);
    b.dir.write("Applet Temp/pw.gif", c.bytes);
    b.run.bTestClick(b.request({"a.gif", "pw.gif"}, kHueRotator));
    EXPECT_EQ(b.dialogs.messages, std::vector<std::string>{"pw.gif is not a GIF or JPEG picture."}) << c.name;
    EXPECT_EQ(b.counters.testRunCount, 0) << c.name;
    EXPECT_EQ(b.htmlBuilds, 0) << c.name;
    EXPECT_FALSE(pathExists(b.page())) << c.name;
    EXPECT_TRUE(b.shell.opened.empty() && b.shell.executed.empty()) << c.name;
  }
  // Real pictures, under any of their names, run.
  Bench b;
  b.dir.write("Applet Temp/a.gif", gif);
  b.dir.write("Applet Temp/b.jpg", test::encodeJpeg(8, 8));
  b.run.bTestClick(b.request({"a.gif", "b.jpg", "not copied.gif"}, kHueRotator));
  EXPECT_TRUE(b.dialogs.messages.empty());
  EXPECT_EQ(b.counters.testRunCount, 1);
}

TEST(BrowserTestRun, RunsWhenTheEffectAllowsItsImages) {
  struct Case {
    const char* name;
    std::vector<std::string> images;
    int effect;
  };
  const Case cases[] = {
      {"one image, hue rotator", {"a.gif"}, kHueRotator},
      {"one image, color extractor", {"a.gif"}, kColorExtractor},
      {"two images, cross fade", {"a.gif", "b.gif"}, kImageCrossFade},
      {"two images, page flip", {"a.gif", "b.gif"}, kPageFlip},
      {"two images, hue rotator", {"a.gif", "b.gif"}, kHueRotator},
  };
  for (const Case& c : cases) {
    Bench b;
    b.run.bTestClick(b.request(c.images, c.effect));
    EXPECT_TRUE(b.dialogs.messages.empty()) << c.name;
    EXPECT_EQ(b.counters.testRunCount, 1) << c.name;
    EXPECT_EQ(b.counters.effectTestCounts[c.effect], 1) << c.name;
    EXPECT_EQ(b.htmlBuilds, 1) << c.name;
    EXPECT_EQ(b.shell.opened, std::vector<std::string>{b.page()}) << c.name;
  }
}

TEST(BrowserTestRun, WritesThePageByteForByte) {
  Bench b;
  b.run.bTestClick(b.request({"caf\xe9.gif"}, kHueRotator));
  const std::string expected =
      "<HTML>\r\n"
      "  <HEAD><META CHARSET=\"windows-1252\"></HEAD>\r\n"
      "  <BODY BGCOLOR=\"#000000\">\r\n"
      "    <P ALIGN=\"CENTER\">\r\n"
      "      <APPLET CODE=\"huecycle.class\" WIDTH=40 HEIGHT=30>\r\n"
      "      <PARAM NAME=\"GENERATOR\" VALUE=\"line two\">\r\n"
      "      <PARAM NAME=\"GENERAL\" VALUE=\"2|40|0|33\">\r\n"
      "      <PARAM NAME=\"IMAGES\" VALUE=\"caf\xe9.gif\">\r\n"
      "      <PARAM NAME=\"LINK\" VALUE=\"|\">\r\n"
      "      <PARAM NAME=\"LOAD MESSAGE\" VALUE=\"Loading...\">\r\n"
      "      </APPLET>\r\n"
      "    </P>\r\n"
      "  </BODY>\r\n"
      "</HTML>\r\n";
  EXPECT_EQ(readFileBytes(b.page()), expected);
  EXPECT_EQ(b.run.testPage(), b.dir.path() + "Applet Temp/Applet Temp.html");
}

// The page's bytes are the document's; its declaration names the set they
// are in: UTF-8 when every line is well-formed UTF-8, else windows-1252, in
// which every byte is a character.
TEST(BrowserTestRun, DeclaresTheCharacterSetOfThePagesBytes) {
  struct Case {
    const char* name;
    std::string text;
    const char* charset;
  };
  const Case cases[] = {
      {"ASCII", "Loading...", "utf-8"},
      {"UTF-8 e acute", "Caf\xC3\xA9", "utf-8"},
      {"UTF-8 euro and emoji", "\xE2\x82\xAC \xF0\x9F\x98\x80", "utf-8"},
      {"windows-1252 e acute", "Caf\xE9", "windows-1252"},
      {"windows-1252 euro", "\x80 5", "windows-1252"},
      {"cut-off sequence", "\xE2\x82", "windows-1252"},
      {"overlong slash", "\xC0\xAF", "windows-1252"},
      {"surrogate", "\xED\xA0\x80", "windows-1252"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", "windows-1252"},
  };
  for (const Case& c : cases) {
    Bench b;
    TestRunRequest request = b.request({"sun.gif"}, kHueRotator);
    request.makeHTML = [&] {
      return std::vector<std::string>{"<APPLET CODE=\"huecycle.class\" WIDTH=40 HEIGHT=30>",
                                      "<PARAM NAME=\"LOAD MESSAGE\" VALUE=\"000000|FFFFFF|" + c.text + "\">",
                                      "</APPLET>"};
    };
    b.run.bTestClick(request);
    const std::string page = readFileBytes(b.page());
    EXPECT_EQ(page.substr(0, page.find("  <BODY")),
              std::string("<HTML>\r\n  <HEAD><META CHARSET=\"") + c.charset + "\"></HEAD>\r\n")
        << c.name;
    EXPECT_NE(page.find("|" + c.text + "\">\r\n"), std::string::npos) << c.name << ": the bytes are kept";
  }
}

TEST(BrowserTestRun, PageHoldsTheLinesTheBuilderJustMadeFromTheDocument) {
  Bench b;
  const std::string image = b.dir.write("pictures/sun.gif", test::encodeGif(40, 30));
  AppletDocument document;
  document.effectIndex = kHueRotator;
  document.appletClass = "huecycle.class";
  document.imageNames = {"sun.gif"};
  document.imagePaths = {image};
  document.link = "http://example.com/";
  NullHtmlView view;
  HtmlBuilder builder(document, b.dialogs, view);
  // A previous run's page with other content is replaced.
  b.dir.write("Applet Temp/Applet Temp.html", "old page");
  TestRunRequest request = b.request(document.imageNames, document.effectIndex);
  std::vector<std::string> built;
  request.makeHTML = [&] { return built = builder.makeHTML(); };
  b.run.bTestClick(request);
  ASSERT_EQ(built.size(), 7u);
  EXPECT_EQ(built[0], "<APPLET CODE=\"huecycle.class\" WIDTH=40 HEIGHT=30>");
  std::string expected =
      "<HTML>\r\n  <HEAD><META CHARSET=\"utf-8\"></HEAD>\r\n  <BODY BGCOLOR=\"#000000\">\r\n"
      "    <P ALIGN=\"CENTER\">\r\n";
  for (const std::string& line : built) expected += "      " + line + "\r\n";
  expected += "    </P>\r\n  </BODY>\r\n</HTML>\r\n";
  EXPECT_EQ(readFileBytes(b.page()), expected);
  EXPECT_TRUE(b.dialogs.messages.empty());
}

TEST(BrowserTestRun, LeavesAllSixClassFilesBesideThePage) {
  Bench b;
  // One class file is there already and must not be overwritten.
  b.dir.write("Applet Temp/fade.class", "kept");
  b.run.bTestClick(b.request({"a.gif", "b.gif"}, kPageFlip));
  for (const std::string& name : kClassFiles)
    EXPECT_TRUE(fileExists(b.folders.appletTempFolder() + name)) << name;
  EXPECT_EQ(b.dir.read("Applet Temp/fade.class"), "kept");
  EXPECT_EQ(b.dir.read("Applet Temp/warp.class"), "class warp.class");
}

TEST(BrowserTestRun, StartsTheChosenBrowser) {
  TempDir programs;
  const std::string browser = programs.write("Net Browser/netscape.exe", "MZ");
  const std::string select = "You must select a browser before testing the Applet.";
  struct Case {
    const char* name;
    std::string browser;
    bool opened;
    bool executed;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"default", "default", true, false, {}},
      {"Default in other letter case", "Default", false, false, {select}},
      {"DEFAULT", "DEFAULT", false, false, {select}},
      {"empty choice", "", false, false, {select}},
      {"vanished path", programs.path() + "gone/netscape.exe", false, false, {select}},
      {"a folder", programs.path() + "Net Browser", false, false, {select}},
      {"existing path", browser, false, true, {}},
  };
  for (const Case& c : cases) {
    Bench b;
    b.run.bTestClick(b.request({"a.gif"}, kHueRotator, c.browser));
    EXPECT_EQ(b.dialogs.messages, c.messages) << c.name;
    // The page is written and the run counted whatever the browser.
    EXPECT_TRUE(fileExists(b.page())) << c.name;
    EXPECT_EQ(b.counters.testRunCount, 1) << c.name;
    EXPECT_EQ(b.shell.opened, c.opened ? std::vector<std::string>{b.page()} : std::vector<std::string>{})
        << c.name;
    ASSERT_EQ(b.shell.executed.size(), c.executed ? 1u : 0u) << c.name;
    if (c.executed) {
      const auto& e = b.shell.executed[0];
      EXPECT_EQ(e.fileName, "netscape.exe") << c.name;
      // Quoted, so the page's blanks do not split it into two arguments.
      EXPECT_EQ(e.parameters, "\"" + b.page() + "\"") << c.name;
      EXPECT_EQ(splitCommandLine(e.parameters), std::vector<std::string>{b.page()}) << c.name;
      EXPECT_EQ(e.defaultFolder, programs.path() + "Net Browser/") << c.name;
      EXPECT_EQ(e.showCommand, 5) << c.name;
    }
  }
}

TEST(BrowserTestRun, ServedOverLoopbackTheBrowserGetsThePagesAddress) {
  TempDir programs;
  const std::string browser = programs.write("bin/browser", "#!/bin/sh\n");
  Bench b;
  b.run.setServeOverLoopback(true);
  b.run.bTestClick(b.request({"a.gif"}, kHueRotator));
  ASSERT_EQ(b.shell.opened.size(), 1u);
  const std::string address = b.shell.opened[0];
  ASSERT_TRUE(address.starts_with("http://127.0.0.1:")) << address;
  ASSERT_TRUE(address.ends_with("/Applet%20Temp.html")) << address;

  // The address gives the page just written, byte for byte.
  const std::string hostPort = address.substr(7, address.find('/', 7) - 7);
  const int port = std::stoi(hostPort.substr(hostPort.find(':') + 1));
  const std::string answer = test::exchangeWithLoopback(
      port, "GET /Applet%20Temp.html HTTP/1.1\r\nHost: " + hostPort + "\r\n\r\n");
  EXPECT_TRUE(answer.starts_with("HTTP/1.1 200 OK\r\n")) << answer;
  EXPECT_EQ(answer.substr(answer.find("\r\n\r\n") + 4), b.dir.read("Applet Temp/Applet Temp.html"));

  // A chosen browser gets the same address, and a second run the same server.
  b.run.bTestClick(b.request({"a.gif"}, kHueRotator, browser));
  ASSERT_EQ(b.shell.executed.size(), 1u);
  EXPECT_EQ(b.shell.executed[0].parameters, "\"" + address + "\"");
}

TEST(BrowserTestRun, CountsEveryRunThatGetsPastTheChecks) {
  Bench b;
  b.run.bTestClick(b.request({"a.gif"}, kHueRotator));
  b.run.bTestClick(b.request({"a.gif"}, kPageFlip));  // refused
  b.run.bTestClick(b.request({"a.gif", "b.gif"}, kPageFlip));
  b.run.bTestClick(b.request({"a.gif"}, kHueRotator, "nowhere"));
  EXPECT_EQ(b.counters.testRunCount, 3);
  EXPECT_EQ(b.counters.effectTestCounts[kHueRotator], 2);
  EXPECT_EQ(b.counters.effectTestCounts[kPageFlip], 1);
  EXPECT_EQ(b.htmlBuilds, 3);
}

TEST(BrowserTestRun, WriteFailuresRaiseInputOutputErrorsAfterCounting) {
  struct Case {
    const char* name;
    std::function<void(TempDir&)> spoil;
  };
  const Case cases[] = {
      {"a file stands where the test folder goes", [](TempDir& d) { d.write("Applet Temp", "file"); }},
      {"a folder stands where the page goes", [](TempDir& d) { d.mkdir("Applet Temp/Applet Temp.html"); }},
  };
  for (const Case& c : cases) {
    Bench b;
    c.spoil(b.dir);
    EXPECT_THROW(b.run.bTestClick(b.request({"a.gif"}, kHueRotator)), EInOutError) << c.name;
    EXPECT_EQ(b.counters.testRunCount, 1) << c.name;
    EXPECT_TRUE(b.shell.opened.empty()) << c.name;
  }
}

TEST(BrowserTestRun, MissingProgramFolderLeavesTheClassFilesOutQuietly) {
  TempDir dir;
  ProgramFolders folders(dir.path() + "empty/");
  std::filesystem::create_directories(dir.path() + "empty");
  test::RecordingShell shell;
  test::ScriptedDialogs dialogs;
  RequiredFiles requiredFiles(folders, shell);
  BrowserTestRun run(requiredFiles, shell, dialogs);
  TestRunRequest request;
  request.imageNames = {"a.gif"};
  request.effectIndex = kHueRotator;
  request.currentBrowser = "default";
  request.makeHTML = [] { return kSevenLines; };
  run.bTestClick(request);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(fileExists(folders.appletTempFolder() + "Applet Temp.html"));
  EXPECT_FALSE(fileExists(folders.appletTempFolder() + "fade.class"));
}

TEST(BrowserTestRun, PutsThePlayerBesideThePageWhileItIsWanted) {
  for (const bool wanted : {true, false}) {
    Bench b;
    b.dir.write(kPlayerFile, "// player");
    b.requiredFiles.setPlayerWanted([wanted] { return wanted; });
    std::vector<std::string> lines = kSevenLines;
    if (wanted) lines.push_back(kPlayerScriptLine);
    TestRunRequest request = b.request({"a.gif"}, kHueRotator);
    request.makeHTML = [lines] { return lines; };
    b.run.bTestClick(request);
    EXPECT_EQ(fileExists(b.folders.appletTempFolder() + kPlayerFile), wanted);
    const std::string page = readFileBytes(b.page());
    EXPECT_EQ(page.find("      <SCRIPT SRC=\"glimmerax-player.js\"></SCRIPT>\r\n    </P>\r\n") != std::string::npos,
              wanted);
  }
}

}  // namespace
}  // namespace glx
