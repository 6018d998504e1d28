// "glimmerax --publish": run as a process, with no display, from a copy of
// the program in a temporary folder with data files of the test's own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QProcess>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>

#include "tests/app/command_test_support.h"
#include "tests/publish/image_fixtures.h"
#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

namespace fs = std::filesystem;
using test::ProcessResult;

const std::string kFixtures = GLX_PRINT_FIXTURES;
const std::string kExecutable = GLX_EXECUTABLE;
const std::string kPlayer = "// the player of this test\n";
const char* const kClassFiles[] = {"warp.class", "fade.class", "huecycle.class",
                                   "colorwarp.class", "pageflip.class", "underwater.class"};

// Every path below a folder with the bytes of each file, so that a run can
// be shown to change nothing.
std::map<std::string, std::string> snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    std::string bytes = "(folder)";
    if (it->is_regular_file()) {
      std::ifstream in(it->path(), std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    files[fs::relative(it->path(), folder).string()] = bytes;
  }
  return files;
}

// A project file as the program writes one.
std::string project(int effect, const std::vector<std::pair<std::string, std::string>>& images,
                    const std::string& alternativeHtml = "no java") {
  std::string text =
      "Glimmerax File\r\nIf you alter the values below this file may not open properly.\r\n1\r\n" +
      std::to_string(effect) + "\r\n40\r\n1\r\npages/a.html\r\n_top\r\n$00FF8000\r\n" +
      std::to_string(images.size()) + "\r\nclBlack\r\nclWhite\r\nWait...\r\n" + alternativeHtml + "\r\n";
  for (const auto& [path, name] : images) text += path + "\r\n" + name + "\r\n";
  return text;
}

class PublishTest : public ::testing::Test {
 protected:
  // One copy of the program for all tests: it is large.
  static void SetUpTestSuite() {
    program = std::make_unique<test::TempDir>();
    fs::copy_file(kExecutable, program->path() + "glimmerax");
    for (const char* name : kClassFiles) program->write(name, std::string("class file ") + name);
    program->write("glimmerax-player.js", kPlayer);
  }
  static void TearDownTestSuite() { program.reset(); }

  PublishTest() {
    work.write("sun.gif", sun);
    work.write("pictures/moon.gif", moon);
    work.write("broken.gif", readFixture("broken.gif"));
    work.write("sun.glx", project(3, {{"sun.gif", "sun.gif"}, {work / "pictures/moon.gif", "moon.gif"}}));
  }

