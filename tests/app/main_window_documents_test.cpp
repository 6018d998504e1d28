// The main window over the document's HTML, project files, the close
// question and the browser test run.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QMenu>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include "app/field_hint.h"
#include "app/image_list_view.h"
#include "document/html_builder.h"
#include "platform/registry.h"
#include "update/update_check.h"
#include "settings/bound_widgets.h"
#include "settings/setting.h"
#include "platform/file_ops.h"
#include "publish/test_run.h"
#include "app/field_hint.h"
#include "tests/app/main_window_fixture.h"

namespace glx::test {
namespace {

// As the box shows them by default, for today's browsers.
std::vector<std::string> sunLines(const std::string& link) {
  return {"<APPLET CODE=\"fade.class\" WIDTH=120 HEIGHT=80>",
          kGeneratorLine,
          "<PARAM NAME=\"GENERAL\" VALUE=\"1|7|000000|33|40|0|1|\">",
          "<PARAM NAME=\"IMAGES\" VALUE=\"sun.jpg|\">",
          "<PARAM NAME=\"LINK\" VALUE=\"" + link + "| | |\">",
          "<PARAM NAME=\"LOAD MESSAGE\" VALUE=\"000000|FFFFFF|Loading...\">",
          "</APPLET>",
          kPlayerScriptLine};
}

TEST_F(MainWindowTest, HtmlBoxRebuiltOnPageSwitchAndOnClickWhileModified) {
  start();
  addImages({jpegFile(pictures, "sun.jpg", 120, 80)});
  EXPECT_TRUE(boxLines(window->htmlBox).empty());
  window->Tabs->setCurrentWidget(window->HTMLTab);
  EXPECT_EQ(boxLines(window->htmlBox), sunLines(" "));

  // An edit leaves the old text in the box...
  window->Tabs->setCurrentWidget(window->settingsTab);
  QTest::keyClicks(window->eLink, "a.html");
  window->Tabs->setCurrentWidget(window->HTMLTab);
  EXPECT_EQ(boxLines(window->htmlBox), sunLines("a.html"));
  doc().link = "b.html";
  EXPECT_EQ(boxLines(window->htmlBox), sunLines("a.html"));
  // ...until a click while modified,
  QTest::mousePress(window->htmlBox->viewport(), Qt::LeftButton);
  QTest::mouseRelease(window->htmlBox->viewport(), Qt::LeftButton);
  EXPECT_EQ(boxLines(window->htmlBox), sunLines("b.html"));
  // but not while unmodified.
  doc().modified = false;
  doc().link = "c.html";
  QTest::mousePress(window->htmlBox->viewport(), Qt::LeftButton);
  QTest::mouseRelease(window->htmlBox->viewport(), Qt::LeftButton);
  EXPECT_EQ(boxLines(window->htmlBox), sunLines("b.html"));
  EXPECT_FALSE(doc().modified);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(errors.errors.empty());
}

TEST_F(MainWindowTest, CopyPutsTheHtmlLinesOnTheClipboard) {
  start();
  addImages({jpegFile(pictures, "sun.jpg", 120, 80)});
  window->bCopyHTML->click();
  std::string expected;
  for (const auto& line : sunLines(" ")) expected += line + "\n";
  EXPECT_EQ(dialogs.clipboard, expected);
  EXPECT_EQ(boxLines(window->htmlBox), sunLines(" "));
}

TEST_F(MainWindowTest, UndecodableFirstImageEndsTheBuildWithTheErrorBox) {
  start();
  // A JPEG whose header reads (so it is taken) and whose data is cut short.
  const std::string whole = readFileBytes(jpegFile(pictures, "whole.jpg", 40, 30));
  addImages({picture("broken.jpg", whole.substr(0, whole.find("\xFF\xDA") + 20))});
  ASSERT_TRUE(errors.errors.empty());
  window->Tabs->setCurrentWidget(window->HTMLTab);
  ASSERT_EQ(errors.errors.size(), 1u);
  EXPECT_TRUE(boxLines(window->htmlBox).empty());
  EXPECT_TRUE(window->htmlBox->updatesEnabled());
  window->bCopyHTML->click();
  EXPECT_EQ(errors.errors.size(), 2u);
  EXPECT_TRUE(dialogs.clipboard.empty());
}

TEST_F(MainWindowTest, BadCharactersInLinkAndFrameAreRefused) {
  start();
  QTest::keyClicks(window->eLink, "a\"b");
  EXPECT_EQ(window->eLink->text().toStdString(), "ab");
  EXPECT_EQ(doc().link, "ab");
  QTest::keyClicks(window->eFrame->lineEdit(), "my-frame");
  EXPECT_EQ(window->eFrame->currentText().toStdString(), "myframe");
  EXPECT_EQ(doc().targetFrame, "myframe");
  // Said under the fields, not in a box in the middle of the typing.
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(window->cleaningHint->isVisible());
  EXPECT_EQ(window->cleaningHint->text().toStdString(), "You cannot use the | \" or - character.");
  EXPECT_TRUE(doc().modified);
}

std::string projectText(const std::string& imagePath) {
  return "Glimmerax File\r\nIf you alter the values below this file may not open properly.\r\n1\r\n3\r\n55\r\n2\r\n"
         "page.html\r\n_top\r\nclBlack\r\n1\r\nclBlack\r\nclWhite\r\nLoading...\r\n\r\n" +
         imagePath + "\r\nsun.jpg\r\n";
}

TEST_F(MainWindowTest, StartWithAProjectPathSplitAtABlank) {
  const std::string image = jpegFile(pictures, "sun.jpg", 120, 80);
  const std::string project = pictures.write("My Projects/sky applet.glx", projectText(image));
  const std::string folder = pictures / "My";
  start({folder, "Projects/sky", "applet.glx"});
  EXPECT_TRUE(errors.errors.empty()) << errors.errors.front();
  EXPECT_EQ(doc().documentPath, project);
  EXPECT_EQ(doc().effectIndex, 3);
  EXPECT_EQ(window->cEffects->currentIndex(), 3);
  EXPECT_EQ(window->eFrames->value(), 55);
  EXPECT_EQ(window->eIncrement->value(), 2);
  EXPECT_EQ(window->eLink->text().toStdString(), "page.html");
  EXPECT_EQ(window->eFrame->currentText().toStdString(), "_top");
  EXPECT_EQ(doc().imageNames, std::vector<std::string>{"sun.jpg"});
  EXPECT_EQ(window->imageListBox->count(), 1);
  EXPECT_TRUE(fileExists(fx.required() + "sun.jpg"));
  EXPECT_EQ(classFilesIn(fx.required()), std::vector<std::string>{"pageflip.class"});
}

TEST_F(MainWindowTest, StartWithAnUnreadableProjectGoesOnWithAFreshDocument) {
  struct Case {
    const char* name;
    std::string content;  // empty: no file at all
  };
  const Case cases[] = {
      {"missing file", ""},
      {"bad effect line", "Glimmerax File\r\nx\r\n1\r\nnot a number\r\n"},
  };
  for (const Case& c : cases) {
    const std::string path = c.content.empty() ? pictures / "none.glx" : pictures.write("bad.glx", c.content);
    start({path});
    ASSERT_EQ(errors.errors.size(), 1u) << c.name;
    EXPECT_EQ(doc().effectIndex, 0) << c.name;
    EXPECT_EQ(window->cEffects->currentIndex(), 0) << c.name;
    EXPECT_FALSE(doc().modified) << c.name;
    EXPECT_TRUE(doc().documentPath.empty()) << c.name;
    EXPECT_EQ(classFilesIn(fx.required()), std::vector<std::string>{"fade.class"}) << c.name;
    errors.errors.clear();
    window.reset();
  }
}

std::vector<std::string> fileLines(const std::string& path) {
  std::vector<std::string> lines;
  const std::string text = readFileBytes(path);
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// A project edited by hand may hold numbers the spin boxes were not made
// for. The number shown is the number kept and written back.
TEST_F(MainWindowTest, NumbersOutsideTheBoxesRangesAreShownAsTheyStand) {
  struct Case {
    const char* name;
    const char* effect;
    const char* frames;
    const char* speed;
    int shownFrames;
    int shownSpeed;
  };
  const Case cases[] = {
      {"above both ranges, frames effect", "5", "20000", "250", 20000, 250},
      {"above both ranges, speed effect", "0", "123456", "101", 123456, 101},
      {"below both ranges", "5", "-7", "-1", -7, -1},
      {"at the top of both ranges", "0", "10000", "100", 10000, 100},
      {"not numbers", "5", "abc", "", 0, 0},
  };
  for (const Case& c : cases) {
    const std::string path = pictures.write(
        "numbers.glx", std::string("Glimmerax File\r\nwarning\r\n1\r\n") + c.effect + "\r\n" + c.frames + "\r\n" +
                           c.speed + "\r\n\r\n\r\nclBlack\r\n0\r\nclBlack\r\nclWhite\r\nLoading...\r\n\r\n");
    start({path});
    ASSERT_TRUE(errors.errors.empty()) << c.name << ": " << errors.errors.front();
    EXPECT_EQ(doc().frameCount, c.shownFrames) << c.name;
    EXPECT_EQ(doc().effectSpeed, c.shownSpeed) << c.name;
    EXPECT_EQ(window->eFrames->value(), c.shownFrames) << c.name;
    EXPECT_EQ(window->eIncrement->value(), c.shownSpeed) << c.name;
    EXPECT_EQ(window->eFrames->text().toStdString(), std::to_string(c.shownFrames)) << c.name;
    EXPECT_EQ(window->eIncrement->text().toStdString(), std::to_string(c.shownSpeed)) << c.name;

    // What is shown is what a save writes.
    window->findChild<QAction*>(QStringLiteral("saveMenuItem"))->trigger();
    const std::vector<std::string> lines = fileLines(path);
    ASSERT_GE(lines.size(), 6u) << c.name;
    EXPECT_EQ(lines[4], std::to_string(c.shownFrames)) << c.name;
    EXPECT_EQ(lines[5], std::to_string(c.shownSpeed)) << c.name;

    // A catalogue row brings the box back to its designed range.
    window->cEffects->setCurrentIndex(6);
    EXPECT_EQ(window->eFrames->value(), doc().frameCount) << c.name;
    EXPECT_EQ(window->eFrames->minimum(), 0) << c.name;
    EXPECT_EQ(window->eFrames->maximum(), 10000) << c.name;
    EXPECT_EQ(window->eIncrement->maximum(), 100) << c.name;
    EXPECT_TRUE(errors.errors.empty()) << c.name;
    window.reset();
  }
}

TEST_F(MainWindowTest, CloseQuestionKeepsTheWindowOnCancelAndOnAFailedSave) {
  start();
  QTest::keyClicks(window->eLink, "x.html");
  QSignalSpy closed(window.get(), &TMainWindow::closed);

  dialogs.answers.push_back(Answer::Cancel);
  EXPECT_FALSE(window->close());
  EXPECT_TRUE(window->isVisible());

  // Yes, then a save into a folder that does not exist: the error is shown
  // and the window stays.
  dialogs.answers.push_back(Answer::Yes);
  dialogs.saveAnswers.push_back(pictures / "no such folder/a.glx");
  EXPECT_FALSE(window->close());
  EXPECT_TRUE(window->isVisible());
  ASSERT_EQ(errors.errors.size(), 1u);
  EXPECT_EQ(errors.errors[0], "File not found");
  EXPECT_EQ(closed.count(), 0);
  errors.errors.clear();

  // The name chosen stays the document's; once its folder exists, Yes
  // saves there and the window closes, ending the program.
  pictures.mkdir("no such folder");
  dialogs.answers.push_back(Answer::Yes);
  EXPECT_TRUE(window->close());
  for (const auto& e : errors.errors) ADD_FAILURE() << e;
  EXPECT_EQ(closed.count(), 1);
  EXPECT_TRUE(fileExists(pictures / "no such folder/a.glx"));
  EXPECT_TRUE(fileExists(fx.dir / "config.data"));
  EXPECT_EQ(dialogs.questions.size(), 3u);
}

TEST_F(MainWindowTest, TestInBrowserRefusesWithoutImages) {
  start();
  window->bTest->click();
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{kNoImagesMessage});
  EXPECT_TRUE(shell.opened.empty());
}

TEST_F(MainWindowTest, TestInBrowserOpensThePageAndCountsTheRun) {
  start();
  window->cEffects->setCurrentIndex(1);  // "Hue Rotator": one image is enough
  addImages({jpegFile(pictures, "sun.jpg", 120, 80)});
  window->bTest->click();
  EXPECT_TRUE(errors.errors.empty()) << errors.errors.front();
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_TRUE(shell.opened[0].starts_with("http://127.0.0.1:")) << shell.opened[0];
  EXPECT_TRUE(shell.opened[0].ends_with("/Applet%20Temp.html")) << shell.opened[0];
  EXPECT_EQ(window->usageLog().counters().testRunCount, 1);
  EXPECT_EQ(window->usageLog().counters().effectTestCounts[1], 1);
}

}  // namespace
}  // namespace glx::test

