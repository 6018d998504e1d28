// The Samples page shipped beside the program: every effect of the
// catalogue, each block exactly the HTML the program writes for a fresh
// document with that effect and the shipped sample pictures, played by the
// player script beside the page.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "document/applet_editor.h"
#include "document/effects.h"
#include "document/html_builder.h"
#include "platform/file_ops.h"
#include "tests/support/current_folder.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

const std::string kData = GLX_DATA_FOLDER;

// The page's APPLET blocks, each from its "<APPLET" line to "</APPLET>".
std::vector<std::vector<std::string>> appletBlocks(const std::string& page) {
  std::vector<std::vector<std::string>> blocks;
  std::istringstream lines(page);
  std::string line;
  bool inside = false;
  while (std::getline(lines, line)) {
    if (line.rfind("<APPLET ", 0) == 0) {
      blocks.emplace_back();
      inside = true;
    }
    if (inside) blocks.back().push_back(line);
    if (line == "</APPLET>") inside = false;
  }
  return blocks;
}

// The names of an IMAGES line's value.
std::vector<std::string> imageNames(const std::string& imagesLine) {
  const std::string start = "<PARAM NAME=\"IMAGES\" VALUE=\"";
  std::vector<std::string> names;
  if (imagesLine.rfind(start, 0) != 0) return names;
  std::string value = imagesLine.substr(start.size());
  value = value.substr(0, value.find('"'));
  std::string name;
  for (const char c : value) {
    if (c == '|') {
      names.push_back(name);
      name.clear();
    } else {
      name += c;
    }
  }
  return names;
}

TEST(SamplesPage, EveryEffectPlaysAsTheProgramWritesIt) {
  const std::string page = readFileBytes(kData + "Samples.html");
  const std::vector<std::vector<std::string>> blocks = appletBlocks(page);
  ASSERT_EQ(blocks.size(), static_cast<size_t>(kEffectCount));
  // Run where no picture of the same name lies, so the probe reads the
  // shipped ones.
  test::TempDir empty;
  test::CurrentFolder inEmpty(empty.path());
  std::map<std::string, int> pictureUse;
  for (int index = 0; index < kEffectCount; ++index) {
    const std::vector<std::string>& block = blocks[static_cast<size_t>(index)];
    const char* name = kEffects[static_cast<size_t>(index)].displayName;
    ASSERT_GE(block.size(), 4u) << name;
    AppletDocument document;
    applyEffectRow(document, index);
    for (const std::string& picture : imageNames(block[3])) {
      document.imageNames.push_back(picture);
      document.imagePaths.push_back(kData + picture);
      ++pictureUse[picture];
    }
    ASSERT_FALSE(document.imageNames.empty()) << name;
    EXPECT_FALSE(showsFirstImageOnly(document)) << name << " would play its first picture only";
    test::ScriptedDialogs dialogs;
    NullHtmlView view;
    HtmlBuilder builder(document, dialogs, view);
    EXPECT_EQ(builder.makeHTML(), block) << name;
    EXPECT_TRUE(dialogs.messages.empty()) << name << ": a sample picture cannot be read";
    // The caption names the effect above its block.
    EXPECT_NE(page.find(std::string("<figcaption>") + name + "</figcaption>"), std::string::npos) << name;
  }
  // Each shipped picture plays somewhere; the player comes once, after all.
  for (const char* picture : {"sample-sunset.jpg", "sample-sea.jpg", "sample-flower.gif"})
    EXPECT_GT(pictureUse[picture], 0) << picture;
  const std::string script = kPlayerScriptLine;
  ASSERT_NE(page.find(script), std::string::npos);
  EXPECT_EQ(page.find(script), page.rfind(script));
  EXPECT_GT(page.find(script), page.rfind("</APPLET>"));
}

// The help page keeps the anchors the help buttons scroll to and tells of
// what the program does today.
TEST(HelpPage, KeepsItsAnchorsAndDescribesTheProgram) {
  const std::string page = readFileBytes(kData + "Glimmerax Help.html");
  for (const int context : {32, 33, 55, 56, 57, 58}) {
    const std::string anchor = "name=\"context-" + std::to_string(context) + "\"";
    EXPECT_NE(page.find(anchor), std::string::npos) << anchor;
  }
  for (const char* topic : {"Preview", "Export Animation", "Play in today's browsers", "--publish", ".glx",
                            "Ctrl+Z", "Ctrl+Shift+Z", "Open Required Files Folder", "drag pictures"})
    EXPECT_NE(page.find(topic), std::string::npos) << topic;
}

}  // namespace
}  // namespace glx
