#include "settings/settings_store.h"

#include <QAction>
#include <QEvent>
#include <QCoreApplication>
#include <QFontMetrics>
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
#include "platform/file_ops.h"
#include "platform/recent_docs.h"
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

bool isTagged(const QAction* action, int tag) {
  bool ok = false;
  return action->data().toInt(&ok) == tag && ok;
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
    runSave();
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
    : TSettingsBase(checkedOwner(owner)), m_window(owner), m_access(owner) {
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
    m_mruLength = 0;
  } else if (type == Qt::Dialog || type == Qt::Tool || type == Qt::Sheet || fixedSize) {
    m_formSaveOpt = pfsLeft | pfsTop;
    m_mruLength = 0;
  } else if (flags.testFlag(Qt::CustomizeWindowHint) &&
             !(flags.testFlag(Qt::WindowMinimizeButtonHint) &&
               flags.testFlag(Qt::WindowMaximizeButtonHint))) {
    m_formSaveOpt &= ~static_cast<unsigned>(pfsState);
  }
  if (m_window->parentWidget() && m_window->parentWidget()->inherits("QMdiSubWindow")) {
    m_saveLocation = pslStream;
  }
}

TFormSettings::~TFormSettings() {
  removeMRUEntries();
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

bool TFormSettings::runTimeLocked() const { return m_loaded && m_saveLocation == pslRegistry; }

void TFormSettings::runTimeError(const std::string& property) const {
  throw EFormSettingsException("Cannot change " + property + " property at run time");
}

void TFormSettings::setSaveLocation(TSaveLocation location) {
  if (runTimeLocked()) runTimeError("SaveLocation");
  m_saveLocation = location;
}

void TFormSettings::setCompanyName(const std::string& name) { TSettingsBase::setCompanyName(name); }
void TFormSettings::setSoftwareName(const std::string& name) { TSettingsBase::setSoftwareName(name); }
void TFormSettings::setSoftwareVersion(const std::string& version) {
  TSettingsBase::setSoftwareVersion(version);
}
void TFormSettings::setRegistryRootKey(TRegistryRootKey root) {
  TSettingsBase::setRegistryRootKey(root);
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
  if (OnPreRestore) OnPreRestore(this);
  if (m_saveLocation == pslRegistry) {
    bool continueWork = true;
    if (OnAutoRestore) OnAutoRestore(this, continueWork);
    if (continueWork) RestoreFromRegistry();
  } else if (m_saveLocation == pslUser) {
    userRestore();
  }
  if (OnPostRestore) OnPostRestore(this);
  m_loaded = true;
}

std::vector<std::unique_ptr<TSetting>> TFormSettings::temporarySettings() const {
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
  if (m_mruLength > 0) add("MRUList");
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

void TFormSettings::fillTemporarySettings(std::vector<std::unique_ptr<TSetting>>& temps) {
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
      if (m_mru.size() > static_cast<size_t>(m_mruLength)) m_mru.resize(m_mruLength);
      temp->setAsStrings(m_mru);
    }
  }
}

