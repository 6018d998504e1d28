#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "platform/file_ops.h"
#include "settings/settings_registry.h"
#include "tests/settings/settings_fixture.h"

namespace glx {
namespace {

using test::BoundWindow;
using test::MenuWindow;
using test::SettingsTest;

constexpr auto HKLM = RegRoot::LocalMachine;
const std::string kBase = "Software\\Tallowbrook Software\\Glimmerax\\1.0\\";

std::string le32(uint32_t value) {
  std::string out;
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

QStringList qlist(std::initializer_list<const char*> items) {
  QStringList out;
  for (const char* item : items) out << QString::fromUtf8(item);
  return out;
}

using StoreTest = SettingsTest;

TEST_F(StoreTest, StoredValuesAreByteExact) {
  const std::string sky = dir.write("Sky.glx", "x");
  const std::string cafe = dir.write("Caf\xc3\xa9 Projects/na\xefve.glx", "x");
  MenuWindow window;
  TFormSettings* settings = window.addMainSettings();
  settings->addRow("Plain", "count.Caption");  // names nothing: stores nothing
  auto* count = new QSpinBox(&window);
  count->setObjectName("count");
  count->setRange(-100, 100);
  count->setValue(-7);
  settings->addRow("Number", "count.value");
  settings->addRow("Month Text", "monthLabel.Caption");
  settings->Loaded();
  window.monthLabel->setText(QStringLiteral("12"));
  settings->AddMRUItem(sky);
  settings->AddMRUItem(cafe);
  settings->SaveToRegistry();

  Registry reg = registry();
  const std::string key = kBase + "MainWindow";
  const std::string comma = "\"" + cafe + "\"," + sky;
  EXPECT_EQ(reg.queryValue(HKLM, key, "MRUList"),
            RegValue::binary(le32(7) + le32(static_cast<uint32_t>(comma.size())) + comma));
  EXPECT_EQ(reg.queryValue(HKLM, key, "Month Text"), RegValue::string("12"));
  EXPECT_EQ(reg.queryValue(HKLM, key, "Number"), RegValue::dword(0xFFFFFFF9u));
  EXPECT_FALSE(reg.queryValue(HKLM, key, "Plain"));

  const auto config3 = reg.queryValue(HKLM, key, "Config 3");
  ASSERT_TRUE(config3);
  EXPECT_EQ(config3->type, kRegBinary);
  EXPECT_EQ(unscrambleBytes(config3->data, "monthLabel_CaptionConfig_3"),
            le32(5) + "TPSOK" + le32(1) + le32(2) + "12");
  const auto config1 = reg.queryValue(HKLM, key, "Config 1");
  ASSERT_TRUE(config1);
  EXPECT_EQ(unscrambleBytes(config1->data, "configOne_CaptionConfig_1"),
            le32(5) + "TPSOK" + le32(1) + le32(4) + "true");

  // Saving again scrambles anew: other bytes, the same value.
  settings->SaveToRegistry();
  const auto again = reg.queryValue(HKLM, key, "Config 3");
  EXPECT_NE(again->data, config3->data);
  EXPECT_EQ(unscrambleBytes(again->data, "monthLabel_CaptionConfig_3"),
            unscrambleBytes(config3->data, "monthLabel_CaptionConfig_3"));

  // The file holds them in REGEDIT4 form under the program's key.
  const std::string file = dir.read("config/glimmerax/HKLM.reg");
  EXPECT_NE(file.find("[HKEY_LOCAL_MACHINE\\Software\\Tallowbrook Software\\Glimmerax\\1.0\\MainWindow]\r\n"),
            std::string::npos);
  EXPECT_NE(file.find("\"Month Text\"=\"12\"\r\n"), std::string::npos);
  EXPECT_NE(file.find("\"Number\"=dword:fffffff9\r\n"), std::string::npos);
  EXPECT_NE(file.find("\"MRUList\"=hex:07,00,00,00,"), std::string::npos);
}

TEST_F(StoreTest, RestoresAtLoadAndSavesOnClose) {
  {
    BoundWindow first;
    first.addBrowserSettings()->Loaded();
    first.show();
    first.names->setItems(qlist({"Web Browser", "Other One"}));
    first.paths->setItems(qlist({"/usr/bin/web browser", "/opt/other"}));
    first.browser->setText(QStringLiteral("/opt/other"));
    EXPECT_EQ(first.saves, 0);
    first.close();
    EXPECT_EQ(first.saves, 1);
  }
  Registry reg = registry();
  const std::string key = kBase + "BrowserWindow";
  const std::string names = "\"Web Browser\",\"Other One\"";
  EXPECT_EQ(reg.queryValue(HKLM, key + "\\BrowserNames", "Items"),
            RegValue::binary(le32(7) + le32(static_cast<uint32_t>(names.size())) + names));
  EXPECT_EQ(reg.queryValue(HKLM, key + "\\BrowserPaths", "Items")->type, kRegBinary);
  EXPECT_EQ(reg.queryValue(HKLM, key, "Current Browser")->type, kRegBinary);

  BoundWindow second;
  EXPECT_EQ(second.browser->text(), "default");
  second.addBrowserSettings()->Loaded();
  EXPECT_EQ(second.names->items(), qlist({"Web Browser", "Other One"}));
  EXPECT_EQ(second.paths->items(), qlist({"/usr/bin/web browser", "/opt/other"}));
  EXPECT_EQ(second.browser->text(), "/opt/other");
  EXPECT_TRUE(errors.errors.empty());
}

TEST_F(StoreTest, SavesOncePerShowing) {
  BoundWindow window;
  window.addBrowserSettings()->Loaded();
  window.show();
  window.close();
  window.show();
  window.close();
  EXPECT_EQ(window.saves, 2) << "shown, closed, shown, closed";
  window.show();
  window.hide();
  window.hide();
  window.close();
  EXPECT_EQ(window.saves, 3) << "hidden twice and closed without a new showing";
}

TEST_F(StoreTest, ACancelledCloseSavesNothingAndAnAcceptedOneSavesTheCloseWork) {
  const std::string project = dir.write("Sky.glx", "x");
  MenuWindow window;
  TFormSettings* settings = window.addMainSettings();
  settings->Loaded();
  window.show();

  // The close question is answered Cancel: nothing is saved, nothing latched.
  bool cancel = true;
  struct CloseGate : QObject {
    bool* cancel;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Close && *cancel) {
        event->ignore();
        return true;
      }
      return false;
    }
  } gate;
  gate.cancel = &cancel;
  window.installEventFilter(&gate);
  EXPECT_FALSE(window.close());
  EXPECT_FALSE(settings->savedLatch());
  EXPECT_FALSE(registry().keyExists(HKLM, kBase + "MainWindow"));

