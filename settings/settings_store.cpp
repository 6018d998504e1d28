#include "settings/settings_store.h"

#include <QEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QSessionManager>
#include <QMenu>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <typeinfo>
#include <cstdio>

#include "platform/ascii.h"
#include "platform/error_sink.h"
#include "settings/settings_registry.h"

namespace glx {

namespace {

bool gShuttingDown = false;
bool gSaveFailureShown = false;

std::vector<TAppSettings*>& appSettingsList() {
  static std::vector<TAppSettings*> list;
  return list;
}

bool appSettingsAlive(const TAppSettings* app) {
  const auto& list = appSettingsList();
  return app && std::find(list.begin(), list.end(), app) != list.end();
}

std::string companyDefault() {
  return readRegistryString(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                            "RegisteredOrganization")
      .value_or(std::string());
}

TSetting* findByName(const std::vector<std::unique_ptr<TSetting>>& settings,
                     const std::string& name) {
  for (const auto& setting : settings) {
    if (setting->Name() == name) return setting.get();
  }
  return nullptr;
}

}  // namespace

// ---- TSettingsBase ---------------------------------------------------------

TSettingsBase::TSettingsBase(QObject* owner) : QObject(owner), m_companyName(companyDefault()) {}

TSettingsBase::~TSettingsBase() = default;

void TSettingsBase::setCompanyName(const std::string& name) {
  if (runTimeLocked()) runTimeError("CompanyName");
  m_companyName = name;
}

void TSettingsBase::setSoftwareName(const std::string& name) {
  if (runTimeLocked()) runTimeError("SoftwareName");
  m_softwareName = name;
}

void TSettingsBase::setSoftwareVersion(const std::string& version) {
  if (runTimeLocked()) runTimeError("SoftwareVersion");
  m_softwareVersion = version;
}

void TSettingsBase::setRegistryRootKey(TRegistryRootKey root) {
  if (runTimeLocked()) runTimeError("RegistryRootKey");
  m_rootKey = root;
}

RegRoot TSettingsBase::root() const {
  return m_rootKey == prkLocalMachine ? RegRoot::LocalMachine : RegRoot::CurrentUser;
}

std::string TSettingsBase::basePath() const {
  std::string path = "Software\\";
  if (!m_companyName.empty()) path += m_companyName + "\\";
  if (!m_softwareName.empty()) path += m_softwareName + "\\";
  if (!m_softwareVersion.empty()) path += m_softwareVersion + "\\";
  return path;
}

namespace {

void reportSaveFailure(std::exception_ptr error) {
  if (gSaveFailureShown) return;
  gSaveFailureShown = true;
  errorSink().showError(exceptionMessage(error));
}

}  // namespace

void TSettingsBase::saveGuarded() {
  try {
    save();
  } catch (...) {
    reportSaveFailure(std::current_exception());
  }
}

void TSettingsBase::SaveToRegistryReported() {
  try {
    SaveToRegistry();
  } catch (...) {
    reportSaveFailure(std::current_exception());
  }
}

void TSettingsBase::SaveToRegistry() {
  TSettingsRegistry registry(root(), this->registry());
  const std::string base = keyPath();
  for (const auto& row : m_settings) row->saveToRegistry(registry, base, m_saveAll);
  auto extras = extraRows();
  fillExtraRows(extras);
  for (auto& extra : extras) extra->saveToRegistry(registry, base, m_saveAll);
}

void TSettingsBase::RestoreFromRegistry() {
  TSettingsRegistry registry(root(), this->registry());
  const std::string base = keyPath();
  for (const auto& row : m_settings) row->restoreFromRegistry(registry, base);
  auto extras = extraRows();
  for (auto& extra : extras) extra->restoreFromRegistry(registry, base);
  applyExtraRows(extras);
}

void TSettingsBase::userSave() {
  if (!OnUserSave) return;
  auto extras = extraRows();
  fillExtraRows(extras);
  for (const auto& row : m_settings) OnUserSave(this, *row);
  for (auto& extra : extras) OnUserSave(this, *extra);
}

void TSettingsBase::userRestore() {
  if (!OnUserRestore) return;
  for (const auto& row : m_settings) OnUserRestore(this, *row);
  auto extras = extraRows();
  for (auto& extra : extras) OnUserRestore(this, *extra);
  applyExtraRows(extras);
}

void TSettingsBase::runSequence(const Event& before, const ContinueEvent& autoEvent,
                                void (TSettingsBase::*registryStep)(),
                                void (TSettingsBase::*userStep)(), const Event& after) {
  if (before) before(this);
  const Storage where = storage();
  if (where == Storage::Registry) {
    bool continueWork = true;
    if (autoEvent) autoEvent(this, continueWork);
    if (continueWork) (this->*registryStep)();
  } else if (where == Storage::User) {
    (this->*userStep)();
  }
  if (after) after(this);
}

void TSettingsBase::save() {
  runSequence(OnPreSave, OnAutoSave, &TSettingsBase::SaveToRegistry, &TSettingsBase::userSave,
              OnPostSave);
}

void TSettingsBase::restore() {
  runSequence(OnPreRestore, OnAutoRestore, &TSettingsBase::RestoreFromRegistry,
              &TSettingsBase::userRestore, OnPostRestore);
  m_loaded = true;
}

bool TSettingsBase::shuttingDown() { return gShuttingDown; }

void TSettingsBase::resetSaveFailureNotice() {
  gSaveFailureShown = false;
  gShuttingDown = false;
}

// ---- TFormSettings ---------------------------------------------------------

QWidget* TFormSettings::checkedOwner(QWidget* owner) {
  if (!owner || !owner->isWindow()) {
    throw EFormSettingsException("Parent must be a TCustomForm descendent");
  }
  return owner;
}

TFormSettings::TFormSettings(QWidget* owner)
    : TSettingsBase(checkedOwner(owner)),
      m_window(owner),
      m_access(owner),
      m_recentFiles(std::make_unique<RecentFilesMenu>(owner)) {
  m_recentFiles->onClick = [this](QAction* item, const std::string& fileName, int index) {
    if (OnMRUClick) OnMRUClick(this, item, fileName, index);
  };
  m_window->installEventFilter(this);
  // A program that quits with the window still open never hides it before
  // tearing it down: save while the window is still whole.
  if (QCoreApplication::instance()) {
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] {
      if (m_window->isVisible() && !m_savedLatch && m_loaded) {
        m_savedLatch = true;
        saveGuarded();
        if (m_isMainWindow) gShuttingDown = true;
      }
    });
  }
  const Qt::WindowFlags flags = m_window->windowFlags();
  const Qt::WindowType type = m_window->windowType();
  const bool fixedSize = m_window->minimumSize() == m_window->maximumSize();
  if (flags.testFlag(Qt::FramelessWindowHint)) {
    m_formSaveOpt = 0;
    m_recentFiles->setLength(0);
  } else if (type == Qt::Dialog || type == Qt::Tool || type == Qt::Sheet || fixedSize) {
    m_formSaveOpt = pfsLeft | pfsTop;
    m_recentFiles->setLength(0);
  } else if (flags.testFlag(Qt::CustomizeWindowHint) &&
             !(flags.testFlag(Qt::WindowMinimizeButtonHint) &&
               flags.testFlag(Qt::WindowMaximizeButtonHint))) {
    m_formSaveOpt &= ~static_cast<unsigned>(pfsState);
  }
  if (m_window->parentWidget() && m_window->parentWidget()->inherits("QMdiSubWindow")) {
    m_saveLocation = pslStream;
  }
}

