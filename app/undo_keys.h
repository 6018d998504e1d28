// Ctrl+Z and Ctrl+Shift+Z belong to the document's undo, not to a text
// field's own: a field would otherwise undo its typing behind the document's
// back while the Edit menu names another step.
#pragma once

#include <QKeySequence>
#include <QList>

class QWidget;

namespace glx {

// The platform's redo keys, and Ctrl+Shift+Z wherever the platform names
// another (Ctrl+Y on some), as every editor takes it.
QList<QKeySequence> redoKeys();

// Lets the undo and redo keys pass a text field (a line edit, an editable
// list's line edit, a text box) on to the Edit menu's actions.
void leaveUndoKeysToDocument(QWidget* field);

}  // namespace glx
