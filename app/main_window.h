// The program's main window. The document's logic lives in plain classes
// (AppletEditor and friends); the event methods here stay thin and only
// call them, each one guarded so that no exception leaves a Qt handler.
#pragma once

#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/player_setting.h"
#include "app/startup_rules.h"
#include "document/applet_editor.h"
#include "document/document_commands.h"
#include "document/html_builder.h"
#include "document/project_file.h"
#include "platform/program_folders.h"
#include "platform/shell.h"
#include "platform/single_instance.h"
#include "platform/user_dialogs.h"
#include "publish/required_files.h"
#include "publish/test_run.h"
#include "update/usage_log.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolButton;
class QWidget;

namespace glx {

class FieldHint;
class GlxLabel;
class HelpWindow;
class ImageListView;
class PreviewPage;
class TAppSettings;
class TFormSettings;

// What the main window needs from the desktop and the file system.
struct MainWindowServices {
  ProgramFolders folders;
  UserDialogs& dialogs;
  Shell& shell;
  // The settings folder of the registry; empty: the program's default.
  std::string registryFolder = {};
};

class TMainWindow : public QMainWindow,
                    public DocumentView,
                    public HtmlView,
                    public ProjectView,
                    public RecentFilesList,
                    public ConfigOneSetting,
                    public PlayerChoice,
                    public InstanceHost {
  Q_OBJECT
 public:
  explicit TMainWindow(MainWindowServices services, QWidget* parent = nullptr);
  ~TMainWindow() override;

  // Start-up after the window exists: clears the class files out of the
  // required-files folder, opens the project named by the arguments or
  // resets the document, takes the first-report flag and runs the monthly
  // reminder. Each step is guarded; a project that cannot be read is shown
  // and the program goes on with a fresh document.
  void startUp(const std::vector<std::string>& arguments);

  // InstanceHost: a later start of the program comes here. The window
  // comes to the front and opens the project as "&Reopen" opens one.
  void openFromSecondStart(const std::string& projectPath) override;

  AppletDocument& document() { return m_document; }
  AppletEditor& editor() { return m_editor; }
  RequiredFiles& requiredFiles() { return m_files; }
  HtmlBuilder& htmlBuilder() { return m_htmlBuilder; }
  DocumentCommands& commands() { return m_commands; }
  UsageLog& usageLog() { return m_usageLog; }
  const ProgramFolders& folders() const { return m_folders; }
  HelpWindow& helpWindow();

  // Hooks for the windows created at start-up after this one.
  void setBrowserWindowAction(std::function<void()> show) { m_showBrowserWindow = std::move(show); }
  void setUpdateWindowAction(std::function<void()> show) { m_showUpdateWindow = std::move(show); }
  // Windows that live as long as this one and refer to its document or
  // counters: freed before them.
  void adoptWindow(QWidget* window);
  // The browser window's choice: "default" or a browser's path.
  void setCurrentBrowserSource(std::function<std::string()> source) { m_currentBrowser = std::move(source); }

  // The hidden labels whose captions the settings store keeps.
  GlxLabel* configOne() const { return m_configOne; }
  GlxLabel* monthLabel() const { return m_monthLabel; }
  // The settings components: the application level one (no rows) and the
  // window's, with the two labels and the recent-files list.
  TAppSettings* AppLevelSettings() const { return m_appLevelSettings; }
  TFormSettings* AppSettings() const { return m_appSettings; }

  // DocumentView
  void showSettingsPage() override;
  void showEffectControl(bool speedShown) override;
  void clearImageList() override;
  void selectEffect(int effectIndex) override;
  void addImageItem(const std::string& name) override;
  void removeImageItem(int index) override;
  // Rebuilds the list view from imageNames; the selection is lost.
  void updateListbox() override;
  int selectedImageItem() override;
  void showDocument() override;

  // HtmlView
  void beginHtmlUpdate() override;
  void appendHtmlLine(const std::string& line) override;
  void endHtmlUpdate() override;
  void setLinkText(const std::string& text) override;
  void setFrameText(const std::string& text) override;

  // ProjectView
  void showLoadedDocument() override;

  // RecentFilesList
  void AddMRUItem(const std::string& path) override;

  // ConfigOneSetting
  std::string configOneText() const override;
  void setConfigOneText(const std::string& text) override;
  void saveSettingsNow() override;

  // PlayerChoice: the setting "Play in today's browsers". Setting it keeps
  // or removes the player in the required-files folder, stores the setting
  // and, when the "HTML" page is shown, rebuilds its box.
  bool playInBrowsers() const override;
  void setPlayInBrowsers(bool on) override;
  // The hidden check box the settings store binds the setting to.
  QCheckBox* playInBrowsersBox() const { return m_playInBrowsers; }

  // Opens a project file into the document (the command line's project).
  void openProject(const std::string& path);
  // Rebuilds the HTML box from the document; returns its seven lines.
  std::vector<std::string> makeHTML();

  // Events, named after their control.
  void FormCreate();
  bool FormCloseQuery();
  void cEffectsChange(int index);
  void eFramesChange(int value);
  void eIncrementChange(int value);
  void bkColorBtnClick();
  void eLinkChange();
  void eFrameChange();
  void bLinkBrowseClick();
  void bAddImageClick();
  // Picture files dragged in from a file manager, added as Add Image adds
  // them, in the order dropped.
  void imagesDropped(const std::vector<std::string>& paths);
  void deleteButtonButtonClick();
  void imageListBoxSelectItem(int index);
  void imageListBoxKeyUp(int key);
  void imageListBoxDragDrop(int targetIndex);
  void TabsChange(int page);
  void htmlBoxMouseDown();
  void bCopyHTMLClick();
  void lImagesFolderClick();
  void bTestClick();
  void helpButtonClick(int context);
  void newMenuItemClick();
  void openMenuItemClick();
  void AppSettingsMRUClick(const std::string& fileName);
  void saveMenuItemClick();
  void SaveAsMenuItemClick();
  void exportMenuItemClick();
  void requiredFolderMenuItemClick();
  void exitMenuItemClick();
  void browserMenuItemClick();
  void advancedMenuItemClick();
  void helpMenuItemClick();
  void samplesMenuItemClick();
  void webSiteMenuItemClick();
  void updateMenuItemClick();
  void aboutMenuItemClick();

  static const char* const kLinkFilter;

 signals:
  // The close was accepted: the program ends.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildControls();
  // The parts of the window, in the order they are made: each makes its
  // controls and returns the widget its caller places (the never-shown
  // ones are placed nowhere and return nothing).
  QWidget* buildSettingsPage();
  QGroupBox* buildEffectsGroup(QWidget* page);
  void buildDimensionsGroup(QWidget* page);
  QGroupBox* buildImagesGroup(QWidget* page);
  QGroupBox* buildLinkGroup(QWidget* page);
  QWidget* buildHtmlPage();
  QWidget* buildInfoColumn(QWidget* page);
  QWidget* buildTestPanel(QWidget* parent);
  void buildHiddenState(QWidget* parent);
  void buildMenus();
  void buildSettings(const std::string& registryFolder);
  void monthlyReminder();
  void connectEvents();
  // Runs an event method guarded, then shows the document's state in the
  // controls.
  void handle(const std::function<void()>& action);
  void refreshControls();
  // "sunset.glx[*] - Glimmerax" or "Untitled[*] - Glimmerax", with the
  // modified marker shown while the document has unsaved changes.
  void updateTitle();
  // The image a drag in the list carries, -1 for none.
  int draggedImageItem() const;
  QToolButton* helpButton(int context, QWidget* parent);

  ProgramFolders m_folders;
  UserDialogs& m_dialogs;
  Shell& m_shell;
  AppletDocument m_document;
  RequiredFiles m_files;
  AppletEditor m_editor;
  HtmlBuilder m_htmlBuilder;
  ProjectFile m_projectFile;
  DocumentCommands m_commands;
  UsageCounters m_counters;
  UsageLog m_usageLog;
  BrowserTestRun m_testRun;

  SpinDrag m_spinDrag;
  bool m_refreshing = false;
  std::string m_shownLink;
  std::string m_shownFrame;
  std::vector<std::string> m_shownImages;

  std::function<void()> m_showBrowserWindow;
  std::function<void()> m_showUpdateWindow;
  std::function<std::string()> m_currentBrowser;
  // Shown from a modal window, the help belongs to it and may go with it.
  QPointer<HelpWindow> m_help;
  QIcon m_helpIcon;

 public:
  // Controls, named as the user-interface tables name them.
  QTabWidget* Tabs = nullptr;
  QWidget* settingsTab = nullptr;
  QWidget* HTMLTab = nullptr;
  PreviewPage* previewTab = nullptr;
  QComboBox* cEffects = nullptr;
  QSpinBox* eFrames = nullptr;
  QSpinBox* eIncrement = nullptr;
  QWidget* framesPanel = nullptr;
  QWidget* speedPanel = nullptr;
  QLabel* flashWarning = nullptr;  // under the effect settings
  QSpinBox* eAppletWidth = nullptr;
  QSpinBox* eAppletHeight = nullptr;
  QPushButton* bkColorBtn = nullptr;
  ImageListView* imageListBox = nullptr;
  QPushButton* bAddImage = nullptr;
  QPushButton* deleteButtonButton = nullptr;
  QLineEdit* eLink = nullptr;
  QToolButton* bLinkBrowse = nullptr;
  QComboBox* eFrame = nullptr;
  // Says why a character typed into the link or frame field did not go in.
  FieldHint* cleaningHint = nullptr;
  // Says that the chosen effect shows the first of several images only.
  QLabel* firstImageOnlyNote = nullptr;
  QPlainTextEdit* htmlBox = nullptr;
  QPushButton* bCopyHTML = nullptr;
  QLabel* lImagesFolder = nullptr;
  QPushButton* bTest = nullptr;
  QMenu* reopenMenu = nullptr;
  // The Edit menu's actions, named after the step they undo or redo.
  QAction* undoAction = nullptr;
  QAction* redoAction = nullptr;

 private:
  GlxLabel* m_configOne = nullptr;
  GlxLabel* m_monthLabel = nullptr;
  QCheckBox* m_playInBrowsers = nullptr;
  QLabel* m_playerInfo = nullptr;
  TAppSettings* m_appLevelSettings = nullptr;
  TFormSettings* m_appSettings = nullptr;
  std::vector<QPointer<QWidget>> m_adopted;
};

}  // namespace glx
