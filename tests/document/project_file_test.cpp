#include "document/project_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <stdexcept>

#include "platform/errors.h"
#include "platform/file_ops.h"
#include "tests/document/file_size_limit.h"
#include "tests/document/project_test_support.h"
#include "tests/support/picture_bytes.h"
#include "tests/support/program_folder_fixture.h"
#include "tests/support/raised_text.h"

namespace glx {
namespace {

using test::crlf;
using test::raisedText;
using test::RecordingRecentFiles;

// Records what the window was asked to show and the flag it saw.
class RecordingProjectView : public ProjectView {
 public:
  explicit RecordingProjectView(const AppletDocument& d) : doc(d) {}
  void showLoadedDocument() override {
    ++shown;
    updatingWhenShown = doc.updatingControls;
    namesShown = doc.imageNames;
  }
  const AppletDocument& doc;
  int shown = 0;
  bool updatingWhenShown = false;
  std::vector<std::string> namesShown;
};

const std::string kHeader = "Glimmerax File";
const std::string kWarning = "If you alter the values below this file may not open properly.";

// A project file's lines with the given values in place of the defaults.
std::vector<std::string> defaultLines() {
  return {kHeader, kWarning, "1", "0", "40", "1", "", "", "clBlack", "0", "clBlack", "clWhite", "Loading...", ""};
}

class ProjectFileTest : public ::testing::Test {
 protected:
  ProjectFileTest() { editor.setDefaults(); }

