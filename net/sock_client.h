// TSockClient: a TCP client for the GUI thread. Its socket is non-blocking;
// socket readiness, the host lookup and the component's own posted messages
// arrive through Qt's event loop, and the blocking-style operations wait in a
// loop that keeps processing events, so the window stays responsive while
// the network works. Everything, handlers included, runs on the GUI thread.
//
// Failures are ESockError or EAbortError (net/sock_errors.h). Events are
// callbacks with the component as first argument; an empty one is skipped.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/host_lookup.h"
#include "net/sock_errors.h"
#include "net/thread_timer.h"

class QObject;
class QSocketNotifier;
class QTimer;

namespace glx {

class SockNotifyWindow;

class TSockClient {
 public:
  using Notify = std::function<void(TSockClient& sender)>;
  using HandlerEvent = std::function<void(TSockClient& sender, bool& handled)>;
  using StatusEvent = std::function<void(TSockClient& sender, const std::string& status)>;
  using SocketErrorEvent =
      std::function<void(TSockClient& sender, uint16_t errorNo, const std::string& message)>;

  // The socket events of message 1125 and the component's messages.
  enum SocketEvent { kEventRead = 1, kEventWrite = 2, kEventOob = 4, kEventAccept = 8,
                     kEventConnect = 16, kEventClose = 32 };
  enum Message { kMsgSocket = 1125, kMsgLookup = 1126, kMsgWrite = 1127, kMsgRead = 1128 };
  // Levels of the status texts: ReportLevel n reports those of level n and
  // below.
  enum StatusLevel {
    kStatusReply = 1,        // the reply line of a transaction
    kStatusOutcome = 2,      // how an exchange ended ("Transaction Completed")
    kStatusStep = 4,         // sending, accepting, closing the socket
    kStatusTrace = 8,        // every operation, timer and lookup step
    kStatusErrorCheck = 16,  // each check of the error manager
  };

  // Bytes moved per send or receive call.
  static constexpr int kChunk = 16383;
  // Longest text Write sends.
  static constexpr size_t kWriteLimit = 16385;
  // Most CaptureString reserves ahead for an announced length.
  static constexpr size_t kReserveLimit = 128u * 1024 * 1024;

  // lookup: where host names are resolved (tests pass a scripted one).
  explicit TSockClient(std::shared_ptr<HostLookup> lookup = systemHostLookup());
  virtual ~TSockClient();
  TSockClient(const TSockClient&) = delete;
  TSockClient& operator=(const TSockClient&) = delete;

  // Published properties.
  std::string Host;      // a name or a dotted IPv4 address
  int Port = 0;
  int TimeOut = 0;       // ms for lookup and connection; 0: no limit
  // ms a reading operation waits without a single byte arriving before it
  // fails with "Receive Timed out"; each byte starts the time again. 0: no
  // limit. Covers ReadLn, CaptureString and CaptureFile on a connection.
  int ReceiveTimeOut = 0;
  int ReportLevel = 0;   // status texts up to this level are reported
  std::string Proxy;     // empty: no proxy
  int ProxyPort = 0;

  // Published events.
  Notify OnConnect;
  Notify OnDisconnect;
  HandlerEvent OnInvalidHost;
  Notify OnHostResolved;
  StatusEvent OnStatus;
  Notify OnConnectionFailed;
  Notify OnPacketRecvd;
  Notify OnPacketSent;
  // Unpublished events.
  Notify OnDataAvailable;
  Notify OnAccept;
  SocketErrorEvent OnSocketError;
  Notify OnReadCanceled;

  // Connection.
  void Connect();
  void Disconnect();
  void Cancel();
  virtual void Abort();
  int Accept();

  // Data transfer.
  void SendBuffer(const char* bytes, uint16_t length);
  void Write(const std::string& text);
  void Writeln(const std::string& text);
  std::string ReadLn();
  std::string Transaction(const std::string& command);
  void SendFile(const std::string& fileName);
  void CaptureFile(const std::string& fileName);
  void CaptureString(std::string& text, int size);

  std::string ErrorMessage(int number);

