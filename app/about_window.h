// The about window: program name, version and the maker's web address.
#pragma once

#include <QDialog>

#include "platform/shell.h"

class QLabel;
class QPushButton;

namespace glx {

inline constexpr const char* kMakerAddress = "http://www.tallowbrook.example/";

class TAboutWindow : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutWindow(Shell& shell, QWidget* parent = nullptr);

  // Hands the maker's address to the shell, then closes.
  void linkLabelClick();
  void bCloseClick();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Shell& m_shell;
  QLabel* m_link;
  QPushButton* m_close;
};

}  // namespace glx