  static std::string readFixture(const std::string& name) {
    std::ifstream in(kFixtures + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  void storeSetting(bool on) { test::storePlayInBrowsers(home, on); }

  ProcessResult run(const QStringList& arguments) {
    return test::runProcess(program->path() + "glimmerax", arguments, {test::commandEnvironment(home), work.path()});
  }
  ProcessResult publish(const std::string& projectFile, const std::string& folder, bool force = false) {
    QStringList arguments{"--publish", QString::fromStdString(projectFile), QString::fromStdString(folder)};
    if (force) arguments << "--force";
    return run(arguments);
  }

  // The page: an HTML5 document whose main region holds the --print-html
  // lines as they are printed.
  std::string expectedPage(const std::string& projectFile, const std::string& title = "sun",
                           const std::string& description = "no java") {
    const ProcessResult printed = run({"--print-html", QString::fromStdString(projectFile)});
    EXPECT_EQ(printed.exitCode, 0) << printed.err;
    return headOf("utf-8", title, description) + "<body>\r\n<main>\r\n" + printed.out +
           "</main>\r\n</body>\r\n</html>\r\n";
  }

  static std::string headOf(const std::string& charset, const std::string& title, const std::string& description) {
    std::string head =
        "<!DOCTYPE html>\r\n"
        "<html lang=\"en\">\r\n"
        "<head>\r\n"
        "  <meta charset=\"" + charset + "\">\r\n"
        "  <meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n"
        "  <title>" + title + "</title>\r\n";
    if (!description.empty()) head += "  <meta name=\"description\" content=\"" + description + "\">\r\n";
    return head +
           "  <link rel=\"icon\" href=\"data:,\">\r\n"
           "  <style>body{margin:0;background:#000000}main{text-align:center;padding:1em 0}</style>\r\n"
           "</head>\r\n";
  }

  static std::unique_ptr<test::TempDir> program;
  test::TempDir work;
  test::TempDir home;
  const std::string sun = test::encodeGif(120, 80);
  const std::string moon = test::encodeGif(60, 40);
};

std::unique_ptr<test::TempDir> PublishTest::program;

TEST_F(PublishTest, WritesAFolderReadyToUpload) {
  const auto programBefore = snapshot(program->path());
  const auto homeBefore = snapshot(home.path());
  const ProcessResult r = publish("sun.glx", "site/www");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "site/www/sun.gif\nsite/www/moon.gif\nsite/www/pageflip.class\nsite/www/glimmerax-player.js\n"
            "site/www/index.html\n");
  const std::map<std::string, std::string> expected = {
      {"sun.gif", sun},
      {"moon.gif", moon},
      {"pageflip.class", "class file pageflip.class"},
      {"glimmerax-player.js", kPlayer},
      {"index.html", expectedPage("sun.glx")},
  };
  EXPECT_EQ(snapshot(work / "site/www"), expected);
  EXPECT_NE(expected.at("index.html").find("no java\r\n</APPLET>\r\n"
                                           "<SCRIPT SRC=\"glimmerax-player.js\"></SCRIPT>\r\n</main>"),
            std::string::npos);
  EXPECT_EQ(snapshot(program->path()), programBefore) << "no working folder or usage log beside the program";
  EXPECT_EQ(snapshot(home.path()), homeBefore) << "no settings written";
}

TEST_F(PublishTest, WithTheSettingOffThePageHoldsTheSevenLinesAlone) {
  storeSetting(false);
  const auto homeBefore = snapshot(home.path());
  const ProcessResult r = publish("sun.glx", work / "site");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, work / "site/sun.gif\n" + work / "site/moon.gif\n" + work / "site/pageflip.class\n" +
                       work / "site/index.html\n");
  const std::string page = work.read("site/index.html");
  EXPECT_EQ(page, expectedPage("sun.glx"));
  EXPECT_EQ(page.find("SCRIPT"), std::string::npos);
  // Only the description names the alternative HTML.
  EXPECT_EQ(page.find("no java"), page.find("content=\"no java\"") + 9);
  EXPECT_EQ(page.find("no java", page.find("no java") + 1), std::string::npos);
  EXPECT_EQ(snapshot(home.path()), homeBefore);
}

// The page's head: its title is the project's name, its description the
// alternative HTML as plain text, and it declares the character set its
// bytes are in. The applet's lines are those --print-html prints.
TEST_F(PublishTest, ThePageIsAnHtml5DocumentNamedAfterTheProject) {
  const std::string longText =
      "<p>A sunset over the bay, photographed from the old lighthouse on a summer evening, when the light turns "
      "the water copper and the boats come home one after the other, slowly, while gulls circle overhead</p>";
  struct Case {
    const char* name;
    std::string projectFile;
    std::string alternativeHtml;
    std::string charset, title, description;
  };
  const Case cases[] = {
      {"plain", "sun.glx", "no java", "utf-8", "sun", "no java"},
      {"no alternative HTML", "Bare.GLX", "", "utf-8", "Bare", ""},
      {"markup in both", "Tom & \"Jerry\" <b>.glx",
       "<!-- note --><p>Sun &amp; moon</p>\x1E<script>var x = 1;</script><ul><li>one</li><li>t<b>w</b>o</li></ul>",
       "utf-8", "Tom &amp; &quot;Jerry&quot; &lt;b&gt;", "Sun &amp; moon one two"},
      {"quotes and a bare ampersand", "q.glx", "He said \"5 > 3 & 2 < 4\"", "utf-8", "q",
       "He said &quot;5 &gt; 3 &amp; 2 &lt; 4&quot;"},
      {"UTF-8 text", "caf\xC3\xA9.glx", "Caf\xC3\xA9 cr\xC3\xA8me", "utf-8", "caf\xC3\xA9", "Caf\xC3\xA9 cr\xC3\xA8me"},
      {"8-bit text from elsewhere", "old.glx", "Caf\xE9", "windows-1252", "old", "Caf\xE9"},
      {"long text", "long.glx", longText, "utf-8", "long",
       "A sunset over the bay, photographed from the old lighthouse on a summer evening, when the light turns the "
       "water copper and the boats come home one after the..."},
  };
  for (const Case& c : cases) {
    work.write(c.projectFile, project(3, {{"sun.gif", "sun.gif"}, {work / "pictures/moon.gif", "moon.gif"}},
                                      c.alternativeHtml));
    fs::remove_all(work / "site");
    const ProcessResult r = publish(c.projectFile, "site");
    ASSERT_EQ(r.exitCode, 0) << c.name << ": " << r.err;
    const std::string page = work.read("site/index.html");
    const ProcessResult printed = run({"--print-html", QString::fromStdString(c.projectFile)});
    ASSERT_EQ(printed.exitCode, 0) << c.name << ": " << printed.err;
    EXPECT_EQ(page, headOf(c.charset, c.title, c.description) + "<body>\r\n<main>\r\n" + printed.out +
                        "</main>\r\n</body>\r\n</html>\r\n")
        << c.name;
  }
}

