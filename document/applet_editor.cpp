#include "document/applet_editor.h"

#include <QScopedValueRollback>
#include <algorithm>

#include "document/effects.h"
#include "document/image_order.h"
#include "platform/file_ops.h"
#include "publish/picture_check.h"

namespace glx {

std::string oneLineText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text)
    if (c != '\r' && c != '\n') out += c;
  return out;
}

void AppletEditor::setDefaults() {
  AppletDocument& d = m_document;
  const EditHistory::Pause notEdits(m_history);
  d.selectedImage = -1;
  view().showSettingsPage();
  d.documentPath.clear();
  d.updatingControls = false;
  d.imageNames.clear();
  d.imagePaths.clear();
  d.link.clear();
  d.targetFrame.clear();
  view().clearImageList();
  d.effectIndex = 0;
  view().selectEffect(0);
  cEffectsChange(0);
  d.backgroundColor = 0;
  d.loadingBackgroundColor = 0;
  d.loadingFontColor = 0xFFFFFF;
  d.loadingMessage = "Loading...";
  d.alternativeHtml.clear();
  m_history.clear();
  d.modified = false;
}

void AppletEditor::cEffectsChange(int effectIndex) {
  AppletDocument& d = m_document;
  if (d.updatingControls) return;
  const RecordedEdit edit(&m_history, d, EditKind::Effect);
  // The very first change has no previous class file to remove.
  if (!d.appletClass.empty()) m_files.deleteClassFile(m_files.folders().requiredFilesFolder() + d.appletClass);
  applyEffectRow(d, effectIndex);
  view().showEffectControl(effectShowsSpeed(effectIndex));
  if (!d.appletClass.empty()) m_files.copyClassFile(d.appletClass, m_files.folders().requiredFilesFolder());
  d.modified = true;
}

std::string AppletEditor::eLoadingMessageChange(const std::string& text) {
  AppletDocument& d = m_document;
  if (d.updatingControls) return d.loadingMessage;
  const RecordedEdit edit(&m_history, d, EditKind::LoadingMessage);
  d.modified = true;
  d.loadingMessage = oneLineText(text);
  return d.loadingMessage;
}

void AppletEditor::mAltHTMLChange(const std::string& text) {
  AppletDocument& d = m_document;
  if (d.updatingControls) return;
  const RecordedEdit edit(&m_history, d, EditKind::AlternativeHtml);
  d.modified = true;
  d.alternativeHtml = text;
}

void AppletEditor::eFramesChange(int value) {
  AppletDocument& d = m_document;
  const RecordedEdit edit(&m_history, d, EditKind::FrameCount);
  d.frameCount = value;
  if (!d.updatingControls) d.modified = true;
}

void AppletEditor::eIncrementChange(int value) {
  AppletDocument& d = m_document;
  const RecordedEdit edit(&m_history, d, EditKind::EffectSpeed);
  d.effectSpeed = value;
  if (!d.updatingControls) d.modified = true;
}

void AppletEditor::chooseColor(Color& color, EditKind kind) {
  const RecordedEdit edit(&m_history, m_document, kind);
  m_document.modified = true;
  color = getColor(color);
}

void AppletEditor::bkColorBtnClick() { chooseColor(m_document.backgroundColor, EditKind::BackgroundColor); }

void AppletEditor::bBackgroundColorClick() {
  chooseColor(m_document.loadingBackgroundColor, EditKind::LoadingBackgroundColor);
}

void AppletEditor::bFontColorClick() { chooseColor(m_document.loadingFontColor, EditKind::LoadingFontColor); }

Color AppletEditor::getColor(Color current) {
  const auto chosen = m_dialogs.chooseColor(current);
  if (!chosen) return current;
  m_document.modified = true;
  return *chosen & 0x00FFFFFFu;
}

namespace {

const char* const kOneImageOnly = "The effect you have selected only works with one image.";

bool refusesAnotherImage(const AppletDocument& d) { return !d.imageNames.empty() && !d.multiImage; }

}  // namespace

