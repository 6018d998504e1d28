#include "net/http_support.h"

#include <cctype>

#include "platform/ascii.h"
#include "platform/errors.h"

namespace glx {

namespace {

bool sameTextNoCase(const std::string& a, const std::string& b) { return asciiEqualNoCase(a, b); }

}  // namespace

int TExStringList::IndexOfHeader(const std::string& name) const {
  for (size_t i = 0; i < m_lines.size(); ++i) {
    const size_t colon = m_lines[i].find(':');
    if (colon == std::string::npos) continue;
    if (sameTextNoCase(m_lines[i].substr(0, colon), name)) return static_cast<int>(i);
  }
  return -1;
}

void TExStringList::SetHeaderValue(const std::string& name, const std::string& value) {
  const int i = IndexOfHeader(name);
  if (!value.empty()) {
    const std::string line = name + ": " + value;
    if (i >= 0) {
      m_lines[static_cast<size_t>(i)] = line;
    } else {
      m_lines.push_back(line);
    }
  } else if (i >= 0) {
    m_lines.erase(m_lines.begin() + i);
  }
}

std::string TExStringList::Text() const {
  std::string text;
  for (const std::string& line : m_lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void TUUProcessor::Encode() {
  static const char kMime[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  // "`" stands for 0, then "!" through "_".
  static const char kUu[] =
      "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";
  if (OnBeginEncode) OnBeginEncode(*this);
  struct End {
    TUUProcessor& p;
    ~End() {
      if (p.OnEndEncode) p.OnEndEncode(p);
    }
  } end{*this};
  const char* alphabet = Method == uuMime ? kMime : kUu;
  OutputStream.clear();
  const std::string& in = InputStream;
  for (size_t lineStart = 0; lineStart < in.size(); lineStart += 45) {
    const size_t count = std::min<size_t>(45, in.size() - lineStart);
    std::string line;
    if (Method == uuCode) line += alphabet[count];
    size_t i = lineStart;
    const size_t stop = lineStart + count;
    for (; i + 3 <= stop; i += 3) {
      const unsigned v = static_cast<unsigned char>(in[i]) << 16 |
                         static_cast<unsigned char>(in[i + 1]) << 8 |
                         static_cast<unsigned char>(in[i + 2]);
      line += alphabet[(v >> 18) & 63];
      line += alphabet[(v >> 12) & 63];
      line += alphabet[(v >> 6) & 63];
      line += alphabet[v & 63];
    }
    if (stop - i == 1) {
      const unsigned v = static_cast<unsigned char>(in[i]) << 16;
      line += alphabet[(v >> 18) & 63];
      line += alphabet[(v >> 12) & 63];
      if (Method == uuMime) line += "==";
    } else if (stop - i == 2) {
      const unsigned v = static_cast<unsigned char>(in[i]) << 16 |
                         static_cast<unsigned char>(in[i + 1]) << 8;
      line += alphabet[(v >> 18) & 63];
      line += alphabet[(v >> 12) & 63];
      line += alphabet[(v >> 6) & 63];
      if (Method == uuMime) line += "=";
    }
    OutputStream += line + "\r\n";
  }
  if (Method == uuCode) OutputStream += std::string(1, alphabet[0]) + "\r\n";
}

std::string TURLCodec::Decode() {
  std::string out;
  const std::string& in = InputString;
  for (size_t i = 0; i < in.size(); ++i) {
    const char c = in[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%') {
      const std::string hex = in.substr(i + 1, 2);
      try {
        // Only hexadecimal digits count: no sign, blank or prefix.
        for (char h : hex) {
          if (!std::isxdigit(static_cast<unsigned char>(h))) throw invalidInteger("$" + hex);
        }
        out += static_cast<char>(strToInt("$" + hex));
      } catch (const Error& e) {
        if (OnError) OnError(*this, "Error during decode", e.what());
        return InputString;
      }
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace glx