// The recent-files menu takes its entries out of the menu as it goes.
TFormSettings::~TFormSettings() {
  if (!gShuttingDown && appSettingsAlive(m_appSettings)) {
    auto& forms = m_appSettings->m_forms;
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
  }
}

TSetting* TFormSettings::addRow(const std::string& name, const std::string& boundProperty,
                                const std::string& relAppSetting, bool encrypted) {
  for (const auto& row : m_settings) {
    if (row->Name() == name && row->BoundProperty() == boundProperty &&
        row->RelAppSetting() == relAppSetting && row->Encrypted() == encrypted) {
      return row.get();
    }
  }
  m_settings.push_back(
      std::make_unique<TSetting>(name, boundProperty, relAppSetting, encrypted, &m_access));
  return m_settings.back().get();
}

TSettingsBase::Storage TFormSettings::storage() const {
  switch (m_saveLocation) {
    case pslRegistry: return Storage::Registry;
    case pslUser: return Storage::User;
    case pslStream:
    case pslStorage: break;
  }
  return Storage::Elsewhere;
}

void TFormSettings::runTimeError(const std::string& property) const {
  throw EFormSettingsException("Cannot change " + property + " property at run time");
}

void TFormSettings::setSaveLocation(TSaveLocation location) {
  if (runTimeLocked()) runTimeError("SaveLocation");
  m_saveLocation = location;
}