  // Answered Yes: the project is saved while closing and joins the list;
  // the list written afterwards holds it.
  cancel = false;
  window.removeEventFilter(&gate);
  struct SaveOnClose : QObject {
    TFormSettings* settings;
    std::string project;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Close) settings->AddMRUItem(project);
      return false;
    }
  } saver;
  saver.settings = settings;
  saver.project = project;
  window.installEventFilter(&saver);
  EXPECT_TRUE(window.close());
  EXPECT_TRUE(settings->savedLatch());
  const auto stored = registry().queryValue(HKLM, kBase + "MainWindow", "MRUList");
  ASSERT_TRUE(stored);
  EXPECT_NE(stored->data.find(project), std::string::npos);
}

TEST_F(StoreTest, SaveAllFalseDeletesUnchangedValuesAndTheirEmptyKey) {
  {
    BoundWindow first;
    first.addBrowserSettings()->Loaded();
    first.names->setItems(qlist({"Web"}));
    first.show();
    first.close();
  }
  Registry reg = registry();
  const std::string key = kBase + "BrowserWindow";
  ASSERT_TRUE(reg.queryValue(HKLM, key + "\\BrowserNames", "Items"));

  BoundWindow second;
  TFormSettings* settings = second.addBrowserSettings();
  settings->setSaveAll(false);
  settings->Loaded();
  EXPECT_EQ(second.names->items(), qlist({"Web"}));
  second.names->setItems({});  // back to the designed value
  second.browser->setText(QStringLiteral("/opt/chosen"));  // changed
  second.show();
  second.close();
  EXPECT_FALSE(reg.queryValue(HKLM, key + "\\BrowserNames", "Items"));
  EXPECT_FALSE(reg.keyExists(HKLM, key + "\\BrowserNames")) << "its key went with it";
  EXPECT_FALSE(reg.keyExists(HKLM, key + "\\BrowserPaths"));
  ASSERT_TRUE(reg.queryValue(HKLM, key, "Current Browser"));

  // Unchanged values under a key whose sub-keys still hold settings: the
  // value goes, the key and its sub-keys stay.
  reg.setValue(HKLM, key + "\\BrowserNames", "Items", RegValue::string("kept"));
  BoundWindow third;
  TFormSettings* thirdSettings = third.addBrowserSettings();
  thirdSettings->setSaveAll(false);
  thirdSettings->Loaded();
  third.browser->setText(QStringLiteral("default"));
  third.names->setItems({});
  third.names->setItems(qlist({"changed"}));
  third.show();
  third.close();
  EXPECT_FALSE(reg.queryValue(HKLM, key, "Current Browser"));
  EXPECT_TRUE(reg.keyExists(HKLM, key));
  EXPECT_TRUE(reg.queryValue(HKLM, key + "\\BrowserNames", "Items"));
}

