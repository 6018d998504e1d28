#include "document/html_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stdexcept>

#include "document/applet_editor.h"
#include "tests/publish/image_fixtures.h"
#include "tests/support/current_folder.h"
#include "tests/support/fakes.h"
#include "tests/support/program_folder_fixture.h"
#include "tests/support/raised_text.h"

namespace glx {
namespace {

using test::encodeGif;
using test::encodeJpeg;

// Records what the builder does to the window, and whether the document
// was marked as being filled by the system while a field was written.
class RecordingHtmlView : public HtmlView {
 public:
  explicit RecordingHtmlView(const AppletDocument& document) : m_document(document) {}
  void beginHtmlUpdate() override { events.push_back("begin"); }
  void appendHtmlLine(const std::string& line) override { events.push_back("line " + line); }
  void endHtmlUpdate() override { events.push_back("end"); }
  void setLinkText(const std::string& text) override {
    events.push_back(std::string("link ") + (m_document.updatingControls ? "(updating) " : "") + text);
  }
  void setFrameText(const std::string& text) override {
    events.push_back(std::string("frame ") + (m_document.updatingControls ? "(updating) " : "") + text);
  }
  std::vector<std::string> events;

 private:
  const AppletDocument& m_document;
};

using test::CurrentFolder;

class HtmlBuilderTest : public ::testing::Test {
 public:
  HtmlBuilderTest() : files(program.folders, shell), editor(document, files, dialogs, documentView) {
    editor.setDefaults();
  }

  // A picture in the pictures folder; returns its full path.
  std::string picture(const std::string& name, const std::string& bytes) { return pictures.write(name, bytes); }
  void addImage(const std::string& name, const std::string& path) {
    document.imageNames.push_back(name);
    document.imagePaths.push_back(path);
  }

