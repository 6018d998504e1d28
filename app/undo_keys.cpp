#include "app/undo_keys.h"

#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <QWidget>

namespace glx {

namespace {

class UndoKeyFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ShortcutOverride) {
      auto* key = static_cast<QKeyEvent*>(event);
      // Left unaccepted, the key goes to the shortcuts.
      if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo)) return true;
    }
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

void leaveUndoKeysToDocument(QWidget* field) { field->installEventFilter(new UndoKeyFilter(field)); }

}  // namespace glx
