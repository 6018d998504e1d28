// Everything the program asks of a person: message boxes, questions, file
// and colour dialogs, and the clipboard. The Qt implementation lives with
// the windows; tests use a scripted fake that records and answers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace glx {

enum class Answer { Yes, No, Cancel };

struct FileDialogOptions {
  std::string title;       // empty: the dialog's own default title
  std::string filter;      // Qt syntax: "Applet Files (*.glx);;All Files (*)"
  std::string defaultExt;  // without the dot; added when the name has none
  std::string fileName;    // preset file name
  std::string folder;      // initial folder
  bool preview = false;    // show a preview of the selected picture
  bool mustExist = true;   // open: only an existing file can be chosen
};

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;

  // A plain message box titled "Glimmerax" with an OK button.
  virtual void showMessage(const std::string& text) = 0;

  // A confirmation box titled "Confirm" with "&Yes", "&No" and, when
  // withCancel, "Cancel".
  virtual Answer confirm(const std::string& text, bool withCancel) = 0;

  virtual std::optional<std::string> openFile(const FileDialogOptions& options) = 0;
  // An open dialog in which several files may be chosen at once; none when
  // cancelled. By default the one-file dialog.
  virtual std::optional<std::vector<std::string>> openFiles(const FileDialogOptions& options) {
    auto chosen = openFile(options);
    if (!chosen) return std::nullopt;
    return std::vector<std::string>{std::move(*chosen)};
  }
  virtual std::optional<std::string> saveFile(const FileDialogOptions& options) = 0;

  // Colour dialog preset to initial (0x00BBGGRR); none when cancelled.
  virtual std::optional<uint32_t> chooseColor(uint32_t initial) = 0;

  virtual void setClipboardText(const std::string& text) = 0;
};

}  // namespace glx
