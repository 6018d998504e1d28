// The "&File" menu's commands and the main window's close question. Every
// question and file dialog goes through UserDialogs; failures are thrown
// (EInOutError, EConvertError) for the window's error box.
#pragma once

#include <functional>
#include <string>

#include "document/applet_editor.h"
#include "document/project_file.h"
#include "platform/user_dialogs.h"

namespace glx {

inline constexpr const char* kSaveChangesQuestion = "Save changes to the current Applet?";
inline constexpr const char* kReopenNotFound = "ERROR: File not found.";

FileDialogOptions openProjectDialogOptions();
FileDialogOptions saveProjectDialogOptions();

class DocumentCommands {
 public:
  DocumentCommands(AppletEditor& editor, ProjectFile& projectFile, UserDialogs& dialogs)
      : m_editor(editor), m_projectFile(projectFile), m_dialogs(dialogs) {}

  // Runs when the window is about to close, before the images are removed:
  // the usage log's write.
  void setBeforeClose(std::function<void()> action) { m_beforeClose = std::move(action); }

  // "&New Applet...": after the unsaved-changes question, the images leave
  // the folders and the document is reset.
  void newMenuItemClick();
  // "&Open...": the question, then the Open dialog and openFileOne.
  void openMenuItemClick();
  // A "&Reopen" entry: "ERROR: File not found." when the file is gone, else
  // as Open with the given file.
  void AppSettingsMRUClick(const std::string& path);
  // "&Save Applet": to documentPath, or Save As when there is none. False
  // when the Save As dialog was cancelled.
  bool saveMenuItemClick();
  // "Save Applet &As...": false when the dialog was cancelled. A failed
  // write leaves modified set and throws.
  bool SaveAsMenuItemClick();
  // The close request: true lets the window close (the usage log was written
  // and the images removed). False keeps it open: the question was
  // cancelled, or the Save it asked for was cancelled. A failed save throws,
  // and the window stays open too.
  bool FormCloseQuery();

 private:
  // The unsaved-changes question; false stops the command.
  bool settleUnsavedChanges();
  void saveTo(const std::string& path);
  void openProject(const std::string& path);

  AppletEditor& m_editor;
  ProjectFile& m_projectFile;
  UserDialogs& m_dialogs;
  std::function<void()> m_beforeClose;
};

}  // namespace glx
