#include <gtest/gtest.h>

#include <QAction>
#include <QFontMetrics>

#include "platform/file_ops.h"
#include "settings/settings_store.h"
#include "tests/settings/settings_fixture.h"

namespace glx {
namespace {

using test::MenuWindow;
using test::SettingsTest;

using RecentFilesTest = SettingsTest;

QStringList names(std::initializer_list<std::string> items) {
  QStringList out;
  int k = 0;
  for (const auto& item : items) {
    out << QString::fromStdString("&" + std::to_string(++k) + " " + item);
  }
  return out;
}

TEST_F(RecentFilesTest, TheSamePathTwiceLeavesOneEntryAtTheTop) {
  const std::string sky = dir.write("Sky.glx", "x");
  const std::string sea = dir.write("Sea.glx", "x");
  MenuWindow window;
  TFormSettings* settings = window.addMainSettings();
  settings->Loaded();
  EXPECT_TRUE(window.entryCaptions().isEmpty()) << "an empty list has no entries";
  settings->AddMRUItem(sky);
  settings->AddMRUItem(sea);
  settings->AddMRUItem(sky);
  EXPECT_EQ(settings->mruList(), (StringList{sky, sea}));
  EXPECT_EQ(window.entryCaptions(), names({"Sky.glx", "Sea.glx"}));
  EXPECT_EQ(recentDocs.added, (std::vector<std::string>{sky, sea, sky}));
}

TEST_F(RecentFilesTest, PathsDifferingOnlyInCaseAreTwoFiles) {
  const std::string upper = dir.write("Sky.glx", "upper");
  const std::string lower = dir.write("sky.glx", "lower");
  MenuWindow window;
  TFormSettings* settings = window.addMainSettings();
  settings->Loaded();
  settings->AddMRUItem(upper);
  settings->AddMRUItem(lower);
  EXPECT_EQ(settings->mruList(), (StringList{lower, upper}));
  EXPECT_EQ(window.entryCaptions(), names({"sky.glx", "Sky.glx"}));
}

TEST_F(RecentFilesTest, TenFilesShowNineAndARestartKeepsNine) {
  std::vector<std::string> files;
  for (int i = 0; i < 10; ++i) files.push_back(dir.write("p" + std::to_string(i) + ".glx", "x"));
  {
    MenuWindow window;
    TFormSettings* settings = window.addMainSettings();
    settings->Loaded();
    window.show();
    for (const auto& file : files) settings->AddMRUItem(file);
    EXPECT_EQ(settings->MRUCount(), 10);
    EXPECT_EQ(window.entryCaptions().size(), 9);
    EXPECT_EQ(window.entryCaptions().front(), "&1 p9.glx");
    EXPECT_EQ(window.entryCaptions().back(), "&9 p1.glx");
    window.close();
  }
  MenuWindow window;
  TFormSettings* settings = window.addMainSettings();
  settings->Loaded();
  EXPECT_EQ(settings->MRUCount(), 9);
  EXPECT_EQ(settings->mruList().front(), files[9]);
  EXPECT_EQ(settings->mruList().back(), files[1]);
  EXPECT_EQ(window.entryCaptions().size(), 9);
}

TEST_F(RecentFilesTest, ADeletedFileDropsOutSilently) {
  const std::string a = dir.write("a.glx", "x");
  const std::string b = dir.write("b.glx", "x");
  const std::string c = dir.write("c.glx", "x");
  {
    MenuWindow window;
    TFormSettings* settings = window.addMainSettings();
    settings->Loaded();
    window.show();
    settings->AddMRUItem(a);
    settings->AddMRUItem(b);
    deleteFileQuiet(a);
    settings->AddMRUItem(c);
    EXPECT_EQ(settings->mruList(), (StringList{c, b}));
    EXPECT_EQ(window.entryCaptions(), names({"c.glx", "b.glx"}));
    window.close();
  }
  deleteFileQuiet(b);
  MenuWindow window;
  TFormSettings* settings = window.addMainSettings();
  settings->Loaded();
  EXPECT_EQ(settings->mruList(), StringList{c});
  EXPECT_EQ(window.entryCaptions(), names({"c.glx"}));
  EXPECT_TRUE(errors.errors.empty());
}

TEST_F(RecentFilesTest, LengthZeroChangesNothing) {
  const std::string sky = dir.write("Sky.glx", "x");
  MenuWindow window;
  TFormSettings* settings = window.addMainSettings();
  settings->setMRULength(0);
  settings->Loaded();
  settings->AddMRUItem(sky);
  EXPECT_EQ(settings->MRUCount(), 0);
  EXPECT_TRUE(window.entryCaptions().isEmpty());
  EXPECT_TRUE(recentDocs.added.empty());
  window.show();
  window.close();
  EXPECT_FALSE(registry().queryValue(RegRoot::LocalMachine,
                                     "Software\\Tallowbrook Software\\Glimmerax\\1.0\\MainWindow",
                                     "MRUList"));
}

TEST_F(RecentFilesTest, AClickReportsTheFullPathAndPosition) {
  const std::string sky = dir.write("Projects/Sky.glx", "x");
  const std::string sea = dir.write("Projects/Sea.glx", "x");
  MenuWindow window;
  TFormSettings* settings = window.addMainSettings();
  std::vector<std::pair<std::string, int>> clicks;
  QAction* clicked = nullptr;
  settings->OnMRUClick = [&](TSettingsBase* sender, QAction* item, const std::string& file, int index) {
    EXPECT_EQ(sender, settings);
    clicked = item;
    clicks.emplace_back(file, index);
  };
  settings->Loaded();
  settings->AddMRUItem(sky);
  settings->AddMRUItem(sea);
  QList<QAction*> entries;
  for (QAction* action : window.reopen->actions()) {
    if (action->data().toInt() == kMRUEntryTag) entries << action;
  }
  ASSERT_EQ(entries.size(), 2);
  EXPECT_EQ(entries[1]->text(), "&2 Sky.glx");
  entries[1]->trigger();
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0], (std::pair<std::string, int>{sky, 2}));
  EXPECT_EQ(clicked, entries[1]);
  EXPECT_EQ(settings->mruList(), (StringList{sea, sky})) << "a click changes nothing";
}

