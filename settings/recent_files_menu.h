// The recent-files list of a window and the menu entries that show it.
//
// The entries go into the sub-menu of one menu item (pmpDescending) or into
// the item's own menu just before it (pmpBefore), each captioned "&1 name",
// "&2 name"... and set off from the other items by a separator. The list
// keeps the newest file first; with validation on, files that no longer
// exist are dropped from it each time the entries are brought up to date.
// The settings component of the window stores the list and hands it back.
// GUI thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

#include "settings/setting.h"

class QAction;
class QMenu;
class QWidget;

namespace glx {

class RecentDocs;

enum TMRUDisplay { pmdFileOnly, pmdFullPath, pmdAbbPath };
enum TMRUPlacement { pmpDescending, pmpBefore };

// Tags in QAction::data() that mark the recent-files list's own menu items.
constexpr int kMRUEntryTag = 46371;
constexpr int kMRUSeparatorTag = 46358;

class RecentFilesMenu : public QObject {
  Q_OBJECT

 public:
  using ClickEvent =
      std::function<void(QAction* menuItem, const std::string& fileName, int mruIndex)>;

  // fontSource: the widget whose font measures shortened paths when the
  // entries have no menu yet.
  explicit RecentFilesMenu(QWidget* fontSource);
  // Takes its entries out of the menu.
  ~RecentFilesMenu() override;

  const StringList& list() const { return m_list; }
  int count() const { return static_cast<int>(m_list.size()); }
  // The menu item the entries go under (pmpDescending: its sub-menu) or
  // before (pmpBefore).
  QAction* menuItem() const { return m_item; }
  void setMenuItem(QAction* item);
  int length() const { return m_length; }
  // 0 to 9; other values are ignored.
  void setLength(int length);
  TMRUDisplay display() const { return m_display; }
  void setDisplay(TMRUDisplay display);
  int maxItemWidth() const { return m_maxItemWidth; }
  // 100 to 300 pixels; other values are ignored.
  void setMaxItemWidth(int pixels);
  TMRUPlacement placement() const { return m_placement; }
  void setPlacement(TMRUPlacement placement);
  bool validate() const { return m_validate; }
  void setValidate(bool validate);
  bool addToRecentDocs() const { return m_addToRecentDocs; }
  void setAddToRecentDocs(bool add) { m_addToRecentDocs = add; }
  // Where added files go besides the list; nullptr: the desktop's list.
  void setRecentDocs(RecentDocs* docs) { m_recentDocs = docs; }
  // Runs when an entry is chosen, with its file and its 1-based number.
  ClickEvent onClick;

  // Puts the file first (once) and also hands it to the recent documents.
  void add(const std::string& path);
  // The list as a save stores it: first cut to the length.
  const StringList& trimmedForSave();
  // The list a restore read back; the entries show it.
  void restore(const StringList& files);

  // The text an entry shows for a path under the current display style.
  std::string displayText(const std::string& path) const;
  // The menu the entries live in, or nullptr.
  QMenu* container() const;

 private:
  // With validation on, removes the files that no longer exist from the
  // list; the rebuild that follows shows the shorter list.
  void dropMissingFiles();
  // Makes the entries match the list: adds or removes entries and the
  // separator, and sets every caption.
  void rebuildEntries();
  void removeSurplusEntries(QMenu* menu);
  void captionEntries(QMenu* menu) const;
  void removeEntries();
  // Takes the entries out, changes a setting that decides where they go or
  // which files stay, and brings them back; nothing when it is unchanged.
  template <typename T>
  void replaceEntries(T& setting, T value);
  void clicked(QAction* action);

  QWidget* m_fontSource;
  StringList m_list;
  QPointer<QAction> m_item;
  int m_length = 4;
  TMRUDisplay m_display = pmdFullPath;
  int m_maxItemWidth = 200;
  TMRUPlacement m_placement = pmpDescending;
  bool m_validate = true;
  bool m_addToRecentDocs = true;
  RecentDocs* m_recentDocs = nullptr;
};

}  // namespace glx
