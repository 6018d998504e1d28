#include "app/field_hint.h"

#include <QTimer>

namespace glx {

namespace {

// Long enough to read a short sentence after the last key.
constexpr int kShownMilliseconds = 6000;

}  // namespace

FieldHint::FieldHint(QWidget* parent) : QLabel(parent), m_hideTimer(new QTimer(this)) {
  // One line of room, kept while hidden; the hint never widens its column.
  setMinimumHeight(fontMetrics().height());
  QPalette warning = palette();
  warning.setColor(QPalette::WindowText, QColor(0x80, 0, 0));
  setPalette(warning);
  QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  policy.setRetainSizeWhenHidden(true);
  setSizePolicy(policy);
  m_hideTimer->setSingleShot(true);
  m_hideTimer->setInterval(kShownMilliseconds);
  connect(m_hideTimer, &QTimer::timeout, this, &QWidget::hide);
  hide();
}

void FieldHint::showHint(const QString& text) {
  setText(text);
  setToolTip(text);
  show();
  m_hideTimer->start();
}

}  // namespace glx
