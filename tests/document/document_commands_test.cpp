#include "document/document_commands.h"

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "platform/file_ops.h"
#include "tests/document/file_size_limit.h"
#include "tests/document/project_test_support.h"
#include "tests/support/picture_bytes.h"
#include "tests/support/program_folder_fixture.h"
#include "tests/support/raised_text.h"
#include "update/usage_log.h"

namespace glx {
namespace {

using test::crlf;
using test::raisedText;
using test::RecordingRecentFiles;

class ConfigOneLabel : public ConfigOneSetting {
 public:
  std::string configOneText() const override { return text; }
  void setConfigOneText(const std::string& t) override { text = t; }
  void saveSettingsNow() override { ++saves; }
  std::string text = "false";
  int saves = 0;
};

// The main window's pieces around the commands: the document with one image
// copied into both folders, the recent files and the usage log.
class DocumentCommandsTest : public ::testing::Test {
 protected:
  DocumentCommandsTest() {
    editor.setDefaults();
    commands.setBeforeClose([this] { usageLog.updateLogFile(); });
    image = fx.dir.write("pics/work.gif", test::pictureBytes("work"));
    files.copyImage(image);
    doc.imagePaths = {image};
    doc.imageNames = {"work.gif"};
    doc.link = "unsaved.html";
    doc.modified = true;
    other = fx.dir.write("other.glx", crlf({"Glimmerax File", "", "1", "3", "40", "1", "other.html", "", "clBlack",
                                            "0", "clBlack", "clWhite", "Loading...", ""}));
  }

  // The document still holds the unsaved work.
  void expectWorkKept(const std::string& what) {
    EXPECT_EQ(doc.link, "unsaved.html") << what;
    EXPECT_EQ(doc.imageNames, std::vector<std::string>{"work.gif"}) << what;
    EXPECT_TRUE(doc.modified) << what;
    EXPECT_TRUE(fileExists(fx.required() + "work.gif")) << what;
    EXPECT_TRUE(fileExists(fx.temp() + "work.gif")) << what;
  }
  void expectReset(const std::string& what) {
    EXPECT_EQ(doc.link, "") << what;
    EXPECT_TRUE(doc.imageNames.empty()) << what;
    EXPECT_FALSE(doc.modified) << what;
    EXPECT_EQ(doc.documentPath, "") << what;
    EXPECT_FALSE(fileExists(fx.required() + "work.gif")) << what;
    EXPECT_FALSE(fileExists(fx.temp() + "work.gif")) << what;
  }
  std::string savedLink(const std::string& path) {
    return fileExists(path) ? readProjectDocument(path).link : std::string("(no file)");
  }

