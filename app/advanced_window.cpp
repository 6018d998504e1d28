#include "app/advanced_window.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/qt_services.h"
#include "app/undo_keys.h"
#include "platform/error_sink.h"

namespace glx {

void AltHtmlEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (event->modifiers() & Qt::ControlModifier) {
      insertPlainText(QStringLiteral("\n"));
      event->accept();
    } else {
      event->ignore();
    }
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

namespace {

constexpr int kClientWidth = 291;
constexpr int kClientHeight = 300;

QLabel* centredText(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  return label;
}

QPushButton* plainButton(const QString& name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  // Enter in the boxes must not press a button behind the user's back.
  button->setAutoDefault(false);
  return button;
}

}  // namespace

TAdvancedWindow::TAdvancedWindow(AppletEditor& editor, std::function<void(int)> help, QWidget* parent)
    : QDialog(parent), m_editor(editor), m_help(std::move(help)) {
  setObjectName(QStringLiteral("AdvancedWindow"));
  setWindowTitle(QStringLiteral("Advanced Options"));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);

  auto* altGroup = new QGroupBox(QStringLiteral("Alternative HTML"), this);
  auto* altLayout = new QVBoxLayout(altGroup);
  altLayout->addWidget(centredText(
      QStringLiteral("If you want to display HTML in browsers which do not support Java enter it here."), altGroup));
  m_altHtml = new AltHtmlEdit(altGroup);
  m_altHtml->setObjectName(QStringLiteral("mAltHTML"));
  altLayout->addWidget(m_altHtml);

  auto* loadGroup = new QGroupBox(QStringLiteral("Loading Message"), this);
  auto* loadLayout = new QVBoxLayout(loadGroup);
  loadLayout->addWidget(centredText(
      QStringLiteral("Here you can change the message which is displayed while the Applet is loading."), loadGroup));
  auto* messageRow = new QHBoxLayout;
  auto* messageLabel = new QLabel(QStringLiteral("Message"), loadGroup);
  m_loadingMessage = new QLineEdit(loadGroup);
  m_loadingMessage->setObjectName(QStringLiteral("eLoadingMessage"));
  messageLabel->setBuddy(m_loadingMessage);
  messageRow->addWidget(messageLabel);
  messageRow->addWidget(m_loadingMessage, 1);
  loadLayout->addLayout(messageRow);
  auto* colourRow = new QHBoxLayout;
  auto* background = plainButton(QStringLiteral("bBackgroundColor"), QStringLiteral("&Background Color"), loadGroup);
  auto* font = plainButton(QStringLiteral("bFontColor"), QStringLiteral("&Font Color"), loadGroup);
  colourRow->addWidget(background);
  colourRow->addWidget(font);
  loadLayout->addLayout(colourRow);

  m_playInBrowsers = new QCheckBox(QStringLiteral("Play in today's browsers"), this);
  m_playInBrowsers->setObjectName(QStringLiteral("cbPlayInBrowsers"));
  m_playInBrowsers->setEnabled(false);

  auto* helpButton = new QToolButton(this);
  helpButton->setObjectName(QStringLiteral("bHelp"));
  helpButton->setIcon(style()->standardIcon(QStyle::SP_TitleBarContextHelpButton));
  helpButton->setToolTip(QStringLiteral("Press me for help"));
  auto* closeButton = plainButton(QStringLiteral("bClose"), QStringLiteral("&Close"), this);
  auto* bottomRow = new QHBoxLayout;
  bottomRow->addWidget(helpButton);
  bottomRow->addStretch(1);
  bottomRow->addWidget(closeButton);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(altGroup, 1);
  layout->addWidget(loadGroup);
  layout->addWidget(m_playInBrowsers);
  layout->addLayout(bottomRow);

  leaveUndoKeysToDocument(m_altHtml);
  leaveUndoKeysToDocument(m_loadingMessage);
  // An undone or redone step may have changed the texts shown here.
  connect(&m_editor.history(), &EditHistory::documentRestored, this, [this] { runGuarded([this] { showTexts(); }); });
  connect(m_altHtml, &QPlainTextEdit::textChanged, this, [this] { runGuarded([this] { mAltHTMLChange(); }); });
  connect(m_loadingMessage, &QLineEdit::textChanged, this,
          [this] { runGuarded([this] { eLoadingMessageChange(); }); });
  connect(background, &QPushButton::clicked, this, [this] { runGuarded([this] { bBackgroundColorClick(); }); });
  connect(font, &QPushButton::clicked, this, [this] { runGuarded([this] { bFontColorClick(); }); });
  connect(m_playInBrowsers, &QCheckBox::toggled, this,
          [this] { runGuarded([this] { cbPlayInBrowsersClick(); }); });
  connect(helpButton, &QToolButton::clicked, this, [this] { runGuarded([this] { bHelpClick(); }); });
  connect(closeButton, &QPushButton::clicked, this, [this] { runGuarded([this] { bCloseClick(); }); });

  // A dialog border: 291 x 300, grown only as far as the font needs, never
  // resized by the user. Measured once the style has set the fonts it draws
  // with (group box titles, for one).
  ensurePolished();
  const int width = std::max(kClientWidth, minimumSizeHint().width());
  setFixedSize(width, std::max(kClientHeight, layout->totalMinimumHeightForWidth(width)));
}

void TAdvancedWindow::setPlayerChoice(PlayerChoice* choice) {
  m_playerChoice = choice;
  m_playInBrowsers->setEnabled(choice != nullptr);
}

void TAdvancedWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) runGuarded([this] { FormShow(); });
}

void TAdvancedWindow::FormShow() {
  AppletDocument& d = document();
  const QScopedValueRollback updating(d.updatingControls, true);
  m_altHtml->setPlainText(qs(d.alternativeHtml));
  m_loadingMessage->setText(qs(d.loadingMessage));
  if (m_playerChoice) m_playInBrowsers->setChecked(m_playerChoice->playInBrowsers());
}

void TAdvancedWindow::showTexts() {
  AppletDocument& d = document();
  const QScopedValueRollback updating(d.updatingControls, true);
  // Only a text that differs is written, so the cursor stays put otherwise.
  if (ss(m_altHtml->toPlainText()) != d.alternativeHtml) m_altHtml->setPlainText(qs(d.alternativeHtml));
  if (ss(m_loadingMessage->text()) != d.loadingMessage) m_loadingMessage->setText(qs(d.loadingMessage));
}

void TAdvancedWindow::mAltHTMLChange() { m_editor.mAltHTMLChange(ss(m_altHtml->toPlainText())); }

void TAdvancedWindow::eLoadingMessageChange() {
  AppletDocument& d = document();
  if (d.updatingControls) return;
  const std::string text = ss(m_loadingMessage->text());
  const std::string stored = m_editor.eLoadingMessageChange(text);
  if (stored != text) {
    // A pasted line break is dropped from the field too.
    const QScopedValueRollback updating(d.updatingControls, true);
    m_loadingMessage->setText(qs(stored));
  }
}

void TAdvancedWindow::bBackgroundColorClick() { m_editor.bBackgroundColorClick(); }

void TAdvancedWindow::bFontColorClick() { m_editor.bFontColorClick(); }

void TAdvancedWindow::cbPlayInBrowsersClick() {
  // A program setting, not part of the document: modified stays as it is.
  if (document().updatingControls || !m_playerChoice) return;
  m_playerChoice->setPlayInBrowsers(m_playInBrowsers->isChecked());
}

void TAdvancedWindow::bHelpClick() {
  if (m_help) m_help(kHelpContext);
}

void TAdvancedWindow::bCloseClick() { close(); }

}  // namespace glx
