// updatingControls is set while the system writes into the controls, so
// that their change handlers stay quiet. A write that fails must not leave
// it set: every later edit would then be ignored without a word.
#include <gtest/gtest.h>

#include <stdexcept>

#include "document/applet_editor.h"
#include "document/html_builder.h"
#include "document/project_file.h"
#include "platform/errors.h"
#include "tests/support/program_folder_fixture.h"

namespace glx {
namespace {

class NoRecentFiles : public RecentFilesList {
 public:
  void AddMRUItem(const std::string&) override {}
};

// A window whose controls refuse every write, after noting the flag.
class FailingView : public ProjectView, public HtmlView {
 public:
  explicit FailingView(const AppletDocument& d) : doc(d) {}
  void showLoadedDocument() override { fail(); }
  void beginHtmlUpdate() override {}
  void appendHtmlLine(const std::string&) override {}
  void endHtmlUpdate() override {}
  void setLinkText(const std::string&) override { fail(); }
  void setFrameText(const std::string&) override { fail(); }

  const AppletDocument& doc;
  std::vector<bool> updatingSeen;

 private:
  void fail() {
    updatingSeen.push_back(doc.updatingControls);
    throw std::runtime_error("the control refused");
  }
};

class UpdatingControlsTest : public ::testing::Test {
 protected:
  UpdatingControlsTest() { editor.setDefaults(); }

  // After the failure the next edit is taken.
  void expectEditsTaken() {
    EXPECT_FALSE(doc.updatingControls);
    doc.modified = false;
    editor.cEffectsChange(3);
    EXPECT_EQ(doc.effectIndex, 3);
    EXPECT_TRUE(doc.modified);
  }

  test::ProgramFolderFixture fx;
  test::RecordingShell shell;
  test::ScriptedDialogs dialogs;
  NullDocumentView documentView;
  AppletDocument doc;
  RequiredFiles files{fx.folders, shell};
  AppletEditor editor{doc, files, dialogs, documentView};
  NoRecentFiles recent;
  FailingView view{doc};
  ProjectFile project{editor, recent, view};
  HtmlBuilder builder{doc, dialogs, view};
};

// The controls fail to show a project read whole, and one cut short.
TEST_F(UpdatingControlsTest, OpenWhoseControlsFailClearsTheFlag) {
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"whole file",
       "Glimmerax File\r\nwarning\r\n1\r\n5\r\n40\r\n1\r\n\r\n\r\nclBlack\r\n0\r\nclBlack\r\nclWhite\r\nLoading...\r\n\r\n"},
      {"read fails at the missing colour", "Glimmerax File\r\nwarning\r\n1\r\n5\r\n40\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = fx.dir.write(std::string(c.name) + ".glx", c.text);
    view.updatingSeen.clear();
    EXPECT_ANY_THROW(project.openFileOne(path));
    // The controls were filled with the flag set, as on a good open.
    EXPECT_EQ(view.updatingSeen, std::vector<bool>{true});
    EXPECT_EQ(doc.effectIndex, 5);
    expectEditsTaken();
  }
}

TEST_F(UpdatingControlsTest, FieldWriteThatFailsClearsTheFlag) {
  for (const bool link : {true, false}) {
    SCOPED_TRACE(link ? "link" : "frame");
    view.updatingSeen.clear();
    // A line break is dropped, so the field is written back.
    if (link)
      EXPECT_THROW(builder.eLinkChange("a.html\n"), std::runtime_error);
    else
      EXPECT_THROW(builder.eFrameChange("_top\n"), std::runtime_error);
    EXPECT_EQ(view.updatingSeen, std::vector<bool>{true});
    expectEditsTaken();
  }
}

}  // namespace
}  // namespace glx