  test::ProgramFolderFixture fx;
  test::RecordingShell shell;
  test::ScriptedDialogs dialogs;
  test::CollectingErrorSink errors;
  NullDocumentView documentView;
  AppletDocument doc;
  RequiredFiles files{fx.folders, shell};
  AppletEditor editor{doc, files, dialogs, documentView};
  RecordingRecentFiles recent;
  NullProjectView projectView;
  ProjectFile project{editor, recent, projectView};
  DocumentCommands commands{editor, project, dialogs};
  UsageCounters counters;
  ConfigOneLabel configOne;
  UsageLog usageLog{counters, fx.dir / "config.data", configOne};
  std::string image;
  std::string other;
};

TEST_F(DocumentCommandsTest, DialogOptions) {
  const FileDialogOptions open = openProjectDialogOptions();
  EXPECT_EQ(open.title, "Open Glimmerax File");
  EXPECT_EQ(open.filter, "Glimmerax (*.glx)");
  EXPECT_EQ(open.defaultExt, "glx");
  EXPECT_FALSE(open.mustExist) << "a name that does not exist is reported by the open";
  EXPECT_TRUE(FileDialogOptions{}.mustExist);
  const FileDialogOptions save = saveProjectDialogOptions();
  EXPECT_EQ(save.title, "Save Glimmerax File");
  EXPECT_EQ(save.filter, "Glimmerax File (*.glx)");
  EXPECT_EQ(save.defaultExt, "glx");
}

// New, Open and the close share the question; each answer and each outcome
// of the Save that Yes asks for.
TEST_F(DocumentCommandsTest, UnsavedChangesQuestion) {
  enum class Command { New, Open, Close };
  enum class Saved { Known, DialogOk, DialogCancelled };
  struct Case {
    const char* name;
    Command command;
    Answer answer;
    Saved saved;
    bool goesOn;
  };
  const Case cases[] = {
      {"New, Yes, saved to its file", Command::New, Answer::Yes, Saved::Known, true},
      {"New, Yes, Save As confirmed", Command::New, Answer::Yes, Saved::DialogOk, true},
      {"New, Yes, Save As cancelled", Command::New, Answer::Yes, Saved::DialogCancelled, false},
      {"New, No", Command::New, Answer::No, Saved::Known, true},
      {"New, Cancel", Command::New, Answer::Cancel, Saved::Known, false},
      {"Open, Yes, saved to its file", Command::Open, Answer::Yes, Saved::Known, true},
      {"Open, Yes, Save As cancelled", Command::Open, Answer::Yes, Saved::DialogCancelled, false},
      {"Open, No", Command::Open, Answer::No, Saved::Known, true},
      {"Open, Cancel", Command::Open, Answer::Cancel, Saved::Known, false},
      {"Close, Yes, saved to its file", Command::Close, Answer::Yes, Saved::Known, true},
      {"Close, Yes, Save As confirmed", Command::Close, Answer::Yes, Saved::DialogOk, true},
      {"Close, Yes, Save As cancelled", Command::Close, Answer::Yes, Saved::DialogCancelled, false},
      {"Close, No", Command::Close, Answer::No, Saved::Known, true},
      {"Close, Cancel", Command::Close, Answer::Cancel, Saved::Known, false},
  };
  for (const auto& c : cases) {
    fx.dir.write("known.glx", crlf({"Glimmerax File", "", "1", "0", "40", "1", "old.html", "", "clBlack", "0",
                                    "clBlack", "clWhite", "Loading...", ""}));
    deleteFileQuiet(fx.dir / "chosen.glx");
    deleteFileQuiet(fx.dir / "config.data");
    files.copyImage(image);
    doc.link = "unsaved.html";
    doc.imagePaths = {image};
    doc.imageNames = {"work.gif"};
    doc.modified = true;
    doc.documentPath = c.saved == Saved::Known ? fx.dir / "known.glx" : "";
    dialogs = test::ScriptedDialogs();
    recent.added.clear();
    dialogs.answers = {c.answer};
    if (c.answer == Answer::Yes && c.saved != Saved::Known)
      dialogs.saveAnswers = {c.saved == Saved::DialogOk ? std::optional<std::string>(fx.dir / "chosen.glx")
                                                        : std::nullopt};
    if (c.command == Command::Open && c.goesOn) dialogs.openAnswers = {other};

    bool closes = false;
    switch (c.command) {
      case Command::New: commands.newMenuItemClick(); break;
      case Command::Open: commands.openMenuItemClick(); break;
      case Command::Close: closes = commands.FormCloseQuery(); break;
    }

    EXPECT_EQ(dialogs.questions, std::vector<std::string>{"Save changes to the current Applet?"}) << c.name;
    const bool savedNow = c.answer == Answer::Yes && c.saved != Saved::DialogCancelled;
    const std::string target = c.saved == Saved::Known ? fx.dir / "known.glx" : fx.dir / "chosen.glx";
    EXPECT_EQ(savedLink(target), savedNow ? "unsaved.html" : c.saved == Saved::Known ? "old.html" : "(no file)")
        << c.name;
    if (savedNow) {
      ASSERT_FALSE(recent.added.empty()) << c.name;
      EXPECT_EQ(recent.added.front(), target) << c.name;
    }
    EXPECT_EQ(dialogs.openDialogs.size(), c.command == Command::Open && c.goesOn ? 1u : 0u) << c.name;
    if (c.command == Command::Close) {
      EXPECT_EQ(closes, c.goesOn) << c.name;
      EXPECT_EQ(fileExists(fx.dir / "config.data"), c.goesOn) << c.name << ": the usage log";
    } else {
      EXPECT_FALSE(fileExists(fx.dir / "config.data")) << c.name;
    }
    if (!c.goesOn) {
      expectWorkKept(c.name);
      continue;
    }
    EXPECT_FALSE(fileExists(fx.required() + "work.gif")) << c.name;
    EXPECT_FALSE(fileExists(fx.temp() + "work.gif")) << c.name;
    if (c.command == Command::New) expectReset(c.name);
    if (c.command == Command::Open) {
      EXPECT_EQ(doc.link, "other.html") << c.name;
      EXPECT_EQ(doc.effectIndex, 3) << c.name;
      EXPECT_EQ(doc.documentPath, other) << c.name;
      EXPECT_EQ(recent.added.back(), other) << c.name;
    }
  }
}

TEST_F(DocumentCommandsTest, UnmodifiedDocumentIsNotAskedAbout) {
  doc.modified = false;
  commands.newMenuItemClick();
  expectReset("New");
  dialogs.openAnswers = {other};
  commands.openMenuItemClick();
  EXPECT_EQ(doc.link, "other.html");
  ASSERT_EQ(dialogs.openDialogs.size(), 1u);
  EXPECT_EQ(dialogs.openDialogs[0].title, "Open Glimmerax File");
  doc.modified = false;
  EXPECT_TRUE(commands.FormCloseQuery());
  EXPECT_TRUE(dialogs.questions.empty());
  EXPECT_TRUE(fileExists(fx.dir / "config.data"));
}

TEST_F(DocumentCommandsTest, OpenCancelledOrMissingKeepsTheDocument) {
  dialogs.answers = {Answer::No, Answer::No};
  dialogs.openAnswers = {std::nullopt, fx.dir / "missing.glx"};
  commands.openMenuItemClick();
  expectWorkKept("dialog cancelled");
  EXPECT_EQ(raisedText<EInOutError>([&] { commands.openMenuItemClick(); }), "File not found")
      << "a missing file opened";
  expectWorkKept("missing file");
  EXPECT_TRUE(recent.added.empty());
}

TEST_F(DocumentCommandsTest, Reopen) {
  // A file that is gone: the message, no question, nothing changes.
  commands.AppSettingsMRUClick(fx.dir / "gone.glx");
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"ERROR: File not found."});
  EXPECT_TRUE(dialogs.questions.empty());
  expectWorkKept("gone");

