#include "app/help_window.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>

#include "app/qt_services.h"
#include "platform/errors.h"
#include "platform/file_ops.h"

namespace glx {

HelpWindow::HelpWindow(std::string programFolder, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_programFolder(std::move(programFolder)),
      m_owner(parent),
      m_browser(new QTextBrowser(this)) {
  setObjectName(QStringLiteral("helpWindow"));
  setWindowTitle(QStringLiteral("Glimmerax Help"));
  m_browser->setObjectName(QStringLiteral("helpBrowser"));
  m_browser->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_browser);
  resize(560, 480);
}

void HelpWindow::showContext(int context) {
  const std::string path = m_programFolder + kHelpFileName;
  if (!fileExists(path)) throw Error("Cannot find the help file \"" + path + "\".");
  QUrl url = QUrl::fromLocalFile(qs(path));
  if (context != 0) url.setFragment(QStringLiteral("context-%1").arg(context));
  // Asked for from a modal window, the help belongs to that window while it
  // is shown: otherwise the modal window would block it until it closed.
  QWidget* modal = QApplication::activeModalWidget();
  QWidget* owner = modal && modal != this && !isAncestorOf(modal) ? modal : m_owner.data();
  if (owner != parentWidget()) {
    const QRect placed = geometry();
    const bool wasShown = isVisible();
    setParent(owner, Qt::Window);
    if (wasShown) setGeometry(placed);
  }
  m_browser->setSource(url);
  // Asking again for the page already shown must still move to the anchor.
  if (context != 0)
    m_browser->scrollToAnchor(url.fragment());
  else
    m_browser->verticalScrollBar()->setValue(0);
  show();
  raise();
  activateWindow();
}

void HelpWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    event->accept();
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace glx