TEST_F(StoreTest, FormKeyNameCanBeReplaced) {
  BoundWindow window;
  TFormSettings* settings = window.addBrowserSettings();
  settings->OnSetFormKeyName = [](TSettingsBase*, std::string& name) { name = "Browsers 2"; };
  settings->Loaded();
  window.browser->setText(QStringLiteral("/opt/x"));
  window.show();
  window.close();
  Registry reg = registry();
  EXPECT_TRUE(reg.queryValue(HKLM, kBase + "Browsers 2", "Current Browser"));
  EXPECT_FALSE(reg.keyExists(HKLM, kBase + "BrowserWindow"));
  EXPECT_EQ(settings->keyPath(), kBase + "Browsers 2");
}

TEST_F(StoreTest, StreamAndStorageLocationsStoreNothing) {
  for (TSaveLocation location : {pslStream, pslStorage}) {
    registry().setValue(HKLM, kBase + "BrowserWindow\\BrowserNames", "Items",
                        RegValue::binary(le32(7) + le32(3) + "Web"));
    const std::string before = dir.read("config/glimmerax/HKLM.reg");
    BoundWindow window;
    TFormSettings* settings = window.addBrowserSettings();
    settings->setSaveLocation(location);
    settings->Loaded();
    EXPECT_TRUE(window.names->items().isEmpty()) << location;
    window.browser->setText(QStringLiteral("/changed"));
    window.show();
    window.close();
    EXPECT_EQ(window.saves, 1) << location;
    EXPECT_EQ(dir.read("config/glimmerax/HKLM.reg"), before) << location;
  }
}

TEST_F(StoreTest, AutoRestoreCanBeSkippedButPostRestoreStillRuns) {
  registry().setValue(HKLM, kBase + "BrowserWindow", "Current Browser", RegValue::string("x"));
  BoundWindow window;
  TFormSettings* settings = window.addBrowserSettings();
  std::vector<std::string> events;
  settings->OnPreRestore = [&](TSettingsBase*) { events.push_back("pre"); };
  settings->OnAutoRestore = [&](TSettingsBase*, bool& go) {
    events.push_back("auto");
    go = false;
  };
  settings->OnPostRestore = [&](TSettingsBase*) { events.push_back("post"); };
  settings->Loaded();
  EXPECT_EQ(events, (std::vector<std::string>{"pre", "auto", "post"}));
  EXPECT_EQ(window.browser->text(), "default");
  EXPECT_TRUE(settings->isLoaded());
}

TEST_F(StoreTest, AWriteFailureIsReportedOnceAndTheWindowStillCloses) {
  dir.write("blocked", "a file where the settings folder's parent should be");
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir / "blocked"));
  BoundWindow window;
  window.addBrowserSettings()->Loaded();
  window.browser->setText(QStringLiteral("/opt/x"));
  window.show();
  EXPECT_TRUE(window.close());
  EXPECT_FALSE(window.isVisible());
  ASSERT_EQ(errors.errors.size(), 1u);
  const std::string cause = "Cannot create the settings folder \"" + (dir / "blocked/glimmerax/") +
                            "\": a file stands where a folder should be";
  EXPECT_EQ(errors.errors[0], "Failed to set data for 'Items': " + cause);
  window.show();
  window.hide();
  window.show();
  EXPECT_TRUE(window.close());
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(errors.errors.size(), 1u) << "the message comes once per run";

  // A direct save reports to its caller.
  TSettingsRegistry accessor(HKLM);
  EXPECT_FALSE(accessor.OpenKey("Software\\X", true));
  try {
    accessor.WriteString("Current Browser", "x");
    ADD_FAILURE() << "the write succeeded";
  } catch (const ERegistryException& error) {
    EXPECT_EQ(std::string(error.what()), "Failed to set data for 'Current Browser': " + cause);
  }
}