namespace glx::test {
namespace {

const char kMainWindowKey[] = "Software\\Tallowbrook Software\\Glimmerax\\1.0\\MainWindow";

std::vector<std::string> reopenEntries(TMainWindow& window) {
  std::vector<std::string> entries;
  for (QAction* a : window.reopenMenu->actions())
    if (!a->isSeparator()) entries.push_back(a->text().toStdString());
  return entries;
}

// An empty "&Reopen" sub-menu is disabled; once the list has entries it
// opens, in the same session and after a restart.
TEST_F(MainWindowTest, ReopenIsEnabledOnlyWithEntries) {
  start();
  EXPECT_TRUE(reopenEntries(*window).empty());
  EXPECT_FALSE(window->reopenMenu->menuAction()->isEnabled());

  dialogs.saveAnswers.push_back(pictures / "sky.glx");
  window->findChild<QAction*>(QStringLiteral("SaveAsMenuItem"))->trigger();
  EXPECT_EQ(reopenEntries(*window), std::vector<std::string>{"&1 sky.glx"});
  EXPECT_TRUE(window->reopenMenu->menuAction()->isEnabled());
  ASSERT_TRUE(window->close());
  window.reset();

  start();
  EXPECT_EQ(reopenEntries(*window), std::vector<std::string>{"&1 sky.glx"});
  EXPECT_TRUE(window->reopenMenu->menuAction()->isEnabled());
  EXPECT_TRUE(errors.errors.empty()) << errors.errors.front();
}

TEST_F(MainWindowTest, SettingsSurviveARestart) {
  start();
  EXPECT_TRUE(reopenEntries(*window).empty());
  EXPECT_EQ(window->monthLabel()->text().toStdString(), monthText(QDate::currentDate().month()));
  // The first start reminds nothing: "Config 3" was still "0".
  QTest::keyClicks(window->eLink, "x.html");
  dialogs.answers.push_back(Answer::Yes);
  dialogs.saveAnswers.push_back(pictures / "sky.glx");
  window->configOne()->setText(QStringLiteral("false"));
  ASSERT_TRUE(window->close());
  window.reset();

  // Both values are stored scrambled under the main window's key.
  Registry registry(config / "glimmerax/");
  struct Stored {
    const char* name;
    const char* bound;
    std::string text;
  };
  for (const Stored& c : {Stored{"Config 1", "configOne.Caption", "false"},
                          Stored{"Config 3", "monthLabel.Caption", monthText(QDate::currentDate().month())}}) {
    const auto value = registry.queryValue(RegRoot::LocalMachine, kMainWindowKey, c.name);
    ASSERT_TRUE(value.has_value()) << c.name;
    EXPECT_NE(value->type, kRegSz) << c.name;
    // (A two-digit month could turn up in random bytes by chance.)
    if (c.text.size() > 3) EXPECT_EQ(value->data.find(c.text), std::string::npos) << c.name << ": stored in plain";
    TSetting setting(c.name, c.bound, "", true);
    ASSERT_TRUE(setting.loadScrambled(value->data)) << c.name;
    EXPECT_EQ(setting.value().text, c.text) << c.name;
  }
  EXPECT_TRUE(registry.queryValue(RegRoot::LocalMachine, kMainWindowKey, "MRUList").has_value());

  start();
  EXPECT_EQ(reopenEntries(*window), std::vector<std::string>{"&1 sky.glx"});
  EXPECT_EQ(window->configOne()->text().toStdString(), "false");
  EXPECT_EQ(window->monthLabel()->text().toStdString(), monthText(QDate::currentDate().month()));
  EXPECT_EQ(window->usageLog().counters().firstReportFlag, 0);

  // A click on the entry opens the project.
  window->reopenMenu->actions().front()->trigger();
  QApplication::processEvents();
  EXPECT_EQ(doc().documentPath, pictures / "sky.glx");
  EXPECT_EQ(doc().link, "x.html");
  EXPECT_EQ(window->eLink->text().toStdString(), "x.html");
  EXPECT_TRUE(errors.errors.empty()) << errors.errors.front();
}

}  // namespace
}  // namespace glx::test
