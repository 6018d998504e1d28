#include "app/export_animation.h"

#include <QAction>
#include <QBuffer>
#include <QImage>
#include <QProgressDialog>
#include <QTimer>
#include <filesystem>
#include <sstream>

#include "publish/required_files.h"
#include "tests/app/main_window_fixture.h"
#include "tests/app/web_test_support.h"
#include "tests/publish/animation_decode.h"
#include "tests/publish/exif_fixture.h"
#include "tests/support/process_run.h"

namespace glx::test {
namespace {

DecodedAnimation decodeFile(const std::string& path) {
  if (path.ends_with(".gif")) return decodeGifAnimation(path);
  return decodeWebpAnimation(readFileBytes(path));
}

std::vector<std::string> entriesOf(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class ExportTest : public MainWindowTest {
 protected:
  ExportTest() {
    fx.dir.write(kPlayerFile, readFileBytes(GLX_TEST_PLAYER));
    first = writeGradientJpeg(pictures / "first.jpg", 80, 60, qRgb(255, 80, 40));
    second = writeGradientJpeg(pictures / "second.jpg", 80, 60, qRgb(40, 120, 255));
    project = writeProject(pictures / "two.glx", {first, second});
  }
  std::string first, second, project;
  TempDir out;
};

TEST_F(ExportTest, OneCycleOfThePlayersStepsWithItsTimingLooping) {
  for (const char* name : {"two.gif", "two.webp"}) {
    std::ostringstream said, errors;
    ASSERT_EQ(exportProjectAnimation(project, out / name, GLX_TEST_PLAYER, said, errors), 0) << errors.str();
    EXPECT_EQ(said.str(), "Exported 20 frames of 80 x 60 to \"" + out / name + "\".\n");
    const DecodedAnimation animation = decodeFile(out / name);
    EXPECT_EQ(animation.width, 80);
    EXPECT_EQ(animation.height, 60);
    ASSERT_EQ(animation.frames.size(), 20u) << name;  // two images, ten steps each
    EXPECT_TRUE(animation.loopsForever) << name;
    for (int delay : animation.delaysMs) EXPECT_EQ(delay, 50) << name;
    EXPECT_LT(meanDifference(animation.frames[0], rgbaOf(first)), 8.0) << name;
    EXPECT_LT(meanDifference(animation.frames[10], rgbaOf(second)), 8.0) << name;
    EXPECT_GT(meanDifference(animation.frames[0], animation.frames[10]), 20.0) << name;
  }
  EXPECT_EQ(entriesOf(out.path()), (std::vector<std::string>{"two.gif", "two.webp"}));
}

// A portrait photo from a phone, stored 320 x 200 and turned by its EXIF
// orientation, is exported upright at the size the HTML gives it, 200 x 320.
TEST_F(ExportTest, APortraitPhotoIsExportedUprightAtTheHtmlsSize) {
  // Stored: left half red, right half blue.
  QImage stored(320, 200, QImage::Format_RGB32);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 320; ++x) stored.setPixel(x, y, x < 160 ? qRgb(230, 20, 20) : qRgb(20, 20, 230));
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(stored.save(&buffer, "JPG", 95));
  const std::string plain(jpeg.constData(), static_cast<size_t>(jpeg.size()));

  struct Case {
    int orientation;
    bool bigEndian;
    bool redOnTop;  // 6 turns the stored left edge to the top, 8 to the bottom
  } cases[] = {{6, false, true}, {8, true, false}};
  for (const Case& c : cases) {
    const std::string name = "portrait" + std::to_string(c.orientation);
    const std::string image = pictures.write(name + ".jpg", withExifOrientation(plain, c.orientation, c.bigEndian));
    std::ostringstream said, errors;
    ASSERT_EQ(exportProjectAnimation(writeProject(pictures / (name + ".glx"), {image, image}), out / (name + ".gif"),
                                     GLX_TEST_PLAYER, said, errors),
              0)
        << errors.str();
    const DecodedAnimation animation = decodeFile(out / (name + ".gif"));
    EXPECT_EQ(animation.width, 200) << c.orientation;
    EXPECT_EQ(animation.height, 320) << c.orientation;
    ASSERT_FALSE(animation.frames.empty());
    const auto& frame = animation.frames[0];
    ASSERT_EQ(frame.size(), 200u * 320u * 4u);
    const auto red = [&](int x, int y) { return frame[(static_cast<size_t>(y) * 200 + x) * 4]; };
    const auto blue = [&](int x, int y) { return frame[(static_cast<size_t>(y) * 200 + x) * 4 + 2]; };
    const int top = 60, bottom = 260;
    EXPECT_GT(c.redOnTop ? red(100, top) : blue(100, top), 180) << c.orientation;
    EXPECT_LT(c.redOnTop ? blue(100, top) : red(100, top), 80) << c.orientation;
    EXPECT_GT(c.redOnTop ? blue(100, bottom) : red(100, bottom), 180) << c.orientation;
    EXPECT_LT(c.redOnTop ? red(100, bottom) : blue(100, bottom), 80) << c.orientation;
  }
}

TEST_F(ExportTest, WhatStopsTheAppletStopsTheExport) {
  struct Case {
    std::vector<std::string> images;
    std::string message;
  } cases[] = {
      {{}, kNoImagesMessage},
      {{first}, kNeedsTwoImagesMessage},
      {{pictures / "gone.jpg", second}, "ERROR: I can not find the image \"gone.jpg\" The applet may not work properly."},
  };
  for (const Case& c : cases) {
    std::ostringstream said, errors;
    EXPECT_EQ(exportProjectAnimation(writeProject(pictures / "p.glx", c.images), out / "x.gif", GLX_TEST_PLAYER,
                                     said, errors),
              1);
    EXPECT_EQ(errors.str(), c.message + "\n");
  }
  EXPECT_TRUE(entriesOf(out.path()).empty());
}

TEST_F(ExportTest, CancelInTheProgressDialogLeavesNoFile) {
  start();
  addImages({first, second});
  dialogs.saveAnswers.push_back(out / "cancelled.gif");
  int seenAt = -1;
  QTimer cancel;
  QObject::connect(&cancel, &QTimer::timeout, [&] {
    auto* progress = window->findChild<QProgressDialog*>(QStringLiteral("exportProgress"));
    if (progress && progress->value() >= 3 && seenAt < 0) {
      seenAt = progress->value();
      EXPECT_EQ(progress->maximum(), 20);
      progress->cancel();
    }
  });
  cancel.start(5);
  window->findChild<QAction*>(QStringLiteral("exportMenuItem"))->trigger();
  cancel.stop();
  EXPECT_GE(seenAt, 3);
  EXPECT_TRUE(entriesOf(out.path()).empty());
  EXPECT_EQ(window->findChild<QProgressDialog*>(QStringLiteral("exportProgress")), nullptr);
  EXPECT_TRUE(errors.errors.empty());

  // Not cancelled: the file is there.
  dialogs.saveAnswers.push_back(out / "done.webp");
  window->findChild<QAction*>(QStringLiteral("exportMenuItem"))->trigger();
  EXPECT_EQ(entriesOf(out.path()), std::vector<std::string>{"done.webp"});
  EXPECT_EQ(decodeFile(out / "done.webp").frames.size(), 20u);
}

TEST_F(ExportTest, TheWindowCommandShowsTheBuildsMessagesAndRefusesOtherTypes) {
  start();
  window->findChild<QAction*>(QStringLiteral("exportMenuItem"))->trigger();
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{kNoImagesMessage});
  addImages({first, second});
  dialogs.messages.clear();
  dialogs.saveAnswers.push_back(out / "still.png");
  window->findChild<QAction*>(QStringLiteral("exportMenuItem"))->trigger();
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{kAnimationTypeMessage});
  EXPECT_TRUE(entriesOf(out.path()).empty());
}

