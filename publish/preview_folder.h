// The live preview's own folder: a private temporary folder holding the
// page the browser test run would write, fresh copies of the images and the
// player script. It is never the required-files or the test folder, and it
// goes with everything in it when the preview ends.
#pragma once

#include <string>
#include <vector>

namespace glx {

extern const char kPreviewPageName[];   // "Preview.html"
extern const char kPlayerScriptName[];  // "glimmerax-player.js"

class PreviewFolder {
 public:
  // playerScript: the player file copied beside every page.
  explicit PreviewFolder(std::string playerScript);
  ~PreviewFolder();
  PreviewFolder(const PreviewFolder&) = delete;
  PreviewFolder& operator=(const PreviewFolder&) = delete;

  // The folder, with "/". Throws EInOutError when it cannot be made.
  const std::string& path();

  // Writes the page: the test page's lines around the applet's HTML lines,
  // with the player script; copies each image (source file, bare name)
  // beside it, replacing older copies so that edited images show. Returns
  // the page's path.
  std::string writeAppletPage(const std::vector<std::string>& htmlLines,
                              const std::vector<std::pair<std::string, std::string>>& images);
  // Writes a page that shows only a message, centred, as text.
  std::string writeMessagePage(const std::string& message);

  // The page's lines for the applet's HTML lines: the test page's, with the
  // player's script line before the end of the body unless the HTML lines
  // bring it already.
  static std::vector<std::string> pageLines(const std::vector<std::string>& htmlLines);

 private:
  std::string writePage(const std::vector<std::string>& lines);

  std::string m_playerScript;
  std::string m_path;
};

}  // namespace glx