  test::ProgramFolderFixture program;
  test::TempDir pictures;
  // A current folder of the test's own, so that the probe's first lookup
  // (the bare name) finds nothing by accident.
  test::TempDir emptyCurrentFolder;
  CurrentFolder inEmptyFolder{emptyCurrentFolder.path()};
  test::RecordingShell shell;
  test::ScriptedDialogs dialogs;
  NullDocumentView documentView;
  AppletDocument document;
  RequiredFiles files;
  AppletEditor editor;
  RecordingHtmlView view{document};
  HtmlBuilder builder{document, dialogs, view};
};

const std::string kGenerator =
    "<PARAM NAME=\"GENERATOR\" VALUE=\"CREATED WITH THE GLIMMERAX HTTP://WWW.TALLOWBROOK.EXAMPLE/\">";

TEST_F(HtmlBuilderTest, DefaultsWithOneImageGiveTheSevenLines) {
  addImage("sun.gif", picture("sun.gif", encodeGif(120, 80)));
  const std::vector<std::string> expected = {
      "<APPLET CODE=\"fade.class\" WIDTH=120 HEIGHT=80>",
      kGenerator,
      "<PARAM NAME=\"GENERAL\" VALUE=\"1|7|000000|33|40|0|1|\">",
      "<PARAM NAME=\"IMAGES\" VALUE=\"sun.gif|\">",
      "<PARAM NAME=\"LINK\" VALUE=\" | | |\">",
      "<PARAM NAME=\"LOAD MESSAGE\" VALUE=\"000000|FFFFFF|Loading...\">",
      "</APPLET>",
  };
  const std::vector<std::string> lines = builder.makeHTML();
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;

  // The box is locked, emptied, given exactly these lines, and released.
  std::vector<std::string> events = {"begin"};
  for (const std::string& line : expected) events.push_back("line " + line);
  events.push_back("end");
  EXPECT_EQ(view.events, events);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_FALSE(document.modified);
  EXPECT_EQ(document.appletWidth, 120);
  EXPECT_EQ(document.appletHeight, 80);
}

// One document change and the lines it must produce (line number -> text).
struct ValueCase {
  const char* name;
  std::function<void(HtmlBuilderTest&)> setUp;
  std::vector<std::pair<int, std::string>> lines;
  std::vector<std::string> messages;
};

class HtmlValueRules : public HtmlBuilderTest {
 public:
  void run(const ValueCase& c) {
    c.setUp(*this);
    const std::vector<std::string> lines = builder.makeHTML();
    ASSERT_EQ(lines.size(), 7u) << c.name;
    EXPECT_EQ(lines[1], kGenerator) << c.name;
    EXPECT_EQ(lines[6], "</APPLET>") << c.name;
    for (const auto& [number, text] : c.lines) EXPECT_EQ(lines[static_cast<size_t>(number - 1)], text) << c.name;
    EXPECT_EQ(dialogs.messages, c.messages) << c.name;
  }
};

std::vector<ValueCase> valueCases() {
  const auto gif = [](HtmlBuilderTest& t, const std::string& name, int w, int h) {
    t.addImage(name, t.picture(name, encodeGif(w, h)));
  };
  return {
      {"no images",
       [](HtmlBuilderTest&) {},
       {{1, "<APPLET CODE=\"fade.class\" WIDTH=150 HEIGHT=150>"},
        {3, "<PARAM NAME=\"GENERAL\" VALUE=\"0|7|000000|33|40|0|1|\">"},
        {4, "<PARAM NAME=\"IMAGES\" VALUE=\" \">"}},
       {}},
      {"three images",
       [gif](HtmlBuilderTest& t) {
         gif(t, "a.gif", 64, 32);
         t.addImage("b.jpg", t.picture("b.jpg", encodeJpeg(10, 10)));
         gif(t, "c.gif", 5, 5);
       },
       {{1, "<APPLET CODE=\"fade.class\" WIDTH=64 HEIGHT=32>"},
        {3, "<PARAM NAME=\"GENERAL\" VALUE=\"3|7|000000|33|40|0|1|\">"},
        {4, "<PARAM NAME=\"IMAGES\" VALUE=\"a.gif|b.jpg|c.gif|\">"}},
       {}},
      {"jpeg first image",
       [](HtmlBuilderTest& t) { t.addImage("photo.JPG", t.picture("photo.JPG", encodeJpeg(33, 21))); },
       {{1, "<APPLET CODE=\"fade.class\" WIDTH=33 HEIGHT=21>"}},
       {}},
      {"empty first name",
       [gif](HtmlBuilderTest& t) {
         t.addImage("", t.pictures / "gone.gif");
         gif(t, "b.gif", 8, 8);
       },
       {{1, "<APPLET CODE=\"fade.class\" WIDTH=150 HEIGHT=150>"},
        {3, "<PARAM NAME=\"GENERAL\" VALUE=\"0|7|000000|33|40|0|1|\">"},
        {4, "<PARAM NAME=\"IMAGES\" VALUE=\" ||b.gif|\">"}},
       {"ERROR: I can not find the image \"\" The applet may not work properly."}},
      {"empty name in the middle",
       [gif](HtmlBuilderTest& t) {
         gif(t, "a.gif", 8, 8);
         t.addImage("", "");
         gif(t, "c.gif", 8, 8);
       },
       {{3, "<PARAM NAME=\"GENERAL\" VALUE=\"3|7|000000|33|40|0|1|\">"},
        {4, "<PARAM NAME=\"IMAGES\" VALUE=\"a.gif| ||c.gif|\">"}},
       {}},
      {"link without frame",
       [](HtmlBuilderTest& t) { t.document.link = "pages/a.html"; },
       {{5, "<PARAM NAME=\"LINK\" VALUE=\"pages/a.html| | |\">"}},
       {}},
      {"link with frame",
       [](HtmlBuilderTest& t) {
         t.document.link = "pages/a.html";
         t.document.targetFrame = "_top";
       },
       {{5, "<PARAM NAME=\"LINK\" VALUE=\"pages/a.html|_top| |\">"}},
       {}},
      {"frame without link",
       [](HtmlBuilderTest& t) { t.document.targetFrame = "_blank"; },
       {{5, "<PARAM NAME=\"LINK\" VALUE=\" |_blank| |\">"}},
       {}},
      {"hand-edited link keeps its bars, its quote as an entity",
       [](HtmlBuilderTest& t) {
         t.document.link = "a|b\"c";
         t.document.targetFrame = "x-y";
       },
       {{5, "<PARAM NAME=\"LINK\" VALUE=\"a|b&quot;c|x-y| |\">"}},
       {}},
      {"empty message",
       [](HtmlBuilderTest& t) { t.document.loadingMessage.clear(); },
       {{6, "<PARAM NAME=\"LOAD MESSAGE\" VALUE=\"000000|FFFFFF| |\">"}},
       {}},
      {"message passes unchanged but for its quotes",
       [](HtmlBuilderTest& t) { t.document.loadingMessage = " Wait - \"please\" "; },
       {{6, "<PARAM NAME=\"LOAD MESSAGE\" VALUE=\"000000|FFFFFF| Wait - &quot;please&quot; \">"}},
       {}},
      {"colours",
       [](HtmlBuilderTest& t) {
         t.document.backgroundColor = 0x00FF8000;
         t.document.loadingBackgroundColor = 0x000000FF;
         t.document.loadingFontColor = 0x00123456;
       },
       {{3, "<PARAM NAME=\"GENERAL\" VALUE=\"0|7|0080FF|33|40|0|1|\">"},
        {6, "<PARAM NAME=\"LOAD MESSAGE\" VALUE=\"FF0000|563412|Loading...\">"}},
       {}},
      {"effect values and a negative variant",
       [](HtmlBuilderTest& t) {
         t.editor.cEffectsChange(17);
         t.document.effectVariant = -3;
         t.document.frameCount = 10000;
       },
       {{1, "<APPLET CODE=\"warp.class\" WIDTH=150 HEIGHT=150>"},
        {3, "<PARAM NAME=\"GENERAL\" VALUE=\"0|7|000000|33|10000|-3|30|\">"}},
       {}},
      {"12000-pixel-wide image",
       [gif](HtmlBuilderTest& t) { gif(t, "wide.gif", 12000, 30); },
       {{1, "<APPLET CODE=\"fade.class\" WIDTH=10000 HEIGHT=30>"}},
       {}},
      {"12000-pixel-high image",
       [](HtmlBuilderTest& t) {
         t.addImage("tall.gif", t.picture("tall.gif", test::encodeGif(7, 12000, {{0, 0, 1, 1}})));
       },
       {{1, "<APPLET CODE=\"fade.class\" WIDTH=7 HEIGHT=10000>"}},
       {}},
      {"missing image",
       [](HtmlBuilderTest& t) { t.addImage("sun.gif", t.pictures / "sun.gif"); },
       {{1, "<APPLET CODE=\"fade.class\" WIDTH=150 HEIGHT=150>"},
        {3, "<PARAM NAME=\"GENERAL\" VALUE=\"1|7|000000|33|40|0|1|\">"},
        {4, "<PARAM NAME=\"IMAGES\" VALUE=\"sun.gif|\">"}},
       {"ERROR: I can not find the image \"sun.gif\" The applet may not work properly."}},
      {"extension not accepted",
       [](HtmlBuilderTest& t) { t.addImage("sun.Gif", t.picture("sun.Gif", encodeGif(120, 80))); },
       {{1, "<APPLET CODE=\"fade.class\" WIDTH=150 HEIGHT=150>"}},
       {"ERROR: I can not find the image \"sun.Gif\" The applet may not work properly."}},
      {"jpeg saved as .jpeg",
       [](HtmlBuilderTest& t) { t.addImage("photo.jpeg", t.picture("photo.jpeg", encodeJpeg(20, 20))); },
       {{1, "<APPLET CODE=\"fade.class\" WIDTH=150 HEIGHT=150>"}},
       {"ERROR: I can not find the image \"photo.jpeg\" The applet may not work properly."}},
      // The values keep every quote inside them: '"', '<' and '>' become
      // entities wherever they come from, every other byte stays.
      {"a link that would end the attribute",
       [](HtmlBuilderTest& t) { t.document.link = "http://a\"><script>alert(1)</script>"; },
       {{5, "<PARAM NAME=\"LINK\" VALUE=\"http://a&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;| | |\">"}}, {}},
      {"a frame and a link from a hand-edited file",
       [](HtmlBuilderTest& t) {
         t.document.link = "a.html?q=\"x\"&y='z'";
         t.document.targetFrame = "<top>";
       },
       {{5, "<PARAM NAME=\"LINK\" VALUE=\"a.html?q=&quot;x&quot;&y='z'|&lt;top&gt;| |\">"}}, {}},
      {"a loading message with quotes",
       [](HtmlBuilderTest& t) { t.document.loadingMessage = "Say \"hi\" <b>now</b> & wait"; },
       {{6, "<PARAM NAME=\"LOAD MESSAGE\" VALUE=\"000000|FFFFFF|Say &quot;hi&quot; &lt;b&gt;now&lt;/b&gt; & wait\">"}}, {}},
      {"image names with quotes",
       [gif](HtmlBuilderTest& t) {
         gif(t, "a\".gif", 10, 20);
         gif(t, "<b>.gif", 30, 40);
       },
       {{1, "<APPLET CODE=\"fade.class\" WIDTH=10 HEIGHT=20>"},
        {4, "<PARAM NAME=\"IMAGES\" VALUE=\"a&quot;.gif|&lt;b&gt;.gif|\">"}}, {}},
      {"bytes other than those three stay as they are",
       [](HtmlBuilderTest& t) {
         t.document.link = "caf\xE9 &amp; ' \x01\t";
         t.document.loadingMessage = "&quot;";
       },
       {{5, "<PARAM NAME=\"LINK\" VALUE=\"caf\xE9 &amp; ' \x01\t| | |\">"},
        {6, "<PARAM NAME=\"LOAD MESSAGE\" VALUE=\"000000|FFFFFF|&quot;\">"}}, {}},
      // A message quotes a long value by its first 80 characters.
      {"a first image of a very long name that is not found",
       [](HtmlBuilderTest& t) { t.addImage(std::string(100, 'n') + ".gif", ""); },
       {{1, "<APPLET CODE=\"fade.class\" WIDTH=150 HEIGHT=150>"}},
       {"ERROR: I can not find the image \"" + std::string(80, 'n') +
        "...\" (104 characters) The applet may not work properly."}},
  };
}

TEST(HtmlAttributeText, QuotesAndAngleBracketsBecomeEntities) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"plain | text", "plain | text"},
      {"\"", "&quot;"},
      {"<", "&lt;"},
      {">", "&gt;"},
      {"\"\"", "&quot;&quot;"},
      {"a\"><script>", "a&quot;&gt;&lt;script&gt;"},
      {"&amp; & &#34;", "&amp; & &#34;"},
      {"'single'", "'single'"},
      {std::string("\0\xFF\r\n", 4), std::string("\0\xFF\r\n", 4)},
  };
  for (const auto& [value, written] : cases) EXPECT_EQ(HtmlBuilder::attributeText(value), written) << value;
}

