// Shared by the settings tests: a registry and a desktop data folder in a
// temporary folder, the error sink collected, and small real windows with
// the controls the program binds.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QWidget>
#include <functional>
#include <memory>

#include "platform/recent_docs.h"
#include "platform/registry.h"
#include "settings/bound_widgets.h"
#include "settings/settings_store.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace glx::test {

class RecordingRecentDocs : public RecentDocs {
 public:
  void add(const std::string& path) override { added.push_back(path); }
  std::vector<std::string> added;
};

// Points the registry and the desktop's data folder at a temporary folder
// for the life of a test, and restores what was there.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_savedConfig = qgetenv("XDG_CONFIG_HOME");
    m_savedData = qgetenv("XDG_DATA_HOME");
    m_hadConfig = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    m_hadData = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir / "config"));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir / "data"));
    setRecentDocs(&recentDocs);
    setRegistryNotice([this](const std::string& text) { notices.push_back(text); });
    TSettingsBase::resetSaveFailureNotice();
  }
  void TearDown() override {
    setRegistryNotice(nullptr);
    setRecentDocs(nullptr);
    TSettingsBase::resetSaveFailureNotice();
    restore("XDG_CONFIG_HOME", m_hadConfig, m_savedConfig);
    restore("XDG_DATA_HOME", m_hadData, m_savedData);
  }

  Registry registry() const { return Registry(dir / "config/glimmerax/"); }
  std::string registryFile() const { return dir / "config/glimmerax/HKLM.reg"; }

  TempDir dir;
  CollectingErrorSink errors;
  RecordingRecentDocs recentDocs;
  std::vector<std::string> notices;

 private:
  static void restore(const char* name, bool had, const QByteArray& value) {
    if (had) {
      qputenv(name, value);
    } else {
      qunsetenv(name);
    }
  }
  QByteArray m_savedConfig, m_savedData;
  bool m_hadConfig = false, m_hadData = false;
};

// A window like the browser window: two list boxes and a label, and a close
// that asks first.
class BoundWindow : public QWidget {
 public:
  explicit BoundWindow(const char* name = "BrowserWindow") {
    setObjectName(name);
    resize(200, 100);
    names = new GlxListBox(this);
    names->setObjectName("BrowserNames");
    paths = new GlxListBox(this);
    paths->setObjectName("BrowserPaths");
    browser = new GlxLabel(QStringLiteral("default"), this);
    browser->setObjectName("browser");
    count = new QSpinBox(this);
    count->setObjectName("count");
    count->setRange(-1000, 1000);
    count->setValue(5);
  }

  // The settings as the browser window sets them up.
  TFormSettings* addBrowserSettings() {
    settings = new TFormSettings(this);
    settings->setCompanyName("Tallowbrook Software");
    settings->setSoftwareName("Glimmerax");
    settings->setSoftwareVersion("1.0");
    settings->setRegistryRootKey(prkLocalMachine);
    settings->setFormSaveOpt(0);
    settings->setMRULength(0);
    settings->setAddToRecentDocs(false);
    settings->setCentreAtRestore(true);
    settings->addRow("", "BrowserNames.Items");
    settings->addRow("", "BrowserPaths.Items", "", true);
    settings->addRow("Current Browser", "browser.Caption", "", true);
    settings->OnPostSave = [this](TSettingsBase*) { ++saves; };
    return settings;
  }

  std::function<void()> onClose;  // the window's own close handling
  bool allowClose = true;

  GlxListBox* names;
  GlxListBox* paths;
  GlxLabel* browser;
  QSpinBox* count;
  TFormSettings* settings = nullptr;
  int saves = 0;

 protected:
  void closeEvent(QCloseEvent* event) override {
    if (onClose) onClose();
    if (allowClose) {
      event->accept();
    } else {
      event->ignore();
    }
  }
};

// A window like the main window: hidden labels with state values and a File
// menu with "&Reopen".
class MenuWindow : public QWidget {
 public:
  MenuWindow() {
    setObjectName("MainWindow");
    resize(300, 200);
    configOne = new GlxLabel(QStringLiteral("true"), this);
    configOne->setObjectName("configOne");
    monthLabel = new GlxLabel(QStringLiteral("0"), this);
    monthLabel->setObjectName("monthLabel");
    menuBar = new QMenuBar(this);
    fileMenu = menuBar->addMenu(QStringLiteral("&File"));
    fileMenu->addAction(QStringLiteral("&Open..."));
    reopen = fileMenu->addMenu(QStringLiteral("&Reopen"));
    fileMenu->addAction(QStringLiteral("E&xit"));
  }

  TFormSettings* addMainSettings(TAppSettings* app = nullptr) {
    settings = new TFormSettings(this);
    settings->setCompanyName("Tallowbrook Software");
    settings->setSoftwareName("Glimmerax");
    settings->setSoftwareVersion("1.0");
    settings->setRegistryRootKey(prkLocalMachine);
    if (app) settings->setAppSettingsCtrl(app);
    settings->setFormSaveOpt(0);
    settings->setIsMainWindow(true);
    settings->setMRUMenuItem(reopen);
    settings->setMRULength(9);
    settings->setMRUDisplay(pmdFileOnly);
    settings->setMRUMaxItemWidth(300);
    settings->addRow("Config 1", "configOne.Caption", "", true);
    settings->addRow("Config 3", "monthLabel.Caption", "", true);
    return settings;
  }

  // The captions of the recent-files entries, in menu order.
  QStringList entryCaptions(QMenu* container = nullptr) const {
    QStringList captions;
    for (QAction* action : (container ? container : reopen)->actions()) {
      if (action->data().toInt() == kMRUEntryTag) captions << action->text();
    }
    return captions;
  }

  GlxLabel* configOne;
  GlxLabel* monthLabel;
  QMenuBar* menuBar;
  QMenu* fileMenu;
  QMenu* reopen;
  TFormSettings* settings = nullptr;
};

}  // namespace glx::test
