#include "platform/ascii.h"

#include <gtest/gtest.h>

#include <string>

namespace glx {
namespace {

const std::string kUpperLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
const std::string kLowerLetters = "abcdefghijklmnopqrstuvwxyz";

// Every byte: the 26 letters change case, nothing else changes.
TEST(Ascii, OnlyTheTwentySixLettersChange) {
  for (int i = 0; i < 256; ++i) {
    const char c = static_cast<char>(i);
    const size_t upperAt = kUpperLetters.find(c);
    const size_t lowerAt = kLowerLetters.find(c);
    const char lower = upperAt != std::string::npos ? kLowerLetters[upperAt] : c;
    const char upper = lowerAt != std::string::npos ? kUpperLetters[lowerAt] : c;
    EXPECT_EQ(asciiLower(c), lower) << "byte " << i;
    EXPECT_EQ(asciiUpper(c), upper) << "byte " << i;
    const auto u = static_cast<unsigned char>(i);
    EXPECT_EQ(asciiLower(u), static_cast<unsigned char>(lower)) << "byte " << i;
    EXPECT_EQ(asciiUpper(u), static_cast<unsigned char>(upper)) << "byte " << i;
  }
}

TEST(Ascii, WideCodeUnitsOutsideAsciiStay) {
  EXPECT_EQ(asciiLower(u'Q'), u'q');
  EXPECT_EQ(asciiUpper(u'q'), u'Q');
  for (const char16_t c : {u'\u00C4', u'\u0130', u'\u0131', u'\u00E4', u'\uFF21'}) {
    EXPECT_EQ(asciiLower(c), c) << static_cast<int>(c);
    EXPECT_EQ(asciiUpper(c), c) << static_cast<int>(c);
  }
}

TEST(Ascii, WholeTexts) {
  // UTF-8 bytes of dotted capital I and dotless small i stay as they are.
  const std::string mixed = "Mixed Case 123 \xC4\xB0\xC4\xB1 _-";
  EXPECT_EQ(asciiLowered(mixed), "mixed case 123 \xC4\xB0\xC4\xB1 _-");
  EXPECT_EQ(asciiUppered(mixed), "MIXED CASE 123 \xC4\xB0\xC4\xB1 _-");
  EXPECT_EQ(asciiLowered(std::string("a\0B", 3)), std::string("a\0b", 3));
}

TEST(Ascii, EqualNoCase) {
  struct Case {
    const char* a;
    const char* b;
    bool equal;
  };
  const Case cases[] = {
      {"", "", true},
      {"Content-Length", "CONTENT-LENGTH", true},
      {"location", "LOCATION", true},
      {"Set-Cookie", "set-cookie", true},
      {"abc", "abd", false},
      {"abc", "abcd", false},
      {"@", "`", false},  // one apart from the letters on either side
      {"[", "{", false},
      {"\xC4\xB0", "\xC4\xB1", false},
      {"\xE4", "\xC4", false},  // Latin-1 umlauts are no ASCII letters
  };
  for (const Case& c : cases) {
    EXPECT_EQ(asciiEqualNoCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    EXPECT_EQ(asciiEqualNoCase(c.b, c.a), c.equal) << c.b << " / " << c.a;
  }
}

}  // namespace
}  // namespace glx