void AppletEditor::bAddImageClick() {
  if (refusesAnotherImage(m_document)) {
    m_dialogs.showMessage(kOneImageOnly);
    return;
  }
  FileDialogOptions options;
  options.title = "Open Image";
  options.filter = kImageFilter;
  options.preview = true;
  const auto chosen = m_dialogs.openFiles(options);
  if (!chosen) return;
  addImageFiles(*chosen);
}

size_t AppletEditor::addImageFiles(const std::vector<std::string>& paths) {
  AppletDocument& d = m_document;
  // All the files chosen or dropped together are one step to undo.
  const RecordedEdit edit(&m_history, d, EditKind::AddImage);
  size_t added = 0;
  for (const std::string& path : paths) {
    if (refusesAnotherImage(d)) {
      m_dialogs.showMessage(kOneImageOnly);
      break;
    }
    // Refused before the document changes; the error box names the file.
    if (fileExists(path)) requirePictureFile(path, bareFileName(path));
    d.imagePaths.push_back(path);
    d.imageNames.push_back(bareFileName(path));
    view().addImageItem(d.imageNames.back());
    d.modified = true;
    m_files.copyImage(d.imagePaths.back());
    ++added;
  }
  if (added > 0) view().updateListbox();
  return added;
}

void AppletEditor::deleteButtonButtonClick() {
  AppletDocument& d = m_document;
  // The list's own selection names the image; the index kept from the
  // selection events could be stale after a rebuild.
  const int index = view().selectedImageItem();
  if (index < 0) {
    m_dialogs.showMessage("  I cannot delete an image because\nyou do not have any image selected.");
    return;
  }
  if (m_dialogs.confirm("Are you sure you want to delete the selected image?", false) != Answer::Yes) return;
  const auto at = static_cast<size_t>(index);
  if (at >= d.imagePaths.size() || at >= d.imageNames.size()) return;
  d.selectedImage = index;
  const RecordedEdit edit(&m_history, d, EditKind::DeleteImage);
  {
    // The list's change events ignore the entry going.
    const QScopedValueRollback updating(d.updatingControls, true);
    m_files.deleteImage(d.imagePaths[at]);
    view().removeImageItem(index);
  }
  d.imageNames.erase(d.imageNames.begin() + index);
  d.imagePaths.erase(d.imagePaths.begin() + index);
  view().updateListbox();
  d.modified = true;
}

void AppletEditor::imageListBoxDragDrop(int source, int target) {
  AppletDocument& d = m_document;
  const RecordedEdit edit(&m_history, d, EditKind::MoveImage);
  if (!moveImage(d.imageNames, d.imagePaths, source, target)) return;
  d.modified = true;
  view().updateListbox();
}

void AppletEditor::restore(const DocumentContent& content) {
  AppletDocument& d = m_document;
  const std::string oldClass = d.appletClass;
  const std::vector<std::string> oldPaths = d.imagePaths;
  putContent(d, content);
  if (d.imagePaths != oldPaths) d.selectedImage = -1;
  {
    // The controls' change handlers stay quiet while they are refilled.
    const QScopedValueRollback updating(d.updatingControls, true);
    view().selectEffect(d.effectIndex);
    view().showEffectControl(effectShowsSpeed(d.effectIndex));
    view().showDocument();
  }
  // The folders follow the same operations as the edits that changed them.
  const std::string required = m_files.folders().requiredFilesFolder();
  if (d.appletClass != oldClass) {
    if (!oldClass.empty()) m_files.deleteClassFile(required + oldClass);
    if (!d.appletClass.empty()) m_files.copyClassFile(d.appletClass, required);
  }
  if (d.imagePaths != oldPaths) {
    // Copies are kept by bare name, which two entries may share: a copy goes
    // only when no entry names it any more.
    for (const std::string& path : oldPaths) {
      const std::string name = bareFileName(path);
      const bool stillNamed = std::any_of(d.imagePaths.begin(), d.imagePaths.end(),
                                          [&name](const std::string& p) { return bareFileName(p) == name; });
      if (!stillNamed) m_files.deleteImage(path);
    }
    for (const std::string& path : d.imagePaths) m_files.copyImage(path);
  }
}

}  // namespace glx