// A failed save names the value, the file and the cause.
TEST_F(StoreTest, AFailedWriteNamesTheFileAndTheCause) {
  struct Case {
    const char* name;
    std::function<void()> block;
    std::string cause;
  };
  const std::string folder = dir / "config/glimmerax/";
  const Case cases[] = {
      {"the settings folder is a file", [&] { dir.write("config/glimmerax", "x"); },
       "Cannot create the settings folder \"" + folder + "\": a file stands where a folder should be"},
      {"the settings file is a folder", [&] { dir.mkdir("config/glimmerax/HKLM.reg/inside"); },
       "Cannot read the settings file \"" + folder + "HKLM.reg\": File access denied"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir / "config");
    c.block();
    TSettingsRegistry accessor(HKLM);
    accessor.OpenKey("Software\\X", true);
    try {
      accessor.WriteString("Config 1", "x");
      ADD_FAILURE() << c.name << ": the write succeeded";
    } catch (const ERegistryException& error) {
      EXPECT_EQ(std::string(error.what()), "Failed to set data for 'Config 1': " + c.cause) << c.name;
    }
  }
}

TEST_F(StoreTest, TwoWindowsSavingInTurnKeepEachOthersValues) {
  BoundWindow browser;
  browser.addBrowserSettings()->Loaded();
  MenuWindow main;
  main.addMainSettings()->Loaded();
  browser.show();
  main.show();
  browser.browser->setText(QStringLiteral("/b/1"));
  main.monthLabel->setText(QStringLiteral("11"));
  browser.close();
  main.close();
  browser.browser->setText(QStringLiteral("/b/2"));
  browser.show();
  browser.close();

  BoundWindow browserAgain;
  browserAgain.addBrowserSettings()->Loaded();
  MenuWindow mainAgain;
  mainAgain.addMainSettings()->Loaded();
  EXPECT_EQ(browserAgain.browser->text(), "/b/2");
  EXPECT_EQ(mainAgain.monthLabel->text(), "11");
}

TEST_F(StoreTest, ACorruptRegistryFileIsSetAsideAndTheWindowKeepsItsDesign) {
  dir.write("config/glimmerax/HKLM.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\n");
  MenuWindow window;
  window.addMainSettings()->Loaded();
  EXPECT_EQ(window.configOne->text(), "true");
  EXPECT_EQ(window.monthLabel->text(), "0");
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find(registryFile()), std::string::npos);
  EXPECT_NE(notices[0].find(registryFile() + ".bad"), std::string::npos);
  EXPECT_TRUE(fileExists(registryFile() + ".bad"));
  window.show();
  window.close();
  EXPECT_TRUE(registry().queryValue(HKLM, kBase + "MainWindow", "Config 1"));
  EXPECT_EQ(notices.size(), 1u);
}

TEST_F(StoreTest, RestoreLeavesPropertiesAsDesignedWhenValuesDoNotFit) {
  const std::string key = kBase + "BrowserWindow";
  Registry reg = registry();
  reg.setValue(HKLM, key, "Number", RegValue::string("abc"));
  reg.setValue(HKLM, key, "Fraction", RegValue::string("12.9"));
  // A scrambled value made under another key name does not show the marker.
  TSetting other("Something Else", "");
  other.setAsString("/evil");
  reg.setValue(HKLM, key, "Current Browser", RegValue::binary(other.scrambled()));

  BoundWindow window;
  TFormSettings* settings = window.addBrowserSettings();
  auto* fraction = new QSpinBox(&window);
  fraction->setObjectName("fraction");
  settings->addRow("Number", "count.value");
  settings->addRow("Fraction", "fraction.value");
  settings->Loaded();
  EXPECT_EQ(window.count->value(), 5) << "not a number: unchanged";
  EXPECT_EQ(fraction->value(), 12) << "truncated toward zero";
  EXPECT_EQ(window.browser->text(), "default");
}

