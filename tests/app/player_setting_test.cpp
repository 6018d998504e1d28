// The setting "Play in today's browsers": the main window, the advanced
// options window, the folders, and the read the command line makes.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <filesystem>

#include "app/advanced_window.h"
#include "app/player_setting.h"
#include "document/html_builder.h"
#include "platform/file_ops.h"
#include "platform/registry.h"
#include "publish/required_files.h"
#include "tests/app/main_window_fixture.h"

namespace glx::test {
namespace {

const std::string kPlayer = "// the program's player\n";

class PlayerSettingTest : public MainWindowTest {
 protected:
  PlayerSettingTest() { fx.dir.write(kPlayerFile, kPlayer); }

  std::string sunJpeg() {
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const std::string path = pictures / "sun.jpg";
    EXPECT_TRUE(image.save(QString::fromStdString(path), "JPG"));
    return path;
  }
  TAdvancedWindow* openAdvanced() {
    window->advancedMenuItemClick();
    const QList<TAdvancedWindow*> windows = window->findChildren<TAdvancedWindow*>();
    return windows.isEmpty() ? nullptr : windows.back();
  }
  static QCheckBox* checkBox(TAdvancedWindow* w) {
    return w->findChild<QCheckBox*>(QStringLiteral("cbPlayInBrowsers"));
  }
  std::optional<RegValue> stored() const {
    return Registry(config / "glimmerax/").queryValue(RegRoot::LocalMachine, kMainWindowSettingsKey,
                                                        kPlayInBrowsersSetting);
  }
  bool playerInfoShown() const {
    return !window->HTMLTab->findChild<QLabel*>(QStringLiteral("playerInfo"))->isHidden();
  }
};

const std::vector<std::string> kSunLines = {
    "<APPLET CODE=\"fade.class\" WIDTH=120 HEIGHT=80>",
    kGeneratorLine,
    "<PARAM NAME=\"GENERAL\" VALUE=\"1|7|000000|33|40|0|1|\">",
    "<PARAM NAME=\"IMAGES\" VALUE=\"sun.jpg|\">",
    "<PARAM NAME=\"LINK\" VALUE=\" | | |\">",
    "<PARAM NAME=\"LOAD MESSAGE\" VALUE=\"000000|FFFFFF|Loading...\">",
    "</APPLET>"};

TEST_F(PlayerSettingTest, OnByDefaultAndKeptAcrossARestart) {
  start();
  EXPECT_TRUE(window->playInBrowsers());
  EXPECT_TRUE(playerInfoShown());
  TAdvancedWindow* advanced = openAdvanced();
  ASSERT_NE(advanced, nullptr);
  QCheckBox* box = checkBox(advanced);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text().toStdString(), "Play in today's browsers");
  EXPECT_TRUE(box->isEnabled());
  EXPECT_TRUE(box->isChecked());

  // A click takes effect at once and is stored at once, as plain text.
  box->click();
  EXPECT_FALSE(window->playInBrowsers());
  EXPECT_FALSE(playerInfoShown());
  EXPECT_EQ(stored(), RegValue::string("False"));
  EXPECT_FALSE(storedPlayInBrowsers(config / "glimmerax/"));
  // A program setting, not part of the applet.
  EXPECT_FALSE(doc().modified);

