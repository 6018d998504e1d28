// The desktop's list of recently used documents, which file dialogs and
// launchers offer. An interface so that tests can record what was added.
#pragma once

#include <string>

namespace glx {

class RecentDocs {
 public:
  virtual ~RecentDocs() = default;
  // Adds a file; failures are silent, the list is a convenience.
  virtual void add(const std::string& path) = 0;
};

// The freedesktop.org list in $XDG_DATA_HOME/recently-used.xbel (default
// ~/.local/share/recently-used.xbel). An entry for the same file is updated
// in place; a list that does not parse is left untouched.
class XbelRecentDocs : public RecentDocs {
 public:
  // file: the list's path; empty means defaultFile() at each use.
  explicit XbelRecentDocs(std::string file = {}) : m_file(std::move(file)) {}
  static std::string defaultFile();
  void add(const std::string& path) override;

 private:
  std::string m_file;
};

// The process-wide list (an XbelRecentDocs by default); nullptr restores it.
void setRecentDocs(RecentDocs* docs);
RecentDocs& recentDocs();

// Hands a file to the process-wide list.
void AddToRecentDocs(const std::string& path);

}  // namespace glx