TEST_F(HtmlValueRules, Table) {
  for (const ValueCase& c : valueCases()) {
    // A fresh document and dialogs per case (the variant survives a reset).
    document = AppletDocument{};
    editor.setDefaults();
    dialogs.messages.clear();
    run(c);
  }
}

TEST(HtmlHexColor, RedGreenBlueInUpperCase) {
  const std::pair<Color, const char*> cases[] = {
      {0x00000000, "000000"}, {0x00FFFFFF, "FFFFFF"}, {0x000000FF, "FF0000"}, {0x0000FF00, "00FF00"},
      {0x00FF0000, "0000FF"}, {0x00FF8000, "0080FF"}, {0x00ABCDEF, "EFCDAB"}, {0xFF102030, "302010"},
  };
  for (const auto& [color, text] : cases) EXPECT_EQ(HtmlBuilder::getHexColor(color), text) << std::hex << color;
}

TEST_F(HtmlBuilderTest, NotFoundMessageComesOnEveryBuild) {
  addImage("sun.gif", pictures / "sun.gif");
  builder.makeHTML();
  builder.makeHTML();
  EXPECT_EQ(dialogs.messages.size(), 2u);
  // Once the picture is there, the next build finds it.
  picture("sun.gif", encodeGif(40, 20));
  EXPECT_EQ(builder.makeHTML()[0], "<APPLET CODE=\"fade.class\" WIDTH=40 HEIGHT=20>");
  EXPECT_EQ(dialogs.messages.size(), 2u);
}

