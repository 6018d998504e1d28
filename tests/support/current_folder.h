// Makes a folder the process's current folder for one test and gives the
// previous one back when the test ends.
#pragma once

#include <filesystem>
#include <string>

namespace glx::test {

class CurrentFolder {
 public:
  explicit CurrentFolder(const std::string& folder) : m_previous(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~CurrentFolder() { std::filesystem::current_path(m_previous); }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  std::filesystem::path m_previous;
};

}  // namespace glx::test