  // State.
  bool Connected() const { return m_link == LinkState::Connected; }
  bool Canceled() const { return m_canceled; }
  bool TimedOut() const { return m_timedOut; }
  // Whether the last reading operation ended for ReceiveTimeOut.
  bool ReceiveTimedOut() const { return m_receiveTimedOut; }
  uint32_t BytesSent() const { return m_bytesSent; }
  uint32_t BytesRecvd() const { return m_bytesRecvd; }
  int32_t BytesTotal() const { return m_bytesTotal; }
  int LastErrorNo() const { return m_lastErrorNo; }
  int16_t ReplyNumber() const { return m_replyNumber; }
  const std::string& LastReply() const { return m_lastReply; }
  const std::string& LastStatus() const { return m_lastStatus; }
  // The connected peer (network byte order); 0 while unresolved.
  uint32_t RemoteAddress() const { return m_remoteAddress.sin_addr.s_addr; }
  uint16_t RemotePort() const { return ntohs(m_remoteAddress.sin_port); }
  // Information lines about the socket layer, filled once per process.
  static std::vector<std::string> WinsockInfo();

  // Queues bytes as if the socket had delivered them: the seam through which
  // tests and fuzzers feed a reply to the reading operations without a
  // network. Without a connection, the reading operations end when the queue
  // has nothing more to give.
  void FeedReceived(const std::string& bytes);
  // The received bytes not yet taken, and the bytes not yet sent.
  std::string QueuedReceived() const;
  size_t QueuedToSend() const;
  // True while any socket notification is enabled (an idle socket must have
  // none but Read), and how many notifications arrived so far.
  bool readNotifierEnabled() const;
  bool writeNotifierEnabled() const;
  uint64_t notificationCount() const { return m_notificationCount; }

 protected:
  // The first steps of destruction: "Destroy", Abort, Cancel. A derived
  // class calls it from its own destructor, while its Abort still runs;
  // later calls do nothing.
  void beginDestruction();
  void ReportStatus(StatusLevel level, const std::string& text);
  // ReadLn with a bound: a line longer than maxLength raises ESockError
  // tooLongText; keeps a hostile peer from growing the queue without end.
  std::string ReadLnBounded(size_t maxLength, const std::string& tooLongText);
  // Queues all bytes (zero bytes included) and waits until they are sent.
  void SendAll(const std::string& bytes);
  // Write without its length limit: reports "Write", then sends all bytes.
  void WriteAll(const std::string& text);
  // Ends CaptureString once the text holds more than bytes (0: no bound);
  // captureBoundHit() then tells that the bound ended it.
  void setCaptureBound(size_t bytes) { m_captureBound = bytes; }
  bool captureBoundHit() const { return m_captureBoundHit; }
  // Ends CaptureFile once bytes were received (-1: at the peer's close).
  void setCaptureFileEnd(int64_t bytes) { m_captureFileEnd = bytes; }
  // The socket error that broke the current connection, 0 if none did.
  int brokenError() const { return m_brokenError; }
  void setBytesTotal(int32_t value) { m_bytesTotal = value; }
  void setReplyNumber(int16_t value) { m_replyNumber = value; }
  void setLookupDone() { m_lookupDone = true; }

 private:
  friend class SockNotifyWindow;

  // Message handling on the GUI thread.
  void dispatch(int message, int event, int errorWord);
  void socketEvent(int event);
  void onReadable();
  void onWritable();
  void ReadToStream();
  void WriteFromStream();
  void noteSendFailure(int error);
  void takeSent(size_t n);
  void closeNotification();
  void postMessage(int message);

  // How a host lookup ended; the address is set when it was resolved.
  enum class Resolution { Resolved, Failed, TimedOut, Canceled };
  struct ResolvedHost {
    Resolution outcome = Resolution::Failed;
    uint32_t address = 0;
  };
  // The component's life, in order: Ending once beginDestruction ran,
  // Closing while the destructor closes the socket (no event fires then).
  enum class Lifecycle { Live, Ending, Closing };
  enum class LinkState { Closed, Connecting, Connected };