TEST_F(PublishTest, NeverReplacesADifferingFileUnlessForced) {
  ASSERT_EQ(publish("sun.glx", "site").exitCode, 0);
  // Published again unchanged: nothing to write, no conflict.
  ProcessResult r = publish("sun.glx", "site");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");

  // Someone's own page and a changed image stand in the way.
  work.write("site/index.html", "my own page");
  work.write("pictures/moon.gif", test::encodeGif(61, 40));
  const auto before = snapshot(work / "site");
  r = publish("sun.glx", "site");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "The file \"site/moon.gif\" already exists and differs from the one to be published\n"
            "The file \"site/index.html\" already exists and differs from the one to be published\n"
            "Nothing was written. Give --force to replace what differs.\n");
  EXPECT_EQ(snapshot(work / "site"), before);

  r = publish("sun.glx", "site", true);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "site/moon.gif\nsite/index.html\n");
  EXPECT_EQ(work.read("site/index.html"), expectedPage("sun.glx"));
  EXPECT_EQ(work.read("site/moon.gif"), test::encodeGif(61, 40));
  // --force may come anywhere after --publish.
  work.write("site/index.html", "again my own page");
  r = run({"--publish", "--force", "sun.glx", "site"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "site/index.html\n");
}

TEST_F(PublishTest, EveryFailureSaysWhyAndLeavesNothingBehind) {
  const std::string decoderMessage = test::decoderMessage(kFixtures + "broken.gif");
  ASSERT_FALSE(decoderMessage.empty());
  work.write("missing.glx", project(3, {{"sun.gif", "sun.gif"}, {work / "gone/moon.gif", "moon.gif"}}));
  work.write("broken.glx", project(1, {{"broken.gif", "broken.gif"}}));
  work.write("png.glx", project(1, {{work / "pictures/sun.png", "sun.png"}}));
  work.write("pictures/sun.png", sun);  // a GIF by its content
  work.write("noimages.glx", project(1, {}));
  work.write("onefade.glx", project(0, {{"sun.gif", "sun.gif"}}));
  work.write("escape.glx", project(1, {{"sun.gif", "../sun.gif"}}));
  work.write("page.glx", project(1, {{"sun.gif", "sun.gif"}, {"sun.gif", "index.html"}}));
  work.write("a file", "not a folder");
  struct Case {
    const char* name;
    QStringList arguments;
    std::string err;
  };
  const Case cases[] = {
      {"no such project", {"--publish", "absent.glx", "site"}, "File not found\n"},
      {"a folder for a project", {"--publish", ".", "site"}, "File access denied\n"},
      {"an image that is gone", {"--publish", "missing.glx", "site"},
       "Cannot find the image \"moon.gif\" (nor \"" + work / "gone/moon.gif" + "\")\n"},
      {"first image cannot be decoded", {"--publish", "broken.glx", "site"}, decoderMessage + "\n"},
      {"first image of no accepted kind", {"--publish", "png.glx", "site"},
       "The first image \"sun.png\" cannot give the applet its size: it must be named .gif, .GIF, .jpg or .JPG\n"},
      {"no images", {"--publish", "noimages.glx", "site"},
       "This applet will not work because it does not contain any images.\n"
       "          Press the \"Add Image\" to add an image to the applet.\n"},
      {"one image where two are needed", {"--publish", "onefade.glx", "site"},
       "          This applet must contain more than one image.\n"
       "Press the \"Add Image\" to add another image to the applet.\n"},
      {"an image name leading out of the folder", {"--publish", "escape.glx", "site"},
       "The image name \"../sun.gif\" is not a plain file name, so no page can use it\n"},
      {"an image named like the page", {"--publish", "page.glx", "site"},
       "The image name \"index.html\" is needed for the published page itself\n"},
      {"a file where the folder goes", {"--publish", "sun.glx", "a file"},
       "Cannot publish into \"a file\": it is not a folder\n"},
      {"a file where a parent folder goes", {"--publish", "sun.glx", "a file/site/www"},
       "Cannot create the folder \"a file/site\": Not a directory\n"},
      {"no folder named", {"--publish", "sun.glx"}, "Usage: glimmerax --publish PROJECT.glx FOLDER [--force]\n"},
      {"too much named", {"--publish", "sun.glx", "site", "more"},
       "Usage: glimmerax --publish PROJECT.glx FOLDER [--force]\n"},
  };
  const auto programBefore = snapshot(program->path());
  const auto workBefore = snapshot(work.path());
  const auto homeBefore = snapshot(home.path());
  for (const Case& c : cases) {
    const ProcessResult r = run(c.arguments);
    EXPECT_EQ(r.exitCode, 1) << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
    EXPECT_EQ(r.out, "") << c.name;
    EXPECT_EQ(snapshot(work.path()), workBefore) << c.name;
  }
  EXPECT_EQ(snapshot(program->path()), programBefore);
  EXPECT_EQ(snapshot(home.path()), homeBefore);
}

