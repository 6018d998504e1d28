#include "publish/test_run.h"

#include "platform/errors.h"
#include "platform/file_ops.h"
#include "publish/picture_check.h"
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

std::string BrowserTestRun::pageAddress() const {
  return m_server ? m_server->addressOf(kTestPageName) : testPage();
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
  // What the browser will read: the copies in the test folder. One that is
  // not a picture (left there by an older version, or put there by hand)
  // refuses the run before it is counted.
  const std::string tempFolder = m_requiredFiles.folders().appletTempFolder();
  for (const std::string& name : request.imageNames) {
    if (name.empty() || !fileExists(tempFolder + name) || isPictureFile(tempFolder + name)) continue;
    m_dialogs.showMessage(notAPictureMessage(name));
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

  if (m_serveOverLoopback && !m_server) {
    try {
      auto server = std::make_unique<PageServer>(folder);
      server->start();
      m_server = std::move(server);
    } catch (const Error&) {
      // The page still plays from disk; the next run tries again.
    }
  }
  const std::string address = pageAddress();

  const std::string& browser = request.currentBrowser;
  if (browser == "default") {
    m_shell.open(address);
  } else if (!browser.empty() && fileExists(browser)) {
    m_requiredFiles.ExecuteFile(bareFileName(browser), quoted(address), folderOf(browser), kShowWindow);
  } else {
    m_dialogs.showMessage(kSelectBrowserMessage);
  }
}

}  // namespace glx
