// Settings components that sit on a window and keep its state in the
// registry: TFormSettings (rows bound to the window's control properties,
// the window's placement, and the recent-files list its RecentFilesMenu
// keeps) and TAppSettings
// (settings of no window, which also lends its company, software and
// version names to the window components linked to it).
//
// A window creates its component in its constructor, adds the rows, and
// calls Loaded() once all its controls exist: that restores everything. The
// component watches the window and saves once per showing when the window
// is hidden or its close has been accepted. GUI thread only.
//
//   auto* settings = new TFormSettings(this);          // this: the window
//   settings->setCompanyName("Tallowbrook Software");
//   settings->setSoftwareName("Glimmerax");
//   settings->setSoftwareVersion("1.0");
//   settings->setRegistryRootKey(prkLocalMachine);
//   settings->setFormSaveOpt(0);
//   settings->addRow("Current Browser", "browser.Caption", "", kEncrypted);
//   settings->addRow("", "BrowserNames.Items");
//   settings->Loaded();
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <typeinfo>
#include <vector>

#include "platform/errors.h"
#include "platform/registry.h"
#include "settings/property_access.h"
#include "settings/recent_files_menu.h"
#include "settings/setting.h"

// QAction, QMenu, QWidget and RecentDocs come declared with the menu.
namespace glx {

class TAppSettings;

enum TRegistryRootKey { prkCurrentUser, prkLocalMachine };
enum TSaveLocation { pslRegistry, pslStream, pslStorage, pslUser };
enum TAppSaveLocation { palRegistry, palUser };

// FormSaveOpt members, combined with "|".
enum TFormSaveOption : unsigned {
  pfsLeft = 1,
  pfsTop = 2,
  pfsWidth = 4,
  pfsHeight = 8,
  pfsState = 16,
};
constexpr unsigned kAllFormSaveOptions = pfsLeft | pfsTop | pfsWidth | pfsHeight | pfsState;

class EFormSettingsException : public Error {
 public:
  using Error::Error;
};

class EAppSettingsException : public Error {
 public:
  using Error::Error;
};

class TSettingsBase : public QObject {
  Q_OBJECT

 public:
  using Event = std::function<void(TSettingsBase* sender)>;
  using SettingEvent = std::function<void(TSettingsBase* sender, TSetting& setting)>;
  using ContinueEvent = std::function<void(TSettingsBase* sender, bool& continueWork)>;

  ~TSettingsBase() override;

  const std::string& CompanyName() const { return m_companyName; }
  const std::string& SoftwareName() const { return m_softwareName; }
  const std::string& SoftwareVersion() const { return m_softwareVersion; }
  TRegistryRootKey RegistryRootKey() const { return m_rootKey; }
  bool SaveAll() const { return m_saveAll; }
  void setCompanyName(const std::string& name);
  void setSoftwareName(const std::string& name);
  void setSoftwareVersion(const std::string& version);
  void setRegistryRootKey(TRegistryRootKey root);
  void setSaveAll(bool saveAll) { m_saveAll = saveAll; }

  // The settings folder; empty (the default) means $XDG_CONFIG_HOME/glimmerax/.
  void setRegistryFolder(const std::string& folder) { m_registryFolder = folder; }
  Registry registry() const { return Registry(m_registryFolder); }
  RegRoot root() const;

  const std::vector<std::unique_ptr<TSetting>>& settings() const { return m_settings; }
  bool isLoaded() const { return m_loaded; }

  // The registry key of this component's values, relative to the root.
  virtual std::string keyPath() const = 0;
  void SaveToRegistry();
  void RestoreFromRegistry();
  // The save a window's hiding or closing runs, and the application
  // component's on its way out: events, then by location.
  void save();
  // SaveToRegistry for a caller that must go on whatever happens (the
  // immediate save after the usage log changed the first-report flag): a
  // failure is shown once per run, as for every other save, and not raised.
  void SaveToRegistryReported();

  SettingEvent OnUserSave, OnUserRestore;
  Event OnPreSave, OnPostSave, OnPreRestore, OnPostRestore;
  ContinueEvent OnAutoSave, OnAutoRestore;

  // Set once the application's main window has saved on its way out.
  static bool shuttingDown();
  // Forgets that a failed save was reported, as a new run of the program.
  static void resetSaveFailureNotice();

