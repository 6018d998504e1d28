// Undo and redo of the user's edits to the applet document. Each edit is
// kept as the document's content before and after it; undoing or redoing
// puts one of them back through a restore function that also brings the
// folders beside the program in line (AppletEditor::restore). The stack is
// clean at the last save, open or reset, and `modified` follows it.
#pragma once

#include <QObject>
#include <QUndoStack>
#include <functional>
#include <string>
#include <vector>

#include "document/applet_document.h"

namespace glx {

// The kinds of edit, each with the name the Edit menu shows after "Undo" or
// "Redo".
enum class EditKind {
  Effect,
  FrameCount,
  EffectSpeed,
  BackgroundColor,
  Link,
  TargetFrame,
  AddImage,
  DeleteImage,
  MoveImage,
  LoadingMessage,
  LoadingBackgroundColor,
  LoadingFontColor,
  AlternativeHtml,
};

// "Change Effect", "Add Image", ...
const char* editName(EditKind kind);
// Typing and spin-box steps: consecutive edits of one field are one step.
bool editMerges(EditKind kind);

// What an edit can change: the document's fields less its path, its flags,
// the selection and what the image probe worked out.
struct DocumentContent {
  int effectIndex = 0;
  std::string appletClass;
  int effectVariant = 0;
  int effectConstant = 33;
  bool multiImage = true;
  int frameCount = 40;
  int effectSpeed = 1;
  std::string link;
  std::string targetFrame;
  Color backgroundColor = 0;
  Color loadingBackgroundColor = 0;
  Color loadingFontColor = 0xFFFFFF;
  std::string loadingMessage;
  std::string alternativeHtml;
  std::vector<std::string> imageNames;
  std::vector<std::string> imagePaths;

  bool operator==(const DocumentContent&) const = default;
};

DocumentContent contentOf(const AppletDocument& document);
void putContent(AppletDocument& document, const DocumentContent& content);

class EditHistory : public QObject {
  Q_OBJECT
 public:
  // restore puts a content back into the document with what goes with it.
  EditHistory(AppletDocument& document, std::function<void(const DocumentContent&)> restore);
  // The stack empties itself as it goes, and would tell its listeners, the
  // document's owner among them, while they are being taken down.
  ~EditHistory() override { m_stack.blockSignals(true); }

  QUndoStack& stack() { return m_stack; }

  // Keeps an edit that changed before into after; nothing when the two are
  // alike, while paused or while a step is being undone or redone.
  void record(EditKind kind, DocumentContent before, DocumentContent after);
  // True while edits are kept (not paused, not restoring).
  bool recording() const { return m_paused == 0 && !m_restoring; }

  // A fresh or just-opened document: no steps, and clean.
  void clear();
  // The document was saved: this is the clean state.
  void markSaved();

  // Edits made while a Pause lives are not kept (the reset and the open
  // fill the document through the edit operations).
  class Pause {
   public:
    explicit Pause(EditHistory& history) : m_history(history) { ++m_history.m_paused; }
    ~Pause() { --m_history.m_paused; }
    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;

   private:
    EditHistory& m_history;
  };

  // Called by the steps.
  void restore(const DocumentContent& content);

 signals:
  // A step was undone or redone: windows showing the document refill.
  void documentRestored();

 private:
  AppletDocument& m_document;
  std::function<void(const DocumentContent&)> m_restore;
  QUndoStack m_stack;
  int m_paused = 0;
  bool m_restoring = false;
};

// Records one edit: the content when it is made, and on leaving its scope
// the content then (whatever way the scope is left: a half-done edit is
// still undoable). Nothing is recorded with a null history, or when the
// edit starts while updatingControls is set (the system filling controls).
class RecordedEdit {
 public:
  RecordedEdit(EditHistory* history, const AppletDocument& document, EditKind kind);
  ~RecordedEdit();
  RecordedEdit(const RecordedEdit&) = delete;
  RecordedEdit& operator=(const RecordedEdit&) = delete;

 private:
  EditHistory* m_history;
  const AppletDocument& m_document;
  EditKind m_kind;
  DocumentContent m_before;
};

}  // namespace glx