void TFormSettings::applyTemporarySettings(std::vector<std::unique_ptr<TSetting>>& temps) {
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
        m_mru = parseCommaText(temp->value().text);
        rebuildMRUMenu();
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

void TFormSettings::SaveToRegistry() {
  TSettingsRegistry registry(root(), this->registry());
  const std::string base = keyPath();
  for (const auto& row : m_settings) row->saveToRegistry(registry, base, m_saveAll);
  auto temps = temporarySettings();
  fillTemporarySettings(temps);
  for (auto& temp : temps) temp->saveToRegistry(registry, base, m_saveAll);
}

void TFormSettings::RestoreFromRegistry() {
  TSettingsRegistry registry(root(), this->registry());
  const std::string base = keyPath();
  for (const auto& row : m_settings) row->restoreFromRegistry(registry, base);
  auto temps = temporarySettings();
  for (auto& temp : temps) temp->restoreFromRegistry(registry, base);
  applyTemporarySettings(temps);
}

void TFormSettings::userSave() {
  if (!OnUserSave) return;
  auto temps = temporarySettings();
  fillTemporarySettings(temps);
  for (const auto& row : m_settings) OnUserSave(this, *row);
  for (auto& temp : temps) OnUserSave(this, *temp);
}

void TFormSettings::userRestore() {
  if (!OnUserRestore) return;
  for (const auto& row : m_settings) OnUserRestore(this, *row);
  auto temps = temporarySettings();
  for (auto& temp : temps) OnUserRestore(this, *temp);
  applyTemporarySettings(temps);
}

void TFormSettings::save() {
  if (OnPreSave) OnPreSave(this);
  if (m_saveLocation == pslRegistry) {
    bool continueWork = true;
    if (OnAutoSave) OnAutoSave(this, continueWork);
    if (continueWork) SaveToRegistry();
  } else if (m_saveLocation == pslUser) {
    userSave();
  }
  if (OnPostSave) OnPostSave(this);
}

void TFormSettings::runSave() { save(); }

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

// ---- recent files ----------------------------------------------------------

void TFormSettings::setMRUMenuItem(QMenu* subMenu) {
  setMRUMenuItem(subMenu ? subMenu->menuAction() : nullptr);
}

void TFormSettings::setMRUMenuItem(QAction* item) {
  if (item == m_mruItem) return;
  removeMRUEntries();
  m_mruItem = item;
  rebuildMRUMenu();
}

void TFormSettings::setMRULength(int length) {
  if (length < 0 || length > 9 || length == m_mruLength) return;
  removeMRUEntries();
  m_mruLength = length;
  if (m_mru.size() > static_cast<size_t>(length)) m_mru.resize(length);
  rebuildMRUMenu();
}

void TFormSettings::setMRUDisplay(TMRUDisplay display) {
  m_mruDisplay = display;
  rebuildMRUMenu();
}

void TFormSettings::setMRUMaxItemWidth(int pixels) {
  if (pixels < 100 || pixels > 300 || pixels == m_mruMaxItemWidth) return;
  m_mruMaxItemWidth = pixels;
  rebuildMRUMenu();
}

void TFormSettings::setMRUPlacement(TMRUPlacement placement) {
  if (placement == m_mruPlacement) return;
  removeMRUEntries();
  m_mruPlacement = placement;
  rebuildMRUMenu();
}

void TFormSettings::setMRUValidate(bool validate) {
  if (validate == m_mruValidate) return;
  removeMRUEntries();
  m_mruValidate = validate;
  rebuildMRUMenu();
}

QMenu* TFormSettings::mruContainer() const {
  if (!m_mruItem) return nullptr;
  if (m_mruPlacement == pmpDescending) return m_mruItem->menu();
  for (QObject* object : m_mruItem->associatedObjects()) {
    if (auto* menu = qobject_cast<QMenu*>(object)) {
      if (menu->actions().contains(m_mruItem.data())) return menu;
    }
  }
  return nullptr;
}

std::string TFormSettings::mruDisplayText(const std::string& path) const {
  switch (m_mruDisplay) {
    case pmdFileOnly:
      return bareFileName(path);
    case pmdFullPath:
      return path;
    case pmdAbbPath: {
      QMenu* menu = mruContainer();
      const QFontMetrics metrics(menu ? menu->font() : m_window->font());
      return metrics.elidedText(QString::fromStdString(path), Qt::ElideMiddle, m_mruMaxItemWidth)
          .toStdString();
    }
  }
  return path;
}

void TFormSettings::AddMRUItem(const std::string& path) {
  if (m_mruLength <= 0) return;
  if (m_addToRecentDocs) (m_recentDocs ? *m_recentDocs : recentDocs()).add(path);
  // Linux file names are case-sensitive: only the very same path is merged.
  auto found = std::find(m_mru.begin(), m_mru.end(), path);
  if (found != m_mru.end()) m_mru.erase(found);
  m_mru.insert(m_mru.begin(), path);
  rebuildMRUMenu();
}

void TFormSettings::removeMRUEntries() {
  QMenu* container = mruContainer();
  if (!container) return;
  const QList<QAction*> actions = container->actions();
  for (auto it = actions.rbegin(); it != actions.rend(); ++it) {
    QAction* action = *it;
    if (isTagged(action, kMRUEntryTag) || isTagged(action, kMRUSeparatorTag)) {
      container->removeAction(action);
      delete action;
    }
  }
  // The sub-menu is handed back as it was found.
  if (m_mruPlacement == pmpDescending) m_mruItem->setEnabled(true);
}

void TFormSettings::rebuildMRUMenu() {
  if (m_mruValidate) {
    for (size_t i = m_mru.size(); i-- > 0;) {
      if (!fileExists(m_mru[i])) m_mru.erase(m_mru.begin() + static_cast<long>(i));
    }
  }
  QMenu* container = mruContainer();
  if (!container) return;
  const bool before = m_mruPlacement == pmpBefore;
  auto newAction = [&](int tag) {
    auto* action = new QAction(container);
    action->setData(tag);
    if (tag == kMRUSeparatorTag) {
      action->setSeparator(true);
    } else {
      connect(action, &QAction::triggered, this, [this, action] {
        runGuarded([&] { mruClicked(action); });
      });
    }
    return action;
  };
  auto actionAt = [&](int index) -> QAction* {
    const QList<QAction*> actions = container->actions();
    return index >= 0 && index < actions.size() ? actions[index] : nullptr;
  };
  int insertAt = before ? static_cast<int>(container->actions().indexOf(m_mruItem.data())) : -1;
  int entries = 0;
  int lastEntry = -1;
  {
    const QList<QAction*> actions = container->actions();
    for (int i = 0; i < actions.size(); ++i) {
      if (isTagged(actions[i], kMRUEntryTag)) {
        ++entries;
        lastEntry = i;
      }
    }
  }
  if (entries == 0 && !m_mru.empty()) {
    if (before) {
      QAction* previous = actionAt(insertAt - 1);
      if (previous && !previous->isSeparator()) {
        container->insertAction(actionAt(insertAt), newAction(kMRUSeparatorTag));
        ++insertAt;
      }
      container->insertAction(actionAt(insertAt), newAction(kMRUSeparatorTag));
    } else if (!container->actions().isEmpty()) {
      container->addAction(newAction(kMRUSeparatorTag));
    }
  } else if (before && entries > 0) {
    insertAt = lastEntry + 1;
  }
  const int wanted = static_cast<int>(std::min<size_t>(m_mruLength, m_mru.size()));
  for (; entries < wanted; ++entries) {
    if (before) {
      container->insertAction(actionAt(insertAt), newAction(kMRUEntryTag));
    } else {
      container->addAction(newAction(kMRUEntryTag));
    }
  }
  // Entries beyond the list go, the last first.
  {
    const QList<QAction*> actions = container->actions();
    int count = 0;
    std::vector<QAction*> surplus;
    for (QAction* action : actions) {
      if (isTagged(action, kMRUEntryTag) && ++count > static_cast<int>(m_mru.size())) {
        surplus.push_back(action);
      }
    }
    for (auto it = surplus.rbegin(); it != surplus.rend(); ++it) {
      container->removeAction(*it);
      delete *it;
    }
  }
  int k = 0;
  for (QAction* action : container->actions()) {
    if (!isTagged(action, kMRUEntryTag)) continue;
    ++k;
    const std::string caption = "&" + std::to_string(k) + " " + mruDisplayText(m_mru[k - 1]);
    action->setText(QString::fromStdString(caption));
  }
  // A sub-menu with nothing in it is disabled: Qt never pops up again a
  // sub-menu that was hovered while empty, entries or not.
  if (m_mruPlacement == pmpDescending) m_mruItem->setEnabled(!container->isEmpty());
}

void TFormSettings::mruClicked(QAction* action) {
  QMenu* container = mruContainer();
  if (!container) return;
  int k = 0;
  for (QAction* item : container->actions()) {
    if (!isTagged(item, kMRUEntryTag)) continue;
    ++k;
    if (item == action) {
      if (OnMRUClick && static_cast<size_t>(k) <= m_mru.size()) {
        OnMRUClick(this, action, m_mru[k - 1], k);
      }
      return;
    }
  }
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

bool TAppSettings::runTimeLocked() const { return m_loaded && m_saveLocation == palRegistry; }

void TAppSettings::runTimeError(const std::string& property) const {
  throw EAppSettingsException("Cannot change " + property + " property at run time");
}

void TAppSettings::setSaveLocation(TAppSaveLocation location) {
  if (runTimeLocked()) runTimeError("SaveLocation");
  m_saveLocation = location;
}

void TAppSettings::setCompanyName(const std::string& name) { TSettingsBase::setCompanyName(name); }
void TAppSettings::setSoftwareName(const std::string& name) { TSettingsBase::setSoftwareName(name); }
void TAppSettings::setSoftwareVersion(const std::string& version) {
  TSettingsBase::setSoftwareVersion(version);
}
void TAppSettings::setRegistryRootKey(TRegistryRootKey root) {
  TSettingsBase::setRegistryRootKey(root);
}

TSetting* TAppSettings::addRow(const std::string& name, bool encrypted) {
  m_settings.push_back(std::make_unique<TSetting>(name, "", "", encrypted));
  return m_settings.back().get();
}

TSetting* TAppSettings::findSetting(const std::string& name) const {
  return findByName(m_settings, name);
}

std::string TAppSettings::keyPath() const { return basePath() + "AppSettings"; }

void TAppSettings::SaveToRegistry() {
  TSettingsRegistry registry(root(), this->registry());
  const std::string base = keyPath();
  for (const auto& row : m_settings) row->saveToRegistry(registry, base, m_saveAll);
}

void TAppSettings::RestoreFromRegistry() {
  TSettingsRegistry registry(root(), this->registry());
  const std::string base = keyPath();
  for (const auto& row : m_settings) row->restoreFromRegistry(registry, base);
}

void TAppSettings::Loaded() {
  if (OnPreRestore) OnPreRestore(this);
  if (m_saveLocation == palRegistry) {
    bool continueWork = true;
    if (OnAutoRestore) OnAutoRestore(this, continueWork);
    if (continueWork) RestoreFromRegistry();
  } else if (OnUserRestore) {
    for (const auto& row : m_settings) OnUserRestore(this, *row);
  }
  if (OnPostRestore) OnPostRestore(this);
  m_loaded = true;
  for (const auto& form : m_forms) {
    if (form) form->takeAppSettings();
  }
}

void TAppSettings::save() {
  if (OnPreSave) OnPreSave(this);
  if (m_saveLocation == palRegistry) {
    bool continueWork = true;
    if (OnAutoSave) OnAutoSave(this, continueWork);
    if (continueWork) SaveToRegistry();
  } else if (OnUserSave) {
    for (const auto& row : m_settings) OnUserSave(this, *row);
  }
  if (OnPostSave) OnPostSave(this);
}

void TAppSettings::runSave() { save(); }

const std::vector<TAppSettings*>& TAppSettings::all() { return appSettingsList(); }

}  // namespace glx
