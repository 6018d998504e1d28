#include "app/undo_keys.h"

#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <QWidget>

namespace glx {

QList<QKeySequence> redoKeys() {
  QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Redo);
  const QKeySequence shiftZ(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
  if (!keys.contains(shiftZ)) keys.append(shiftZ);
  return keys;
}

namespace {

class UndoKeyFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ShortcutOverride) {
      auto* key = static_cast<QKeyEvent*>(event);
      // Left unaccepted, the key goes to the shortcuts.
      if (key->matches(QKeySequence::Undo) || redoKeys().contains(QKeySequence(key->keyCombination()))) return true;
    }
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

void leaveUndoKeysToDocument(QWidget* field) { field->installEventFilter(new UndoKeyFilter(field)); }

}  // namespace glx
