#include "document/applet_editor.h"

#include "document/effects.h"

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

}  // namespace glx
