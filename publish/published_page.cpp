#include "publish/published_page.h"

#include <array>

#include "platform/ascii.h"
#include "platform/file_ops.h"

namespace glx {

namespace {

bool isBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

bool isAsciiLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool isAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool isAsciiAlnum(unsigned char c) { return isAsciiLetter(c) || isAsciiDigit(c); }

bool isAsciiHexDigit(unsigned char c) {
  return isAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The length of a well-formed UTF-8 sequence at `at`, 0 when there is none.
std::size_t utf8SequenceAt(const std::string& s, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char c = byte(at);
  if (c < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    if (c == 0xE0) low = 0xA0;   // no overlong forms
    if (c == 0xED) high = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (at + length > s.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  return length;
}

// The length of a character reference at `at` ("&amp;", "&#233;",
// "&#xE9;"), 0 when the "&" starts none.
std::size_t referenceAt(const std::string& s, std::size_t at) {
  if (at >= s.size() || s[at] != '&') return 0;
  std::size_t i = at + 1;
  if (i < s.size() && s[i] == '#') {
    ++i;
    const bool hex = i < s.size() && (s[i] == 'x' || s[i] == 'X');
    if (hex) ++i;
    const std::size_t digits = i;
    while (i < s.size() && (hex ? isAsciiHexDigit(static_cast<unsigned char>(s[i]))
                                : isAsciiDigit(static_cast<unsigned char>(s[i]))))
      ++i;
    if (i == digits) return 0;
  } else {
    const std::size_t name = i;
    while (i < s.size() && isAsciiAlnum(static_cast<unsigned char>(s[i]))) ++i;
    if (i == name) return 0;
  }
  if (i >= s.size() || s[i] != ';') return 0;
  return i + 1 - at;
}

// Tags inside a run of text: dropping them must not join or split words
// differently from how a browser shows them, so these leave no blank.
bool isInlineTag(const std::string& name) {
  static const std::array<const char*, 20> kInline = {"a",    "abbr", "b",    "big", "cite", "code", "em",
                                                      "font", "i",    "mark", "q",   "s",    "small", "span",
                                                      "strong", "sub", "sup", "tt",  "u",    "bdi"};
  for (const char* tag : kInline)
    if (name == tag) return true;
  return false;
}

// Case-insensitive search for `needle` (lower case) from `from`.
std::size_t findFolded(const std::string& haystack, const std::string& needle, std::size_t from) {
  const std::string folded = asciiLowered(haystack);
  return folded.find(needle, from);
}

// The alternative HTML without tags and comments, blanks collapsed.
std::string textOf(const std::string& html) {
  std::string out;
  bool pendingBlank = false;
  const auto blank = [&] { pendingBlank = !out.empty(); };
  const auto put = [&](char c) {
    if (pendingBlank) out += ' ';
    pendingBlank = false;
    out += c;
  };
  std::size_t i = 0;
  while (i < html.size()) {
    const auto c = static_cast<unsigned char>(html[i]);
    if (c == '<' && html.compare(i, 4, "<!--") == 0) {
      const std::size_t end = html.find("-->", i + 4);
      i = end == std::string::npos ? html.size() : end + 3;
      continue;
    }
    const unsigned char next = i + 1 < html.size() ? static_cast<unsigned char>(html[i + 1]) : 0;
    if (c == '<' && (isAsciiLetter(next) || next == '/' || next == '!' || next == '?')) {
      std::size_t nameStart = i + 1 + (next == '/' ? 1 : 0);
      std::size_t nameEnd = nameStart;
      while (nameEnd < html.size() && isAsciiAlnum(static_cast<unsigned char>(html[nameEnd]))) ++nameEnd;
      const std::string name = asciiLowered(html.substr(nameStart, nameEnd - nameStart));
      std::size_t end = html.find('>', i);
      if (end == std::string::npos) break;  // an unfinished tag shows nothing
      i = end + 1;
      if (next != '/' && (name == "script" || name == "style")) {
        const std::size_t close = findFolded(html, "</" + name, i);
        if (close == std::string::npos) break;
        end = html.find('>', close);
        i = end == std::string::npos ? html.size() : end + 1;
      }
      if (!isInlineTag(name)) blank();
      continue;
    }
    if (isBlank(c))
      blank();
    else
      put(static_cast<char>(c));
    ++i;
  }
  return out;
}

}  // namespace

bool isUtf8(const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t n = utf8SequenceAt(bytes, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string charsetOf(const std::vector<std::string>& texts) {
  for (const std::string& text : texts)
    if (!isUtf8(text)) return kEightBitCharset;
  return kUtf8Charset;
}

std::string htmlEscaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string projectTitle(const std::string& projectPath) {
  std::string name = bareFileName(projectPath);
  if (name.size() >= 4 && asciiLowered(name.substr(name.size() - 4)) == ".glx") name.resize(name.size() - 4);
  return name.empty() ? "Applet" : name;
}

std::string plainDescription(const std::string& alternativeHtml, std::size_t maxCharacters) {
  const std::string text = textOf(alternativeHtml);
  const bool utf8 = isUtf8(text);
  // Where each character starts: a reference, a UTF-8 sequence or a byte.
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < text.size();) {
    starts.push_back(i);
    std::size_t n = referenceAt(text, i);
    if (n == 0) n = utf8 ? utf8SequenceAt(text, i) : 1;
    i += n == 0 ? 1 : n;
  }
  if (starts.size() <= maxCharacters) return text;
  const std::string ellipsis = "...";
  const std::size_t keep = maxCharacters > ellipsis.size() ? maxCharacters - ellipsis.size() : 0;
  std::size_t cut = starts[keep];
  // A blank in the last third of what is kept ends the text on a whole word.
  const std::size_t blank = text.rfind(' ', cut);
  if (blank != std::string::npos && blank >= starts[keep * 2 / 3]) cut = blank;
  std::string out = text.substr(0, cut);
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out + ellipsis;
}

std::string descriptionEscaped(const std::string& description) {
  std::string out;
  for (std::size_t i = 0; i < description.size(); ++i) {
    const char c = description[i];
    if (c == '&') {
      const std::size_t n = referenceAt(description, i);
      if (n > 0) {
        out.append(description, i, n);
        i += n - 1;
      } else {
        out += "&amp;";
      }
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"') {
      out += "&quot;";
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<std::string> publishedPageLines(const PublishedPage& page) {
  std::vector<std::string> content = page.htmlLines;
  content.push_back(page.title);
  content.push_back(page.description);
  std::vector<std::string> lines = {
      "<!DOCTYPE html>",
      "<html lang=\"en\">",
      "<head>",
      "  <meta charset=\"" + charsetOf(content) + "\">",
      "  <meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">",
      "  <title>" + htmlEscaped(page.title) + "</title>",
  };
  if (!page.description.empty())
    lines.push_back("  <meta name=\"description\" content=\"" + descriptionEscaped(page.description) + "\">");
  // No icon of its own: this keeps browsers from asking for favicon.ico,
  // which a plain upload does not have.
  lines.push_back("  <link rel=\"icon\" href=\"data:,\">");
  lines.push_back("  <style>body{margin:0;background:" + page.background +
                  "}main{text-align:center;padding:1em 0}</style>");
  lines.push_back("</head>");
  lines.push_back("<body>");
  lines.push_back("<main>");
  lines.insert(lines.end(), page.htmlLines.begin(), page.htmlLines.end());
  lines.push_back("</main>");
  lines.push_back("</body>");
  lines.push_back("</html>");
  return lines;
}

}  // namespace glx