  test::ProgramFolderFixture fx;
  test::RecordingShell shell;
  test::ScriptedDialogs dialogs;
  NullDocumentView documentView;
  AppletDocument doc;
  RequiredFiles files{fx.folders, shell};
  AppletEditor editor{doc, files, dialogs, documentView};
  RecordingRecentFiles recent;
  RecordingProjectView view{doc};
  ProjectFile project{editor, recent, view};
};

TEST_F(ProjectFileTest, DefaultsWithOneImageWriteSixteenLines) {
  doc.imagePaths = {"C:\\pics\\sun.gif"};
  doc.imageNames = {"sun.gif"};
  const std::string path = fx.dir / "sun.glx";
  project.saveFileOne(path);
  EXPECT_EQ(fx.dir.read("sun.glx"),
            "Glimmerax File\r\n"
            "If you alter the values below this file may not open properly.\r\n"
            "1\r\n0\r\n40\r\n1\r\n\r\n\r\nclBlack\r\n1\r\nclBlack\r\nclWhite\r\nLoading...\r\n\r\n"
            "C:\\pics\\sun.gif\r\nsun.gif\r\n");
  EXPECT_EQ(recent.added, std::vector<std::string>{path});
  EXPECT_FALSE(doc.modified) << "saveFileOne leaves modified alone";

  editor.setDefaults();
  project.openFileOne(path);
  EXPECT_EQ(doc.imagePaths, std::vector<std::string>{"C:\\pics\\sun.gif"});
  EXPECT_EQ(doc.imageNames, std::vector<std::string>{"sun.gif"});
  EXPECT_EQ(doc.effectIndex, 0);
  EXPECT_EQ(doc.appletClass, "fade.class");
  EXPECT_EQ(doc.frameCount, 40);
  EXPECT_EQ(doc.effectSpeed, 1);
  EXPECT_EQ(doc.loadingMessage, "Loading...");
  EXPECT_EQ(doc.loadingFontColor, 0xFFFFFFu);
  EXPECT_EQ(doc.documentPath, path);
  EXPECT_FALSE(doc.modified) << "an opened document has nothing unsaved";
  EXPECT_FALSE(doc.updatingControls);
  EXPECT_EQ(recent.added, (std::vector<std::string>{path, path}));
  EXPECT_EQ(view.shown, 1);
  EXPECT_TRUE(view.updatingWhenShown);
  EXPECT_EQ(view.namesShown, std::vector<std::string>{"sun.gif"});
}

TEST_F(ProjectFileTest, EveryFieldRoundTrips) {
  const std::string sun = fx.dir.write("pics/sun.gif", test::pictureBytes("GIF89a sun"));
  const std::string moon = fx.dir.write("pics/moon.jpg", test::pictureBytes("jpeg moon"));
  editor.cEffectsChange(12);
  doc.frameCount = 77;
  doc.effectSpeed = 9;
  doc.link = "pages/a b.html?x=1";
  doc.targetFrame = "_top|x";  // a hand-edited value survives
  doc.backgroundColor = 0x0000FF;                 // clRed
  doc.loadingBackgroundColor = 0x00FF8000;        // no name
  doc.loadingFontColor = 0x8000000F;              // clBtnFace
  doc.loadingMessage = std::string("Wait\xE9 \x01 please", 15);
  doc.alternativeHtml = "<b>no Java</b>";
  doc.imagePaths = {sun, moon, ""};
  doc.imageNames = {"sun.gif", "moon.jpg", ""};
  const std::string path = fx.dir / "all.glx";
  project.saveFileOne(path);
  const std::string bytes = fx.dir.read("all.glx");
  EXPECT_EQ(bytes, crlf({kHeader, kWarning, "1", "12", "77", "9", "pages/a b.html?x=1", "_top|x", "clRed", "3",
                         "$00FF8000", "clBtnFace", std::string("Wait\xE9 \x01 please", 15), "<b>no Java</b>", sun,
                         "sun.gif", moon, "moon.jpg", "", ""}));

  const AppletDocument saved = doc;
  editor.setDefaults();
  project.openFileOne(path);
  EXPECT_EQ(doc.effectIndex, 12);
  EXPECT_EQ(doc.appletClass, "warp.class");
  EXPECT_EQ(doc.effectVariant, 7);
  EXPECT_EQ(doc.effectConstant, 50);
  EXPECT_EQ(doc.frameCount, 77);
  EXPECT_EQ(doc.effectSpeed, 9);
  EXPECT_EQ(doc.link, saved.link);
  EXPECT_EQ(doc.targetFrame, saved.targetFrame);
  EXPECT_EQ(doc.backgroundColor, saved.backgroundColor);
  EXPECT_EQ(doc.loadingBackgroundColor, saved.loadingBackgroundColor);
  EXPECT_EQ(doc.loadingFontColor, saved.loadingFontColor);
  EXPECT_EQ(doc.loadingMessage, saved.loadingMessage);
  EXPECT_EQ(doc.alternativeHtml, saved.alternativeHtml);
  EXPECT_EQ(doc.imagePaths, saved.imagePaths);
  EXPECT_EQ(doc.imageNames, saved.imageNames);
  // The images were copied into both folders.
  for (const auto& folder : {fx.required(), fx.temp()}) {
    EXPECT_EQ(fx.dir.read(folder.substr(fx.dir.path().size()) + "sun.gif"), test::pictureBytes("GIF89a sun")) << folder;
    EXPECT_TRUE(fileExists(folder + "moon.jpg")) << folder;
  }
  project.saveFileOne(fx.dir / "again.glx");
  EXPECT_EQ(fx.dir.read("again.glx"), bytes) << "read and written byte for byte";
}

TEST_F(ProjectFileTest, AlternativeHtmlLineBreaksStayOnOneLine) {
  struct Case {
    const char* name;
    std::string value, line14, readBack;
  };
  const Case cases[] = {
      {"CR LF", "<p>a</p>\r\n<p>b</p>", "<p>a</p>\x1E<p>b</p>", "<p>a</p>\n<p>b</p>"},
      {"LF", "a\nb\n", "a\x1E" "b\x1E", "a\nb\n"},
      {"CR", "a\rb", "a\x1E" "b", "a\nb"},
      {"mixed, blank lines", "\r\n\n\r\rx", "\x1E\x1E\x1E\x1Ex", "\n\n\n\nx"},
      {"none", "plain", "plain", "plain"},
  };
  for (const auto& c : cases) {
    editor.setDefaults();
    doc.alternativeHtml = c.value;
    doc.imagePaths = {"/x/a.gif"};
    doc.imageNames = {"a.gif"};
    const std::string path = fx.dir / "alt.glx";
    project.saveFileOne(path);
    std::vector<std::string> lines = defaultLines();
    lines[9] = "1";
    lines[13] = c.line14;
    lines.push_back("/x/a.gif");
    lines.push_back("a.gif");
    EXPECT_EQ(fx.dir.read("alt.glx"), crlf(lines)) << c.name;
    project.openFileOne(path);
    EXPECT_EQ(doc.alternativeHtml, c.readBack) << c.name;
    EXPECT_EQ(doc.imageNames, std::vector<std::string>{"a.gif"}) << c.name << ": later lines did not shift";
  }
}

// A one-line field never writes a CR or LF: the file gets what the field
// would have held, and every later line stays where it belongs.
TEST_F(ProjectFileTest, OneLineFieldsNeverWriteALineBreak) {
  struct Case {
    const char* name;
    std::function<void(AppletDocument&)> set;
    size_t line;  // 0-based line of the file
    std::string written;
  };
  const Case cases[] = {
      {"link", [](AppletDocument& d) { d.link = "http://a.example/\r\n"; }, 6, "http://a.example/"},
      {"frame", [](AppletDocument& d) { d.targetFrame = "_to\np"; }, 7, "_top"},
      {"loading message", [](AppletDocument& d) { d.loadingMessage = "\rLoad\r\ning"; }, 12, "Loading"},
      {"image path", [](AppletDocument& d) { d.imagePaths[0] = "/x/a\n.gif"; }, 14, "/x/a.gif"},
      {"image name", [](AppletDocument& d) { d.imageNames[0] = "a.gif\n"; }, 15, "a.gif"},
  };
  for (const auto& c : cases) {
    editor.setDefaults();
    doc.imagePaths = {"/x/a.gif"};
    doc.imageNames = {"a.gif"};
    c.set(doc);
    const std::string path = fx.dir / "one.glx";
    project.saveFileOne(path);
    std::vector<std::string> lines = defaultLines();
    lines[9] = "1";
    lines.push_back("/x/a.gif");
    lines.push_back("a.gif");
    lines[c.line] = c.written;
    EXPECT_EQ(fx.dir.read("one.glx"), crlf(lines)) << c.name;
    project.openFileOne(path);
    EXPECT_EQ(doc.imageNames, std::vector<std::string>{"a.gif"}) << c.name << ": later lines did not shift";
    EXPECT_EQ(doc.alternativeHtml, "") << c.name;
  }
}

// Saving through a symbolic link writes the project it names, keeps the
// link, and keeps a private project private.
TEST_F(ProjectFileTest, SaveThroughALinkKeepsTheLinkAndTheMode) {
  const std::string real = fx.dir.write("projects/private.glx", "old");
  ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
  const std::string link = fx.dir / "linked.glx";
  ASSERT_EQ(::symlink("projects/private.glx", link.c_str()), 0);
  project.saveFileOne(link);
  struct stat st;
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(fx.dir.read("projects/private.glx").substr(0, 16), "Glimmerax File\r\n");
}

TEST_F(ProjectFileTest, ColourText) {
  struct Case {
    Color value;
    std::string text;
  };
  const Case cases[] = {
      {0x000000, "clBlack"},      {0x000080, "clMaroon"},   {0x008000, "clGreen"},
      {0x008080, "clOlive"},      {0x800000, "clNavy"},     {0x800080, "clPurple"},
      {0x808000, "clTeal"},       {0x808080, "clGray"},     {0xC0C0C0, "clSilver"},
      {0x0000FF, "clRed"},        {0x00FF00, "clLime"},     {0x00FFFF, "clYellow"},
      {0xFF0000, "clBlue"},       {0xFF00FF, "clFuchsia"},  {0xFFFF00, "clAqua"},
      {0xFFFFFF, "clWhite"},      {0x1FFFFFFF, "clNone"},   {0x80000000, "clScrollBar"},
      {0x80000001, "clBackground"}, {0x80000002, "clActiveCaption"}, {0x80000003, "clInactiveCaption"},
      {0x80000004, "clMenu"},     {0x80000005, "clWindow"}, {0x80000006, "clWindowFrame"},
      {0x80000007, "clMenuText"}, {0x80000008, "clWindowText"}, {0x80000009, "clCaptionText"},
      {0x8000000A, "clActiveBorder"}, {0x8000000B, "clInactiveBorder"}, {0x8000000C, "clAppWorkSpace"},
      {0x8000000D, "clHighlight"}, {0x8000000E, "clHighlightText"}, {0x8000000F, "clBtnFace"},
      {0x80000010, "clBtnShadow"}, {0x80000011, "clGrayText"}, {0x80000012, "clBtnText"},
      {0x80000013, "clInactiveCaptionText"}, {0x80000014, "clBtnHighlight"}, {0x80000015, "cl3DDkShadow"},
      {0x80000016, "cl3DLight"},  {0x80000017, "clInfoText"}, {0x80000018, "clInfoBk"},
      {0x00FF8000, "$00FF8000"},  {0x00000001, "$00000001"}, {0x00ABCDEF, "$00ABCDEF"},
      {0x80000019, "$80000019"},  {0xFFFFFFFF, "$FFFFFFFF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(colorToText(c.value), c.text) << std::hex << c.value;
    EXPECT_EQ(colorFromText(c.text), c.value) << c.text;
  }
  const Case readOnly[] = {
      {0xFFFFFF, "CLWHITE"}, {0x80000018, "clinfobk"}, {0x00FF8000, "$00ff8000"},
      {255, "255"},          {0xFFFFFFFF, "-1"},       {0x10, " 16 "},
  };
  for (const auto& c : readOnly) EXPECT_EQ(colorFromText(c.text), c.value) << c.text;
  for (const std::string bad : {"", "red", "clWhite ", "#FFFFFF", "$", "12a", "4294967296"})
    EXPECT_EQ(raisedText<EConvertError>([&] { colorFromText(bad); }), "'" + bad + "' is not a valid integer value");
}

// Bad lines: the message, the fields read so far kept, the rest at their
// defaults, no images, no path, no recent entry.
TEST_F(ProjectFileTest, ReadingFailures) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;  // written with CR LF
    std::string error;
    std::string link;      // line 7 when it was read
    Color background;      // line 9 when it was read
    Color loadingFont;     // line 12 when it was read
  };
  auto with = [](std::vector<std::pair<int, std::string>> changes, size_t keep = 99) {
    std::vector<std::string> lines = defaultLines();
    lines[9] = "1";
    lines.push_back("/x/a.gif");
    lines.push_back("a.gif");
    lines[6] = "seen.html";
    lines[8] = "clRed";
    lines[11] = "clYellow";
    for (auto& [line, text] : changes) lines[static_cast<size_t>(line - 1)] = text;
    if (keep < lines.size()) lines.resize(keep);
    return lines;
  };
  const Case cases[] = {
      {"line 4 not a number", with({{4, "two"}}), "'two' is not a valid integer value", "", 0, 0xFFFFFF},
      {"line 9 no colour", with({{9, "pink"}}), "'pink' is not a valid integer value", "seen.html", 0, 0xFFFFFF},
      {"line 10 not a number", with({{10, "1.5"}}), "'1.5' is not a valid integer value", "seen.html", 0x0000FF,
       0xFFFFFF},
      {"line 11 no colour", with({{11, "clBlack2"}}), "'clBlack2' is not a valid integer value", "seen.html",
       0x0000FF, 0xFFFFFF},
      {"line 12 no colour", with({{12, "$GG"}}), "'$GG' is not a valid integer value", "seen.html", 0x0000FF,
       0xFFFFFF},
      {"ends after line 3", with({}, 3), "'' is not a valid integer value", "", 0, 0xFFFFFF},
      {"ends after line 8", with({}, 8), "'' is not a valid integer value", "seen.html", 0, 0xFFFFFF},
      {"ends after line 9", with({}, 9), "'' is not a valid integer value", "seen.html", 0x0000FF, 0xFFFFFF},
      {"ends after line 11", with({}, 11), "'' is not a valid integer value", "seen.html", 0x0000FF, 0xFFFFFF},
      {"empty file", {}, "'' is not a valid integer value", "", 0, 0xFFFFFF},
      // A long value is quoted by its first 80 characters and its length.
      {"line 4 of 50 MB", with({{4, std::string(50 << 20, '7')}}),
       "'" + std::string(80, '7') + "...' (52,428,800 characters) is not a valid integer value", "", 0, 0xFFFFFF},
      {"line 12 of 81 characters", with({{12, std::string(81, 'c')}}),
       "'" + std::string(80, 'c') + "...' (81 characters) is not a valid integer value", "seen.html", 0x0000FF,
       0xFFFFFF},
      {"line 9 of 80 characters", with({{9, std::string(80, 'c')}}),
       "'" + std::string(80, 'c') + "' is not a valid integer value", "seen.html", 0, 0xFFFFFF},
  };
  for (const auto& c : cases) {
    editor.setDefaults();
    doc.imagePaths = {"/old/one.gif"};  // the previous document's
    doc.imageNames = {"one.gif"};
    recent.added.clear();
    view.shown = 0;
    const std::string path = fx.dir.write("bad.glx", crlf(c.lines));
    EXPECT_EQ(raisedText<EConvertError>([&] { project.openFileOne(path); }), c.error) << c.name;
    EXPECT_EQ(doc.link, c.link) << c.name;
    EXPECT_EQ(doc.backgroundColor, c.background) << c.name;
    EXPECT_EQ(doc.loadingFontColor, c.loadingFont) << c.name;
    EXPECT_EQ(doc.loadingMessage, "Loading...") << c.name;
    EXPECT_TRUE(doc.imagePaths.empty()) << c.name;
    EXPECT_TRUE(doc.imageNames.empty()) << c.name;
    EXPECT_EQ(doc.documentPath, "") << c.name;
    EXPECT_TRUE(recent.added.empty()) << c.name;
    EXPECT_FALSE(doc.updatingControls) << c.name;
    EXPECT_EQ(view.shown, 1) << c.name << ": the window shows what was read";
  }
}

TEST_F(ProjectFileTest, LooseLinesAreTakenAsTheyStand) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, std::string>> changes;
    int effectIndex, frames, speed;
    std::string appletClass, frame;
  };
  const Case cases[] = {
      {"frames not a number", {{5, "abc"}}, 0, 0, 1, "fade.class", ""},
      {"values beyond the boxes' limits", {{5, "99999"}, {6, "-5"}}, 0, 99999, -5, "fade.class", ""},
      {"index above the catalogue", {{4, "25"}}, -1, 40, 1, "fade.class", ""},
      {"negative index", {{4, "-3"}}, -1, 40, 1, "fade.class", ""},
      {"last index", {{4, "19"}, {5, "100"}, {6, "1"}}, 19, 100, 1, "colorwarp.class", ""},
      {"bar in the frame", {{8, "_top|x"}}, 0, 40, 1, "fade.class", "_top|x"},
      {"header and mark not checked", {{1, "whatever"}, {2, ""}, {3, "7"}}, 0, 40, 1, "fade.class", ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> lines = defaultLines();
    for (auto& [line, text] : c.changes) lines[static_cast<size_t>(line - 1)] = text;
    editor.cEffectsChange(0);
    project.openFileOne(fx.dir.write("loose.glx", crlf(lines)));
    EXPECT_EQ(doc.effectIndex, c.effectIndex) << c.name;
    EXPECT_EQ(doc.frameCount, c.frames) << c.name;
    EXPECT_EQ(doc.effectSpeed, c.speed) << c.name;
    EXPECT_EQ(doc.appletClass, c.appletClass) << c.name;
    EXPECT_EQ(doc.targetFrame, c.frame) << c.name;
  }
  // A bad index is saved as -1.
  std::vector<std::string> lines = defaultLines();
  lines[3] = "25";
  project.openFileOne(fx.dir.write("bad-index.glx", crlf(lines)));
  project.saveFileOne(fx.dir / "saved.glx");
  lines[3] = "-1";
  EXPECT_EQ(fx.dir.read("saved.glx"), crlf(lines));
}

