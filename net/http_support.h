// Companions of the HTTP client: the optional request header values, the
// request header list, the base64/uuencode encoder and the URL-text decoder.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace glx {

// Optional values of the request header; empty means "not sent".
struct THeaderInfo {
  std::string LocalMailAddress;
  std::string LocalProgram;
  std::string Cookie;
  std::string Referer;
  std::string UserId;
  std::string Password;
};

// A list of header lines "name: value".
class TExStringList {
 public:
  // Index of the first line whose text before its first colon equals name,
  // regardless of case; lines without a colon are skipped; -1 if none.
  int IndexOfHeader(const std::string& name) const;
  // A non-empty value replaces the found line (or adds one at the end) by
  // "name: value"; an empty value deletes the found line.
  void SetHeaderValue(const std::string& name, const std::string& value);

  void Add(const std::string& line) { m_lines.push_back(line); }
  void Clear() { m_lines.clear(); }
  int Count() const { return static_cast<int>(m_lines.size()); }
  const std::string& operator[](int i) const { return m_lines[static_cast<size_t>(i)]; }
  const std::vector<std::string>& Lines() const { return m_lines; }
  // Every line followed by CR LF.
  std::string Text() const;

 private:
  std::vector<std::string> m_lines;
};

enum UUMethods { uuMime = 0, uuCode = 1 };

// Encodes InputStream into OutputStream in lines of up to 45 input bytes:
// MIME base64 or uuencode.
class TUUProcessor {
 public:
  using Notify = std::function<void(TUUProcessor& sender)>;

  UUMethods Method = uuMime;
  Notify OnBeginEncode;
  Notify OnEndEncode;
  Notify OnBeginDecode;
  Notify OnEndDecode;
  std::string InputStream;
  std::string OutputStream;

  void Encode();
};

// Decodes URL text: "+" is a space, "%" and two hexadecimal digits a byte.
class TURLCodec {
 public:
  using ErrorEvent = std::function<void(TURLCodec& sender, const std::string& operation,
                                        const std::string& errMsg)>;

  std::string InputString;
  ErrorEvent OnError;

  // The decoded text; on a bad "%" escape, OnError fires and InputString is
  // returned unchanged.
  std::string Decode();
};

}  // namespace glx
