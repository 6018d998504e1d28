// A temporary folder removed with everything in it when the test ends.
#pragma once

#include <QTemporaryDir>
#include <string>

namespace glx::test {

class TempDir {
 public:
  TempDir();
  // The folder, with a trailing "/".
  const std::string& path() const { return m_path; }
  std::string operator/(const std::string& name) const { return m_path + name; }
  // Writes a file (making its folders), returns its full path.
  std::string write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;
  std::string mkdir(const std::string& name) const;

 private:
  QTemporaryDir m_dir;
  std::string m_path;
};

}  // namespace glx::test