TEST_F(ProjectFileTest, LineEndsLfAloneAndLastLineOpen) {
  std::vector<std::string> lines = defaultLines();
  lines[6] = "link.html";
  lines[9] = "1";
  lines.push_back("/p/a.gif");
  lines.push_back("a.gif");
  std::string lf;
  for (const auto& l : lines) lf += l + "\n";
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"LF alone", lf},
      {"no line end after the last line", lf.substr(0, lf.size() - 1)},
      {"CR LF, last line open", crlf(lines).substr(0, crlf(lines).size() - 2)},
  };
  for (const auto& c : cases) {
    project.openFileOne(fx.dir.write("lf.glx", c.bytes));
    EXPECT_EQ(doc.link, "link.html") << c.name;
    EXPECT_EQ(doc.imageNames, std::vector<std::string>{"a.gif"}) << c.name;
    EXPECT_EQ(doc.imagePaths, std::vector<std::string>{"/p/a.gif"}) << c.name;
  }
  // A CR not before LF is read as text; a save writes the one-line field
  // without it, so no reader can take it for a line end.
  lines[6] = "a\rb\r";
  project.openFileOne(fx.dir.write("cr.glx", crlf(lines)));
  EXPECT_EQ(doc.link, "a\rb\r");
  project.saveFileOne(fx.dir / "cr2.glx");
  lines[6] = "ab";
  EXPECT_EQ(fx.dir.read("cr2.glx"), crlf(lines));
}