void TFormSettings::setAutoRestartApp(bool on) {
  m_autoRestartApp = on;
  if (on && qGuiApp) {
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) {
              if (m_autoRestartApp) runGuarded([this] { registerRestart(); });
            },
            Qt::UniqueConnection);
  }
}

void TFormSettings::registerRestart() {
  std::string name;
  for (char c : "PS" + m_softwareName + m_companyName) {
    c = asciiUpper(c);
    if (c >= 'A' && c <= 'Z') name += c;
  }
  name = name.substr(0, 20);
  const std::string program = QCoreApplication::applicationFilePath().toStdString();
  try {
    registry().setValue(RegRoot::CurrentUser, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                        name, RegValue::string("\"" + program + "\""));
  } catch (const Error& error) {
    throw ERegistryException(failedToSetData(name, error.what()));
  }
}

void TFormSettings::setAppSettingsCtrl(TAppSettings* app) {
  if (appSettingsAlive(m_appSettings)) {
    auto& forms = m_appSettings->m_forms;
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
  }
  m_appSettings = app;
  if (!app) return;
  m_companyName = app->CompanyName();
  m_softwareName = app->SoftwareName();
  m_softwareVersion = app->SoftwareVersion();
  app->m_forms.emplace_back(this);
  takeAppSettings();
}

void TFormSettings::takeAppSettings() {
  if (!m_appSettings) return;
  for (const auto& row : m_settings) {
    if (row->RelAppSetting().empty()) continue;
    if (TSetting* source = m_appSettings->findSetting(row->RelAppSetting())) {
      row->setValue(source->value());
    }
  }
}

std::string TFormSettings::formKeyName() const {
  std::string name = m_window->objectName().toStdString();
  if (OnSetFormKeyName) OnSetFormKeyName(const_cast<TFormSettings*>(this), name);
  return name;
}

std::string TFormSettings::keyPath() const { return basePath() + formKeyName(); }

void TFormSettings::Loaded() {
  for (const auto& row : m_settings) row->snapshotDefault();
  restore();
}

std::vector<std::unique_ptr<TSetting>> TFormSettings::extraRows() const {
  std::vector<std::unique_ptr<TSetting>> temps;
  auto add = [&](const char* name) { temps.push_back(std::make_unique<TSetting>(name, "")); };
  if (m_formSaveOpt & pfsLeft) add("Left");
  if (m_formSaveOpt & pfsTop) add("Top");
  if (m_formSaveOpt & pfsWidth) add("Width");
  if (m_formSaveOpt & pfsHeight) add("Height");
  if (m_formSaveOpt & pfsState) {
    add("MainForm");
    add("State");
  }
  if (m_formSaveOpt != 0) add("ScreenRes");
  if (m_recentFiles->length() > 0) add("MRUList");
  return temps;
}

