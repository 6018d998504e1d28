// The document's operations that the main window runs: the reset, the
// effect change and the colour choice. What they need of the window goes
// through DocumentView.
#pragma once

#include <functional>

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
};

// A view that shows nothing, for running the logic without a window.
class NullDocumentView : public DocumentView {
 public:
  void showSettingsPage() override {}
  void showEffectControl(bool) override {}
  void clearImageList() override {}
  void selectEffect(int) override {}
};

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

 private:
  AppletDocument& m_document;
  RequiredFiles& m_files;
  UserDialogs& m_dialogs;
  std::reference_wrapper<DocumentView> m_view;
};

}  // namespace glx
