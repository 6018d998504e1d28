// A real main window over a program folder in a temporary folder, with
// scripted dialogs, a recording shell and collected errors.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <memory>
#include <string>
#include <vector>

#include "app/companion_windows.h"
#include "app/main_window.h"
#include "tests/support/fakes.h"
#include "tests/support/picture_bytes.h"
#include "tests/support/program_folder_fixture.h"
#include "tests/support/temp_dir.h"

namespace glx::test {

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest();
  ~MainWindowTest() override;

  // Builds the window and runs the start-up steps with these arguments.
  void start(const std::vector<std::string>& arguments = {});
  // The same with the browser selection and update windows created between
  // the main window and the start-up steps, as the program does.
  void startWithCompanions(const std::vector<std::string>& arguments = {});
  // Destroys the window without the close question.
  void finish();

  // Adds images through "&Add Image" with the dialog answering each path.
  void addImages(const std::vector<std::string>& paths);
  // A file in the pictures folder. By default it passes the picture check
  // that adding it makes but does not decode as a whole.
  std::string picture(const std::string& name, const std::string& bytes = test::pictureBytes(""));

  AppletDocument& doc() { return window->document(); }

  ProgramFolderFixture fx;
  TempDir config;  // XDG_CONFIG_HOME: the registry files
  TempDir pictures;
  ScriptedDialogs dialogs;
  RecordingShell shell;
  CollectingErrorSink errors;
  std::unique_ptr<TMainWindow> window;
  CompanionWindows companions;

 private:
  void build(bool withCompanions, const std::vector<std::string>& arguments);
  std::string m_oldConfigHome;
  bool m_hadConfigHome = false;
};

// The window's menu item of that object name; a missing one fails the test.
QAction* menuAction(TMainWindow& window, const char* name);

// A JPEG of width x height in dir, for tests that need the real size of
// the first image.
std::string jpegFile(TempDir& dir, const std::string& name, int width, int height);

// The lines a text box shows.
std::vector<std::string> boxLines(const QPlainTextEdit* box);

}  // namespace glx::test
