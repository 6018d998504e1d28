#include "settings/setting.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QLocale>
#include <QVariantList>
#include <cmath>
#include <functional>

namespace glx {
namespace {

std::string show(const StringList& list) {
  std::string out = "{";
  for (const auto& item : list) out += "[" + item + "]";
  return out + "}";
}

TEST(CommaText, ListsAndTextsBothWays) {
  struct Case {
    StringList list;
    std::string text;
  };
  const std::vector<Case> cases = {
      {{}, ""},
      {{""}, "\"\""},
      {{"a"}, "a"},
      {{"a b", "c"}, "\"a b\",c"},
      {{"say \"hi\""}, "\"say \"\"hi\"\"\""},
      {{"a,b", "x"}, "\"a,b\",x"},
      {{"tab\there"}, "\"tab\there\""},
      {{"x", "", "y"}, "x,,y"},
      {{"/home/z\xc3\xa9lie/Caf\xc3\xa9.glx", "/tmp/Sky.glx"},
       "/home/z\xc3\xa9lie/Caf\xc3\xa9.glx,/tmp/Sky.glx"},
      {{"na\xefve", "\xff"}, "na\xefve,\xff"},
      {{"/My Projects/Sky.glx"}, "\"/My Projects/Sky.glx\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(commaText(c.list), c.text) << show(c.list);
    EXPECT_EQ(parseCommaText(c.text), c.list) << c.text;
  }
}

TEST(CommaText, ReadingSkipsBlanksAndCommasAsTheRulesSay) {
  struct Case {
    std::string text;
    StringList list;
  };
  const std::vector<Case> cases = {
      {"  a ,  b", {"a", "b"}},
      {"a,", {"a"}},
      {"a,,b", {"a", "", "b"}},
      {",a", {"", "a"}},
      {"a b", {"a", "b"}},
      {"a\x01z", {"a", "z"}},
      {"\"a\"\"b\"", {"a\"b"}},
      {" \"q r\" x", {"q r", "x"}},
      {"\"unterminated", {"unterminated"}},
      {"\t\r\n", {}},
      {std::string("a\0b", 3), {"a"}},
  };
  for (const auto& c : cases) EXPECT_EQ(parseCommaText(c.text), c.list) << c.text;
}

// What each getter gives for one value, or the exception text it raises.
struct Row {
  const char* label;
  SettingValue value;
  std::string asString, asInteger, asFloat, asBoolean;
};

std::string outcome(const std::function<std::string()>& get) {
  try {
    return get();
  } catch (const ESettingException& error) {
    return std::string("!") + error.what();
  }
}

TEST(Setting, GetterConversions) {
  const std::string dateOnly =
      QLocale::system().toString(QDate(1900, 1, 1), QLocale::ShortFormat).toStdString();
  SettingValue hidden;
  hidden.kind = SettingKind::Hidden;
  SettingValue collection;
  collection.kind = SettingKind::Collection;
  const std::string errorA = "!Cannot use GetAs functions with collections or hidden properties";
  const std::vector<Row> rows = {
      {"empty", SettingValue(), "", "0", "0", "0"},
      {"text number", SettingValue::ofString("12.75"), "12.75", "12", "12.75", "0"},
      {"negative text", SettingValue::ofString(" -3.9 "), " -3.9 ", "-3", "-3.9", "0"},
      {"text not a number", SettingValue::ofString("abc"), "abc", "0", "0", "0"},
      {"text True", SettingValue::ofString("True"), "True", "0", "0", "1"},
      {"text true", SettingValue::ofString("true"), "true", "0", "0", "0"},
      {"variant text", SettingValue::ofVariantText("7"), "7", "7", "7", "0"},
      {"integer", SettingValue::ofInteger(-42), "-42", "-42", "-42", "1"},
      {"integer zero", SettingValue::ofInteger(0), "0", "0", "0", "0"},
      {"float", SettingValue::ofFloat(2.5L), "2.5", "2", "2.5", "1"},
      {"float negative", SettingValue::ofFloat(-2.5L), "-2.5", "-2", "-2.5", "1"},
      {"float third", SettingValue::ofFloat(1.0L / 3), "0.333333333333333", "0", "0.333333", "1"},
      {"float big", SettingValue::ofFloat(1e20L), "1E20", "2147483647", "1e+20", "1"},
      {"float small", SettingValue::ofFloat(1e-5L), "1E-5", "0", "1e-05", "1"},
      {"boolean true", SettingValue::ofBoolean(true), "True", "1", "1", "1"},
      {"boolean false", SettingValue::ofBoolean(false), "False", "0", "0", "0"},
      {"date-time", SettingValue::ofDateTime(2.0L), dateOnly,
       "!TSetting.AsInteger cannot convert from TDateTime type", "2",
       "!TSetting.AsBoolean cannot convert from TDateTime type"},
      {"string list", SettingValue::ofStrings({"a b", "c"}), "\"a b\",c",
       "!TSetting.AsInteger cannot convert from TStrings type",
       "!TSetting.AsFloat cannot convert from TStrings type",
       "!TSetting.AsBoolean cannot convert from TStrings type"},
      {"hidden", hidden, errorA, errorA, errorA, errorA},
      {"collection", collection, errorA, errorA, errorA, errorA},
  };
  for (const auto& row : rows) {
    TSetting setting("S", "");
    setting.setValue(row.value);
    EXPECT_EQ(outcome([&] { return setting.AsString(); }), row.asString) << row.label;
    EXPECT_EQ(outcome([&] { return std::to_string(setting.AsInteger()); }), row.asInteger)
        << row.label;
    EXPECT_EQ(outcome([&] {
                char buffer[64];
                std::snprintf(buffer, sizeof buffer, "%Lg", setting.AsFloat());
                return std::string(buffer);
              }),
              row.asFloat)
        << row.label;
    EXPECT_EQ(outcome([&] { return std::to_string(setting.AsBoolean()); }), row.asBoolean)
        << row.label;
  }
}

TEST(Setting, VariantsAndStringListAssignment) {
  TSetting setting("S", "");
  setting.setAsInteger(5);
  EXPECT_EQ(setting.AsVariant(), QVariant(5));
  setting.setAsBoolean(true);
  EXPECT_EQ(setting.AsVariant(), QVariant(true));
  setting.setAsVariant(QVariant(true));
  EXPECT_EQ(setting.kind(), SettingKind::Variant);
  EXPECT_EQ(setting.AsString(), "True");
  setting.setAsVariant(QVariant(QStringLiteral("x y")));
  EXPECT_EQ(setting.AsString(), "x y");
  try {
    setting.setAsVariant(QVariant(QVariantList{1, 2}));
    ADD_FAILURE() << "a variant array was accepted";
  } catch (const ESettingException& error) {
    EXPECT_STREQ(error.what(), "TSetting.AsVariant cannot accept variant arrays");
  }

  StringList list = {"keep"};
  setting.setAsInteger(3);
  setting.AssignTo(list);
  EXPECT_EQ(list, (StringList{"keep", "3"})) << "kinds 1 to 6 append one line";
  setting.setAsStrings({"p q", "r"});
  setting.AssignTo(list);
  EXPECT_EQ(list, (StringList{"p q", "r"})) << "a string list replaces";
  setting.clear();
  setting.AssignTo(list);
  EXPECT_EQ(list, (StringList{"p q", "r"})) << "empty leaves the list alone";
}

TEST(Setting, SettersRefuseHiddenPropertiesAndCollections) {
  SettingValue hidden;
  hidden.kind = SettingKind::Hidden;
  TSetting setting("S", "");
  setting.setValue(hidden);
  const std::vector<std::pair<const char*, std::function<void()>>> setters = {
      {"AsString", [&] { setting.setAsString("x"); }},
      {"AsInteger", [&] { setting.setAsInteger(1); }},
      {"AsFloat", [&] { setting.setAsFloat(1); }},
      {"AsBoolean", [&] { setting.setAsBoolean(true); }},
      {"AsDateTime", [&] { setting.setAsDateTime(1); }},
      {"AsVariant", [&] { setting.setAsVariant(QVariant(1)); }},
      {"AsStrings", [&] { setting.setAsStrings({"a"}); }},
  };
  for (const auto& [name, set] : setters) {
    try {
      set();
      ADD_FAILURE() << name << " accepted a value";
    } catch (const ESettingException& error) {
      EXPECT_STREQ(error.what(), "Cannot use SetAs functions with collections or hidden properties")
          << name;
    }
  }
  StringList list;
  EXPECT_THROW(setting.AssignTo(list), ESettingException);
}

TEST(Setting, UniqueNameAndRegistryPlace) {
  struct Case {
    const char* name;
    const char* bound;
    const char* unique;
    const char* key;
    const char* value;
  };
  const std::vector<Case> cases = {
      {"", "BrowserNames.Items", "BrowserNames_Items", "B\\BrowserNames", "Items"},
      {"Current Browser", "browser.Caption", "browser_CaptionCurrent_Browser", "B", "Current Browser"},
      {"Config 1", "configOne.Caption", "configOne_CaptionConfig_1", "B", "Config 1"},
      {"", "a.b.c", "a_b_c", "B\\a\\b", "c"},
      {"MRUList", "", "MRUList", "B", "MRUList"},
      {"Caf\xc3\xa9", "", "Caf__", "B", "Caf\xc3\xa9"},
  };
  for (const auto& c : cases) {
    TSetting setting(c.name, c.bound);
    EXPECT_EQ(setting.UniqueName(), c.unique) << c.name << "/" << c.bound;
    EXPECT_EQ(setting.keyAndValueName("B"), (std::pair<std::string, std::string>{c.key, c.value}))
        << c.name << "/" << c.bound;
  }
}

TEST(Scrambling, UnscramblesToMarkerKindAndText) {
  TSetting setting("Config 1", "");
  setting.setAsString("true");
  const std::string expectedPlain = std::string("\x05\0\0\0TPSOK\x01\0\0\0\x04\0\0\0true", 21);
  EXPECT_EQ(setting.plainStream(), expectedPlain);
  const std::string first = setting.scrambled();
  const std::string second = setting.scrambled();
  EXPECT_EQ(first.size(), expectedPlain.size() + 1);
  EXPECT_NE(first, second) << "the first byte is random";
  EXPECT_EQ(unscrambleBytes(first, setting.UniqueName()), expectedPlain);
  EXPECT_EQ(unscrambleBytes(second, setting.UniqueName()), expectedPlain);
  // The rule itself, checked against a first byte fixed by hand.
  const std::string fixed = scrambleBytes("AB", "k", 10);
  const std::string expected = {10, static_cast<char>('k' ^ ((10 + 'A') % 255)),
                                static_cast<char>('k' ^ ((10 + 'A' + 'B') % 255))};
  EXPECT_EQ(fixed, expected);
}

TEST(Scrambling, EveryValueComesBackWhole) {
  struct Case {
    const char* label;
    SettingValue value;
  };
  std::string everyByte;
  for (int i = 1; i < 256; ++i) everyByte += static_cast<char>(i);
  const std::vector<Case> cases = {
      {"text", SettingValue::ofString("0")},
      {"character 255", SettingValue::ofString("caf\xff and \xfe")},
      {"every byte", SettingValue::ofString(everyByte)},
      {"length 255", SettingValue::ofString(std::string(255, 'x'))},
      {"utf-8 path", SettingValue::ofString("/home/z\xc3\xa9lie/Caf\xc3\xa9.glx")},
      {"integer all-ones byte", SettingValue::ofInteger(0x12FF34)},
      {"integer -1", SettingValue::ofInteger(-1)},
      {"integer", SettingValue::ofInteger(77)},
      {"float", SettingValue::ofFloat(-1.0L / 3)},
      {"date-time", SettingValue::ofDateTime(45000.25L)},
      {"boolean", SettingValue::ofBoolean(true)},
      {"variant", SettingValue::ofVariantText("v\xff")},
      {"list", SettingValue::ofStrings({"/a b/\xff.glx", "c"})},
  };
  for (const auto& c : cases) {
    TSetting writer("Config 3", "monthLabel.Caption");
    writer.setValue(c.value);
    for (int round = 0; round < 3; ++round) {
      const std::string stored = writer.scrambled();
      TSetting reader("Config 3", "monthLabel.Caption");
      ASSERT_TRUE(reader.loadScrambled(stored)) << c.label;
      EXPECT_EQ(reader.kind(), c.value.kind) << c.label;
      EXPECT_EQ(reader.value().text, c.value.text) << c.label;
      EXPECT_EQ(reader.value().integer, c.value.integer) << c.label;
      EXPECT_EQ(reader.value().number, c.value.number) << c.label;
      EXPECT_EQ(reader.value().boolean, c.value.boolean) << c.label;
    }
  }
}

TEST(Scrambling, ValuesWithoutByte255KeepTheExactForm) {
  TSetting setting("N", "");
  setting.setAsInteger(0x01020304);
  const std::string stored = setting.scrambled();
  EXPECT_EQ(unscrambleBytes(stored, "N"), setting.plainStream());
  EXPECT_EQ(stored.size(), 4u + 13 + 1);
}

TEST(Scrambling, AWrongMarkerOrShortDataRestoresNothing) {
  TSetting writer("Config 1", "");
  writer.setAsString("true");
  const std::string good = writer.scrambled();
  struct Case {
    const char* label;
    std::string data;
    const char* keyName;
  };
  const std::vector<Case> cases = {
      {"other key", good, "Config 2"},
      {"cut short", good.substr(0, good.size() - 2), "Config 1"},
      {"marker only", good.substr(0, 10), "Config 1"},
      {"empty", "", "Config 1"},
      {"foreign marker", scrambleBytes(std::string("\x05\0\0\0TPSNO\x01\0\0\0\x01\0\0\0x", 18),
                                       "Config_1", 3),
       "Config 1"},
  };
  for (const auto& c : cases) {
    TSetting reader(c.keyName, "");
    reader.setAsString("previous");
    EXPECT_FALSE(reader.loadScrambled(c.data)) << c.label;
    EXPECT_EQ(reader.kind(), SettingKind::Empty) << c.label;
  }
}

TEST(FloatText, ReadsTheLocaleNumberForm) {
  struct Case {
    const char* text;
    bool ok;
    long double value;
  };
  const std::vector<Case> cases = {
      {"1", true, 1}, {" 2.5 ", true, 2.5L}, {"-0.25", true, -0.25L}, {"+3", true, 3},
      {"1E3", true, 1000}, {"1e-2", true, 0.01L}, {".5", true, 0.5L}, {"5.", true, 5},
      {"", false, 0}, {"abc", false, 0}, {"1x", false, 0}, {"1E", false, 0}, {"--1", false, 0},
      {".", false, 0}, {"0x10", false, 0},
  };
  for (const auto& c : cases) {
    long double value = 0;
    EXPECT_EQ(textToFloat(c.text, value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_NEAR(static_cast<double>(value), static_cast<double>(c.value), 1e-12) << c.text;
    }
  }
}

}  // namespace
}  // namespace glx

namespace glx {
namespace {

// Found by fuzzing a stored date-time: a day count past any calendar date
// overflowed the conversion to a whole number of days.
TEST(Setting, DateTimeTextOfAbsurdDayCounts) {
  for (long double days : {1e30L, -1e30L, 1e13L, -1e13L}) {
    EXPECT_EQ(dateTimeToText(days), floatToText(days)) << static_cast<double>(days);
  }
  EXPECT_FALSE(dateTimeToText(2.5L).empty());
}

}  // namespace
}  // namespace glx