TEST_F(RecentFilesTest, DisplayStyles) {
  const std::string longPath =
      dir.write("a rather long folder name/another long folder name/yet another folder/"
                "Caf\xc3\xa9 na\xc3\xafve project.glx",
                "x");
  MenuWindow window;
  TFormSettings* settings = window.addMainSettings();
  settings->Loaded();
  settings->AddMRUItem(longPath);
  EXPECT_EQ(window.entryCaptions(), names({"Caf\xc3\xa9 na\xc3\xafve project.glx"}));
  settings->setMRUDisplay(pmdFullPath);
  EXPECT_EQ(window.entryCaptions(), names({longPath}));
  settings->setMRUDisplay(pmdAbbPath);
  const QString caption = window.entryCaptions().front();
  ASSERT_TRUE(caption.startsWith("&1 "));
  const QString shown = caption.mid(3);
  EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith("project.glx")) << shown.toStdString();
  EXPECT_LE(QFontMetrics(window.reopen->font()).horizontalAdvance(shown), 300);
  settings->setMRUMaxItemWidth(99);
  EXPECT_EQ(settings->MRUMaxItemWidth(), 300) << "outside 100 to 300 is ignored";
}

TEST_F(RecentFilesTest, UnusualBytesSurviveASaveAndRestore) {
  const std::string accented = dir.write("Caf\xc3\xa9 \"quoted\", too.glx", "x");
  const std::string latin1 = dir.write("na\xefve.glx", "x");
  {
    MenuWindow window;
    TFormSettings* settings = window.addMainSettings();
    settings->Loaded();
    window.show();
    settings->AddMRUItem(latin1);
    settings->AddMRUItem(accented);
    window.close();
  }
  MenuWindow window;
  TFormSettings* settings = window.addMainSettings();
  settings->Loaded();
  EXPECT_EQ(settings->mruList(), (StringList{accented, latin1}));
}

TEST_F(RecentFilesTest, EntriesCanStandBeforeTheMenuItem) {
  const std::string a = dir.write("a.glx", "x");
  const std::string b = dir.write("b.glx", "x");
  MenuWindow window;
  QAction* exitItem = window.fileMenu->actions().back();
  TFormSettings* settings = window.addMainSettings();
  settings->setMRUPlacement(pmpBefore);
  settings->setMRUMenuItem(exitItem);
  settings->Loaded();
  settings->AddMRUItem(a);
  settings->AddMRUItem(b);
  QStringList layout;
  for (QAction* action : window.fileMenu->actions()) {
    layout << (action->isSeparator() ? QStringLiteral("-") : action->text());
  }
  EXPECT_EQ(layout, (QStringList{"&Open...", "&Reopen", "-", "&1 b.glx", "&2 a.glx", "-", "E&xit"}));
  settings->setMRULength(1);
  layout.clear();
  for (QAction* action : window.fileMenu->actions()) {
    layout << (action->isSeparator() ? QStringLiteral("-") : action->text());
  }
  EXPECT_EQ(layout, (QStringList{"&Open...", "&Reopen", "-", "&1 b.glx", "-", "E&xit"}));
  settings->setMRUMenuItem(static_cast<QAction*>(nullptr));
  EXPECT_EQ(window.fileMenu->actions().size(), 3) << "the list's own items are gone";
}

}  // namespace
}  // namespace glx
