// Fakes for what a person or the desktop would do: scripted dialogs that
// record every message and answer every question from a script, a shell
// and a launcher that record, and an error sink that collects.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/error_sink.h"
#include "platform/shell.h"
#include "platform/user_dialogs.h"

namespace glx::test {

class ScriptedDialogs : public UserDialogs {
 public:
  void showMessage(const std::string& text) override { messages.push_back(text); }
  Answer confirm(const std::string& text, bool withCancel) override;
  std::optional<std::string> openFile(const FileDialogOptions& options) override;
  // Answered from openFilesAnswers while it holds answers, otherwise as the
  // one-file dialog from openAnswers.
  std::optional<std::vector<std::string>> openFiles(const FileDialogOptions& options) override;
  std::optional<std::string> saveFile(const FileDialogOptions& options) override;
  std::optional<uint32_t> chooseColor(uint32_t initial) override;
  void setClipboardText(const std::string& text) override { clipboard = text; }

  // What was shown and asked, in order.
  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::vector<FileDialogOptions> openDialogs;
  std::vector<FileDialogOptions> multiOpenDialogs;  // answered from openFilesAnswers
  std::vector<FileDialogOptions> saveDialogs;
  std::vector<uint32_t> colorDialogs;
  std::string clipboard;

  // Scripted answers, taken first to last; an unscripted question fails the
  // test and is answered Cancel (or cancelled).
  std::deque<Answer> answers;
  std::deque<std::optional<std::string>> openAnswers;
  std::deque<std::optional<std::vector<std::string>>> openFilesAnswers;
  std::deque<std::optional<std::string>> saveAnswers;
  std::deque<std::optional<uint32_t>> colorAnswers;
};

class RecordingShell : public Shell {
 public:
  struct Execution {
    std::string fileName, parameters, defaultFolder;
    int showCommand;
  };
  void open(const std::string& target) override { opened.push_back(target); }
  void executeFile(const std::string& fileName, const std::string& parameters,
                   const std::string& defaultFolder, int showCommand) override {
    executed.push_back({fileName, parameters, defaultFolder, showCommand});
  }
  std::vector<std::string> opened;
  std::vector<Execution> executed;
};

class RecordingLauncher : public Launcher {
 public:
  struct Start {
    std::string program;
    std::vector<std::string> arguments;
    std::string workingFolder;
  };
  void startDetached(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& workingFolder) override {
    started.push_back({program, arguments, workingFolder});
  }
  void openWithDesktop(const std::string& target) override { opened.push_back(target); }
  std::vector<Start> started;
  std::vector<std::string> opened;
};

class CollectingErrorSink : public ErrorSink {
 public:
  CollectingErrorSink() { setErrorSink(this); }
  ~CollectingErrorSink() override { setErrorSink(nullptr); }
  void showError(const std::string& message) override { errors.push_back(message); }
  std::vector<std::string> errors;
};

}  // namespace glx::test
