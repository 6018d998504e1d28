// The browser test run ("&Test in Browser"): writes the temporary page
// around the freshly built applet HTML into the test folder, makes sure the
// class files are beside it, and opens it in the chosen browser or the
// desktop's default one. The run is counted in the usage statistics.
//
// What lives in other libraries (the document, the HTML builder, the usage
// counters) comes in as values and functions, so this library does not
// depend on them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/shell.h"
#include "platform/user_dialogs.h"
#include "publish/page_server.h"
#include "publish/required_files.h"

namespace glx {

extern const char kNoImagesMessage[];
extern const char kNeedsTwoImagesMessage[];
extern const char kSelectBrowserMessage[];
extern const char kTestPageName[];  // "Applet Temp.html"

// The show mode for "show the window in its current size and position".
constexpr int kShowWindow = 5;

struct TestRunRequest {
  std::vector<std::string> imageNames;
  int effectIndex = 0;
  // Rebuilds the HTML from the document and returns its seven lines; its
  // messages appear as it runs.
  std::function<std::vector<std::string>()> makeHTML;
  // Counts the run in the usage statistics.
  std::function<void()> updateLogData;
  // The browser window's current browser: "default" or a program's path.
  std::string currentBrowser;
};

class BrowserTestRun {
 public:
  BrowserTestRun(RequiredFiles& requiredFiles, Shell& shell, UserDialogs& dialogs)
      : m_requiredFiles(requiredFiles), m_shell(shell), m_dialogs(dialogs) {}

  // Whether the browser gets the page from a loopback address (a server on
  // 127.0.0.1 started by the first run, serving only the test folder) instead
  // of from disk, where some browsers give the player neither its pictures'
  // pixels nor a worker. When the server cannot start, the page is opened
  // from disk as before.
  void setServeOverLoopback(bool serve) { m_serveOverLoopback = serve; }

  // What the browser was given: the page's address or its path.
  std::string pageAddress() const;

  // Effects whose applet needs at least two images ("Image Cross Fade",
  // "Page Flip").
  static bool needsTwoImages(int effectIndex) { return effectIndex == 0 || effectIndex == 3; }

  // The page's lines (without line ends) around the applet's HTML lines,
  // with a declaration of the character set their bytes are in.
  static std::vector<std::string> testPageLines(const std::vector<std::string>& htmlLines);

  // The full path of the test page.
  std::string testPage() const;

  // Runs the test: refuses without images (or with one image where two are
  // needed, or with an image in the test folder that is not a GIF or JPEG
  // picture: the message names it), otherwise counts the run, copies the class files, builds the
  // HTML, writes the page and starts the browser. Throws EInOutError when
  // the folder or the page cannot be written (the run is counted already).
  void bTestClick(const TestRunRequest& request);

 private:
  RequiredFiles& m_requiredFiles;
  Shell& m_shell;
  UserDialogs& m_dialogs;
  bool m_serveOverLoopback = false;
  std::unique_ptr<PageServer> m_server;
};

}  // namespace glx
