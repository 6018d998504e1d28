// The main window over what it keeps: one-line fields on their way into
// the project file and the HTML, the usage log and the settings on close,
// and the image list of a large project.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <functional>

#include "app/advanced_window.h"
#include "app/image_list_view.h"
#include "document/project_file.h"
#include "platform/file_ops.h"
#include "settings/settings_store.h"
#include "tests/app/main_window_fixture.h"

namespace glx::test {
namespace {

// The lines of a file ended by CR LF; a lone CR or LF fails the test.
std::vector<std::string> crlfLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "text after the last line end";
      break;
    }
    const std::string line = text.substr(start, end - start);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "a line break inside line " << lines.size() + 1;
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

// A line break pasted into the link, the frame or the loading message is
// dropped silently as it arrives, so the project file keeps one line per
// field and reopens, and no HTML line is broken in two.
TEST_F(MainWindowTest, PastedLineBreaksNeverReachTheProjectFileOrTheHtml) {
  start();
  addImages({jpegFile(pictures, "sun.jpg", 120, 80)});
  window->advancedMenuItemClick();
  auto* advanced = window->findChild<TAdvancedWindow*>();
  ASSERT_NE(advanced, nullptr);
  auto* message = advanced->findChild<QLineEdit*>(QStringLiteral("eLoadingMessage"));
  ASSERT_NE(message, nullptr);
  struct Field {
    const char* name;
    QLineEdit* edit;
    const char* pasted;
    std::string kept;
    std::function<std::string()> stored;
  };
  const Field fields[] = {
      {"link", window->eLink, "http://a.example/page.html\r\n", "http://a.example/page.html",
       [this] { return doc().link; }},
      {"frame", window->eFrame->lineEdit(), "_top\n", "_top", [this] { return doc().targetFrame; }},
      {"loading message", message, "Please\r\nwait\r", "Pleasewait", [this] { return doc().loadingMessage; }},
  };
  for (const Field& f : fields) {
    f.edit->clear();
    QGuiApplication::clipboard()->setText(QString::fromLatin1(f.pasted));
    f.edit->paste();
    EXPECT_EQ(f.edit->text().toStdString(), f.kept) << f.name;
    EXPECT_EQ(f.stored(), f.kept) << f.name;
  }
  EXPECT_TRUE(dialogs.messages.empty()) << "line breaks go without a message: " << dialogs.messages.front();
  advanced->close();

  const std::string project = pictures / "lines.glx";
  dialogs.saveAnswers.push_back(project);
  window->SaveAsMenuItemClick();
  const std::vector<std::string> lines = crlfLines(pictures.read("lines.glx"));
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[6], "http://a.example/page.html");
  EXPECT_EQ(lines[7], "_top");
  EXPECT_EQ(lines[12], "Pleasewait");

  const std::vector<std::string> expectedLink = {
      "<PARAM NAME=\"LINK\" VALUE=\"http://a.example/page.html|_top| |\">",
      "<PARAM NAME=\"LOAD MESSAGE\" VALUE=\"000000|FFFFFF|Pleasewait\">"};
  window->openProject(project);
  EXPECT_TRUE(errors.errors.empty()) << errors.errors.front();
  EXPECT_EQ(doc().link, "http://a.example/page.html");
  EXPECT_EQ(doc().targetFrame, "_top");
  EXPECT_EQ(doc().loadingMessage, "Pleasewait");
  EXPECT_EQ(doc().imageNames, std::vector<std::string>{"sun.jpg"});
  std::vector<std::string> paramLines;
  for (const std::string& line : window->makeHTML()) {
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    if (line.rfind("<PARAM NAME=\"LINK\"", 0) == 0 || line.rfind("<PARAM NAME=\"LOAD MESSAGE\"", 0) == 0)
      paramLines.push_back(line);
  }
  EXPECT_EQ(paramLines, expectedLink);

  // What --print-html reads.
  const AppletDocument printed = readProjectDocument(project);
  EXPECT_EQ(printed.link, "http://a.example/page.html");
  EXPECT_EQ(printed.loadingMessage, "Pleasewait");
  EXPECT_EQ(printed.imagePaths, doc().imagePaths);
}

// With the settings folder unwritable and a usage log whose first-report
// flag makes the close save the settings at once: the failure is shown
// once, the window closes, and a repeated close adds no count twice.
TEST_F(MainWindowTest, AFailedSettingsSaveWhileClosingIsShownOnceAndNeverHoldsTheWindow) {
  TSettingsBase::resetSaveFailureNotice();
  std::string log = "CONFIG DATA FOR GLIMMERAX\r\nPLEASE DO NOT ALTER THIS FILE\r\n1\r\n5\r\n0\r\n0\r\n";
  for (int e = 0; e < 20; ++e) log += e == 2 ? "5\r\n" : "0\r\n";
  fx.dir.write("config.data", log);
  start();
  config.write("glimmerax", "a plain file where the settings folder should be");
  QSignalSpy closed(window.get(), &TMainWindow::closed);

  EXPECT_TRUE(window->close());
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(closed.count(), 1);
  ASSERT_EQ(errors.errors.size(), 1u);
  EXPECT_EQ(errors.errors[0], "Failed to set data for 'Config 1': Cannot create the settings folder \"" +
                                  (config / "glimmerax/") + "\": a file stands where a folder should be");
  EXPECT_EQ(fx.dir.read("config.data"), log);

  window->close();
  EXPECT_EQ(fx.dir.read("config.data"), log) << "a second close merged the same counts again";
  EXPECT_EQ(errors.errors.size(), 1u) << "the failure is shown once per run";
  window.reset();
  TSettingsBase::resetSaveFailureNotice();
}

// Every row of the image list shows one shared icon: a copy per row made a
// project of 100,000 images take gigabytes to open.
TEST_F(MainWindowTest, EveryImageRowSharesOneIcon) {
  std::string project =
      "Glimmerax File\r\nIf you alter the values below this file may not open properly.\r\n1\r\n0\r\n40\r\n1\r\n"
      "\r\n\r\nclBlack\r\n500\r\nclBlack\r\nclWhite\r\nLoading...\r\n\r\n";
  for (int i = 0; i < 500; ++i) {
    const std::string name = "picture" + std::to_string(i) + ".jpg";
    project += pictures / name + "\r\n" + name + "\r\n";
  }
  const std::string path = pictures.write("many.glx", project);
  start({path});
  ASSERT_EQ(window->imageListBox->count(), 500);
  addImages({jpegFile(pictures, "added.jpg", 10, 10)});
  ASSERT_EQ(window->imageListBox->count(), 501);
  const qint64 icon = window->imageListBox->item(0)->icon().cacheKey();
  for (int row = 1; row < window->imageListBox->count(); ++row) {
    ASSERT_EQ(window->imageListBox->item(row)->icon().cacheKey(), icon) << "row " << row;
  }
  EXPECT_FALSE(window->imageListBox->item(0)->icon().isNull());
}

}  // namespace
}  // namespace glx::test
