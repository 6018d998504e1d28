#include "net/http_client.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <algorithm>
#include <climits>
#include <optional>

#include "platform/ascii.h"
#include "platform/errors.h"

namespace glx {

namespace {

const char* const kVerbs[] = {"GET ",  "OPTIONS ", "HEAD ", "POST ",   "PUT ",  "PATCH ",
                              "COPY ", "MOVE ",    "DELETE ", "LINK ", "UNLINK ", "TRACE "};

// The field-th text between single delimiters (empty fields count).
std::string field(const std::string& text, char delimiter, size_t index) {
  size_t start = 0;
  for (size_t i = 0; i < index; ++i) {
    const size_t next = text.find(delimiter, start);
    if (next == std::string::npos) return "";
    start = next + 1;
  }
  const size_t end = text.find(delimiter, start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// Position of the n-th (1-based) occurrence of c, or npos.
size_t nthPosition(const std::string& text, char c, int n) {
  size_t pos = std::string::npos;
  for (int i = 0; i < n; ++i) {
    pos = text.find(c, pos == std::string::npos ? 0 : pos + 1);
    if (pos == std::string::npos) return pos;
  }
  return pos;
}

std::string upper(std::string text) { return asciiUppered(std::move(text)); }

std::string lower(std::string text) { return asciiLowered(std::move(text)); }

std::string withoutLineEnd(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

// The reply number of a status line: its second blank-separated field as a
// decimal number, 0 when it is no number or does not fit.
int16_t statusNumber(const std::string& statusLine) {
  const std::string text = withoutLineEnd(field(statusLine, ' ', 1));
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) return 0;
  long value = 0;
  for (; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return 0;
    value = value * 10 + (text[i] - '0');
    if (value > 32768) return 0;
  }
  if (negative) value = -value;
  if (value < INT16_MIN || value > INT16_MAX) return 0;
  return static_cast<int16_t>(value);
}

// The value of a "Content-Length:" line: the digits after the colon, blanks
// and the line end around them dropped. A value with anything but digits,
// or beyond what a 64-bit size holds, is damaged: none is returned, and the
// reply cannot be trusted to end where it says.
std::optional<uint64_t> contentLength(const std::string& line) {
  const size_t colon = line.find(':');
  if (colon == std::string::npos) return std::nullopt;
  size_t begin = colon + 1;
  size_t end = line.size();
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (begin < end && blank(line[begin])) ++begin;
  while (end > begin && blank(line[end - 1])) --end;
  if (begin == end) return std::nullopt;
  uint64_t value = 0;
  for (size_t i = begin; i < end; ++i) {
    const char c = line[i];
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

// A location that would put a blank, a line break or another control byte
// into the next request line.
bool unsafeLocation(const std::string& location) {
  for (const char ch : location) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x21 || c == 0x7F) return true;
  }
  return false;
}

}  // namespace

THttpClient::THttpClient(std::shared_ptr<HostLookup> lookup) : TSockClient(std::move(lookup)) {}

// Destruction aborts through this class's Abort, as the socket part's
// destructor can no longer reach it.
THttpClient::~THttpClient() { beginDestruction(); }

void THttpClient::Abort() {
  setLookupDone();
  Cancel();
}

void THttpClient::run(CmdType command, const std::string& url) {
  m_requestURL = url;
  m_command = command;
  Execute();
}

void THttpClient::Get(const std::string& url) { run(kCmdGet, url); }
void THttpClient::Options(const std::string& url) { run(kCmdOptions, url); }
void THttpClient::Head(const std::string& url) { run(kCmdHead, url); }
void THttpClient::Delete(const std::string& url) { run(kCmdDelete, url); }

void THttpClient::Post(const std::string& url, const std::string& data) {
  if (m_decodePostData && !OutputFileMode) {
    TURLCodec codec;
    codec.InputString = data;
    m_requestData = codec.Decode();
  } else {
    m_requestData = data;
  }
  run(kCmdPost, url);
}

void THttpClient::Put(const std::string& url, const std::string& data) {
  m_requestData = data;
  run(kCmdPut, url);
}

void THttpClient::Patch(const std::string& url, const std::string& data) {
  m_requestData = data;
  run(kCmdPatch, url);
}

void THttpClient::Trace(const std::string& url, const std::string& data) {
  m_requestData = data;
  run(kCmdTrace, url);
}

void THttpClient::Copy(const std::string& url, const std::string& target) {
  m_requestTarget = target;
  run(kCmdCopy, url);
}

void THttpClient::Move(const std::string& url, const std::string& target) {
  m_requestTarget = target;
  run(kCmdMove, url);
}

void THttpClient::Link(const std::string& url, const std::string& target) {
  // No data follows these requests, so the announced length is 0.
  m_requestTarget = target;
  m_requestData.clear();
  run(kCmdLink, url);
}

void THttpClient::Unlink(const std::string& url, const std::string& target) {
  m_requestTarget = target;
  m_requestData.clear();
  run(kCmdUnlink, url);
}

void THttpClient::Execute() {
  int repetitions = 0;
  for (;;) {
    ParseURL();
    BuildRequestHeader();
    if (OnAboutToSend) OnAboutToSend(*this);
    Connect();
    try {
      SendRequest();
      ReadResponse();
    } catch (...) {
      try {
        Disconnect();
      } catch (...) {
        // The exchange's own failure is the one to report.
      }
      throw;
    }
    Disconnect();

    const int reply = ReplyNumber();
    const bool repeats = reply >= 299 && reply <= 399;
    if (repeats && m_locationReceived && unsafeLocation(m_requestURL)) {
      throw ESockError("Redirection refused: its location holds a blank or a control character");
    }
    if (reply >= 300 && reply <= 398) {
      if (!m_responseCookie.empty()) HeaderInfo.Cookie = m_responseCookie;
      bool handled = false;
      if (OnRedirect) OnRedirect(*this, handled);
      if (handled) return;
      if (m_requestURL.find('/') == std::string::npos) {
        // Relative to the server that answered, its port included.
        const std::string port = Port != 80 ? ":" + std::to_string(Port) : "";
        m_requestURL = "http://" + Host + port + "/" + m_requestURL;
      }
    }
    if (reply == 401 && OnAuthenticationNeeded) OnAuthenticationNeeded(*this);
    if (reply < 299 || reply > 399) return;
    // A server redirecting to itself would otherwise keep the program busy
    // for ever.
    if (++repetitions > kMaxRedirections) throw ESockError("Too many redirections");
  }
}

void THttpClient::ParseURL() {
  const std::string& url = m_requestURL;
  if (url.empty()) throw Error("Empty URL");
  if (Port == 0) Port = 80;

  const bool hasDoubleSlash = url.find("//") != std::string::npos;
  if (hasDoubleSlash) {
    const size_t third = nthPosition(url, '/', 3);
    m_requestPath = third == std::string::npos || third + 1 == url.size()
                        ? std::string()
                        : url.substr(third, 256);
  } else if (url.find('/') != std::string::npos) {
    m_requestPath = url.substr(url.find('/'), 256);
  } else {
    m_requestPath.clear();
  }

  if (url.find(':') != std::string::npos) {
    const std::string scheme = lower(url.substr(0, url.find(':')));
    if (scheme == "gopher") {
      Port = 70;
    } else if (scheme == "ftp") {
      Port = 21;
    } else {
      Port = 80;
    }
  }

  std::string host;
  if (hasDoubleSlash) {
    host = field(url, '/', 2);
  } else if (url[0] != '/') {
    host = field(url, '/', 0);
  }
  if (host.find(':') != std::string::npos) {
    const std::string portText = field(host, ':', 1);
    const int port = strToInt(portText);
    checkPortNumber(port, portText);
    Port = port;
    host.resize(host.find(':'));
  }
  if (!host.empty()) Host = host;

  if (m_requestPath.empty()) {
    m_requestPath = "/";
    m_requestURL += "/";
  }
}

void THttpClient::BuildRequestHeader() {
  m_requestLines.Clear();
  if (m_command <= kCmdTrace) {
    m_requestLines.Add(std::string(kVerbs[m_command]) +
                       (Proxy.empty() ? m_requestPath : m_requestURL) + " HTTP/1.0");
  }
  if (!Proxy.empty()) {
    m_requestLines.Add("Proxy-Connection: Keep-Alive");
    m_requestLines.Add("Host: " + Host);
  }
  m_requestLines.SetHeaderValue("Host", Host);
  m_requestLines.Add("Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff");
  m_requestLines.Add("Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript");
  if (!HeaderInfo.LocalMailAddress.empty()) {
    m_requestLines.SetHeaderValue("From", HeaderInfo.LocalMailAddress);
  }
  if (!HeaderInfo.LocalProgram.empty()) {
    m_requestLines.SetHeaderValue("User-Agent", HeaderInfo.LocalProgram);
  }
  if (!HeaderInfo.Cookie.empty()) m_requestLines.SetHeaderValue("Cookie", HeaderInfo.Cookie);
  if (!HeaderInfo.Referer.empty()) m_requestLines.SetHeaderValue("Referer", HeaderInfo.Referer);
  if (!HeaderInfo.UserId.empty() && !HeaderInfo.Password.empty()) {
    TUUProcessor encoder;
    encoder.Method = uuMime;
    encoder.InputStream = HeaderInfo.UserId + ":" + HeaderInfo.Password;
    encoder.Encode();
    // The encoder breaks long output into lines; a header value is one line.
    std::string encoded;
    for (char c : encoder.OutputStream) {
      if (c != '\r' && c != '\n') encoded += c;
    }
    m_requestLines.SetHeaderValue("Authorization", "Basic " + encoded);
  }
  m_requestLines.Add("Content-type: application/x-www-form-urlencoded");
  if (m_command == kCmdCopy || m_command == kCmdMove) {
    m_requestLines.Add("URI-header: " + m_requestTarget);
  } else if (m_command == kCmdLink || m_command == kCmdUnlink) {
    m_requestLines.Add("Link: " + m_requestTarget);
  }
  switch (m_command) {
    case kCmdPost:
    case kCmdPut:
    case kCmdPatch:
    case kCmdLink:
    case kCmdUnlink:
    case kCmdTrace: {
      long long length = static_cast<long long>(m_requestData.size());
      if (OutputFileMode && m_command != kCmdLink && m_command != kCmdUnlink) {
        struct stat st {};
        if (::stat(m_requestData.c_str(), &st) != 0) throw inOutError(errno);
        if (!S_ISREG(st.st_mode)) throw inOutError(EISDIR);
        length = static_cast<long long>(st.st_size);
      }
      m_requestLines.Add("Content-Length: " + std::to_string(length));
      break;
    }
    default:
      break;
  }
  m_requestLines.Add("");
}

void THttpClient::SendRequest() {
  // Sent whole: a header or data longer than Write's limit would otherwise be
  // cut while Content-Length counts all of it.
  WriteAll(RequestText());
  switch (m_command) {
    case kCmdPost:
    case kCmdPut:
    case kCmdPatch:
    case kCmdTrace:
      if (OutputFileMode) {
        SendFile(m_requestData);
      } else {
        WriteAll(m_requestData);
      }
      break;
    default:
      break;
  }
  m_sentHead = m_command == kCmdHead;
  m_command = kCmdGet;
}

void THttpClient::appendHeaderLine(const std::string& line, std::FILE* file, size_t& total) {
  total += line.size();
  if (total > kMaxHeader) throw ESockError("Response header too large");
  if (file) {
    if (!line.empty() && std::fwrite(line.data(), 1, line.size(), file) != line.size()) {
      throw inOutError(errno ? errno : EIO);
    }
  } else {
    Header += line;
  }
}

void THttpClient::ReadResponseHeader() {
  setBytesTotal(0);
  m_responseCookie.clear();
  m_locationReceived = false;
  m_headerComplete = false;
  m_lengthAnnounced = false;
  m_lengthDamaged = false;
  m_contentLength = 0;
  std::FILE* file = nullptr;
  if (OutputFileMode) {
    file = std::fopen(Header.c_str(), "wb");
    if (!file) throw inOutError(errno);
  } else {
    Header.clear();
  }
  struct Closer {
    std::FILE*& f;
    ~Closer() {
      if (f) std::fclose(f);
    }
  } closer{file};

  static const std::string kTooLong = "Response header line too long";
  size_t total = 0;
  std::string line = ReadLnBounded(kMaxHeaderLine, kTooLong);
  setReplyNumber(statusNumber(line));
  appendHeaderLine(line, file, total);
  for (;;) {
    line = ReadLnBounded(kMaxHeaderLine, kTooLong);
    const std::string name = upper(field(line, ' ', 0));
    if (name == "SET-COOKIE:") {
      m_responseCookie = line.size() > 12 ? withoutLineEnd(line.substr(12)).substr(0, 256) : "";
    } else if (name == "LOCATION:") {
      m_requestURL = line.size() > 10 ? withoutLineEnd(line.substr(10)).substr(0, 256) : "";
      m_locationReceived = true;
    } else if (name == "CONTENT-LENGTH:") {
      const std::optional<uint64_t> length = contentLength(line);
      if (length) {
        m_lengthAnnounced = true;
        // No reply reaches 2^63 bytes; a larger length is kept as that.
        m_contentLength = static_cast<int64_t>(std::min<uint64_t>(*length, INT64_MAX));
        setBytesTotal(static_cast<int32_t>(std::min<int64_t>(m_contentLength, INT32_MAX)));
      } else {
        m_lengthDamaged = true;
      }
    }
    appendHeaderLine(line, file, total);
    if (line == "\n" || line == "\r\n") m_headerComplete = true;
    if (line.empty() || line == "\n" || line == "\r\n") break;
  }
  if (file) {
    std::FILE* f = file;
    file = nullptr;
    if (std::fclose(f) != 0) throw inOutError(errno ? errno : EIO);
  }
}

void THttpClient::ReadResponse() {
  m_replyComplete = false;
  m_bodyTooLarge = false;
  ReadResponseHeader();
  // An announced length ends the body: a proxy that keeps the connection
  // open would otherwise hold the exchange until its idle time-out.
  // A reply to HEAD, and a 204 or 304 reply, has no body whatever it
  // announces.
  const int reply = ReplyNumber();
  const bool noBody = m_sentHead || reply == 204 || reply == 304;
  if (m_lengthDamaged) {
    // A length that cannot be read leaves no way to tell where the body
    // ends, nor whether it arrived whole: the reply is damaged, and its
    // body is not read.
    if (!InputFileMode) {
      Body.clear();
    } else if (std::FILE* f = std::fopen(Body.c_str(), "wb")) {
      std::fclose(f);  // no stale body of an earlier reply is left in it
    }
    return;
  }
  const int64_t length = noBody ? 0 : m_lengthAnnounced ? m_contentLength : -1;
  int64_t received = 0;
  if (InputFileMode) {
    setCaptureFileEnd(length);
    struct Reset {
      THttpClient& client;
      ~Reset() { client.setCaptureFileEnd(-1); }
    } reset{*this};
    CaptureFile(Body);
    received = BytesRecvd();
  } else {
    if (MaxBodySize > 0 && length > static_cast<int64_t>(MaxBodySize)) {
      m_bodyTooLarge = true;
      throw ESockError("Response body too large");
    }
    setCaptureBound(MaxBodySize);
    struct Reset {
      THttpClient& client;
      ~Reset() { client.setCaptureBound(0); }
    } reset{*this};
    // A length beyond what the text can count is read until the peer
    // closes; it is never complete.
    CaptureString(Body, length >= 0 && length <= INT_MAX ? static_cast<int>(length) : -1);
    if (captureBoundHit()) {
      m_bodyTooLarge = true;
      Body.clear();
      throw ESockError("Response body too large");
    }
    // Bytes beyond the announced length belong to no reply.
    if (length >= 0 && static_cast<int64_t>(Body.size()) > length) {
      Body.resize(static_cast<size_t>(length));
    }
    received = static_cast<int64_t>(Body.size());
  }
  m_replyComplete = m_headerComplete && brokenError() == 0 && (length < 0 || received >= length);
  if (ReplyNumber() < 299) {
    if (OnSuccess) OnSuccess(*this, m_command);
    ReportStatus(kStatusOutcome, "Transaction Completed");
  } else if (ReplyNumber() > 399) {
    if (OnFailure) OnFailure(*this, m_command);
  }
}

}  // namespace glx