  dialogs.answers = {Answer::Cancel};
  commands.AppSettingsMRUClick(other);
  EXPECT_EQ(dialogs.questions.size(), 1u);
  expectWorkKept("question cancelled");

  dialogs.answers = {Answer::No};
  commands.AppSettingsMRUClick(other);
  EXPECT_EQ(doc.link, "other.html");
  EXPECT_EQ(doc.documentPath, other);
  EXPECT_EQ(recent.added, std::vector<std::string>{other});
  EXPECT_FALSE(doc.modified) << "an opened document has nothing unsaved";
  EXPECT_FALSE(fileExists(fx.required() + "work.gif"));
}

TEST_F(DocumentCommandsTest, SaveAndSaveAs) {
  // Never saved, dialog cancelled: nothing changes.
  dialogs.saveAnswers = {std::nullopt};
  EXPECT_FALSE(commands.saveMenuItemClick());
  ASSERT_EQ(dialogs.saveDialogs.size(), 1u);
  EXPECT_EQ(dialogs.saveDialogs[0].title, "Save Glimmerax File");
  EXPECT_TRUE(doc.modified);
  EXPECT_EQ(doc.documentPath, "");
  doc.modified = false;
  dialogs.saveAnswers = {std::nullopt};
  EXPECT_FALSE(commands.saveMenuItemClick());
  EXPECT_FALSE(doc.modified) << "a cancelled dialog leaves modified as it was";

  doc.modified = true;
  const std::string first = fx.dir / "first.glx";
  dialogs.saveAnswers = {first};
  EXPECT_TRUE(commands.saveMenuItemClick());
  EXPECT_EQ(doc.documentPath, first);
  EXPECT_FALSE(doc.modified);
  EXPECT_EQ(savedLink(first), "unsaved.html");

  doc.link = "edited.html";
  doc.modified = true;
  EXPECT_TRUE(commands.saveMenuItemClick()) << "a known path needs no dialog";
  EXPECT_EQ(dialogs.saveDialogs.size(), 3u);
  EXPECT_EQ(savedLink(first), "edited.html");

  const std::string second = fx.dir / "second.glx";
  dialogs.saveAnswers = {second};
  EXPECT_TRUE(commands.SaveAsMenuItemClick());
  EXPECT_EQ(doc.documentPath, second);
  EXPECT_EQ(recent.added, (std::vector<std::string>{first, first, second}));

  // A name without an extension gets ".glx"; one with another keeps it.
  dialogs.saveAnswers = {fx.dir / "third", fx.dir / "fourth.txt"};
  commands.SaveAsMenuItemClick();
  EXPECT_EQ(doc.documentPath, fx.dir / "third.glx");
  EXPECT_TRUE(fileExists(fx.dir / "third.glx"));
  commands.SaveAsMenuItemClick();
  EXPECT_EQ(doc.documentPath, fx.dir / "fourth.txt");
}