 protected:
  explicit TSettingsBase(QObject* owner);
  // Where the values go, as far as the save and restore sequences tell
  // the locations apart.
  enum class Storage { Registry, User, Elsewhere };
  virtual Storage storage() const = 0;

  // "Software\company\software\version\" as far as the names are set.
  std::string basePath() const;
  // Runs the save sequence; a failure is shown once per run and never
  // stops the caller.
  void saveGuarded();
  // The restore sequence: events, then by location; the component counts
  // as loaded afterwards.
  void restore();
  // The steps save and restore share: the before event, the registry step
  // (unless the auto event declines it) or the user step, the after event.
  void runSequence(const Event& before, const ContinueEvent& autoEvent,
                   void (TSettingsBase::*registryStep)(), void (TSettingsBase::*userStep)(),
                   const Event& after);
  [[noreturn]] virtual void runTimeError(const std::string& property) const = 0;
  // Names and location are fixed once values went to the registry.
  bool runTimeLocked() const { return m_loaded && storage() == Storage::Registry; }

  // Rows made afresh for each save and restore besides the component's own
  // (none by default), filled from the component's state before a save and
  // applied to it after a restore.
  virtual std::vector<std::unique_ptr<TSetting>> extraRows() const { return {}; }
  virtual void fillExtraRows(std::vector<std::unique_ptr<TSetting>>&) {}
  virtual void applyExtraRows(std::vector<std::unique_ptr<TSetting>>&) {}

  std::string m_companyName;
  std::string m_softwareName;
  std::string m_softwareVersion;
  TRegistryRootKey m_rootKey = prkCurrentUser;
  bool m_saveAll = true;
  std::string m_registryFolder;
  std::vector<std::unique_ptr<TSetting>> m_settings;
  bool m_loaded = false;

 private:
  void userSave();
  void userRestore();
};

class TFormSettings : public TSettingsBase {
  Q_OBJECT

 public:
  using KeyNameEvent = std::function<void(TSettingsBase* sender, std::string& formKeyName)>;
  using MRUClickEvent = std::function<void(TSettingsBase* sender, QAction* menuItem,
                                           const std::string& fileName, int mruIndex)>;

  // owner: the window. Throws EFormSettingsException when it is not one.
  explicit TFormSettings(QWidget* owner);
  ~TFormSettings() override;

  QWidget* window() const { return m_window; }
  PropertyAccess& access() { return m_access; }

  // Adds a row; a row equal in all four fields to an earlier one is not
  // added again (the earlier one is returned).
  TSetting* addRow(const std::string& name, const std::string& boundProperty,
                   const std::string& relAppSetting = {}, bool encrypted = false);

  // End of loading: snapshot the designed values, then restore.
  void Loaded();

  unsigned FormSaveOpt() const { return m_formSaveOpt; }
  void setFormSaveOpt(unsigned options) { m_formSaveOpt = options & kAllFormSaveOptions; }
  TSaveLocation SaveLocation() const { return m_saveLocation; }
  void setSaveLocation(TSaveLocation location);

  // The window opens centred on the screen: placed by the restore.
  void setCentreAtRestore(bool centre) { m_centreAtRestore = centre; }
  bool centreAtRestore() const { return m_centreAtRestore; }
  // Whether the window is the application's main window.
  void setIsMainWindow(bool isMain) { m_isMainWindow = isMain; }
  bool isMainWindow() const { return m_isMainWindow; }
  // Restart registration after a session ends; kept off in this program.
  // When on, the end of a desktop session registers the program to start
  // again at the next login (a RunOnce value under HKEY_CURRENT_USER).
  bool AutoRestartApp() const { return m_autoRestartApp; }
  void setAutoRestartApp(bool on);
  // Writes that registration now: the value "PS" + software + company
  // (ASCII letters, upper case, at most 20) holding the quoted program path.
  void registerRestart();

  TAppSettings* AppSettingsCtrl() const { return m_appSettings; }
  void setAppSettingsCtrl(TAppSettings* app);
  // Copies the application settings into the rows linked to them.
  void takeAppSettings();

  KeyNameEvent OnSetFormKeyName;
  std::string formKeyName() const;
  std::string keyPath() const override;
  bool savedLatch() const { return m_savedLatch; }

