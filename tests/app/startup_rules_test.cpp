#include "app/startup_rules.h"

#include <gtest/gtest.h>

namespace glx {
namespace {

TEST(ProjectPathFromArguments, JoinsWithSingleBlanks) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string path;
  };
  const Case cases[] = {
      {"no arguments", {}, ""},
      {"one argument", {"/home/a/sky.glx"}, "/home/a/sky.glx"},
      {"path split at a blank", {"/home/a/My", "Applet.glx"}, "/home/a/My Applet.glx"},
      {"three pieces", {"/x/a", "b", "c.glx"}, "/x/a b c.glx"},
      {"first argument empty", {"", "b.glx"}, ""},
      {"empty piece in the middle", {"/x/a", "", "c.glx"}, "/x/a  c.glx"},
  };
  for (const Case& c : cases) EXPECT_EQ(projectPathFromArguments(c.arguments), c.path) << c.name;
}

// A later start's project reaches the running window as an absolute path,
// whatever folder the later start was made in.
TEST(HandOverPath, MakesTheProjectAbsoluteAgainstTheLaterStartsFolder) {
  struct Case {
    std::vector<std::string> arguments;
    std::string folder;
    std::string path;
  };
  const Case cases[] = {
      {{}, "/home/ann", ""},
      {{"sky.glx"}, "/home/ann", "/home/ann/sky.glx"},
      {{"My", "Applet.glx"}, "/home/ann/", "/home/ann/My Applet.glx"},
      {{"../x/sky.glx"}, "/home/ann", "/home/ann/../x/sky.glx"},
      {{"/srv/sky.glx"}, "/home/ann", "/srv/sky.glx"},
      {{"sky.glx"}, "", "sky.glx"},
  };
  for (const Case& c : cases) EXPECT_EQ(handOverPath(c.arguments, c.folder), c.path) << c.path;
}

// One unit per pixel beyond the box's edges, counted from the value the
// box had when the button went down; within the box nothing changes.
TEST(SpinDrag, ValueFollowsThePointerBeyondTheEdges) {
  struct Case {
    const char* name;
    int start;
    int y;
    bool changes;
    int value;
    int edge;
  };
  const int h = 22;
  const Case cases[] = {
      {"inside", 40, 10, false, 0, 0},
      {"on the top edge", 40, 0, false, 0, 0},
      {"on the bottom edge", 40, h, false, 0, 0},
      {"15 above", 40, -15, true, 55, 0},
      {"15 below", 40, h + 15, true, 25, h},
      {"50 below (the box limits it)", 40, h + 50, true, -10, h},
      {"20 above", 40, -20, true, 60, 0},
  };
  for (const Case& c : cases) {
    SpinDrag drag;
    drag.dragStartValue = c.start;
    int value = 0;
    EXPECT_EQ(drag.move(c.y, h, value), c.changes) << c.name;
    if (c.changes) {
      EXPECT_EQ(value, c.value) << c.name;
      EXPECT_EQ(drag.dragEdgeOffset, c.edge) << c.name;
    }
  }
}

}  // namespace
}  // namespace glx