TEST_F(ProjectFileTest, MissingImageLinesAddEmptyEntriesUpToALimit) {
  struct Case {
    const char* name;
    std::string count;
    std::vector<std::string> imageLines;
    size_t entries;
  };
  const Case cases[] = {
      {"one name missing", "2", {"/p/a.gif", "a.gif", "/p/b.gif"}, 2},
      {"three entries missing", "3", {}, 3},
      {"a count far past the end", "2147483647", {"/p/a.gif", "a.gif"}, 101},
      {"negative count", "-4", {"/p/a.gif", "a.gif"}, 0},
  };
  for (const auto& c : cases) {
    std::vector<std::string> lines = defaultLines();
    lines[9] = c.count;
    lines.insert(lines.end(), c.imageLines.begin(), c.imageLines.end());
    project.openFileOne(fx.dir.write("short.glx", crlf(lines)));
    EXPECT_EQ(doc.imagePaths.size(), c.entries) << c.name;
    EXPECT_EQ(doc.imageNames.size(), c.entries) << c.name;
    for (size_t i = c.imageLines.size() / 2 + c.imageLines.size() % 2; i < c.entries; ++i) {
      EXPECT_EQ(doc.imagePaths[i], "") << c.name << " entry " << i;
      EXPECT_EQ(doc.imageNames[i], "") << c.name << " entry " << i;
    }
  }
}

