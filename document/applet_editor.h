// The document's operations that the main window runs: the reset, the
// effect change, the colour choice and adding, deleting and reordering the
// images. What they need of the window goes through DocumentView.
#pragma once

#include <functional>
#include <string>

#include "document/applet_document.h"
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
      : m_document(document), m_files(files), m_dialogs(dialogs), m_view(view) {}

  AppletDocument& document() { return m_document; }
  RequiredFiles& files() { return m_files; }
  UserDialogs& dialogs() { return m_dialogs; }
  DocumentView& view() { return m_view.get(); }
  void setView(DocumentView& view) { m_view = view; }

  void setDefaults();
  void cEffectsChange(int effectIndex);
  // The loading message field was edited: stores its text without line
  // breaks and sets modified. Nothing while updatingControls is set.
  // Returns what was stored, for the field to show when it differs.
  std::string eLoadingMessageChange(const std::string& text);
  // Shows the colour dialog preset to current; the chosen colour (and
  // modified set) or current unchanged when cancelled.
  Color getColor(Color current);

  // Asks for an image file and adds it to the end of both image lists,
  // with its copy in the required-files and temporary folders. An effect
  // that plays one image refuses a second before asking. A file that is
  // not a GIF or JPEG picture by its content is not taken: ENotAPicture
  // names it and the document stays as it was.
  void bAddImageClick();
  // Asks, then deletes the image the list shows selected: its copies and
  // its entry in both lists.
  void deleteButtonButtonClick();
  // A drop in the image list: the image at source moves to target, in
  // both lists. Nothing for a drop on empty space (-1) or on itself.
  void imageListBoxDragDrop(int source, int target);

 private:
  AppletDocument& m_document;
  RequiredFiles& m_files;
  UserDialogs& m_dialogs;
  std::reference_wrapper<DocumentView> m_view;
};

}  // namespace glx
