#include "document/document_commands.h"

#include "platform/file_ops.h"

namespace glx {

FileDialogOptions openProjectDialogOptions() {
  FileDialogOptions o;
  o.title = "Open Glimmerax File";
  o.filter = "Glimmerax (*.glx)";
  o.defaultExt = "glx";
  // A name that does not exist is taken too; the open then reports it.
  o.mustExist = false;
  return o;
}

FileDialogOptions saveProjectDialogOptions() {
  FileDialogOptions o;
  o.title = "Save Glimmerax File";
  o.filter = "Glimmerax File (*.glx)";
  o.defaultExt = "glx";
  return o;
}

bool DocumentCommands::settleUnsavedChanges() {
  if (!m_editor.document().modified) return true;
  switch (m_dialogs.confirm(kSaveChangesQuestion, true)) {
    case Answer::Cancel:
      return false;
    case Answer::No:
      return true;
    case Answer::Yes:
      // A cancelled Save As would otherwise lose the work it was asked to keep.
      return saveMenuItemClick();
  }
  return false;
}

void DocumentCommands::newMenuItemClick() {
  if (!settleUnsavedChanges()) return;
  m_editor.files().deleteAllImages(m_editor.document().imagePaths);
  m_editor.setDefaults();
}

void DocumentCommands::openProject(const std::string& path) {
  m_projectFile.openFileOne(path);
  m_editor.document().documentPath = path;
}

void DocumentCommands::openMenuItemClick() {
  if (!settleUnsavedChanges()) return;
  const auto chosen = m_dialogs.openFile(openProjectDialogOptions());
  if (!chosen) return;
  openProject(*chosen);
}

void DocumentCommands::AppSettingsMRUClick(const std::string& path) {
  if (!fileExists(path)) {
    m_dialogs.showMessage(kReopenNotFound);
    return;
  }
  if (!settleUnsavedChanges()) return;
  openProject(path);
}

void DocumentCommands::saveTo(const std::string& path) {
  AppletDocument& d = m_editor.document();
  d.modified = false;
  try {
    m_projectFile.saveFileOne(path);
    // Undoing back to here leaves nothing unsaved.
    m_editor.history().markSaved();
  } catch (...) {
    // The work is not on disk: the close question must still come.
    d.modified = true;
    throw;
  }
}

bool DocumentCommands::saveMenuItemClick() {
  const std::string path = m_editor.document().documentPath;
  if (path.empty()) return SaveAsMenuItemClick();
  saveTo(path);
  return true;
}

bool DocumentCommands::SaveAsMenuItemClick() {
  const auto chosen = m_dialogs.saveFile(saveProjectDialogOptions());
  if (!chosen) return false;
  // The dialog adds the extension to a name typed without one; so does this,
  // whatever dialog answered.
  std::string path = *chosen;
  if (bareFileName(path).find('.') == std::string::npos) path += ".glx";
  m_editor.document().documentPath = path;
  saveTo(path);
  return true;
}

bool DocumentCommands::FormCloseQuery() {
  if (!settleUnsavedChanges()) return false;
  if (m_beforeClose) m_beforeClose();
  m_editor.files().deleteAllImages(m_editor.document().imagePaths);
  return true;
}

}  // namespace glx