// The command line, as a process of its own with no display.
ProcessResult runExport(const QStringList& arguments, const std::string& configHome) {
  QProcessEnvironment env = withoutDisplay(QProcessEnvironment::systemEnvironment());
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(configHome));
  // Under the sanitizers the leak checker's own summary of its suppressions
  // would stand in the standard error this test reads.
  const QString leakOptions = env.value(QStringLiteral("LSAN_OPTIONS"));
  env.insert(QStringLiteral("LSAN_OPTIONS"),
             leakOptions.isEmpty() ? QStringLiteral("print_suppressions=0") : leakOptions + QStringLiteral(":print_suppressions=0"));
  ProcessOptions options;
  options.environment = env;
  options.finishMs = 120000;
  return runProcess(GLX_EXECUTABLE, QStringList{QString::fromLatin1(kExportAnimationOption)} + arguments, options);
}

TEST_F(ExportTest, TheCommandLineNeedsNoDisplayAndChangesNoSettings) {
  TempDir home;
  const std::string usageLog = folderOf(GLX_EXECUTABLE) + "config.data";
  const bool hadUsageLog = fileExists(usageLog);
  const std::string usageBefore = hadUsageLog ? readFileBytes(usageLog) : std::string();

  const ProcessResult written = runExport({QString::fromStdString(project), QString::fromStdString(out / "shipped.gif")},
                                home.path());
  EXPECT_EQ(written.exitCode, 0) << written.err;
  // Its result line and nothing else: none of the web engine's notes.
  const std::string said = " frames of 80 x 60 to \"" + out / "shipped.gif" + "\".\n";
  EXPECT_TRUE(written.out.starts_with("Exported ") && written.out.ends_with(said) &&
              written.out.find('\n') == written.out.size() - 1)
      << written.out;
  EXPECT_EQ(written.err, "");
  const DecodedAnimation animation = decodeFile(out / "shipped.gif");
  EXPECT_GE(animation.frames.size(), 1u);
  EXPECT_EQ(animation.width, 80);
  EXPECT_TRUE(animation.loopsForever);

  const struct {
    QStringList arguments;
    std::string error;
  } failures[] = {
      {{QString::fromStdString(project), QString::fromStdString(out / "missing/x.gif")},
       "The animation \"" + out / "missing/x.gif" + "\" could not be written: The folder does not exist\n"},
      {{QString::fromStdString(project), QString::fromStdString(out.path())},
       std::string(kAnimationTypeMessage) + "\n"},
      {{QString::fromStdString(project)}, std::string(kExportUsage) + "\n"},
  };
  for (const auto& f : failures) {
    const ProcessResult run = runExport(f.arguments, home.path());
    EXPECT_EQ(run.exitCode, 1) << f.error;
    EXPECT_EQ(run.err, f.error);
  }
  EXPECT_EQ(entriesOf(out.path()), std::vector<std::string>{"shipped.gif"});
  EXPECT_TRUE(entriesOf(home.path()).empty());
  EXPECT_EQ(fileExists(usageLog), hadUsageLog);
  if (hadUsageLog) EXPECT_EQ(readFileBytes(usageLog), usageBefore);
}

}  // namespace
}  // namespace glx::test