TEST_F(ProjectFileTest, OpenReplacesTheImagesInBothFolders) {
  const std::string oldImage = fx.dir.write("pics/old.gif", test::pictureBytes("old"));
  const std::string newImage = fx.dir.write("pics/new.gif", test::pictureBytes("new"));
  files.copyImage(oldImage);
  doc.imagePaths = {oldImage};
  doc.imageNames = {"old.gif"};
  std::vector<std::string> lines = defaultLines();
  const std::string other = fx.dir.write("pics/other.gif", test::pictureBytes("other"));
  lines[9] = "3";
  lines.insert(lines.end(), {newImage, "new.gif", fx.dir / "pics/absent.gif", "absent.gif",
                             other + std::string("\0.gif", 5), "x.gif"});
  project.openFileOne(fx.dir.write("p.glx", crlf(lines)));
  for (const auto& folder : {fx.required(), fx.temp()}) {
    EXPECT_FALSE(fileExists(folder + "old.gif")) << folder;
    EXPECT_TRUE(fileExists(folder + "new.gif")) << folder;
    EXPECT_FALSE(fileExists(folder + "absent.gif")) << folder;
    EXPECT_FALSE(fileExists(folder + "other.gif")) << folder << ": a path cut at a NUL byte is not copied";
  }
  EXPECT_EQ(doc.imageNames, (std::vector<std::string>{"new.gif", "absent.gif", "x.gif"})) << "a missing image is listed";
}

