// What the project and command tests share: a recent-files list that
// records, and a project file's lines as the program writes them.
#pragma once

#include <string>
#include <vector>

#include "document/project_file.h"

namespace glx::test {

class RecordingRecentFiles : public RecentFilesList {
 public:
  void AddMRUItem(const std::string& path) override { added.push_back(path); }
  std::vector<std::string> added;
};

// The lines, each ended with CR LF.
inline std::string crlf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

}  // namespace glx::test
