// The live preview's own folder: a private temporary folder holding the
// page the browser test run would write, fresh copies of the images and the
// player script. It is never the required-files or the test folder, and it
// goes with everything in it when the preview ends.
#pragma once

#include <string>
#include <vector>

namespace glx {

extern const char kPreviewPageName[];  // "Preview.html"

class PreviewFolder {
 public:
  // playerScript: the player file copied beside every page.
  explicit PreviewFolder(std::string playerScript);
  ~PreviewFolder();
  PreviewFolder(const PreviewFolder&) = delete;
  PreviewFolder& operator=(const PreviewFolder&) = delete;

  // The folder, with "/". Throws EInOutError when it cannot be made.
  const std::string& path();

  // Writes the page: the test page's lines around the applet's HTML lines
  // (made for today's browsers, so with the player's script line), with the
  // player file beside it; copies each image (source file, bare name)
  // beside it, replacing older copies so that edited images show. Returns
  // the page's path. An image whose file is not a GIF or JPEG picture by
  // its content stops the page before anything is copied: ENotAPicture
  // names it.
  std::string writeAppletPage(const std::vector<std::string>& htmlLines,
                              const std::vector<std::pair<std::string, std::string>>& images);
  // Writes a page that shows only a message, centred, as text.
  std::string writeMessagePage(const std::string& message);
  // A line that pages written from now on carry as their head (empty: no
  // head).
  void setHead(std::string line) { m_head = std::move(line); }

 private:
  std::string writePage(std::vector<std::string> lines);

  std::string m_playerScript;
  std::string m_path;
  std::string m_head;
};

}  // namespace glx