  void InitWinsock();
  ResolvedHost ResolveHost();
  // The address to connect to: resolved, with one more lookup when
  // OnInvalidHost handles a failed one.
  uint32_t connectAddress();
  uint32_t lookedUpAddress();
  void startConnecting();
  void TimerOn();
  void TimerOff();
  void TimerFired();
  // The receive time-out: armed while a reading operation waits on a
  // connection, restarted by every received byte.
  class ReceiveWait;
  void restartReceiveTimer();
  void ReceiveTimerFired();
  void raiseIfReceiveTimedOut();
  void CloseSocket();
  void CheckError(int errorNo, int tolerated);

  int makeSocket(bool withLinger);
  void makeNotifiers();
  void dropNotifiers();
  void stopNotifications();
  void updateWriteNotifier();
  void replaceFailedSocket();

  // One pass of a wait: up to 2 ms, ended early by any event.
  // An allocation failure met while handling a notification is kept here
  // and raised by the next wait of the operation.
  void waitPass();
  void raisePendingFailure();
  template <class Done>
  void waitUntil(Done done) {
    while (!done()) waitPass();
  }
  void fire(const Notify& event);

  // Queues.
  void appendReceived(const char* bytes, size_t n);
  void prefaultCapture(size_t incoming);
  size_t receivedSize() const { return m_recv.size() - m_recvHead; }
  void takeReceived(size_t n, std::string* into);
  size_t findLineFeed();
  bool somethingToSend() const;
  void queueToSend(const char* bytes, size_t n);
  void waitSent(const char* abortText);
  void clearSendQueue();

  std::shared_ptr<HostLookup> m_lookup;
  std::unique_ptr<SockNotifyWindow> m_notify;
  QSocketNotifier* m_readNotifier = nullptr;   // children of m_notify
  QSocketNotifier* m_writeNotifier = nullptr;
  QTimer* m_passTimer = nullptr;
  std::unique_ptr<TThreadTimer> m_timeoutTimer;
  std::unique_ptr<TThreadTimer> m_receiveTimer;
  std::shared_ptr<bool> m_alive;

  int m_socketHandle = -1;
  bool m_socketUsed = false;  // a connection was attempted on this socket
  sockaddr_in m_remoteAddress{};
  int m_lookupId = -1;
  int m_lookupError = 0;
  uint32_t m_lookupAddress = 0;

  // Outgoing: memory queue from m_sendHead, or a file during SendFile.
  std::string m_send;
  size_t m_sendHead = 0;
  int m_sendFile = -1;
  // Incoming: memory queue from m_recvHead, or a file during CaptureFile.
  std::string m_recv;
  size_t m_recvHead = 0;
  size_t m_lineFeedScan = 0;
  std::FILE* m_recvFile = nullptr;
  // The text of a running CaptureString: arriving bytes go straight into it
  // while nothing else is queued (the order stays that of the queue).
  std::string* m_captureTarget = nullptr;
  int m_recvFileError = 0;
  const char* m_prefaultBase = nullptr;
  size_t m_prefaultedTo = 0;
  std::vector<char> m_chunk;

  LinkState m_link = LinkState::Closed;
  Lifecycle m_lifecycle = Lifecycle::Live;
  bool m_canceled = false;
  bool m_timedOut = false;
  bool m_receiveTimedOut = false;
  bool m_lastEventOk = true;
  bool m_lookupDone = false;
  bool m_sendDone = true;
  bool m_capturing = false;
  bool m_handlerBusy = false;
  bool m_notificationsStopped = false;
  size_t m_captureBound = 0;
  bool m_captureBoundHit = false;
  int64_t m_captureFileEnd = -1;
  std::exception_ptr m_pendingFailure;
  int m_brokenError = 0;  // the error that broke the connection, if any

  uint32_t m_bytesSent = 0;
  uint32_t m_bytesRecvd = 0;
  int32_t m_bytesTotal = 0;
  int m_lastErrorNo = 0;
  int16_t m_replyNumber = 0;
  std::string m_lastReply;
  std::string m_lastStatus;
  uint64_t m_notificationCount = 0;
};

}  // namespace glx
