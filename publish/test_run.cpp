#include "publish/test_run.h"

#include "platform/file_ops.h"
#include "publish/published_page.h"

namespace glx {

const char kNoImagesMessage[] =
    "This applet will not work because it does not contain any images.\n"
    "          Press the \"Add Image\" to add an image to the applet.";
const char kNeedsTwoImagesMessage[] =
    "          This applet must contain more than one image.\n"
    "Press the \"Add Image\" to add another image to the applet.";
const char kSelectBrowserMessage[] = "You must select a browser before testing the Applet.";
const char kTestPageName[] = "Applet Temp.html";

namespace {

// A command-line argument that stays one argument: the page's path has
// blanks ("Applet Temp/Applet Temp.html").
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

}  // namespace

std::vector<std::string> BrowserTestRun::testPageLines(const std::vector<std::string>& htmlLines) {
  // The page is written from the document's bytes as they are; it names
  // the character set they are in, so that a non-ASCII alternative HTML or
  // loading message is not shown garbled.
  std::vector<std::string> lines = {"<HTML>", "  <HEAD><META CHARSET=\"" + charsetOf(htmlLines) + "\"></HEAD>",
                                    "  <BODY BGCOLOR=\"#000000\">", "    <P ALIGN=\"CENTER\">"};
  for (const std::string& line : htmlLines) lines.push_back("      " + line);
  lines.push_back("    </P>");
  lines.push_back("  </BODY>");
  lines.push_back("</HTML>");
  return lines;
}

std::string BrowserTestRun::testPage() const {
  return m_requiredFiles.folders().appletTempFolder() + kTestPageName;
}

void BrowserTestRun::bTestClick(const TestRunRequest& request) {
  if (request.imageNames.empty()) {
    m_dialogs.showMessage(kNoImagesMessage);
    return;
  }
  if (request.imageNames.size() == 1 && needsTwoImages(request.effectIndex)) {
    m_dialogs.showMessage(kNeedsTwoImagesMessage);
    return;
  }
  if (request.updateLogData) request.updateLogData();

  const std::string folder = m_requiredFiles.folders().appletTempFolder();
  if (!folderExists(folder)) createFolder(folder);
  m_requiredFiles.copyClassFiles(folder);

  const std::vector<std::string> html = request.makeHTML ? request.makeHTML() : std::vector<std::string>();
  std::string page;
  for (const std::string& line : testPageLines(html)) page += line + "\r\n";
  const std::string pagePath = testPage();
  writeFileAtomic(pagePath, page);

  const std::string& browser = request.currentBrowser;
  if (browser == "default") {
    m_shell.open(pagePath);
  } else if (!browser.empty() && fileExists(browser)) {
    m_requiredFiles.ExecuteFile(bareFileName(browser), quoted(pagePath), folderOf(browser), kShowWindow);
  } else {
    m_dialogs.showMessage(kSelectBrowserMessage);
  }
}

}  // namespace glx