TEST_F(HtmlBuilderTest, UnchangedFirstImageIsDecodedOnceAcrossBuilds) {
  test::CountingDecoders decoders;
  HtmlBuilder remembering(document, dialogs, view, ImageProbe(decoders, test::anHourLater()));
  addImage("sun.gif", picture("sun.gif", encodeGif(120, 80)));
  const std::vector<std::string> first = remembering.makeHTML();
  EXPECT_EQ(first[0], "<APPLET CODE=\"fade.class\" WIDTH=120 HEIGHT=80>");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(remembering.makeHTML(), first);
  EXPECT_EQ(decoders.decodes, 1);

  // A new first image is measured afresh.
  document.imageNames.insert(document.imageNames.begin(), "moon.jpg");
  document.imagePaths.insert(document.imagePaths.begin(), picture("moon.jpg", encodeJpeg(30, 20)));
  EXPECT_EQ(remembering.makeHTML()[0], "<APPLET CODE=\"fade.class\" WIDTH=30 HEIGHT=20>");
  EXPECT_EQ(decoders.decodes, 2);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(HtmlBuilderTest, SameNamedFileInCurrentFolderWinsOverThePath) {
  addImage("sun.gif", picture("sun.gif", encodeGif(120, 80)));
  emptyCurrentFolder.write("sun.gif", encodeGif(9, 9));
  EXPECT_EQ(builder.makeHTML()[0], "<APPLET CODE=\"fade.class\" WIDTH=9 HEIGHT=9>");
}

TEST_F(HtmlBuilderTest, UndecodableImageEndsTheBuildWithTheBoxEmpty) {
  struct Case {
    const char* name;
    std::string bytes;
    const char* message;
  };
  const std::string jpeg = encodeJpeg(40, 40);
  const Case cases[] = {
      {"text.jpg", "not a picture", "Not a JPEG file: starts with 0x6e 0x6f"},
      {"cut.jpg", jpeg.substr(0, jpeg.size() / 2), "Premature end of JPEG file"},
      {"empty.gif", "", "Failed to read from given file"},
      {"png.gif", "\x89PNG\r\n\x1a\n", "Data is not in GIF format"},
  };
  for (const Case& c : cases) {
    document.imageNames = {c.name};
    document.imagePaths = {picture(c.name, c.bytes)};
    document.probeImage = ImageSize{1, 1};
    document.modified = false;
    view.events.clear();
    EXPECT_EQ(test::raisedText<EInvalidGraphic>([&] { builder.makeHTML(); }), c.message) << c.name;
    EXPECT_EQ(view.events, (std::vector<std::string>{"begin", "end"})) << c.name;
    EXPECT_FALSE(document.probeImage) << c.name;
    EXPECT_FALSE(document.modified) << c.name;
    EXPECT_TRUE(dialogs.messages.empty()) << c.name;
  }
  // The next build tries again.
  document.imagePaths = {picture("cut.jpg", jpeg)};
  document.imageNames = {"cut.jpg"};
  EXPECT_EQ(builder.makeHTML()[0], "<APPLET CODE=\"fade.class\" WIDTH=40 HEIGHT=40>");
}

TEST_F(HtmlBuilderTest, CleaningDropsBadCharactersWithOneMessageEach) {
  const std::string linkMessage = "You cannot use the | or \" character.";
  const std::string frameMessage = "You cannot use the | \" or - character.";
  struct Case {
    bool frame;
    std::string text, cleaned;
    size_t messages;
  };
  const Case cases[] = {
      {false, "pages/a.html", "pages/a.html", 0},
      {false, "a\"b", "ab", 1},
      {false, "a|b\"c", "abc", 2},
      {false, "\"\"||", "", 4},
      {false, "my-page.html?x=1 y", "my-page.html?x=1 y", 0},
      {false, "", "", 0},
      {true, "_top", "_top", 0},
      {true, "my-frame", "myframe", 1},
      {true, "a|\"-b", "ab", 3},
      {true, " spaced  name ", " spaced  name ", 0},
  };
  for (const Case& c : cases) {
    dialogs.messages.clear();
    const std::string cleaned = c.frame ? builder.reBadFrame(c.text) : builder.reBad(c.text);
    EXPECT_EQ(cleaned, c.cleaned) << c.text;
    EXPECT_EQ(dialogs.messages, std::vector<std::string>(c.messages, c.frame ? frameMessage : linkMessage))
        << c.text;
  }
}

TEST_F(HtmlBuilderTest, LinkChangeWritesCleanedTextBackAndSetsModified) {
  builder.eLinkChange("a\"b");
  EXPECT_EQ(document.link, "ab");
  EXPECT_EQ(view.events, std::vector<std::string>{"link (updating) ab"});
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"You cannot use the | or \" character."});
  EXPECT_TRUE(document.modified);
  EXPECT_FALSE(document.updatingControls);

  // A clean text is stored without a write-back, and still sets modified.
  document.modified = false;
  view.events.clear();
  builder.eLinkChange("pages/a.html");
  EXPECT_EQ(document.link, "pages/a.html");
  EXPECT_TRUE(view.events.empty());
  EXPECT_TRUE(document.modified);
}