TEST_F(StoreTest, OwnerMustBeAWindow) {
  QWidget window;
  auto* child = new QWidget(&window);
  for (QWidget* owner : {static_cast<QWidget*>(nullptr), child}) {
    try {
      TFormSettings settings(owner);
      ADD_FAILURE() << "accepted a non-window owner";
    } catch (const EFormSettingsException& error) {
      EXPECT_STREQ(error.what(), "Parent must be a TCustomForm descendent");
    }
  }
  EXPECT_EQ(window.children().size(), 1);
}

TEST_F(StoreTest, NamesAndLocationsCannotChangeAfterLoading) {
  BoundWindow window;
  TFormSettings* form = window.addBrowserSettings();
  auto* app = new TAppSettings(&window);
  form->Loaded();
  app->Loaded();
  struct Case {
    const char* property;
    std::function<void()> change;
  };
  const std::vector<Case> formCases = {
      {"CompanyName", [&] { form->setCompanyName("x"); }},
      {"SoftwareName", [&] { form->setSoftwareName("x"); }},
      {"SoftwareVersion", [&] { form->setSoftwareVersion("x"); }},
      {"RegistryRootKey", [&] { form->setRegistryRootKey(prkCurrentUser); }},
      {"SaveLocation", [&] { form->setSaveLocation(pslUser); }},
  };
  const std::vector<Case> appCases = {
      {"CompanyName", [&] { app->setCompanyName("x"); }},
      {"SoftwareName", [&] { app->setSoftwareName("x"); }},
      {"SoftwareVersion", [&] { app->setSoftwareVersion("x"); }},
      {"RegistryRootKey", [&] { app->setRegistryRootKey(prkCurrentUser); }},
      {"SaveLocation", [&] { app->setSaveLocation(palUser); }},
  };
  for (const auto& c : formCases) {
    try {
      c.change();
      ADD_FAILURE() << c.property;
    } catch (const EFormSettingsException& error) {
      EXPECT_EQ(error.what(), "Cannot change " + std::string(c.property) + " property at run time");
    }
  }
  for (const auto& c : appCases) {
    try {
      c.change();
      ADD_FAILURE() << c.property;
    } catch (const EAppSettingsException& error) {
      EXPECT_EQ(error.what(), "Cannot change " + std::string(c.property) + " property at run time");
    }
  }
}

TEST_F(StoreTest, ApplicationSettingsLendNamesAndValues) {
  registry().setValue(HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                      "RegisteredOrganization", RegValue::string("Registered Org"));
  MenuWindow window;
  auto* app = new TAppSettings(&window);
  EXPECT_EQ(app->CompanyName(), "Registered Org");
  app->setCompanyName("Tallowbrook Software");
  app->setSoftwareName("Glimmerax");
  app->setSoftwareVersion("1.0");
  app->setRegistryRootKey(prkLocalMachine);
  TSetting* shared = app->addRow("Shared", true);
  EXPECT_EQ(app->findSetting("Shared"), shared);
  EXPECT_EQ(app->findSetting("shared"), nullptr);
  EXPECT_EQ(app->keyPath(), kBase + "AppSettings");

  auto* form = new TFormSettings(&window);
  form->setAppSettingsCtrl(app);
  EXPECT_EQ(form->CompanyName(), "Tallowbrook Software");
  EXPECT_EQ(form->SoftwareVersion(), "1.0");
  EXPECT_EQ(form->RegistryRootKey(), prkCurrentUser) << "the root is not lent";
  form->setRegistryRootKey(prkLocalMachine);
  form->addRow("Linked", "monthLabel.Caption", "Shared");
  form->Loaded();

  // A stored application value reaches the linked row's property at load.
  {
    TSettingsRegistry accessor(HKLM);
    TSetting writer("Shared", "", "", true);
    writer.setAsString("7");
    writer.saveToRegistry(accessor, kBase + "AppSettings", true);
  }
  app->Loaded();
  EXPECT_EQ(window.monthLabel->text(), "7");
  EXPECT_EQ(TAppSettings::all().back(), app);

  // The linked row is never saved by itself.
  window.show();
  window.close();
  EXPECT_FALSE(registry().queryValue(HKLM, kBase + "MainWindow", "Linked"));
  shared->setAsString("8");
  delete app;  // saves on its way out
  EXPECT_EQ(form->AppSettingsCtrl(), nullptr);
  TSetting reader("Shared", "", "", true);
  TSettingsRegistry accessor(HKLM);
  reader.restoreFromRegistry(accessor, kBase + "AppSettings");
  EXPECT_EQ(reader.AsString(), "8");
}

