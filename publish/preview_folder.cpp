#include "publish/preview_folder.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/errors.h"
#include "platform/file_ops.h"
#include "publish/picture_check.h"
#include "publish/required_files.h"
#include "publish/test_run.h"

namespace glx {

const char kPreviewPageName[] = "Preview.html";

namespace {

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\n': out += "<BR>"; break;
      default: out += c;
    }
  }
  return out;
}

void copyReplacing(const std::string& source, const std::string& target) {
  std::error_code error;
  if (source.empty() || !fileExists(source)) {
    std::filesystem::remove(target, error);
    return;
  }
  std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing, error);
}

}  // namespace

PreviewFolder::PreviewFolder(std::string playerScript) : m_playerScript(std::move(playerScript)) {}

PreviewFolder::~PreviewFolder() {
  if (m_path.empty()) return;
  std::error_code error;
  std::filesystem::remove_all(m_path, error);
}

const std::string& PreviewFolder::path() {
  if (m_path.empty()) {
    std::error_code error;
    std::string pattern = (std::filesystem::temp_directory_path(error) / "glimmerax-preview-XXXXXX").string();
    if (error) pattern = "/tmp/glimmerax-preview-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw inOutError(errno);
    m_path = pattern + "/";
  }
  return m_path;
}

std::string PreviewFolder::writeAppletPage(const std::vector<std::string>& htmlLines,
                                           const std::vector<std::pair<std::string, std::string>>& images) {
  const std::string& folder = path();
  // Every picture is checked before anything is copied; a refused one also
  // loses a copy an earlier page left.
  for (const auto& [source, name] : images) {
    if (name.empty() || name.find('/') != std::string::npos || source.empty() || !fileExists(source)) continue;
    if (!isPictureFile(source)) {
      std::error_code error;
      std::filesystem::remove(folder + name, error);
      throw ENotAPicture(name);
    }
  }
  copyReplacing(m_playerScript, folder + kPlayerFile);
  for (const auto& [source, name] : images)
    if (!name.empty() && name.find('/') == std::string::npos) copyReplacing(source, folder + name);
  return writePage(BrowserTestRun::testPageLines(htmlLines));
}

std::string PreviewFolder::writeMessagePage(const std::string& message) {
  return writePage({"<HTML>", "  <BODY BGCOLOR=\"#000000\" TEXT=\"#FFFFFF\">",
                    "    <P ALIGN=\"CENTER\" ID=\"message\">" + escaped(message) + "</P>", "  </BODY>", "</HTML>"});
}

std::string PreviewFolder::writePage(std::vector<std::string> lines) {
  static const std::string kOpen = "  <HEAD>", kClose = "</HEAD>";
  const auto isHead = [](const std::string& line, const std::string& open) {
    return line.size() >= open.size() + kClose.size() && line.starts_with(open) && line.ends_with(kClose);
  };
  if (!m_head.empty() && !lines.empty()) {
    // One head: what the preview adds joins the head the page already has
    // (after its character set), or makes one after "<HTML>".
    if (lines.size() > 1 && isHead(lines[1], kOpen) && isHead(m_head, "<HEAD>"))
      lines[1].insert(lines[1].size() - kClose.size(), m_head.substr(6, m_head.size() - 6 - kClose.size()));
    else
      lines.insert(lines.begin() + 1, "  " + m_head);
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  const std::string page = path() + kPreviewPageName;
  writeFileAtomic(page, text);
  return page;
}

}  // namespace glx
