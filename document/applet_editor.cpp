#include "document/applet_editor.h"

#include <QScopedValueRollback>

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
  d.modified = false;
}

void AppletEditor::cEffectsChange(int effectIndex) {
  AppletDocument& d = m_document;
  if (d.updatingControls) return;
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
  d.modified = true;
  d.loadingMessage = oneLineText(text);
  return d.loadingMessage;
}

Color AppletEditor::getColor(Color current) {
  const auto chosen = m_dialogs.chooseColor(current);
  if (!chosen) return current;
  m_document.modified = true;
  return *chosen & 0x00FFFFFFu;
}

void AppletEditor::bAddImageClick() {
  AppletDocument& d = m_document;
  if (!d.imageNames.empty() && !d.multiImage) {
    m_dialogs.showMessage("The effect you have selected only works with one image.");
    return;
  }
  FileDialogOptions options;
  options.title = "Open Image";
  options.filter = kImageFilter;
  options.preview = true;
  const auto chosen = m_dialogs.openFile(options);
  if (!chosen) return;
  // Refused before the document changes; the error box names the file.
  if (fileExists(*chosen)) requirePictureFile(*chosen, bareFileName(*chosen));
  d.imagePaths.push_back(*chosen);
  d.imageNames.push_back(bareFileName(*chosen));
  view().addImageItem(d.imageNames.back());
  d.modified = true;
  m_files.copyImage(d.imagePaths.back());
  view().updateListbox();
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
  if (!moveImage(d.imageNames, d.imagePaths, source, target)) return;
  d.modified = true;
  view().updateListbox();
}

}  // namespace glx
