#include "settings/recent_files_menu.h"

#include <QAction>
#include <QFontMetrics>
#include <QMenu>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "platform/error_sink.h"
#include "platform/file_ops.h"
#include "platform/recent_docs.h"

namespace glx {

namespace {

bool isTagged(const QAction* action, int tag) {
  bool ok = false;
  return action->data().toInt(&ok) == tag && ok;
}

QAction* actionAt(const QMenu* container, int index) {
  const QList<QAction*> actions = container->actions();
  return index >= 0 && index < actions.size() ? actions[index] : nullptr;
}

}  // namespace

RecentFilesMenu::RecentFilesMenu(QWidget* fontSource) : m_fontSource(fontSource) {}

RecentFilesMenu::~RecentFilesMenu() { removeEntries(); }

void RecentFilesMenu::setMenuItem(QAction* item) {
  if (item == m_item) return;
  removeEntries();
  m_item = item;
  dropMissingFiles();
  rebuildEntries();
}

void RecentFilesMenu::setLength(int length) {
  if (length < 0 || length > 9 || length == m_length) return;
  removeEntries();
  m_length = length;
  if (m_list.size() > static_cast<size_t>(length)) m_list.resize(length);
  dropMissingFiles();
  rebuildEntries();
}

void RecentFilesMenu::setDisplay(TMRUDisplay display) {
  m_display = display;
  dropMissingFiles();
  rebuildEntries();
}

void RecentFilesMenu::setMaxItemWidth(int pixels) {
  if (pixels < 100 || pixels > 300 || pixels == m_maxItemWidth) return;
  m_maxItemWidth = pixels;
  dropMissingFiles();
  rebuildEntries();
}

template <typename T>
void RecentFilesMenu::replaceEntries(T& setting, T value) {
  if (value == setting) return;
  removeEntries();
  setting = value;
  dropMissingFiles();
  rebuildEntries();
}

void RecentFilesMenu::setPlacement(TMRUPlacement placement) { replaceEntries(m_placement, placement); }

void RecentFilesMenu::setValidate(bool validate) { replaceEntries(m_validate, validate); }

QMenu* RecentFilesMenu::container() const {
  if (!m_item) return nullptr;
  if (m_placement == pmpDescending) return m_item->menu();
  for (QObject* object : m_item->associatedObjects()) {
    if (auto* menu = qobject_cast<QMenu*>(object)) {
      if (menu->actions().contains(m_item.data())) return menu;
    }
  }
  return nullptr;
}

std::string RecentFilesMenu::displayText(const std::string& path) const {
  switch (m_display) {
    case pmdFileOnly:
      return bareFileName(path);
    case pmdFullPath:
      return path;
    case pmdAbbPath: {
      QMenu* menu = container();
      const QFontMetrics metrics(menu ? menu->font() : m_fontSource->font());
      return metrics.elidedText(QString::fromStdString(path), Qt::ElideMiddle, m_maxItemWidth)
          .toStdString();
    }
  }
  return path;
}

void RecentFilesMenu::add(const std::string& path) {
  if (m_length <= 0) return;
  if (m_addToRecentDocs) (m_recentDocs ? *m_recentDocs : recentDocs()).add(path);
  // Linux file names are case-sensitive: only the very same path is merged.
  auto found = std::find(m_list.begin(), m_list.end(), path);
  if (found != m_list.end()) m_list.erase(found);
  m_list.insert(m_list.begin(), path);
  dropMissingFiles();
  rebuildEntries();
}

const StringList& RecentFilesMenu::trimmedForSave() {
  if (m_list.size() > static_cast<size_t>(m_length)) m_list.resize(m_length);
  return m_list;
}

void RecentFilesMenu::restore(const StringList& files) {
  m_list = files;
  dropMissingFiles();
  rebuildEntries();
}

void RecentFilesMenu::removeEntries() {
  QMenu* menu = container();
  if (!menu) return;
  const QList<QAction*> actions = menu->actions();
  for (auto it = actions.rbegin(); it != actions.rend(); ++it) {
    QAction* action = *it;
    if (isTagged(action, kMRUEntryTag) || isTagged(action, kMRUSeparatorTag)) {
      menu->removeAction(action);
      delete action;
    }
  }
  // The sub-menu is handed back as it was found.
  if (m_placement == pmpDescending) m_item->setEnabled(true);
}

void RecentFilesMenu::dropMissingFiles() {
  if (!m_validate) return;
  for (size_t i = m_list.size(); i-- > 0;) {
    if (!fileExists(m_list[i])) m_list.erase(m_list.begin() + static_cast<long>(i));
  }
}

void RecentFilesMenu::rebuildEntries() {
  QMenu* menu = container();
  if (!menu) return;
  const bool before = m_placement == pmpBefore;
  auto newAction = [&](int tag) {
    auto* action = new QAction(menu);
    action->setData(tag);
    if (tag == kMRUSeparatorTag) {
      action->setSeparator(true);
    } else {
      connect(action, &QAction::triggered, this, [this, action] {
        runGuarded([&] { clicked(action); });
      });
    }
    return action;
  };
  int insertAt = before ? static_cast<int>(menu->actions().indexOf(m_item.data())) : -1;
  int entries = 0;
  int lastEntry = -1;
  {
    const QList<QAction*> actions = menu->actions();
    for (int i = 0; i < actions.size(); ++i) {
      if (isTagged(actions[i], kMRUEntryTag)) {
        ++entries;
        lastEntry = i;
      }
    }
  }
  if (entries == 0 && !m_list.empty()) {
    if (before) {
      QAction* previous = actionAt(menu, insertAt - 1);
      if (previous && !previous->isSeparator()) {
        menu->insertAction(actionAt(menu, insertAt), newAction(kMRUSeparatorTag));
        ++insertAt;
      }
      menu->insertAction(actionAt(menu, insertAt), newAction(kMRUSeparatorTag));
    } else if (!menu->actions().isEmpty()) {
      menu->addAction(newAction(kMRUSeparatorTag));
    }
  } else if (before && entries > 0) {
    insertAt = lastEntry + 1;
  }
  const int wanted = static_cast<int>(std::min<size_t>(m_length, m_list.size()));
  for (; entries < wanted; ++entries) {
    if (before) {
      menu->insertAction(actionAt(menu, insertAt), newAction(kMRUEntryTag));
    } else {
      menu->addAction(newAction(kMRUEntryTag));
    }
  }
  removeSurplusEntries(menu);
  captionEntries(menu);
  // A sub-menu with nothing in it is disabled: Qt never pops up again a
  // sub-menu that was hovered while empty, entries or not.
  if (m_placement == pmpDescending) m_item->setEnabled(!menu->isEmpty());
}

// Entries beyond the list go, the last first.
void RecentFilesMenu::removeSurplusEntries(QMenu* menu) {
  int count = 0;
  std::vector<QAction*> surplus;
  for (QAction* action : menu->actions()) {
    if (isTagged(action, kMRUEntryTag) && ++count > static_cast<int>(m_list.size())) {
      surplus.push_back(action);
    }
  }
  for (auto it = surplus.rbegin(); it != surplus.rend(); ++it) {
    menu->removeAction(*it);
    delete *it;
  }
}

void RecentFilesMenu::captionEntries(QMenu* menu) const {
  int k = 0;
  for (QAction* action : menu->actions()) {
    if (!isTagged(action, kMRUEntryTag)) continue;
    ++k;
    const std::string caption = "&" + std::to_string(k) + " " + displayText(m_list[k - 1]);
    action->setText(QString::fromStdString(caption));
  }
}

void RecentFilesMenu::clicked(QAction* action) {
  QMenu* menu = container();
  if (!menu) return;
  int k = 0;
  for (QAction* item : menu->actions()) {
    if (!isTagged(item, kMRUEntryTag)) continue;
    ++k;
    if (item == action) {
      if (onClick && static_cast<size_t>(k) <= m_list.size()) onClick(action, m_list[k - 1], k);
      return;
    }
  }
}

}  // namespace glx