namespace {

QSize screenSize(const QWidget* window) {
  const QScreen* screen = window->screen();
  return screen ? screen->geometry().size() : QSize(1024, 768);
}

std::string resolutionText(QSize size) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%dx%d", size.width(), size.height());
  return buffer;
}

}  // namespace

void TFormSettings::fillExtraRows(std::vector<std::unique_ptr<TSetting>>& temps) {
  const bool abnormal = m_window->isMaximized() || m_window->isMinimized();
  const QRect normal = abnormal ? m_window->normalGeometry() : m_window->geometry();
  for (auto& temp : temps) {
    const std::string& name = temp->Name();
    if (name == "Left") {
      temp->setAsInteger(normal.x());
    } else if (name == "Top") {
      temp->setAsInteger(normal.y());
    } else if (name == "Width") {
      temp->setAsInteger(normal.width());
    } else if (name == "Height") {
      temp->setAsInteger(normal.height());
    } else if (name == "MainForm") {
      temp->setAsBoolean(m_isMainWindow);
    } else if (name == "State") {
      temp->setAsInteger(m_window->isMinimized() ? 1 : m_window->isMaximized() ? 2 : 0);
    } else if (name == "ScreenRes") {
      temp->setAsString(resolutionText(screenSize(m_window)));
    } else if (name == "MRUList") {
      temp->setAsStrings(m_recentFiles->trimmedForSave());
    }
  }
}

void TFormSettings::applyExtraRows(std::vector<std::unique_ptr<TSetting>>& temps) {
  std::optional<int> left, top, width, height;
  std::optional<std::string> screenRes;
  int state = 0;
  for (auto& temp : temps) {
    const std::string& name = temp->Name();
    const SettingKind kind = temp->kind();
    if (kind == SettingKind::Empty) continue;
    try {
      if (name == "Left") {
        left = temp->AsInteger();
      } else if (name == "Top") {
        top = temp->AsInteger();
      } else if (name == "Width") {
        width = temp->AsInteger();
      } else if (name == "Height") {
        height = temp->AsInteger();
      } else if (name == "State") {
        state = temp->AsInteger();
      } else if (name == "ScreenRes") {
        screenRes = temp->AsString();
      } else if (name == "MRUList" && kind == SettingKind::StringList) {
        m_recentFiles->restore(parseCommaText(temp->value().text));
      }
    } catch (const ESettingException&) {
      // A stored value of the wrong kind is ignored like a missing one.
    }
  }
  if (left == -1) left.reset();
  if (top == -1) top.reset();
  placeWindow(left, top, width, height, screenRes);
  // After the placement, which would otherwise undo it. Minimising the
  // application ("MainForm" true) is minimising its main window here, so
  // both cases minimise this window.
  if (state == 1) {
    m_window->setWindowState(m_window->windowState() | Qt::WindowMinimized);
  } else if (state == 2) {
    m_window->setWindowState(m_window->windowState() | Qt::WindowMaximized);
  }
}

void TFormSettings::placeWindow(std::optional<int> left, std::optional<int> top,
                                std::optional<int> width, std::optional<int> height,
                                const std::optional<std::string>& screenRes) {
  const QSize screen = screenSize(m_window);
  const int sw = screen.width();
  const int sh = screen.height();
  if (!left && !top && !width && !height) {
    int x = m_window->x();
    int y = m_window->y();
    const int w = m_window->width();
    const int h = m_window->height();
    if (m_centreAtRestore) {
      // A window larger than the screen keeps its title bar on it.
      x = std::max((sw - w) / 2, 0);
      y = std::max((sh - h) / 2, 0);
      // A window that has not been laid out yet has no real size: it is
      // centred again when it is first shown.
      m_centreWhenShown = true;
    } else {
      if (x + w > sw) x = sw - w;
      if (y + h > sh) y = sh - h;
      x = std::max(x, 0);
      y = std::max(y, 0);
    }
    m_window->move(x, y);
    return;
  }
  m_centreWhenShown = false;
  const int w = width.value_or(m_window->width());
  const int h = height.value_or(m_window->height());
  int x = left.value_or(m_window->x());
  int y = top.value_or(m_window->y());
  if (screenRes != resolutionText(screen)) {
    if (x + w > sw) x = sw - w;
    if (y + h > sh) y = sh - h;
  } else {
    x = std::min(x, sw - 20);
    y = std::min(y, sh - 20);
  }
  x = std::max(x, 0);
  y = std::max(y, 0);
  QRect geometry = m_window->geometry();
  if (left) geometry.moveLeft(x);
  if (top) geometry.moveTop(y);
  if (width) geometry.setWidth(*width);
  if (height) geometry.setHeight(*height);
  m_window->setGeometry(geometry);
}