TEST_F(StoreTest, WindowsOpenCentredAndPlacementIsKept) {
  BoundWindow window;
  TFormSettings* settings = window.addBrowserSettings();
  settings->Loaded();
  const QSize screen = window.screen()->geometry().size();
  EXPECT_EQ(window.geometry().topLeft(),
            QPoint((screen.width() - window.width()) / 2, (screen.height() - window.height()) / 2));

  BoundWindow placed("Placed");
  auto* placedSettings = new TFormSettings(&placed);
  placedSettings->setFormSaveOpt(kAllFormSaveOptions);
  placedSettings->Loaded();
  placed.setGeometry(30, 40, 220, 110);
  placed.show();
  placed.close();
  Registry reg = registry();
  const std::string key = "Software\\Placed";
  EXPECT_EQ(reg.queryValue(RegRoot::CurrentUser, key, "Left"), RegValue::dword(30));
  EXPECT_EQ(reg.queryValue(RegRoot::CurrentUser, key, "Top"), RegValue::dword(40));
  EXPECT_EQ(reg.queryValue(RegRoot::CurrentUser, key, "Width"), RegValue::dword(220));
  EXPECT_EQ(reg.queryValue(RegRoot::CurrentUser, key, "Height"), RegValue::dword(110));
  EXPECT_EQ(reg.queryValue(RegRoot::CurrentUser, key, "State"), RegValue::dword(0));
  EXPECT_EQ(reg.queryValue(RegRoot::CurrentUser, key, "MainForm"),
            RegValue::binary(le32(4) + std::string(1, '\0')));
  const std::string res = std::to_string(screen.width()) + "x" + std::to_string(screen.height());
  EXPECT_EQ(reg.queryValue(RegRoot::CurrentUser, key, "ScreenRes"), RegValue::string(res));

  BoundWindow again("Placed");
  auto* againSettings = new TFormSettings(&again);
  againSettings->setFormSaveOpt(kAllFormSaveOptions);
  againSettings->Loaded();
  EXPECT_EQ(again.geometry(), QRect(30, 40, 220, 110));

  // Saved off the screen's edge on this resolution: pulled back in.
  reg.setValue(RegRoot::CurrentUser, key, "Left", RegValue::dword(static_cast<uint32_t>(screen.width())));
  reg.setValue(RegRoot::CurrentUser, key, "Top", RegValue::dword(static_cast<uint32_t>(-50)));
  BoundWindow edge("Placed");
  auto* edgeSettings = new TFormSettings(&edge);
  edgeSettings->setFormSaveOpt(kAllFormSaveOptions);
  edgeSettings->Loaded();
  EXPECT_EQ(edge.geometry().topLeft(), QPoint(screen.width() - 20, 0));

  reg.setValue(RegRoot::CurrentUser, key, "State", RegValue::dword(2));
  BoundWindow maximized("Placed");
  auto* maximizedSettings = new TFormSettings(&maximized);
  maximizedSettings->setFormSaveOpt(kAllFormSaveOptions);
  maximizedSettings->Loaded();
  EXPECT_TRUE(maximized.windowState().testFlag(Qt::WindowMaximized));
}

TEST_F(StoreTest, TwoRegistryUsersWritingInTurnLoseNothing) {
  TSettingsRegistry first(HKLM);
  TSettingsRegistry second(HKLM);
  ASSERT_TRUE(first.OpenKey(kBase + "Shared", true));
  ASSERT_TRUE(second.OpenKey(kBase + "Shared", true));
  first.WriteString("One", "1");
  second.WriteInteger("Two", 2);
  first.WriteBinaryData("Three", "3");
  second.WriteString("Four", "4");
  TSettingsRegistry reader(HKLM);
  ASSERT_TRUE(reader.OpenKey(kBase + "shared", false));
  EXPECT_EQ(reader.ReadValue("One"), RegValue::string("1"));
  EXPECT_EQ(reader.ReadValue("Two"), RegValue::dword(2));
  EXPECT_EQ(reader.ReadValue("Three"), RegValue::binary("3"));
  EXPECT_EQ(reader.ReadValue("Four"), RegValue::string("4"));
  EXPECT_FALSE(reader.OpenKey(kBase + "Missing", false));
  EXPECT_FALSE(registry().keyExists(HKLM, kBase + "Missing")) << "opening never creates";
}

