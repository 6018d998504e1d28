#include "app/about_window.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/program_version.h"
#include "platform/error_sink.h"

namespace glx {

namespace {

bool isEnter(const QKeyEvent* event) {
  return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

}  // namespace

TAboutWindow::TAboutWindow(Shell& shell, QWidget* parent)
    : QDialog(parent), m_shell(shell), m_link(new QLabel(this)), m_close(new QPushButton(this)) {
  setObjectName(QStringLiteral("AboutWindow"));
  setWindowTitle(QStringLiteral("About"));
  setWindowFlags((windowFlags() | Qt::WindowStaysOnTopHint) & ~Qt::WindowContextHelpButtonHint);
  setModal(true);
  setWindowIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));

  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::StyledPanel);
  frame->setFrameShadow(QFrame::Sunken);
  auto* inner = new QVBoxLayout(frame);

  auto* title = new QLabel(QStringLiteral("Glimmerax"), frame);
  title->setObjectName(QStringLiteral("titleLabel"));
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);

  auto* version = new QLabel(QStringLiteral("Version  ") + QLatin1String(kProgramVersion), frame);
  version->setObjectName(QStringLiteral("lVersion"));
  version->setStyleSheet(QStringLiteral("color: black;"));

  auto* notice = new QLabel(QStringLiteral("Copyright (c) 1998 Tallowbrook Software"), frame);
  notice->setObjectName(QStringLiteral("noticeLabel"));

  m_link->setParent(frame);
  m_link->setObjectName(QStringLiteral("linkLabel"));
  m_link->setText(QString::fromLatin1(kMakerAddress));
  QFont linkFont = m_link->font();
  linkFont.setBold(true);
  linkFont.setUnderline(true);
  m_link->setFont(linkFont);
  m_link->setStyleSheet(QStringLiteral("color: #800000;"));
  m_link->setCursor(Qt::PointingHandCursor);
  m_link->installEventFilter(this);

  for (QLabel* label : {title, version, notice, m_link}) {
    label->setAlignment(Qt::AlignCenter);
    inner->addWidget(label);
  }

  m_close->setObjectName(QStringLiteral("bClose"));
  m_close->setText(QStringLiteral("&Close"));
  m_close->setFlat(true);
  // Enter is handled on its release, as the window's key rule says; the
  // button must not take it first as a default button.
  m_close->setAutoDefault(false);
  connect(m_close, &QPushButton::clicked, this, [this] { runGuarded([this] { bCloseClick(); }); });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  layout->addWidget(m_close, 0, Qt::AlignHCenter);
  setMinimumSize(218, 126);
  setFixedSize(sizeHint().expandedTo(QSize(218, 126)));
}

void TAboutWindow::linkLabelClick() {
  m_shell.open(kMakerAddress);
  close();
}

void TAboutWindow::bCloseClick() { close(); }

void TAboutWindow::keyPressEvent(QKeyEvent* event) {
  // Enter acts on its release; Escape closes, as in every other window.
  if (isEnter(event)) {
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    event->accept();
    runGuarded([this] { close(); });
    return;
  }
  QDialog::keyPressEvent(event);
}

void TAboutWindow::keyReleaseEvent(QKeyEvent* event) {
  if (isEnter(event) && !event->isAutoRepeat()) {
    event->accept();
    runGuarded([this] { close(); });
    return;
  }
  QDialog::keyReleaseEvent(event);
}

bool TAboutWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_link && event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && m_link->rect().contains(mouse->position().toPoint())) {
      runGuarded([this] { linkLabelClick(); });
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace glx