bool TFormSettings::eventFilter(QObject* watched, QEvent* event) {
  if (watched != m_window) return false;
  const QEvent::Type type = event->type();
  // The window's own type as it stands when it is shown or asked to close;
  // a window whose destructor hides it has fallen back to QWidget by then.
  if (type == QEvent::Show || type == QEvent::Close) m_windowType = &typeid(*m_window);
  // Spontaneous show and hide events come from minimising and restoring,
  // which are not a new showing or a closing.
  if (type == QEvent::Show && !event->spontaneous()) {
    m_savedLatch = false;
    if (m_centreWhenShown) {
      // Shown, the window has its laid-out size; the frame counts where the
      // desktop has already drawn one.
      m_centreWhenShown = false;
      const QSize screen = screenSize(m_window);
      const QSize frame = m_window->frameGeometry().size();
      m_window->move(std::max((screen.width() - frame.width()) / 2, 0),
                     std::max((screen.height() - frame.height()) / 2, 0));
    }
  } else if (type == QEvent::Hide && !event->spontaneous()) {
    // A window hides after its close has been accepted, so a cancelled
    // close saves nothing and a project saved while closing is included.
    // Nothing is saved from a window that is being destroyed: its own
    // code is gone and its state may be half torn down.
    const bool destroying = m_windowType && typeid(*m_window) != *m_windowType;
    if (!m_savedLatch && m_loaded && !destroying) {
      m_savedLatch = true;
      saveGuarded();
      if (m_isMainWindow) gShuttingDown = true;
    }
  }
  return false;
}

void TFormSettings::setMRUMenuItem(QMenu* subMenu) {
  setMRUMenuItem(subMenu ? subMenu->menuAction() : nullptr);
}

// ---- TAppSettings ----------------------------------------------------------

TAppSettings::TAppSettings(QObject* owner) : TSettingsBase(owner) {
  appSettingsList().push_back(this);
}

TAppSettings::~TAppSettings() {
  auto& list = appSettingsList();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  if (m_loaded) saveGuarded();
}

TSettingsBase::Storage TAppSettings::storage() const {
  return m_saveLocation == palRegistry ? Storage::Registry : Storage::User;
}

void TAppSettings::runTimeError(const std::string& property) const {
  throw EAppSettingsException("Cannot change " + property + " property at run time");
}

void TAppSettings::setSaveLocation(TAppSaveLocation location) {
  if (runTimeLocked()) runTimeError("SaveLocation");
  m_saveLocation = location;
}

TSetting* TAppSettings::addRow(const std::string& name, bool encrypted) {
  m_settings.push_back(std::make_unique<TSetting>(name, "", "", encrypted));
  return m_settings.back().get();
}

TSetting* TAppSettings::findSetting(const std::string& name) const {
  return findByName(m_settings, name);
}

std::string TAppSettings::keyPath() const { return basePath() + "AppSettings"; }

void TAppSettings::Loaded() {
  restore();
  for (const auto& form : m_forms) {
    if (form) form->takeAppSettings();
  }
}

const std::vector<TAppSettings*>& TAppSettings::all() { return appSettingsList(); }

}  // namespace glx