TEST_F(PublishTest, AMissingDataFileIsAFailure) {
  const std::string classFile = program->path() + "pageflip.class";
  fs::rename(classFile, classFile + ".away");
  const ProcessResult r = publish("sun.glx", "site");
  fs::rename(classFile + ".away", classFile);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "Cannot read the class file \"" + classFile + "\": File not found\n");
  EXPECT_FALSE(fs::exists(work / "site"));
}

// A project names any local file as a picture; only GIF and JPEG pictures
// by their content are published, and a refusal writes nothing at all.
TEST_F(PublishTest, RefusesAnImageThatIsNoPictureAndWritesNothing) {
  work.write("etc/passwd", "root:x:0:0:root:/root:/bin/bash\n");
  work.write("pictures/photo.jpg", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
  work.write("pictures/cut.gif", moon.substr(0, 10));
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> images;
    std::string err;
  };
  const Case cases[] = {
      {"a text file named .gif", {{"sun.gif", "sun.gif"}, {work / "etc/passwd", "pw.gif"}},
       "pw.gif is not a GIF or JPEG picture.\n"},
      {"a PNG named .jpg", {{"sun.gif", "sun.gif"}, {work / "pictures/photo.jpg", "photo.jpg"}},
       "photo.jpg is not a GIF or JPEG picture.\n"},
      {"a GIF cut in its header", {{"sun.gif", "sun.gif"}, {work / "pictures/cut.gif", "cut.gif"}},
       "cut.gif is not a GIF or JPEG picture.\n"},
      {"a text file as the first image", {{work / "etc/passwd", "pw.gif"}, {"sun.gif", "sun.gif"}},
       "pw.gif is not a GIF or JPEG picture.\n"},
  };
  for (const Case& c : cases) {
    work.write("hostile.glx", project(3, c.images));
    const auto workBefore = snapshot(work.path());
    for (const bool force : {false, true}) {
      const ProcessResult r = publish("hostile.glx", "site", force);
      EXPECT_EQ(r.exitCode, 1) << c.name;
      EXPECT_EQ(r.err, c.err) << c.name;
      EXPECT_EQ(r.out, "") << c.name;
      EXPECT_EQ(snapshot(work.path()), workBefore) << c.name;
    }
  }
}

