// The document's operations that the main window runs: the reset, the
// effect change, the numbers, the colour choices, the advanced texts and
// adding, deleting and reordering the images. Each user edit is recorded in
// the editor's EditHistory for undo and redo. What they need of the window
// goes through DocumentView.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "document/applet_document.h"
#include "document/edit_history.h"
#include "platform/user_dialogs.h"
#include "publish/required_files.h"

namespace glx {

// What the document's operations ask of the main window.
class DocumentView {
 public:
  virtual ~DocumentView() = default;
  virtual void showSettingsPage() = 0;
  // Shows "Effect Speed" and hides "Number of Frames" (true), or the reverse.
  virtual void showEffectControl(bool speedShown) = 0;
  virtual void clearImageList() = 0;
  // The effect list's selection, -1 for none.
  virtual void selectEffect(int effectIndex) = 0;
  // The image list: one entry more at the end, the entry at index taken
  // out, and the whole list shown again from imageNames.
  virtual void addImageItem(const std::string& name) = 0;
  virtual void removeImageItem(int index) = 0;
  virtual void updateListbox() = 0;
  // The row the image list shows selected, -1 for none.
  virtual int selectedImageItem() = 0;
  // An edit was undone or redone: show every field of the document again.
  // Called with updatingControls set.
  virtual void showDocument() = 0;
};

// A view that shows nothing, for running the logic without a window.
class NullDocumentView : public DocumentView {
 public:
  void showSettingsPage() override {}
  void showEffectControl(bool) override {}
  void clearImageList() override {}
  void selectEffect(int) override {}
  void addImageItem(const std::string&) override {}
  void removeImageItem(int) override {}
  void updateListbox() override {}
  int selectedImageItem() override { return -1; }
  void showDocument() override {}
};

// The "Open Image" dialog's filter, in Qt's syntax.
inline constexpr const char* kImageFilter =
    "All Compatible Image Files (*.jpg *.gif);;JPEG Image Files (*.jpg);;GIF Image Files (*.gif)";

// The text of a one-line field: CR and LF dropped. A line break never
// belongs in the link, the frame or the loading message (one pasted from a
// terminal often brings one), and a project file gives each such field
// exactly one line.
std::string oneLineText(const std::string& text);

class AppletEditor {
 public:
  AppletEditor(AppletDocument& document, RequiredFiles& files, UserDialogs& dialogs, DocumentView& view)
      : m_document(document),
        m_files(files),
        m_dialogs(dialogs),
        m_view(view),
        m_history(document, [this](const DocumentContent& content) { restore(content); }) {}
  AppletEditor(const AppletEditor&) = delete;
  AppletEditor& operator=(const AppletEditor&) = delete;

  AppletDocument& document() { return m_document; }
  RequiredFiles& files() { return m_files; }
  UserDialogs& dialogs() { return m_dialogs; }
  DocumentView& view() { return m_view.get(); }
  void setView(DocumentView& view) { m_view = view; }
  // The undo and redo steps of the user's edits.
  EditHistory& history() { return m_history; }

  // Resets the document; the undo steps go and the document is clean.
  void setDefaults();
  void cEffectsChange(int effectIndex);
  // The loading message field was edited: stores its text without line
  // breaks and sets modified. Nothing while updatingControls is set.
  // Returns what was stored, for the field to show when it differs.
  std::string eLoadingMessageChange(const std::string& text);
  // The alternative HTML box was edited: stores its whole text and sets
  // modified. Nothing while updatingControls is set.
  void mAltHTMLChange(const std::string& text);
  // The two spin boxes: the value is stored; unless updatingControls is
  // set, modified is set and the change is an edit.
  void eFramesChange(int value);
  void eIncrementChange(int value);
  // The colour buttons: modified is set (even when the dialog is
  // cancelled), then the colour dialog chooses the colour.
  void bkColorBtnClick();
  void bBackgroundColorClick();
  void bFontColorClick();
  // Shows the colour dialog preset to current; the chosen colour (and
  // modified set) or current unchanged when cancelled.
  Color getColor(Color current);

  // Asks for image files (several may be chosen at once) and adds them
  // with addImageFiles. An effect that plays one image refuses a second
  // before asking. A file that is not a GIF or JPEG picture by its content
  // is not taken: ENotAPicture names it, and the files before it stay added.
  void bAddImageClick();
  // Adds the files, in order, to the end of both image lists, each with its
  // copy in the required-files and temporary folders (Add Image and files
  // dropped on the window). An effect that plays one image refuses every
  // image after the first, with one message. Returns how many were added.
  size_t addImageFiles(const std::vector<std::string>& paths);
  // Asks, then deletes the image the list shows selected: its copies and
  // its entry in both lists.
  void deleteButtonButtonClick();
  // A drop in the image list: the image at source moves to target, in
  // both lists. Nothing for a drop on empty space (-1) or on itself.
  void imageListBoxDragDrop(int source, int target);

  // Puts an undone or redone content back: the fields, the effect's class
  // file in the required-files folder (the old one deleted, the new one
  // copied, as an effect change does) and the image copies (those no longer
  // named deleted, the others copied in where missing); then the view shows
  // the document.
  void restore(const DocumentContent& content);

 private:
  void chooseColor(Color& color, EditKind kind);

  AppletDocument& m_document;
  RequiredFiles& m_files;
  UserDialogs& m_dialogs;
  std::reference_wrapper<DocumentView> m_view;
  EditHistory m_history;
};

}  // namespace glx
