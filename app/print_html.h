// "glimmerax --print-html PROJECT.glx": prints the seven HTML lines of a
// project without a window, a display or any change to the program's
// folders, settings or usage log.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "platform/user_dialogs.h"

namespace glx {

inline constexpr const char* kPrintHtmlOption = "--print-html";

// No person to ask: messages go to the error stream, questions and dialogs
// are declined.
class StreamDialogs : public UserDialogs {
 public:
  explicit StreamDialogs(std::ostream& err) : m_err(err) {}
  void showMessage(const std::string& text) override { m_err << text << '\n'; }
  Answer confirm(const std::string&, bool withCancel) override { return withCancel ? Answer::Cancel : Answer::No; }
  std::optional<std::string> openFile(const FileDialogOptions&) override { return std::nullopt; }
  std::optional<std::string> saveFile(const FileDialogOptions&) override { return std::nullopt; }
  std::optional<uint32_t> chooseColor(uint32_t) override { return std::nullopt; }
  void setClipboardText(const std::string&) override {}

 private:
  std::ostream& m_err;
};

// The HTML lines of the project, CR LF ended, to out; messages and the
// error text to err. 0 when the HTML was made, 1 when the project could not
// be read or its first image could not be decoded. playInBrowsers: the
// lines the HTML box shows while "Play in today's browsers" is on.
int printProjectHtml(const std::string& projectPath, std::ostream& out, std::ostream& err,
                     bool playInBrowsers = false);

// The command line's answer when its first argument is --print-html (the
// remaining arguments, joined with single blanks, name the project), with
// the stored setting "Play in today's browsers"; none
// for every other command line. Needs no QApplication: main() calls it
// before making one.
std::optional<int> printHtmlCommand(int argc, char** argv);

}  // namespace glx