  // ---- recent files: the component's properties of its list ----
  RecentFilesMenu& recentFiles() { return *m_recentFiles; }
  const RecentFilesMenu& recentFiles() const { return *m_recentFiles; }
  const StringList& mruList() const { return m_recentFiles->list(); }
  int MRUCount() const { return m_recentFiles->count(); }
  QAction* MRUMenuItem() const { return m_recentFiles->menuItem(); }
  void setMRUMenuItem(QAction* item) { m_recentFiles->setMenuItem(item); }
  void setMRUMenuItem(QMenu* subMenu);
  int MRULength() const { return m_recentFiles->length(); }
  void setMRULength(int length) { m_recentFiles->setLength(length); }
  TMRUDisplay MRUDisplay() const { return m_recentFiles->display(); }
  void setMRUDisplay(TMRUDisplay display) { m_recentFiles->setDisplay(display); }
  int MRUMaxItemWidth() const { return m_recentFiles->maxItemWidth(); }
  void setMRUMaxItemWidth(int pixels) { m_recentFiles->setMaxItemWidth(pixels); }
  TMRUPlacement MRUPlacement() const { return m_recentFiles->placement(); }
  void setMRUPlacement(TMRUPlacement placement) { m_recentFiles->setPlacement(placement); }
  bool MRUValidate() const { return m_recentFiles->validate(); }
  void setMRUValidate(bool validate) { m_recentFiles->setValidate(validate); }
  bool AddToRecentDocs() const { return m_recentFiles->addToRecentDocs(); }
  void setAddToRecentDocs(bool add) { m_recentFiles->setAddToRecentDocs(add); }
  void setRecentDocs(RecentDocs* docs) { m_recentFiles->setRecentDocs(docs); }
  MRUClickEvent OnMRUClick;

  void AddMRUItem(const std::string& path) { m_recentFiles->add(path); }
  std::string mruDisplayText(const std::string& path) const {
    return m_recentFiles->displayText(path);
  }
  QMenu* mruContainer() const { return m_recentFiles->container(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  Storage storage() const override;
  [[noreturn]] void runTimeError(const std::string& property) const override;
  // The window's placement and the recent-files list.
  std::vector<std::unique_ptr<TSetting>> extraRows() const override;
  void fillExtraRows(std::vector<std::unique_ptr<TSetting>>& rows) override;
  void applyExtraRows(std::vector<std::unique_ptr<TSetting>>& rows) override;

 private:
  static QWidget* checkedOwner(QWidget* owner);
  void placeWindow(std::optional<int> left, std::optional<int> top, std::optional<int> width,
                   std::optional<int> height, const std::optional<std::string>& screenRes);

  QWidget* m_window;
  PropertyAccess m_access;
  unsigned m_formSaveOpt = kAllFormSaveOptions;
  TSaveLocation m_saveLocation = pslRegistry;
  QPointer<TAppSettings> m_appSettings;
  bool m_autoRestartApp = false;
  bool m_savedLatch = false;
  bool m_centreAtRestore = false;
  bool m_centreWhenShown = false;
  bool m_isMainWindow = false;
  const std::type_info* m_windowType = nullptr;
  std::unique_ptr<RecentFilesMenu> m_recentFiles;
};

class TAppSettings : public TSettingsBase {
  Q_OBJECT

 public:
  explicit TAppSettings(QObject* owner);
  // Saves (guarded) after leaving the process-wide list.
  ~TAppSettings() override;

  TAppSaveLocation SaveLocation() const { return m_saveLocation; }
  void setSaveLocation(TAppSaveLocation location);

  // A setting filled by code, never bound to a property.
  TSetting* addRow(const std::string& name, bool encrypted = false);
  // The first setting of that name (exact), or nullptr.
  TSetting* findSetting(const std::string& name) const;

  // End of loading: restore, then hand the values to the linked windows.
  void Loaded();
  std::string keyPath() const override;

  // Every live application component.
  static const std::vector<TAppSettings*>& all();

 protected:
  Storage storage() const override;
  [[noreturn]] void runTimeError(const std::string& property) const override;

 private:
  friend class TFormSettings;
  TAppSaveLocation m_saveLocation = palRegistry;
  std::vector<QPointer<TFormSettings>> m_forms;
};

}  // namespace glx
