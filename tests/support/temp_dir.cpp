#include "tests/support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace glx::test {

TempDir::TempDir() : m_dir(QDir::tempPath() + "/glx-test-XXXXXX") {
  if (!m_dir.isValid()) throw std::runtime_error("cannot make a temporary folder");
  m_path = m_dir.path().toStdString() + "/";
}

std::string TempDir::write(const std::string& name, const std::string& bytes) const {
  const std::string full = m_path + name;
  std::filesystem::create_directories(std::filesystem::path(full).parent_path());
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + full);
  return full;
}

std::string TempDir::read(const std::string& name) const {
  std::ifstream in(m_path + name, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + m_path + name);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string TempDir::mkdir(const std::string& name) const {
  std::filesystem::create_directories(m_path + name);
  std::string full = m_path + name;
  if (full.back() != '/') full += '/';
  return full;
}

}  // namespace glx::test