// A line break pasted into the link or the frame goes silently: it is not
// one of the characters the user is warned about. The cleaned text is
// written back into the field.
TEST_F(HtmlBuilderTest, LineBreaksLeaveTheLinkAndTheFrameSilently) {
  struct Case {
    bool frame;
    std::string text, stored;
    size_t messages;
  };
  const Case cases[] = {
      {false, "http://a.example/\r\n", "http://a.example/", 0},
      {false, "a\nb\rc", "abc", 0},
      {false, "\"x\"\n", "x", 2},
      {true, "_top\n", "_top", 0},
      {true, "\r\nmy-frame", "myframe", 1},
  };
  for (const auto& c : cases) {
    dialogs.messages.clear();
    view.events.clear();
    if (c.frame) {
      builder.eFrameChange(c.text);
    } else {
      builder.eLinkChange(c.text);
    }
    EXPECT_EQ(c.frame ? document.targetFrame : document.link, c.stored) << c.text;
    EXPECT_EQ(view.events, std::vector<std::string>{(c.frame ? "frame (updating) " : "link (updating) ") + c.stored})
        << c.text;
    EXPECT_EQ(dialogs.messages.size(), c.messages) << c.text;
  }
}

// Fields that hold a line break (a hand-edited project with a lone CR) still
// give one LINK and one LOAD MESSAGE line.
TEST_F(HtmlBuilderTest, LinkAndLoadLinesStayOneLine) {
  document.link = "a\rb";
  document.targetFrame = "_top\r";
  document.loadingMessage = "Wait\r";
  EXPECT_EQ(builder.getLinkTag(), "<PARAM NAME=\"LINK\" VALUE=\"ab|_top| |\">");
  EXPECT_EQ(builder.getLoadTag(), "<PARAM NAME=\"LOAD MESSAGE\" VALUE=\"000000|FFFFFF|Wait\">");
  document.loadingMessage = "\r\n";
  EXPECT_EQ(builder.getLoadTag(), "<PARAM NAME=\"LOAD MESSAGE\" VALUE=\"000000|FFFFFF| |\">");
}

