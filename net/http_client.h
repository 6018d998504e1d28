// THttpClient: HTTP/1.0 requests on the socket client. One call (Get, Post,
// ...) runs a whole exchange: split the URL, build the request, connect
// (directly or through Proxy/ProxyPort), send, read the status line and the
// header, collect the body (its announced length, or until the server
// closes), disconnect, and repeat for redirections. Results are in Body, Header and ReplyNumber(); failures
// are raised (ESockError, EAbortError, EConvertError, glx::Error).
//
// Typical use:
//   THttpClient http;
//   http.Get("http://host:8080/servlet/query?x=1");
//   if (http.ReplyNumber() == 200) use(http.Body);
// Cancel() from an event handler or a timer ends a waiting exchange.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "net/http_support.h"
#include "net/sock_client.h"

namespace glx {

enum CmdType : uint8_t {
  kCmdGet = 0,
  kCmdOptions = 1,
  kCmdHead = 2,
  kCmdPost = 3,
  kCmdPut = 4,
  kCmdPatch = 5,
  kCmdCopy = 6,
  kCmdMove = 7,
  kCmdDelete = 8,
  kCmdLink = 9,
  kCmdUnlink = 10,
  kCmdTrace = 11,
};

class THttpClient : public TSockClient {
 public:
  using HttpNotify = std::function<void(THttpClient& sender)>;
  using ResultEvent = std::function<void(THttpClient& sender, CmdType cmd)>;
  using HttpHandlerEvent = std::function<void(THttpClient& sender, bool& handled)>;

  // Repetitions of an exchange for redirections before giving up.
  static constexpr int kMaxRedirections = 20;
  // Longest response header line, and the whole response header.
  static constexpr size_t kMaxHeaderLine = 64 * 1024;
  static constexpr size_t kMaxHeader = 1024 * 1024;

  explicit THttpClient(std::shared_ptr<HostLookup> lookup = systemHostLookup());
  ~THttpClient() override;

  // Published properties.
  std::string Body = "Default.htm";  // the body, or its file name in InputFileMode
  std::string Header = "Head.txt";   // status and header lines, or their file
  THeaderInfo HeaderInfo;
  bool InputFileMode = false;
  bool OutputFileMode = false;
  // Most bytes a body may have in string mode; a larger one fails the
  // exchange with "Response body too large" (0: no limit).
  size_t MaxBodySize = 0;

  // Published events.
  HttpNotify OnAboutToSend;
  ResultEvent OnSuccess;   // reply number below 299
  ResultEvent OnFailure;   // reply number above 399
  HttpHandlerEvent OnRedirect;
  HttpNotify OnAuthenticationNeeded;

  // Commands.
  void Get(const std::string& url);
  void Options(const std::string& url);
  void Head(const std::string& url);
  void Delete(const std::string& url);
  void Post(const std::string& url, const std::string& data);
  void Put(const std::string& url, const std::string& data);
  void Patch(const std::string& url, const std::string& data);
  void Trace(const std::string& url, const std::string& data);
  void Copy(const std::string& url, const std::string& target);
  void Move(const std::string& url, const std::string& target);
  void Link(const std::string& url, const std::string& target);
  void Unlink(const std::string& url, const std::string& target);

  // Ends a pending lookup at once and cancels the waiting operation.
  void Abort() override;

  // The steps of an exchange, callable on their own (tests, fuzzing).
  void Execute();
  // Splits RequestURL() into Host, Port and RequestPath().
  void ParseURL();
  void BuildRequestHeader();
  void SendRequest();
  void ReadResponseHeader();
  // ReadResponseHeader, the body, and OnSuccess/OnFailure: everything after
  // the request was sent. With FeedReceived() it reads a reply without a
  // network.
  void ReadResponse();

  const std::string& RequestURL() const { return m_requestURL; }
  void SetRequestURL(const std::string& url) { m_requestURL = url; }
  const std::string& RequestPath() const { return m_requestPath; }
  void SetCommand(CmdType command) { m_command = command; }
  CmdType Command() const { return m_command; }
  void SetRequestData(const std::string& data) { m_requestData = data; }
  void SetRequestTarget(const std::string& target) { m_requestTarget = target; }
  const TExStringList& RequestLines() const { return m_requestLines; }
  // The request header as sent: every line followed by CR LF.
  std::string RequestText() const { return m_requestLines.Text(); }
  const std::string& ResponseCookie() const { return m_responseCookie; }
  // Whether the last reply arrived whole: its header ended with the empty
  // line, its Content-Length (if any) reads as a size, its body has that
  // length, and no connection error ended it.
  bool ReplyComplete() const { return m_replyComplete; }
  // The body length the last reply's header announced (at most 2^63 - 1);
  // none when it announced none or one that does not read as a size.
  std::optional<int64_t> AnnouncedLength() const {
    if (!m_lengthAnnounced || m_lengthDamaged) return std::nullopt;
    return m_contentLength;
  }
  // Whether the last exchange failed because its body passed MaxBodySize.
  bool BodyTooLarge() const { return m_bodyTooLarge; }
  bool DecodePostData() const { return m_decodePostData; }
  void SetDecodePostData(bool decode) { m_decodePostData = decode; }

 private:
  void run(CmdType command, const std::string& url);
  void appendHeaderLine(const std::string& line, std::FILE* file, size_t& total);

  std::string m_requestURL;
  std::string m_requestPath;
  TExStringList m_requestLines;
  std::string m_requestData;
  std::string m_requestTarget;
  CmdType m_command = kCmdGet;
  std::string m_responseCookie;
  bool m_decodePostData = true;
  bool m_locationReceived = false;
  bool m_sentHead = false;
  bool m_headerComplete = false;
  bool m_lengthAnnounced = false;
  bool m_lengthDamaged = false;   // a Content-Length that does not read as a size
  int64_t m_contentLength = 0;
  bool m_replyComplete = false;
  bool m_bodyTooLarge = false;
};

}  // namespace glx