// A project from someone else may name any local file as a picture: what
// is not a GIF or JPEG by its content stays in the document, is copied into
// neither folder, and one message at the end of the open names it.
TEST_F(ProjectFileTest, OpenCopiesOnlyPicturesAndNamesTheRefusedOnes) {
  std::vector<std::string> lines = defaultLines();
  const std::string sun = fx.dir.write("pics/sun.gif", test::pictureBytes("sun"));
  const std::string passwd = fx.dir.write("etc/passwd", "root:x:0:0:root:/root:/bin/bash\n");
  const std::string png = fx.dir.write("pics/photo.jpg", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
  const std::string cut = fx.dir.write("pics/cut.gif", std::string("GIF89a\x01\x00", 8));
  lines[9] = "4";
  lines.insert(lines.end(), {sun, "sun.gif", passwd, "pw.gif", png, "photo.jpg", cut, "cut.gif"});
  const std::string path = fx.dir.write("p.glx", crlf(lines));
  project.openFileOne(path);
  EXPECT_EQ(doc.imageNames, (std::vector<std::string>{"sun.gif", "pw.gif", "photo.jpg", "cut.gif"}));
  EXPECT_EQ(doc.documentPath, path);
  EXPECT_EQ(recent.added, std::vector<std::string>{path});
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"pw.gif is not a GIF or JPEG picture.\n"
                                                       "photo.jpg is not a GIF or JPEG picture.\n"
                                                       "cut.gif is not a GIF or JPEG picture."});
  for (const auto& folder : {fx.required(), fx.temp()}) {
    EXPECT_TRUE(fileExists(folder + "sun.gif")) << folder;
    for (const char* refused : {"passwd", "pw.gif", "photo.jpg", "cut.gif"})
      EXPECT_FALSE(pathExists(folder + refused)) << folder << refused;
  }

  // Thousands of them still make one short message.
  lines = defaultLines();
  lines[9] = "25";
  for (int i = 0; i < 25; ++i) lines.insert(lines.end(), {passwd, "pw" + std::to_string(i) + ".gif"});
  dialogs.messages.clear();
  project.openFileOne(fx.dir.write("many.glx", crlf(lines)));
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(std::count(dialogs.messages[0].begin(), dialogs.messages[0].end(), '\n'), 10);
  EXPECT_TRUE(dialogs.messages[0].ends_with("pw9.gif is not a GIF or JPEG picture.\n(15 more)")) << dialogs.messages[0];
}

