#include "document/image_order.h"

#include <gtest/gtest.h>

namespace glx {
namespace {

std::vector<std::string> fiveNames() { return {"1", "2", "3", "4", "5"}; }
std::vector<std::string> fivePaths() { return {"/p/1", "/p/2", "/p/3", "/p/4", "/p/5"}; }

// Drops given as 0-based source and target indexes; the expected order in
// 1-based image numbers.
TEST(MoveImage, TableOfDrops) {
  struct Case {
    const char* name;
    int from;
    int to;
    bool changed;
    std::vector<std::string> order;
  };
  const Case cases[] = {
      {"fifth on second", 4, 1, true, {"1", "5", "2", "3", "4"}},
      {"first on fourth", 0, 3, true, {"2", "3", "4", "1", "5"}},
      {"on itself", 2, 2, false, {"1", "2", "3", "4", "5"}},
      {"second on first", 1, 0, true, {"2", "1", "3", "4", "5"}},
      {"first on last", 0, 4, true, {"2", "3", "4", "5", "1"}},
      {"last on first", 4, 0, true, {"5", "1", "2", "3", "4"}},
      {"target past the end", 1, 5, false, {"1", "2", "3", "4", "5"}},
      {"negative target (empty space)", 1, -1, false, {"1", "2", "3", "4", "5"}},
      {"no source", -1, 2, false, {"1", "2", "3", "4", "5"}},
  };
  for (const Case& c : cases) {
    auto names = fiveNames();
    auto paths = fivePaths();
    EXPECT_EQ(moveImage(names, paths, c.from, c.to), c.changed) << c.name;
    EXPECT_EQ(names, c.order) << c.name;
    // Both lists keep the same order.
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(paths[i], "/p/" + names[i]) << c.name << " entry " << i;
  }
}

TEST(MoveImage, ListsOfDifferentLengthAreLeftAlone) {
  std::vector<std::string> names{"a", "b", "c"};
  std::vector<std::string> paths{"/a", "/b"};
  EXPECT_FALSE(moveImage(names, paths, 0, 1));
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(paths, (std::vector<std::string>{"/a", "/b"}));
}

}  // namespace
}  // namespace glx
