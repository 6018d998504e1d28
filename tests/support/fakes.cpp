#include "tests/support/fakes.h"

#include <gtest/gtest.h>

namespace glx::test {

namespace {

template <typename T>
T takeAnswer(std::deque<T>& queue, T fallback, const std::string& what) {
  if (queue.empty()) {
    ADD_FAILURE() << "unscripted " << what;
    return fallback;
  }
  T answer = queue.front();
  queue.pop_front();
  return answer;
}

}  // namespace

Answer ScriptedDialogs::confirm(const std::string& text, bool withCancel) {
  questions.push_back(text);
  return takeAnswer(answers, withCancel ? Answer::Cancel : Answer::No, "question: " + text);
}

std::optional<std::string> ScriptedDialogs::openFile(const FileDialogOptions& options) {
  openDialogs.push_back(options);
  return takeAnswer<std::optional<std::string>>(openAnswers, std::nullopt, "open dialog " + options.title);
}

std::optional<std::vector<std::string>> ScriptedDialogs::openFiles(const FileDialogOptions& options) {
  // A test that scripts single answers gets the one-file dialog's answers.
  if (openFilesAnswers.empty()) return UserDialogs::openFiles(options);
  openDialogs.push_back(options);
  multiOpenDialogs.push_back(options);
  return takeAnswer<std::optional<std::vector<std::string>>>(openFilesAnswers, std::nullopt,
                                                             "open dialog " + options.title);
}

std::optional<std::string> ScriptedDialogs::saveFile(const FileDialogOptions& options) {
  saveDialogs.push_back(options);
  return takeAnswer<std::optional<std::string>>(saveAnswers, std::nullopt, "save dialog " + options.title);
}

std::optional<uint32_t> ScriptedDialogs::chooseColor(uint32_t initial) {
  colorDialogs.push_back(initial);
  return takeAnswer<std::optional<uint32_t>>(colorAnswers, std::nullopt, "colour dialog");
}

}  // namespace glx::test
