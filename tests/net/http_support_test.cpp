// The HTTP client's companions: header list, encoder, URL decoder.
#include <gtest/gtest.h>

#include "net/http_support.h"

namespace glx {
namespace {

TEST(ExStringList, IndexOfHeaderIgnoresCaseAndLinesWithoutColon) {
  TExStringList list;
  list.Add("GET / HTTP/1.0");
  list.Add("Host: a");
  list.Add("host-name: b");
  list.Add("ACCEPT: c");
  list.Add("Accept: d");
  const struct {
    const char* name;
    int index;
  } cases[] = {{"Host", 1}, {"HOST", 1}, {"accept", 3}, {"host-name", 2}, {"Cookie", -1},
               {"GET / HTTP/1.0", -1}, {"", -1}};
  for (const auto& c : cases) EXPECT_EQ(list.IndexOfHeader(c.name), c.index) << c.name;
}

TEST(ExStringList, SetHeaderValueReplacesAddsAndDeletes) {
  TExStringList list;
  list.Add("Host: old");
  list.SetHeaderValue("HOST", "new");
  EXPECT_EQ(list.Lines(), std::vector<std::string>{"HOST: new"});
  list.SetHeaderValue("Cookie", "c=1");
  EXPECT_EQ(list.Lines(), (std::vector<std::string>{"HOST: new", "Cookie: c=1"}));
  list.SetHeaderValue("host", "");
  EXPECT_EQ(list.Lines(), std::vector<std::string>{"Cookie: c=1"});
  list.SetHeaderValue("Referer", "");
  EXPECT_EQ(list.Lines(), std::vector<std::string>{"Cookie: c=1"});
  EXPECT_EQ(list.Text(), "Cookie: c=1\r\n");
}

TEST(UUProcessor, EncodesMimeAndUuencodeLines) {
  const std::string fortySix(46, 'a');
  const struct {
    UUMethods method;
    std::string in;
    std::string out;
  } cases[] = {
      {uuMime, "", ""},
      {uuMime, "f", "Zg==\r\n"},
      {uuMime, "fo", "Zm8=\r\n"},
      {uuMime, "foo", "Zm9v\r\n"},
      {uuMime, "user:pass", "dXNlcjpwYXNz\r\n"},
      {uuMime, std::string("\xff\xfe\x00", 3), "//4A\r\n"},
      {uuMime, fortySix,
       "YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFh\r\nYQ==\r\n"},
      {uuCode, "Cat", "#0V%T\r\n`\r\n"},
      {uuCode, "", "`\r\n"},
      {uuCode, "a", "!80\r\n`\r\n"},
  };
  for (const auto& c : cases) {
    TUUProcessor p;
    p.Method = c.method;
    p.InputStream = c.in;
    int begins = 0, ends = 0;
    p.OnBeginEncode = [&](TUUProcessor&) { ++begins; };
    p.OnEndEncode = [&](TUUProcessor&) { ++ends; };
    p.Encode();
    EXPECT_EQ(p.OutputStream, c.out) << c.method << " " << c.in;
    EXPECT_EQ(begins, 1);
    EXPECT_EQ(ends, 1);
  }
}

TEST(URLCodec, DecodesPlusAndPercentEscapes) {
  const struct {
    std::string in, out;
    bool error;
  } cases[] = {
      {"a+b%41", "a bA", false},
      {"%7e%7E", "~~", false},
      {"plain", "plain", false},
      {"100%", "100%", true},
      {"%zz+x", "%zz+x", true},
      {"%4", "\x04", false},
      {"%00end", std::string("\0end", 4), false},
  };
  for (const auto& c : cases) {
    TURLCodec codec;
    codec.InputString = c.in;
    std::vector<std::string> errors;
    codec.OnError = [&](TURLCodec&, const std::string& op, const std::string& msg) {
      errors.push_back(op + "|" + msg);
    };
    EXPECT_EQ(codec.Decode(), c.out) << c.in;
    EXPECT_EQ(errors.size(), c.error ? 1u : 0u) << c.in;
    if (!errors.empty()) {
      EXPECT_EQ(errors[0].rfind("Error during decode|", 0), 0u) << c.in;
    }
  }
  TURLCodec codec;
  codec.InputString = "%zz";
  std::string message;
  codec.OnError = [&](TURLCodec&, const std::string&, const std::string& m) { message = m; };
  codec.Decode();
  EXPECT_EQ(message, "'$zz' is not a valid integer value");
}

}  // namespace
}  // namespace glx