TEST_F(ProjectFileTest, FileThatCannotBeOpenedLeavesTheDocument) {
  const std::string image = fx.dir.write("pics/keep.gif", test::pictureBytes("keep"));
  files.copyImage(image);
  doc.imagePaths = {image};
  doc.imageNames = {"keep.gif"};
  doc.link = "mine.html";
  doc.documentPath = fx.dir / "mine.glx";
  doc.modified = true;
  fx.dir.mkdir("folder.glx");
  struct Case {
    std::string path, error;
  };
  const Case cases[] = {
      {fx.dir / "missing.glx", "File not found"},
      {fx.dir / "nowhere/missing.glx", "File not found"},
      {fx.dir / "folder.glx", "File access denied"},
      {fx.dir / "pics/keep.gif/x.glx", "File not found"},
      {"", "File not found"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(raisedText<EInOutError>([&] { project.openFileOne(c.path); }), c.error) << c.path;
    EXPECT_EQ(doc.link, "mine.html") << c.path;
    EXPECT_EQ(doc.imageNames, std::vector<std::string>{"keep.gif"}) << c.path;
    EXPECT_EQ(doc.documentPath, fx.dir / "mine.glx") << c.path;
    EXPECT_TRUE(doc.modified) << c.path;
    EXPECT_TRUE(fileExists(fx.required() + "keep.gif")) << c.path;
  }
  EXPECT_TRUE(recent.added.empty());
  EXPECT_EQ(view.shown, 0);
}

// Whatever bytes a project file holds, opening it loads a document or fails
// with one of the reading errors; the lists stay parallel and nothing kept
// outgrows the file.
TEST_F(ProjectFileTest, HostileFiles) {
  const std::string fixtures = GLX_DOCUMENT_FIXTURES;
  struct Case {
    std::string name;
    std::string path;
    std::string error;  // empty: loads; "*": some conversion error
    size_t images;
  };
  // Generated here: too big to keep in the repository.
  std::vector<std::string> longLine = defaultLines();
  longLine[6] = std::string(10 * 1024 * 1024, 'L');
  std::vector<std::string> bigAlt = defaultLines();
  bigAlt[13] = std::string(20 * 1024 * 1024, '\x1E');
  std::vector<std::string> manyImages = defaultLines();
  manyImages[9] = "2147483647";
  for (int i = 0; i < 100000; ++i) manyImages.push_back("p");
  const Case cases[] = {
      {"random bytes", fixtures + "garbage.glx", "*", 0},
      {"NUL bytes in the fields", fixtures + "nul_bytes.glx", "", 1},
      {"no line ends at all", fixtures + "no_line_ends.glx", "'' is not a valid integer value", 0},
      {"CR alone ends no line", fixtures + "cr_only.glx", "'' is not a valid integer value", 0},
      {"image count far past the end", fixtures + "huge_count.glx", "", 101},
      {"binary image lines", fixtures + "binary_images.glx", "", 3},
      {"a picture instead of a project", fixtures + "gif_bytes.glx", "'' is not a valid integer value", 0},
      {"a 10 MB line", fx.dir.write("long.glx", crlf(longLine)), "", 0},
      {"a 20 MB alternative HTML", fx.dir.write("alt.glx", crlf(bigAlt)), "", 0},
      {"many short image lines", fx.dir.write("many.glx", crlf(manyImages)), "", 50100},
  };
  for (const auto& c : cases) {
    const std::string error = raisedText<EConvertError>([&] { project.openFileOne(c.path); });
    if (c.error == "*") {
      EXPECT_EQ(error.front(), '\'') << c.name;
      EXPECT_NE(error.find(" is not a valid integer value"), std::string::npos) << c.name;
      EXPECT_LE(error.size(), 140u) << c.name << ": a long line is quoted short";
    } else {
      EXPECT_EQ(error, c.error.empty() ? test::kNothingRaised : c.error) << c.name;
    }
    EXPECT_EQ(doc.imagePaths.size(), c.images) << c.name;
    EXPECT_EQ(doc.imageNames.size(), doc.imagePaths.size()) << c.name;
    EXPECT_FALSE(doc.updatingControls) << c.name;
    size_t kept = doc.link.size() + doc.targetFrame.size() + doc.loadingMessage.size() + doc.alternativeHtml.size();
    for (size_t i = 0; i < doc.imagePaths.size(); ++i) kept += doc.imagePaths[i].size() + doc.imageNames[i].size();
    EXPECT_LE(kept, std::filesystem::file_size(c.path) + 16) << c.name;
    // What was read can be saved and read again.
    if (c.error.empty()) {
      project.saveFileOne(fx.dir / "resaved.glx");
      const AppletDocument again = readProjectDocument(fx.dir / "resaved.glx");
      // One-line fields come back without the CRs a hostile file put in.
      std::vector<std::string> names;
      for (const auto& name : doc.imageNames) names.push_back(oneLineText(name));
      EXPECT_EQ(again.imageNames, names) << c.name;
      EXPECT_EQ(again.link, oneLineText(doc.link)) << c.name;
      EXPECT_EQ(again.alternativeHtml, doc.alternativeHtml) << c.name;
    }
  }
  EXPECT_EQ(doc.frameCount, 40);
  project.openFileOne(fixtures + "nul_bytes.glx");
  EXPECT_EQ(doc.link, std::string("a\0b.html", 8));
  EXPECT_EQ(doc.frameCount, 0) << "'4<NUL>0' is no number";
  EXPECT_EQ(doc.imageNames, std::vector<std::string>{std::string("\0.gif", 5)});
}

// A device or a pipe is no project file: refused at once instead of read
// for ever or waited on.
TEST_F(ProjectFileTest, SpecialFilesAreRefused) {
  const std::string fifo = fx.dir / "pipe.glx";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {std::string("/dev/zero"), fifo})
    EXPECT_EQ(raisedText<EInOutError>([&] { project.openFileOne(path); }), "File access denied") << path;
}