TEST_F(StoreTest, UserLocationHandsEverySettingToTheEvents) {
  BoundWindow window;
  TFormSettings* settings = window.addBrowserSettings();
  settings->setSaveLocation(pslUser);
  settings->setFormSaveOpt(pfsLeft | pfsTop);
  std::vector<std::string> saved;
  std::vector<std::string> restored;
  settings->OnUserSave = [&](TSettingsBase*, TSetting& setting) {
    saved.push_back(setting.Name().empty() ? setting.BoundProperty() : setting.Name());
  };
  settings->OnUserRestore = [&](TSettingsBase*, TSetting& setting) {
    restored.push_back(setting.Name().empty() ? setting.BoundProperty() : setting.Name());
    if (setting.Name() == "Current Browser") setting.setAsString("/from/user");
  };
  settings->Loaded();
  EXPECT_EQ(window.browser->text(), "/from/user");
  const std::vector<std::string> all = {"BrowserNames.Items", "BrowserPaths.Items", "Current Browser",
                                        "Left", "Top", "ScreenRes"};
  EXPECT_EQ(restored, all);
  window.show();
  window.close();
  EXPECT_EQ(saved, all);
  EXPECT_FALSE(fileExists(registryFile()));
}

TEST_F(StoreTest, DeletingAShownWindowIsSafe) {
  int saves = 0;
  auto* window = new BoundWindow;
  TFormSettings* settings = window->addBrowserSettings();
  settings->OnPostSave = [&saves](TSettingsBase*) { ++saves; };
  settings->Loaded();
  window->names->setItems(qlist({"Web"}));
  window->show();
  delete window;
  EXPECT_EQ(saves, 0) << "nothing is saved from a window being destroyed";
  EXPECT_TRUE(errors.errors.empty());

  // A plain window closed the ordinary way still saves.
  QWidget plain;
  plain.setObjectName("Plain");
  auto* plainSettings = new TFormSettings(&plain);
  plainSettings->OnPostSave = [&saves](TSettingsBase*) { ++saves; };
  plainSettings->Loaded();
  plain.show();
  plain.close();
  EXPECT_EQ(saves, 1);
}

TEST_F(StoreTest, QuittingWithTheWindowOpenSavesFirst) {
  int saves = 0;
  BoundWindow open;
  TFormSettings* settings = open.addBrowserSettings();
  settings->OnPostSave = [&saves](TSettingsBase*) { ++saves; };
  settings->Loaded();
  open.browser->setText(QStringLiteral("/at/quit"));
  open.show();
  BoundWindow hidden("Hidden");
  TFormSettings* hiddenSettings = hidden.addBrowserSettings();
  hiddenSettings->OnPostSave = [&saves](TSettingsBase*) { saves += 100; };
  hiddenSettings->Loaded();
  QTimer::singleShot(0, qApp, [] { QCoreApplication::quit(); });
  QCoreApplication::exec();
  EXPECT_EQ(saves, 1) << "only the open window saves";
  EXPECT_TRUE(registry().queryValue(HKLM, kBase + "BrowserWindow", "Current Browser"));
  open.close();
  EXPECT_EQ(saves, 1) << "saved once for this showing";
}

TEST_F(StoreTest, RestartRegistrationNamesTheProgram) {
  MenuWindow window;
  TFormSettings* settings = window.addMainSettings();
  EXPECT_FALSE(settings->AutoRestartApp());
  settings->registerRestart();
  const auto value = registry().queryValue(RegRoot::CurrentUser,
                                           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                                           "PSGLIMMERAXTALLOWBRO");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->data, "\"" + QCoreApplication::applicationFilePath().toStdString() + "\"");
}

}  // namespace
}  // namespace glx
