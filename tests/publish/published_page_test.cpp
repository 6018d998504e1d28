#include "publish/published_page.h"

#include <gtest/gtest.h>

namespace glx {
namespace {

TEST(PublishedPage, PlainDescriptionOfTheAlternativeHtml) {
  const std::string sixty(60, 'x');
  struct Case {
    const char* name;
    std::string html;
    std::size_t max;
    std::string text;
  };
  const Case cases[] = {
      {"empty", "", 160, ""},
      {"only markup", "<p> </p><!-- -->", 160, ""},
      {"blocks leave a blank, inline tags none", "<h1>Sun</h1><p>set<b>ting</b> <i>sky</i></p>", 160,
       "Sun setting sky"},
      {"white space collapsed and trimmed", "\r\n  a\t\tb \r\n c  ", 160, "a b c"},
      {"script and style with their content", "a<script>if (1 < 2) x();</script>b<STYLE>p{}</STYLE>c", 160,
       "a b c"},
      {"a lone < is text", "1 < 2", 160, "1 < 2"},
      {"an unfinished tag shows nothing", "text <a href=", 160, "text"},
      {"references stay", "Tom &amp; Jerry &#233; &#xE9;", 160, "Tom &amp; Jerry &#233; &#xE9;"},
      {"short enough", sixty, 60, sixty},
      {"cut with an ellipsis", sixty + "y", 60, std::string(57, 'x') + "..."},
      {"cut at a word", "one two three four", 12, "one two..."},
      {"a reference counts as one character", "&amp;&amp;&amp;&amp;&amp;", 5, "&amp;&amp;&amp;&amp;&amp;"},
      {"a reference is never split", "&amp;&amp;&amp;&amp;&amp;&amp;", 5, "&amp;&amp;..."},
      {"UTF-8 counts characters", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 5, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"},
      {"UTF-8 is never split", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 5, "\xC3\xA9\xC3\xA9..."},
      {"8-bit text counts bytes", "\xE9\xE9\xE9\xE9\xE9\xE9", 5, "\xE9\xE9..."},
  };
  for (const Case& c : cases) EXPECT_EQ(plainDescription(c.html, c.max), c.text) << c.name;
}

TEST(PublishedPage, EscapingForTitleAndDescription) {
  EXPECT_EQ(htmlEscaped("a & b < c > d \"e\" 'f'"), "a &amp; b &lt; c &gt; d &quot;e&quot; 'f'");
  EXPECT_EQ(htmlEscaped("&amp;"), "&amp;amp;");
  EXPECT_EQ(descriptionEscaped("&amp; & &#233; &#x; &name \"q\" <>"),
            "&amp; &amp; &#233; &amp;#x; &amp;name &quot;q&quot; &lt;&gt;");
}

TEST(PublishedPage, TitleIsTheProjectsName) {
  const std::pair<std::string, std::string> cases[] = {
      {"/home/me/sites/My Sunset.glx", "My Sunset"}, {"Sunset.GLX", "Sunset"}, {"sunset", "sunset"},
      {"a.b.glx", "a.b"},                             {"/x/.glx", "Applet"},   {"", "Applet"},
  };
  for (const auto& [path, title] : cases) EXPECT_EQ(projectTitle(path), title) << path;
}

TEST(PublishedPage, CharsetOfTheBytes) {
  EXPECT_EQ(charsetOf({}), "utf-8");
  EXPECT_EQ(charsetOf({"plain", "caf\xC3\xA9"}), "utf-8");
  EXPECT_EQ(charsetOf({"plain", "caf\xE9"}), "windows-1252");
  EXPECT_FALSE(isUtf8("\xC3"));
  EXPECT_FALSE(isUtf8("\xE0\x80\x80"));  // overlong
  EXPECT_TRUE(isUtf8("\xF4\x8F\xBF\xBF"));
}

TEST(PublishedPage, LinesInOrder) {
  PublishedPage page;
  page.title = "A & B";
  page.description = "Sun";
  page.htmlLines = {"<APPLET CODE=\"fade.class\" WIDTH=1 HEIGHT=1>", "</APPLET>"};
  const std::vector<std::string> expected = {
      "<!DOCTYPE html>",
      "<html lang=\"en\">",
      "<head>",
      "  <meta charset=\"utf-8\">",
      "  <meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">",
      "  <title>A &amp; B</title>",
      "  <meta name=\"description\" content=\"Sun\">",
      "  <link rel=\"icon\" href=\"data:,\">",
      "  <style>body{margin:0;background:#000000}main{text-align:center;padding:1em 0}</style>",
      "</head>",
      "<body>",
      "<main>",
      "<APPLET CODE=\"fade.class\" WIDTH=1 HEIGHT=1>",
      "</APPLET>",
      "</main>",
      "</body>",
      "</html>",
  };
  EXPECT_EQ(publishedPageLines(page), expected);
  page.description.clear();
  page.title = "caf\xE9";
  const std::vector<std::string> lines = publishedPageLines(page);
  EXPECT_EQ(lines[3], "  <meta charset=\"windows-1252\">");
  EXPECT_EQ(lines[6], "  <link rel=\"icon\" href=\"data:,\">") << "no description line";
}

}  // namespace
}  // namespace glx