// Whether the kernel lists the process as waiting for a file lock.
bool waitsForALock(qint64 pid) {
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line))
    if (line.find("-> FLOCK") != std::string::npos && line.find(" " + std::to_string(pid) + " ") != std::string::npos)
      return true;
  return false;
}

// A run into a folder that another run holds waits for it, writing nothing
// meanwhile, then publishes; the lock file goes with the lock.
TEST_F(PublishTest, WaitsForTheRunThatHoldsTheFolder) {
  const std::string lockPath = work / "site.lock";
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  QProcess process;
  process.setProcessEnvironment(test::commandEnvironment(home));
  process.setWorkingDirectory(QString::fromStdString(work.path()));
  process.start(QString::fromStdString(program->path() + "glimmerax"), {"--publish", "sun.glx", "site"});
  ASSERT_TRUE(process.waitForStarted());
  bool waiting = false;
  for (int i = 0; i < 600 && !waiting && process.state() == QProcess::Running; ++i) {
    waiting = waitsForALock(process.processId());
    if (!waiting) process.waitForFinished(50);
  }
  EXPECT_TRUE(waiting) << "the run did not wait for the lock";
  EXPECT_FALSE(fs::exists(work / "site")) << "written while another run held the folder";
  ::unlink(lockPath.c_str());  // as the holding run does when it ends
  ::close(fd);
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  EXPECT_EQ(readFileBytes(work / "site/sun.gif"), sun);
  EXPECT_FALSE(fs::exists(lockPath));
}

// Concurrent runs of two projects into one folder: whichever comes last,
// the folder holds what that project alone publishes, page and pictures.
TEST_F(PublishTest, ConcurrentRunsLeaveOneProjectsFolder) {
  // Pictures of one name and other sizes, found by their paths: the runs
  // start in a folder where no picture of that name lies.
  const std::string elsewhere = work.mkdir("elsewhere");
  work.write("a/sun.gif", sun);
  work.write("a/moon.gif", moon);
  work.write("b/sun.gif", test::encodeGif(100, 50));
  work.write("b/moon.gif", test::encodeGif(30, 20));
  const std::string projects[] = {
      work.write("a.glx", project(3, {{work / "a/sun.gif", "sun.gif"}, {work / "a/moon.gif", "moon.gif"}})),
      work.write("b.glx", project(3, {{work / "b/sun.gif", "sun.gif"}, {work / "b/moon.gif", "moon.gif"}}))};
  const auto start = [&](const std::string& projectFile, const std::string& folder) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(test::commandEnvironment(home));
    process->setWorkingDirectory(QString::fromStdString(elsewhere));
    process->start(QString::fromStdString(program->path() + "glimmerax"),
                   {"--publish", QString::fromStdString(projectFile), QString::fromStdString(folder), "--force"});
    return process;
  };
  std::map<std::string, std::string> alone[2];
  for (int p = 0; p < 2; ++p) {
    auto process = start(projects[p], work / ("alone" + std::to_string(p)));
    ASSERT_TRUE(process->waitForFinished(60000));
    ASSERT_EQ(process->exitCode(), 0) << process->readAllStandardError().toStdString();
    alone[p] = snapshot(work / ("alone" + std::to_string(p)));
  }
  ASSERT_NE(alone[0].at("index.html"), alone[1].at("index.html"));
  ASSERT_NE(alone[0].at("sun.gif"), alone[1].at("sun.gif"));
  for (int round = 0; round < 6; ++round) {
    std::vector<std::unique_ptr<QProcess>> runs;
    for (int i = 0; i < 4; ++i) runs.push_back(start(projects[i % 2], work / "shared"));
    for (auto& process : runs) {
      ASSERT_TRUE(process->waitForFinished(60000)) << "round " << round;
      EXPECT_EQ(process->exitCode(), 0) << "round " << round << ": " << process->readAllStandardError().toStdString();
    }
    const auto shared = snapshot(work / "shared");
    // Compared whole: a mismatch would print kilobytes of picture.
    EXPECT_TRUE(shared == alone[0] || shared == alone[1]) << "round " << round << ": a mixed folder";
    EXPECT_FALSE(fs::exists(work / "shared.lock")) << "round " << round;
  }
}

}  // namespace
}  // namespace glx