  finish();
  start();
  EXPECT_FALSE(window->playInBrowsers());
  EXPECT_FALSE(playerInfoShown());
  advanced = openAdvanced();
  EXPECT_FALSE(checkBox(advanced)->isChecked());
  checkBox(advanced)->click();
  EXPECT_TRUE(window->playInBrowsers());
  EXPECT_EQ(stored(), RegValue::string("True"));
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(errors.errors.empty());
}

TEST_F(PlayerSettingTest, HtmlBoxFollowsTheSetting) {
  start();
  addImages({sunJpeg()});
  doc().alternativeHtml = "<B>No Java?</B>\nThen no effect.";
  window->Tabs->setCurrentWidget(window->HTMLTab);
  std::vector<std::string> on(kSunLines.begin(), kSunLines.end() - 1);
  on.insert(on.end(), {"<B>No Java?</B>", "Then no effect.", "</APPLET>", kPlayerScriptLine});
  EXPECT_EQ(boxLines(window->htmlBox), on);

  // Changed while the page is shown, the box is rebuilt: off, exactly the
  // seven lines.
  window->setPlayInBrowsers(false);
  EXPECT_EQ(boxLines(window->htmlBox), kSunLines);
  window->bCopyHTML->click();
  std::string clipboard;
  for (const std::string& line : kSunLines) clipboard += line + "\n";
  EXPECT_EQ(dialogs.clipboard, clipboard);
  window->setPlayInBrowsers(true);
  EXPECT_EQ(boxLines(window->htmlBox), on);
}

TEST_F(PlayerSettingTest, PlayerFileBesideTheClassFileAndThePage) {
  start();
  EXPECT_EQ(fx.dir.read(std::string("Required Files/") + kPlayerFile), kPlayer);
  EXPECT_EQ(classFilesIn(fx.required()), std::vector<std::string>{"fade.class"});

  window->setPlayInBrowsers(false);
  EXPECT_FALSE(pathExists(fx.required() + kPlayerFile));
  EXPECT_TRUE(fileExists(fx.required() + "fade.class"));
  window->setPlayInBrowsers(true);
  EXPECT_EQ(fx.dir.read(std::string("Required Files/") + kPlayerFile), kPlayer);

  // Another effect: the player stays, the class file changes.
  window->cEffects->setCurrentIndex(1);
  EXPECT_EQ(classFilesIn(fx.required()), std::vector<std::string>{"huecycle.class"});
  EXPECT_TRUE(fileExists(fx.required() + kPlayerFile));

  // The test run's page loads the player from beside it; a newer program
  // copy replaces an old one there.
  addImages({sunJpeg()});
  fx.dir.write(std::string("Applet Temp/") + kPlayerFile, "// an old player\n");
  window->bTest->click();
  EXPECT_TRUE(errors.errors.empty());
  EXPECT_EQ(fx.dir.read(std::string("Applet Temp/") + kPlayerFile), kPlayer);
  const std::string page = fx.dir.read("Applet Temp/Applet Temp.html");
  EXPECT_NE(page.find(std::string("      ") + kPlayerScriptLine + "\r\n    </P>\r\n"), std::string::npos) << page;

  // A restart clears the folder as before, then keeps the player again.
  finish();
  start();
  EXPECT_EQ(classFilesIn(fx.required()), std::vector<std::string>{"fade.class"});
  EXPECT_TRUE(fileExists(fx.required() + kPlayerFile));
}

TEST_F(PlayerSettingTest, OffLeavesTheFoldersAsTheyAlwaysWere) {
  start();
  window->setPlayInBrowsers(false);
  finish();
  start();
  EXPECT_FALSE(pathExists(fx.required() + kPlayerFile));
  window->cEffects->setCurrentIndex(1);  // "Hue Rotator": one image is enough
  EXPECT_FALSE(pathExists(fx.required() + kPlayerFile));
  addImages({sunJpeg()});
  window->bTest->click();
  EXPECT_FALSE(pathExists(fx.temp() + kPlayerFile));
  EXPECT_EQ(fx.dir.read("Applet Temp/Applet Temp.html").find("SCRIPT"), std::string::npos);
}

TEST_F(PlayerSettingTest, TwoAdvancedWindowsShowOneSetting) {
  start();
  TAdvancedWindow* first = openAdvanced();
  TAdvancedWindow* second = openAdvanced();
  ASSERT_NE(first, second);
  checkBox(first)->click();
  EXPECT_FALSE(window->playInBrowsers());
  // The other window's close stores nothing of its own.
  second->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(stored(), RegValue::string("False"));
  // Shown again, a window shows the current value.
  first->hide();
  first->show();
  EXPECT_FALSE(checkBox(first)->isChecked());
}

// The read the command line makes: never a change, on unless stored off.
TEST(StoredPlayInBrowsers, ReadsWithoutChangingAnything) {
  struct Case {
    const char* name;
    std::string file;  // HKLM.reg; empty: none
    bool expected;
  };
  const std::string head = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Tallowbrook Software\\Glimmerax\\1.0\\MainWindow]\r\n";
  const Case cases[] = {
      {"no settings file", "", true},
      {"stored off", head + "\"Play in today's browsers\"=\"False\"\r\n", false},
      {"stored on", head + "\"Play in today's browsers\"=\"True\"\r\n", true},
      {"names in another letter case",
       "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\tallowbrook software\\GLIMMERAX\\1.0\\mainwindow]\r\n"
       "\"PLAY IN TODAY'S BROWSERS\"=\"False\"\r\n",
       false},
      {"a text the check box would not take", head + "\"Play in today's browsers\"=\"false\"\r\n", true},
      {"another type", head + "\"Play in today's browsers\"=dword:00000000\r\n", true},
      {"other values only", head + "\"MRUList\"=\"\"\r\n", true},
      {"a file that does not parse", "this is not a settings file\r\n", true},
  };
  for (const Case& c : cases) {
    TempDir folder;
    if (!c.file.empty()) folder.write("HKLM.reg", c.file);
    EXPECT_EQ(storedPlayInBrowsers(folder.path()), c.expected) << c.name;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
      names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, c.file.empty() ? std::vector<std::string>{} : std::vector<std::string>{"HKLM.reg"}) << c.name;
    if (!c.file.empty()) EXPECT_EQ(folder.read("HKLM.reg"), c.file) << c.name;
  }
}

}  // namespace
}  // namespace glx::test
