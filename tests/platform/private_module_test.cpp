#include "platform/private_module.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/errors.h"
#include "tests/support/raised_text.h"

namespace glx {
namespace {

using test::raisedText;

constexpr char kMissing[] = "The test module could not be loaded: ";

TEST(PrivateModule, LoadsTheBuiltModuleAndResolvesItsEntry) {
  const PrivateModule module{"no-such-name-beside-the-tests.so", GLX_TEST_MODULE_BUILT, "glimmeraxTestModuleAnswer"};
  using Entry = int (*)();
  const auto entry = reinterpret_cast<Entry>(loadPrivateModule(module, kMissing));
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry(), 42);
}

TEST(PrivateModule, SaysWhyWhenNoCandidateLoads) {
  struct Case {
    const char* name;
    PrivateModule module;
    const char* reasonHas;  // part of the loader's reason
  } cases[] = {
      {"no such file", {"libglimmerax-nothing.so", "/nonexistent/libglimmerax-nothing.so", "entry"},
       "libglimmerax-nothing.so"},
      {"no such entry", {"no-such-name.so", GLX_TEST_MODULE_BUILT, "glimmeraxNoSuchEntry"}, "glimmeraxNoSuchEntry"},
  };
  for (const Case& c : cases) {
    const std::string text = raisedText<Error>([&] { loadPrivateModule(c.module, kMissing); });
    EXPECT_EQ(text.rfind(kMissing, 0), 0u) << c.name << ": " << text;
    EXPECT_GT(text.size(), sizeof kMissing - 1) << c.name;
    EXPECT_NE(text.find(c.reasonHas), std::string::npos) << c.name << ": " << text;
  }
}

}  // namespace
}  // namespace glx
