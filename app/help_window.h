// The program's own help viewer: "Glimmerax Help.html" beside the
// executable, shown whole or scrolled to the anchor of a context number.
// (The desktop's opener drops the #fragment of file addresses, so the
// shell cannot do this.)
#pragma once

#include <QPointer>
#include <QTextBrowser>
#include <QWidget>
#include <string>

namespace glx {

inline constexpr const char* kHelpFileName = "Glimmerax Help.html";

class HelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit HelpWindow(std::string programFolder, QWidget* parent = nullptr);

  // 0 shows the page from its top; any other number scrolls to the anchor
  // "context-<number>". Raises an error naming the file when it is missing.
  // Shown while a modal window is open, the help window is handed to that
  // window (it goes with it when it is freed), so that it can be used.
  void showContext(int context);

  // The page and anchor last shown (for checks).
  QUrl currentSource() const { return m_browser->source(); }

 protected:
  // Escape closes the window.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::string m_programFolder;
  QPointer<QWidget> m_owner;
  QTextBrowser* m_browser;
};

}  // namespace glx
