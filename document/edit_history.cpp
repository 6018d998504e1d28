#include "document/edit_history.h"

#include <QScopedValueRollback>
#include <QUndoCommand>
#include <utility>

#include "platform/error_sink.h"

namespace glx {

const char* editName(EditKind kind) {
  switch (kind) {
    case EditKind::Effect: return "Change Effect";
    case EditKind::FrameCount: return "Change Number of Frames";
    case EditKind::EffectSpeed: return "Change Effect Speed";
    case EditKind::BackgroundColor: return "Change Background Color";
    case EditKind::Link: return "Change Link";
    case EditKind::TargetFrame: return "Change Target Frame";
    case EditKind::AddImage: return "Add Image";
    case EditKind::DeleteImage: return "Delete Image";
    case EditKind::MoveImage: return "Move Image";
    case EditKind::LoadingMessage: return "Change Loading Message";
    case EditKind::LoadingBackgroundColor: return "Change Loading Background Color";
    case EditKind::LoadingFontColor: return "Change Loading Font Color";
    case EditKind::AlternativeHtml: return "Change Alternative HTML";
  }
  return "Edit";
}

bool editMerges(EditKind kind) {
  switch (kind) {
    case EditKind::FrameCount:
    case EditKind::EffectSpeed:
    case EditKind::Link:
    case EditKind::TargetFrame:
    case EditKind::LoadingMessage:
    case EditKind::AlternativeHtml:
      return true;
    default:
      return false;
  }
}

DocumentContent contentOf(const AppletDocument& d) {
  DocumentContent c;
  c.effectIndex = d.effectIndex;
  c.appletClass = d.appletClass;
  c.effectVariant = d.effectVariant;
  c.effectConstant = d.effectConstant;
  c.multiImage = d.multiImage;
  c.frameCount = d.frameCount;
  c.effectSpeed = d.effectSpeed;
  c.link = d.link;
  c.targetFrame = d.targetFrame;
  c.backgroundColor = d.backgroundColor;
  c.loadingBackgroundColor = d.loadingBackgroundColor;
  c.loadingFontColor = d.loadingFontColor;
  c.loadingMessage = d.loadingMessage;
  c.alternativeHtml = d.alternativeHtml;
  c.imageNames = d.imageNames;
  c.imagePaths = d.imagePaths;
  return c;
}

void putContent(AppletDocument& d, const DocumentContent& c) {
  d.effectIndex = c.effectIndex;
  d.appletClass = c.appletClass;
  d.effectVariant = c.effectVariant;
  d.effectConstant = c.effectConstant;
  d.multiImage = c.multiImage;
  d.frameCount = c.frameCount;
  d.effectSpeed = c.effectSpeed;
  d.link = c.link;
  d.targetFrame = c.targetFrame;
  d.backgroundColor = c.backgroundColor;
  d.loadingBackgroundColor = c.loadingBackgroundColor;
  d.loadingFontColor = c.loadingFontColor;
  d.loadingMessage = c.loadingMessage;
  d.alternativeHtml = c.alternativeHtml;
  d.imageNames = c.imageNames;
  d.imagePaths = c.imagePaths;
}

namespace {

// One step: the content before and after an edit (after the last of the
// edits merged into it).
class EditStep : public QUndoCommand {
 public:
  EditStep(EditHistory& history, EditKind kind, DocumentContent before, DocumentContent after)
      : QUndoCommand(QString::fromLatin1(editName(kind))),
        m_history(history),
        m_kind(kind),
        m_before(std::move(before)),
        m_after(std::move(after)) {}

  int id() const override { return editMerges(m_kind) ? static_cast<int>(m_kind) : -1; }

  bool mergeWith(const QUndoCommand* other) override {
    m_after = static_cast<const EditStep*>(other)->m_after;
    // Typing a character and deleting it again leaves no step behind.
    setObsolete(m_after == m_before);
    return true;
  }

  void undo() override { restore(m_before); }

  void redo() override {
    // The stack redoes a step as it is pushed; the edit has been made.
    if (m_pushed) {
      m_pushed = false;
      return;
    }
    restore(m_after);
  }

 private:
  // Undo runs from a menu action, outside any guarded handler.
  void restore(const DocumentContent& content) {
    runGuarded([this, &content] { m_history.restore(content); });
  }

  EditHistory& m_history;
  EditKind m_kind;
  DocumentContent m_before;
  DocumentContent m_after;
  bool m_pushed = true;
};

}  // namespace

EditHistory::EditHistory(AppletDocument& document, std::function<void(const DocumentContent&)> restore)
    : m_document(document), m_restore(std::move(restore)) {
  // Back at the saved state the document has nothing unsaved; away from it,
  // it has.
  connect(&m_stack, &QUndoStack::indexChanged, this, [this] { m_document.modified = !m_stack.isClean(); });
  connect(&m_stack, &QUndoStack::cleanChanged, this, [this](bool clean) { m_document.modified = !clean; });
}

void EditHistory::record(EditKind kind, DocumentContent before, DocumentContent after) {
  if (!recording() || before == after) return;
  m_stack.push(new EditStep(*this, kind, std::move(before), std::move(after)));
}

void EditHistory::clear() {
  m_stack.clear();
  m_stack.setClean();
}

void EditHistory::markSaved() { m_stack.setClean(); }

void EditHistory::restore(const DocumentContent& content) {
  {
    const QScopedValueRollback restoring(m_restoring, true);
    m_restore(content);
  }
  emit documentRestored();
}

RecordedEdit::RecordedEdit(EditHistory* history, const AppletDocument& document, EditKind kind)
    : m_history(history && history->recording() && !document.updatingControls ? history : nullptr),
      m_document(document),
      m_kind(kind) {
  if (m_history) m_before = contentOf(document);
}

RecordedEdit::~RecordedEdit() {
  if (!m_history) return;
  // Nothing may leave a destructor; an edit that cannot be kept is simply
  // not undoable.
  try {
    m_history->record(m_kind, std::move(m_before), contentOf(m_document));
  } catch (...) {
  }
}

}  // namespace glx
