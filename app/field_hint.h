// A line of small text under a field that tells the user, without stopping
// the typing, why a character did not go in. It stays for a few seconds
// after the last time it was shown, then hides; its room stays, so the
// controls around it never move.
#pragma once

#include <QLabel>

class QTimer;

namespace glx {

class FieldHint : public QLabel {
  Q_OBJECT
 public:
  explicit FieldHint(QWidget* parent = nullptr);

  void showHint(const QString& text);

 private:
  QTimer* m_hideTimer;
};

}  // namespace glx