TEST_F(HtmlBuilderTest, FrameChangeRefusesTheDash) {
  builder.eFrameChange("my-frame");
  EXPECT_EQ(document.targetFrame, "myframe");
  EXPECT_EQ(view.events, std::vector<std::string>{"frame (updating) myframe"});
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"You cannot use the | \" or - character."});
  EXPECT_TRUE(document.modified);
  EXPECT_FALSE(document.updatingControls);
}

// With a hint set, the cleaning says what it dropped there, naming the
// field, and never in a message box.
TEST_F(HtmlBuilderTest, CleaningTellsTheHintInsteadOfABox) {
  std::vector<std::pair<CleanedField, std::string>> hints;
  builder.setCleaningHint([&hints](CleanedField field, const std::string& text) { hints.emplace_back(field, text); });
  builder.eLinkChange("a\"b|c");
  builder.eFrameChange("my-frame");
  EXPECT_EQ(document.link, "abc");
  EXPECT_EQ(document.targetFrame, "myframe");
  const std::vector<std::pair<CleanedField, std::string>> expected = {
      {CleanedField::Link, "You cannot use the | or \" character."},
      {CleanedField::Link, "You cannot use the | or \" character."},
      {CleanedField::Frame, "You cannot use the | \" or - character."},
  };
  EXPECT_EQ(hints, expected);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(HtmlBuilderTest, ChangesWhileTheSystemFillsControlsAreIgnored) {
  document.updatingControls = true;
  document.modified = false;
  builder.eLinkChange("a|b");
  builder.eFrameChange("x-y");
  EXPECT_EQ(document.link, "");
  EXPECT_EQ(document.targetFrame, "");
  EXPECT_TRUE(view.events.empty());
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_FALSE(document.modified);
}

TEST_F(HtmlBuilderTest, WorksWithoutAWindow) {
  addImage("sun.gif", picture("sun.gif", encodeGif(120, 80)));
  NullHtmlView none;
  HtmlBuilder printer(document, dialogs, none);
  EXPECT_EQ(printer.makeHTML().front(), "<APPLET CODE=\"fade.class\" WIDTH=120 HEIGHT=80>");
}

// The lines for today's browsers, by setting and alternative HTML: the
// seven lines stay as they are, the alternative HTML goes before the end
// tag, the player's script line after it.
TEST_F(HtmlBuilderTest, PlayerLinesFollowTheSetting) {
  addImage("sun.gif", picture("sun.gif", encodeGif(120, 80)));
  const std::vector<std::string> seven = builder.makeHTML();
  ASSERT_EQ(seven.size(), 7u);
  const std::vector<std::string> params(seven.begin(), seven.end() - 1);
  auto joined = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const std::string script = "<SCRIPT SRC=\"glimmerax-player.js\"></SCRIPT>";
  struct Case {
    const char* name;
    bool on;
    std::string alternativeHtml;
    std::vector<std::string> tail;  // after the six lines up to the last PARAM
  };
  const Case cases[] = {
      {"off, no alternative", false, "", {"</APPLET>"}},
      {"off, alternative not written", false, "<B>No Java</B>", {"</APPLET>"}},
      {"on, no alternative", true, "", {"</APPLET>", script}},
      {"on, one line", true, "<B>No Java</B>", {"<B>No Java</B>", "</APPLET>", script}},
      {"on, CR LF, LF and CR breaks", true, "one\r\ntwo\nthree\rfour", {"one", "two", "three", "four", "</APPLET>", script}},
      {"on, final break ends the last line", true, "one\n", {"one", "</APPLET>", script}},
      {"on, empty line inside kept", true, "one\n\nthree", {"one", "", "three", "</APPLET>", script}},
      {"on, bars and quotes as they are", true, "a|\"b\"", {"a|\"b\"", "</APPLET>", script}},
  };
  for (const Case& c : cases) {
    document.alternativeHtml = c.alternativeHtml;
    const bool on = c.on;
    builder.setPlayerSource([on] { return on; });
    view.events.clear();
    const std::vector<std::string> lines = builder.makeHTML();
    EXPECT_EQ(lines, joined(params, c.tail)) << c.name;
    // The box gets the same lines.
    std::vector<std::string> events = {"begin"};
    for (const std::string& line : lines) events.push_back("line " + line);
    events.push_back("end");
    EXPECT_EQ(view.events, events) << c.name;
  }
  EXPECT_FALSE(document.modified);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(HtmlBuilderTest, PlayerScriptNamesTheShippedPlayer) {
  EXPECT_EQ(std::string(kPlayerScriptLine), std::string("<SCRIPT SRC=\"") + kPlayerFile + "\"></SCRIPT>");
}

TEST_F(HtmlBuilderTest, UndecodableImageGivesNoPlayerLineEither) {
  addImage("broken.gif", picture("broken.gif", "GIF89a and nothing more"));
  builder.setPlayerSource([] { return true; });
  EXPECT_THROW(builder.makeHTML(), Error);
  EXPECT_EQ(view.events, (std::vector<std::string>{"begin", "end"}));
}

// A field that refuses the cleaned text: the flag set for the write is
// clear afterwards, so that the next edit is taken.
TEST_F(HtmlBuilderTest, FieldWriteThatFailsLeavesUpdatingControlsClear) {
  struct FailingView : HtmlView {
    explicit FailingView(const AppletDocument& d) : doc(d) {}
    void beginHtmlUpdate() override {}
    void appendHtmlLine(const std::string&) override {}
    void endHtmlUpdate() override {}
    void setLinkText(const std::string&) override { fail(); }
    void setFrameText(const std::string&) override { fail(); }
    void fail() {
      updatingSeen.push_back(doc.updatingControls);
      throw std::runtime_error("the field refused");
    }
    const AppletDocument& doc;
    std::vector<bool> updatingSeen;
  };
  FailingView failing{document};
  HtmlBuilder failingBuilder{document, dialogs, failing};
  // A line break is dropped, so the field is written back.
  EXPECT_THROW(failingBuilder.eLinkChange("a.html\n"), std::runtime_error);
  EXPECT_FALSE(document.updatingControls);
  EXPECT_THROW(failingBuilder.eFrameChange("_top\n"), std::runtime_error);
  EXPECT_FALSE(document.updatingControls);
  EXPECT_EQ(failing.updatingSeen, (std::vector<bool>{true, true}));
  EXPECT_EQ(document.link, "a.html");
  EXPECT_EQ(document.targetFrame, "_top");
  document.modified = false;
  failingBuilder.eLinkChange("b.html");
  EXPECT_EQ(document.link, "b.html");
  EXPECT_TRUE(document.modified);
}

}  // namespace
}  // namespace glx
