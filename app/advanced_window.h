// The advanced options window: the four document fields the main window
// does not show. It holds no data of its own; every keystroke goes to the
// document at once.
#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <functional>

#include "app/player_setting.h"
#include "document/applet_editor.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace glx {

// A multi-line box where Enter alone does not break the line (it belongs
// to the dialog); Ctrl+Enter does.
class AltHtmlEdit : public QPlainTextEdit {
  Q_OBJECT
 public:
  using QPlainTextEdit::QPlainTextEdit;

  // The box takes whatever room the fixed dialog has left; asking for more
  // would squeeze the wrapped texts around it.
  QSize sizeHint() const override { return minimumSizeHint(); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

class TAdvancedWindow : public QDialog {
  Q_OBJECT
 public:
  // help shows a help context of the application's help file.
  TAdvancedWindow(AppletEditor& editor, std::function<void(int)> help, QWidget* parent = nullptr);

  // The owner of the setting "Play in today's browsers"; without one the
  // check box is disabled.
  void setPlayerChoice(PlayerChoice* choice);

  void FormShow();
  void mAltHTMLChange();
  void eLoadingMessageChange();
  void bBackgroundColorClick();
  void bFontColorClick();
  void cbPlayInBrowsersClick();
  void bHelpClick();
  void bCloseClick();

  static constexpr int kHelpContext = 55;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  AppletDocument& document() { return m_editor.document(); }
  // Refills the two boxes from the document where they differ.
  void showTexts();

  AppletEditor& m_editor;
  std::function<void(int)> m_help;
  AltHtmlEdit* m_altHtml;
  QLineEdit* m_loadingMessage;
  QCheckBox* m_playInBrowsers;
  PlayerChoice* m_playerChoice = nullptr;
};

}  // namespace glx