// A failed write: the error reaches the caller, the old file is intact and
// the document is still marked unsaved, so the close question still comes.
TEST_F(DocumentCommandsTest, FailedSaveKeepsOldFileAndModified) {
  const std::string path = fx.dir / "work.glx";
  dialogs.saveAnswers = {path};
  commands.SaveAsMenuItemClick();
  const std::string old = fx.dir.read("work.glx");
  doc.loadingMessage = std::string(5000, 'm');
  struct Case {
    const char* name;
    std::function<void()> command;
    std::string error;
  };
  const Case cases[] = {
      {"Save, disk full half-way",
       [&] {
         test::FileSizeLimit limit(64);
         commands.saveMenuItemClick();
       },
       "I/O error 27"},
      {"Save As into a vanished folder",
       [&] {
         dialogs.saveAnswers = {fx.dir / "vanished/work.glx"};
         commands.SaveAsMenuItemClick();
       },
       "File not found"},
  };
  for (const auto& c : cases) {
    doc.modified = true;
    recent.added.clear();
    EXPECT_EQ(raisedText<EInOutError>(c.command), c.error) << c.name;
    EXPECT_TRUE(doc.modified) << c.name;
    EXPECT_TRUE(recent.added.empty()) << c.name;
    EXPECT_EQ(fx.dir.read("work.glx"), old) << c.name;
  }

  // Closing after the failure asks again; a save that fails again keeps the
  // window open, writes no usage log and keeps the images.
  dialogs.answers = {Answer::Yes};
  EXPECT_THROW(commands.FormCloseQuery(), EInOutError);
  EXPECT_EQ(dialogs.questions.size(), 1u);
  EXPECT_FALSE(fileExists(fx.dir / "config.data"));
  EXPECT_TRUE(fileExists(fx.required() + "work.gif"));
}

TEST_F(DocumentCommandsTest, CloseWritesTheUsageLog) {
  configOne.text = "true";
  usageLog.takeFirstReportFlag();
  usageLog.updateLogData("a.html", "", 3);
  const std::string before = "CONFIG DATA FOR GLIMMERAX\r\nPLEASE DO NOT ALTER THIS FILE\r\n0\r\n" + [] {
    std::string s;
    for (int i = 0; i < 23; ++i) s += "0\r\n";
    return s;
  }();
  fx.dir.write("config.data", before);

  dialogs.answers = {Answer::Cancel};
  EXPECT_FALSE(commands.FormCloseQuery());
  EXPECT_EQ(fx.dir.read("config.data"), before) << "a cancelled close leaves the file untouched";

  dialogs.answers = {Answer::No};
  EXPECT_TRUE(commands.FormCloseQuery());
  UsageCounters written;
  mergeUsageLog(fx.dir / "config.data", written);
  EXPECT_EQ(written.testRunCount, 1);
  EXPECT_EQ(written.linkTestCount, 1);
  EXPECT_EQ(written.effectTestCounts[3], 1);
  EXPECT_EQ(written.firstReportFlag, 0) << "the file's flag wins";
  EXPECT_EQ(configOne.text, "true");
  EXPECT_FALSE(fileExists(fx.required() + "work.gif"));
}

// An opened project closes without a question until the user edits it.
TEST_F(DocumentCommandsTest, OpenedDocumentIsAskedAboutOnlyAfterAnEdit) {
  doc.modified = false;
  dialogs.openAnswers = {other};
  commands.openMenuItemClick();
  EXPECT_TRUE(commands.FormCloseQuery());
  EXPECT_TRUE(dialogs.questions.empty());

  dialogs.openAnswers = {other};
  commands.openMenuItemClick();
  editor.eFramesChange(12);
  dialogs.answers = {Answer::Cancel};
  EXPECT_FALSE(commands.FormCloseQuery());
  EXPECT_EQ(dialogs.questions, std::vector<std::string>{"Save changes to the current Applet?"});
}

}  // namespace
}  // namespace glx