TEST_F(ProjectFileTest, FailedSaveKeepsTheOldFile) {
  const std::string path = fx.dir / "keep.glx";
  project.saveFileOne(path);
  const std::string old = fx.dir.read("keep.glx");
  recent.added.clear();
  doc.loadingMessage = std::string(4000, 'x');
  EXPECT_EQ(raisedText<EInOutError>([&] {
              test::FileSizeLimit limit(100);
              project.saveFileOne(path);
            }),
            "I/O error 27")
      << "saved past the limit";
  EXPECT_EQ(fx.dir.read("keep.glx"), old);
  EXPECT_TRUE(recent.added.empty());
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(fx.dir.path()))
    if (entry.path().filename().string().rfind("keep.glx", 0) == 0) left.push_back(entry.path().filename());
  EXPECT_EQ(left, std::vector<std::string>{"keep.glx"}) << "no temporary file is left behind";

  struct Case {
    std::string path, error;
  };
  fx.dir.mkdir("a folder.glx/inside");
  const Case cases[] = {
      {fx.dir / "vanished/new.glx", "File not found"},
      {fx.dir / "keep.glx/new.glx", "File not found"},
      {fx.dir / "a folder.glx", "I/O error 21"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(raisedText<EInOutError>([&] { project.saveFileOne(c.path); }), c.error) << c.path;
  EXPECT_TRUE(recent.added.empty());
  EXPECT_EQ(fx.dir.read("keep.glx"), old);
}

TEST_F(ProjectFileTest, ReadingForHtmlTouchesNoFolder) {
  std::vector<std::string> lines = defaultLines();
  lines[3] = "6";
  lines[4] = "12";
  lines[9] = "1";
  lines.push_back(fx.dir.write("pics/a.gif", test::pictureBytes("a")));
  lines.push_back("a.gif");
  const std::string path = fx.dir.write("p.glx", crlf(lines));
  const AppletDocument d = readProjectDocument(path);
  EXPECT_EQ(d.appletClass, "warp.class");
  EXPECT_EQ(d.effectVariant, 1);
  EXPECT_EQ(d.frameCount, 12);
  EXPECT_EQ(d.imageNames, std::vector<std::string>{"a.gif"});
  EXPECT_FALSE(d.updatingControls);
  EXPECT_FALSE(fileExists(fx.required() + "a.gif"));
  EXPECT_FALSE(pathExists(fx.temp()));

  lines[3] = "99";
  EXPECT_EQ(readProjectDocument(fx.dir.write("q.glx", crlf(lines))).appletClass, "fade.class")
      << "a bad index keeps the reset's class";
  EXPECT_THROW(readProjectDocument(fx.dir / "none.glx"), EInOutError);
}

// Controls that fail to show what was read, from a whole file and from one
// whose read fails at its missing colour: the flag is set while they are
// filled and clear afterwards, so that the next edit is taken.
TEST_F(ProjectFileTest, ControlsThatFailToShowTheOpenLeaveUpdatingControlsClear) {
  struct FailingView : ProjectView {
    explicit FailingView(const AppletDocument& d) : doc(d) {}
    void showLoadedDocument() override {
      updatingSeen.push_back(doc.updatingControls);
      throw std::runtime_error("the controls refused");
    }
    const AppletDocument& doc;
    std::vector<bool> updatingSeen;
  };
  struct Case {
    const char* name;
    std::vector<std::string> lines;
  };
  std::vector<std::string> whole = defaultLines();
  whole[3] = "5";
  const Case cases[] = {
      {"whole file", whole},
      {"read fails at the missing colour", {kHeader, kWarning, "1", "5", "40"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FailingView failing{doc};
    ProjectFile failingProject{editor, recent, failing};
    const std::string path = fx.dir.write("failing.glx", crlf(c.lines));
    EXPECT_ANY_THROW(failingProject.openFileOne(path));
    EXPECT_EQ(failing.updatingSeen, std::vector<bool>{true});
    EXPECT_EQ(doc.effectIndex, 5);
    EXPECT_FALSE(doc.updatingControls);
    doc.modified = false;
    editor.cEffectsChange(3);
    EXPECT_EQ(doc.effectIndex, 3);
    EXPECT_TRUE(doc.modified);
  }
}

}  // namespace
}  // namespace glx
