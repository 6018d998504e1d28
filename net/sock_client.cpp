#include "net/sock_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QSocketNotifier>
#include <QTimer>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>
#include <utility>

#include "platform/errors.h"

namespace glx {

namespace {

// Messages 1125 to 1128 travel as one custom event type carrying the number.
const QEvent::Type kSockEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class SockMessage : public QEvent {
 public:
  explicit SockMessage(int message) : QEvent(kSockEventType), m_message(message) {}
  int message() const { return m_message; }

 private:
  int m_message;
};

// A large body is written once from start to end: huge pages spare the
// system one page fault per 4 KiB, which costs more than the copy itself.
void adviseLargeBuffer(std::string& text) {
  constexpr uintptr_t kHugePage = 2u * 1024 * 1024;
  const auto begin = reinterpret_cast<uintptr_t>(text.data());
  const uintptr_t end = begin + text.capacity();
  const uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t last = end & ~(kHugePage - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

int g_winsockUsers = 0;
std::vector<std::string> g_winsockInfo;

}  // namespace

// Stands for the hidden notification window: receives the posted messages.
class SockNotifyWindow : public QObject {
 public:
  explicit SockNotifyWindow(TSockClient* client) : m_client(client) {}
  bool event(QEvent* e) override {
    if (e->type() == kSockEventType) {
      m_client->dispatch(static_cast<SockMessage*>(e)->message(), 0, 0);
      return true;
    }
    return QObject::event(e);
  }

 private:
  TSockClient* m_client;
};

// ---------------------------------------------------------------------------
// Creation and destruction

TSockClient::TSockClient(std::shared_ptr<HostLookup> lookup)
    : m_lookup(lookup ? std::move(lookup) : systemHostLookup()),
      m_alive(std::make_shared<bool>(true)) {
  ReportStatus(kStatusTrace, "Create");
  m_notify = std::make_unique<SockNotifyWindow>(this);
  m_passTimer = new QTimer(m_notify.get());
  m_passTimer->setSingleShot(true);
  m_passTimer->setTimerType(Qt::PreciseTimer);
  m_chunk.resize(kChunk);
  m_timeoutTimer = std::make_unique<TThreadTimer>();
  m_timeoutTimer->SetEnabled(false);
  m_timeoutTimer->SetOnTimer([this](TThreadTimer&) { TimerFired(); });
  m_receiveTimer = std::make_unique<TThreadTimer>();
  m_receiveTimer->SetEnabled(false);
  m_receiveTimer->SetOnTimer([this](TThreadTimer&) { ReceiveTimerFired(); });
  m_remoteAddress.sin_family = AF_INET;
  InitWinsock();
}

void TSockClient::beginDestruction() {
  if (m_lifecycle != Lifecycle::Live) return;
  m_lifecycle = Lifecycle::Ending;
  ReportStatus(kStatusTrace, "Destroy");
  Abort();
  // What an overriding Abort does as well: end a pending lookup wait.
  m_lookupDone = true;
  Cancel();
}

TSockClient::~TSockClient() {
  beginDestruction();
  if (m_lookupId >= 0 && m_lookup) m_lookup->abort(m_lookupId);
  *m_alive = false;
  m_timeoutTimer.reset();
  m_receiveTimer.reset();
  if (m_sendFile >= 0) ::close(m_sendFile);
  if (m_recvFile) std::fclose(m_recvFile);
  m_lifecycle = Lifecycle::Closing;
  try {
    CloseSocket();
  } catch (...) {
    // A failing close must not escape a destructor.
  }
  m_notify.reset();
  if (--g_winsockUsers == 0) g_winsockInfo.clear();
}

void TSockClient::InitWinsock() {
  ReportStatus(kStatusTrace, "Initializing Winsock");
  if (g_winsockUsers++ == 0) {
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    g_winsockInfo = {"Version= 1.1",
                     "High Version= 1.1",
                     "Description= POSIX sockets",
                     "System= Running",
                     "Max Sockets= " + std::to_string(files.rlim_cur),
                     "Max Udp pack size= 65507"};
  }
  m_socketHandle = makeSocket(true);
  if (m_socketHandle < 0) {
    if (--g_winsockUsers == 0) g_winsockInfo.clear();
    throw ESockError("Initializaton of windows sockets failed");
  }
}

std::vector<std::string> TSockClient::WinsockInfo() { return g_winsockInfo; }

int TSockClient::makeSocket(bool withLinger) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC,
                          withLinger ? IPPROTO_TCP : 0);
  if (fd < 0) return -1;
  if (withLinger) {
    // Closing resets the connection at once.
    linger l{};
    l.l_onoff = 1;
    l.l_linger = 0;
    if (::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l) != 0) {
      ::close(fd);
      return -1;
    }
  }
  // No notifier yet: an unconnected socket polls as writable and hung up.
  m_socketUsed = false;
  return fd;
}

// ---------------------------------------------------------------------------
// Notifications

void TSockClient::makeNotifiers() {
  dropNotifiers();
  m_notificationsStopped = false;
  m_readNotifier = new QSocketNotifier(m_socketHandle, QSocketNotifier::Read, m_notify.get());
  m_readNotifier->setEnabled(false);
  QObject::connect(m_readNotifier, &QSocketNotifier::activated, m_notify.get(),
                   [this] { onReadable(); });
  m_writeNotifier = new QSocketNotifier(m_socketHandle, QSocketNotifier::Write, m_notify.get());
  m_writeNotifier->setEnabled(false);
  QObject::connect(m_writeNotifier, &QSocketNotifier::activated, m_notify.get(),
                   [this] { onWritable(); });
}

void TSockClient::dropNotifiers() {
  // Disabled at once; deleted later because this may run inside their own
  // activation.
  for (QSocketNotifier** n : {&m_readNotifier, &m_writeNotifier}) {
    if (*n) {
      (*n)->setEnabled(false);
      QObject::disconnect(*n, nullptr, nullptr, nullptr);
      (*n)->deleteLater();
      *n = nullptr;
    }
  }
}

void TSockClient::stopNotifications() {
  m_notificationsStopped = true;
  if (m_readNotifier) m_readNotifier->setEnabled(false);
  if (m_writeNotifier) m_writeNotifier->setEnabled(false);
}

void TSockClient::updateWriteNotifier() {
  if (!m_writeNotifier) return;
  const bool want = !m_notificationsStopped && m_brokenError == 0 &&
                    (m_link == LinkState::Connecting ||
                     (m_link == LinkState::Connected && somethingToSend()));
  if (m_writeNotifier->isEnabled() != want) m_writeNotifier->setEnabled(want);
}

bool TSockClient::readNotifierEnabled() const {
  return m_readNotifier && m_readNotifier->isEnabled();
}

bool TSockClient::writeNotifierEnabled() const {
  return m_writeNotifier && m_writeNotifier->isEnabled();
}

void TSockClient::onReadable() {
  ++m_notificationCount;
  // Peek to tell data from the peer's close, as the two events differ.
  char probe;
  const ssize_t n = ::recv(m_socketHandle, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
  if (n > 0) {
    dispatch(kMsgSocket, kEventRead, 0);
  } else if (n == 0) {
    if (m_readNotifier) m_readNotifier->setEnabled(false);
    dispatch(kMsgSocket, kEventClose, 0);
  } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
    const int error = winsockErrorFromErrno(errno);
    if (m_readNotifier) m_readNotifier->setEnabled(false);
    if (m_brokenError == 0) m_brokenError = error;
    dispatch(kMsgSocket, kEventClose, error);
  }
}

void TSockClient::onWritable() {
  ++m_notificationCount;
  if (m_link == LinkState::Connecting) {
    m_link = LinkState::Closed;
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(m_socketHandle, SOL_SOCKET, SO_ERROR, &error, &len) != 0) error = errno;
    if (m_writeNotifier) m_writeNotifier->setEnabled(false);
    if (error == 0 && m_readNotifier) m_readNotifier->setEnabled(true);
    dispatch(kMsgSocket, kEventConnect, winsockErrorFromErrno(error));
    updateWriteNotifier();
    return;
  }
  dispatch(kMsgSocket, kEventWrite, 0);
}

void TSockClient::postMessage(int message) {
  QCoreApplication::postEvent(m_notify.get(), new SockMessage(message));
}

void TSockClient::dispatch(int message, int event, int errorWord) {
  try {
    if (message == kMsgSocket || message == kMsgLookup) m_lastEventOk = errorWord == 0;
    switch (message) {
      case kMsgSocket:
        socketEvent(event);
        break;
      case kMsgLookup:
        m_lookupDone = true;
        break;
      case kMsgWrite:
        WriteFromStream();
        break;
      case kMsgRead:
        ReadToStream();
        break;
      default:
        break;
    }
  } catch (const std::bad_alloc&) {
    // Memory ran out: dropping the bytes would leave the operation waiting
    // for ever, so it ends with the failure instead.
    if (!m_pendingFailure) m_pendingFailure = std::current_exception();
    stopNotifications();
  } catch (...) {
    // Other failures inside notification handling, handlers included, are
    // dropped: the waiting operation sees the state and reports.
  }
}

void TSockClient::socketEvent(int event) {
  switch (event) {
    case kEventRead:
      ReadToStream();
      break;
    case kEventWrite:
      WriteFromStream();
      break;
    case kEventAccept:
      m_link = LinkState::Connected;
      fire(OnAccept);
      break;
    case kEventConnect:
      if (m_lastEventOk) {
        m_link = LinkState::Connected;
        fire(OnConnect);
      }
      break;
    case kEventClose:
      closeNotification();
      break;
    default:
      break;  // out-of-band data is not used
  }
}

void TSockClient::closeNotification() {
  while (!m_canceled) {
    const ssize_t n = ::recv(m_socketHandle, m_chunk.data(), kChunk, MSG_DONTWAIT);
    if (n <= 0) break;
    appendReceived(m_chunk.data(), static_cast<size_t>(n));
  }
  m_link = LinkState::Closed;
  CloseSocket();
}

void TSockClient::ReadToStream() {
  if (m_canceled) {
    stopNotifications();
    fire(OnReadCanceled);
  }
  if (m_handlerBusy) return;
  bool stored = false;
  {
    const QScopedValueRollback busy(m_handlerBusy, true);
    ReportStatus(kStatusTrace, "ReadToStream");
    const ssize_t n = ::recv(m_socketHandle, m_chunk.data(), kChunk, MSG_DONTWAIT);
    if (n < 0) {
      m_lastErrorNo = winsockErrorFromErrno(errno);
      if (OnSocketError) {
        OnSocketError(*this, static_cast<uint16_t>(m_lastErrorNo), ErrorMessage(m_lastErrorNo));
      }
    } else {
      appendReceived(m_chunk.data(), static_cast<size_t>(n));
      if (n > 0) restartReceiveTimer();
      stored = true;
      if (m_capturing) {
        m_bytesRecvd += static_cast<uint32_t>(n);
        fire(OnPacketRecvd);
      }
      if (n == kChunk) postMessage(kMsgRead);
    }
  }
  if (stored) fire(OnDataAvailable);
}

void TSockClient::WriteFromStream() {
  if (m_handlerBusy) return;
  // On every way out, the handler is free again first and Write is then
  // watched as the queue now needs.
  const auto watch = qScopeGuard([this] { updateWriteNotifier(); });
  const QScopedValueRollback busy(m_handlerBusy, true);
  ReportStatus(kStatusTrace, "WriteFromStream");
  if (!somethingToSend() || m_canceled) return;
  ssize_t n;
  if (m_sendFile >= 0) {
    const ssize_t got = ::pread(m_sendFile, m_chunk.data(), kChunk, m_bytesSent);
    if (got <= 0) {
      // The file shrank or failed: nothing more can be sent from it.
      m_bytesTotal = static_cast<int32_t>(m_bytesSent);
      m_sendDone = true;
      return;
    }
    n = ::send(m_socketHandle, m_chunk.data(), static_cast<size_t>(got), MSG_NOSIGNAL);
  } else {
    const size_t len = std::min<size_t>(kChunk, m_send.size() - m_sendHead);
    n = ::send(m_socketHandle, m_send.data() + m_sendHead, len, MSG_NOSIGNAL);
  }
  if (n < 0) {
    noteSendFailure(errno);
  } else {
    takeSent(static_cast<size_t>(n));
  }
}

void TSockClient::noteSendFailure(int error) {
  m_lastErrorNo = winsockErrorFromErrno(error);
  // A broken connection would keep the socket writable, so Write stops
  // being watched; the read side reports the close. The first error is
  // the one that broke the connection.
  if (Connected() && error != EAGAIN && error != EWOULDBLOCK && error != EINTR &&
      m_brokenError == 0) {
    m_brokenError = m_lastErrorNo;
  }
}

void TSockClient::takeSent(size_t n) {
  bool remains;
  if (m_sendFile >= 0) {
    remains = static_cast<int64_t>(m_bytesSent) + static_cast<int64_t>(n) < m_bytesTotal;
  } else {
    m_sendHead += n;
    remains = m_sendHead < m_send.size();
    if (!remains) {
      m_send.clear();
      m_sendHead = 0;
    } else if (m_sendHead > m_send.size() / 2) {
      m_send.erase(0, m_sendHead);
      m_sendHead = 0;
    }
  }
  if (remains) {
    postMessage(kMsgWrite);
  } else {
    m_sendDone = true;
  }
  m_bytesSent += static_cast<uint32_t>(n);
  if (m_capturing) fire(OnPacketSent);
}

// ---------------------------------------------------------------------------
// Waiting

void TSockClient::waitPass() {
  if (!QCoreApplication::instance()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    raisePendingFailure();
    return;
  }
  // The single-shot timer bounds the wait; any event ends it sooner.
  m_passTimer->start(2);
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  raisePendingFailure();
}

void TSockClient::raisePendingFailure() {
  if (m_pendingFailure) std::rethrow_exception(std::exchange(m_pendingFailure, nullptr));
}

void TSockClient::fire(const Notify& event) {
  if (event) event(*this);
}

void TSockClient::ReportStatus(StatusLevel level, const std::string& text) {
  if (ReportLevel >= level) {
    m_lastStatus = text;
    if (m_lifecycle != Lifecycle::Closing && OnStatus) OnStatus(*this, text);
  }
}

// ---------------------------------------------------------------------------
// Connection

void TSockClient::Connect() {
  ReportStatus(kStatusTrace, "Connecting");
  m_canceled = false;
  if (Connected()) throw ESockError("Already connected");
  const uint32_t address = connectAddress();

  // A port beyond 16 bits would wrap round to another one.
  const int port = Proxy.empty() ? Port : ProxyPort;
  checkPortNumber(port, std::to_string(port));

  m_remoteAddress = sockaddr_in{};
  m_remoteAddress.sin_family = AF_INET;
  m_remoteAddress.sin_port = htons(static_cast<uint16_t>(port));
  m_remoteAddress.sin_addr.s_addr = address;
  startConnecting();

  TimerOn();
  waitUntil([this] { return Connected() || m_timedOut || m_canceled || !m_lastEventOk; });
  TimerOff();
  if (!m_timedOut && !m_canceled && m_lastEventOk) return;

  m_link = LinkState::Closed;
  replaceFailedSocket();
  fire(OnConnectionFailed);
  if (m_timedOut) throw ESockError("Connection Timed out");
  if (m_canceled) throw ESockError("Connection Canceled");
  throw ESockError("Connection Failed");
}

uint32_t TSockClient::connectAddress() {
  uint32_t address = lookedUpAddress();
  if (address == 0 && OnInvalidHost) {
    bool handled = false;
    OnInvalidHost(*this, handled);
    if (handled) address = lookedUpAddress();
  }
  if (address == 0) throw ESockError("Null Remote Address");
  return address;
}

// 0 when the lookup failed; a lookup that timed out or was cancelled ends
// the connection attempt.
uint32_t TSockClient::lookedUpAddress() {
  ResolvedHost host;
  try {
    host = ResolveHost();
  } catch (const ESockError&) {
    // A handler's socket failure during the lookup counts as a failed one.
    return 0;
  }
  switch (host.outcome) {
    case Resolution::TimedOut:
      throw ESockError("Host Lookup Timed Out");
    case Resolution::Canceled:
      throw ESockError("Host Lookup Canceled");
    case Resolution::Failed:
      return 0;
    case Resolution::Resolved:
      break;
  }
  return host.address;
}

void TSockClient::startConnecting() {
  // A socket can carry one connection attempt; a fresh one replaces it.
  if (m_socketHandle < 0 || m_socketUsed) replaceFailedSocket();
  if (m_socketHandle < 0) CheckError(winsockErrorFromErrno(errno), -1);

  // Bytes left from an earlier connection do not belong to this one.
  clearSendQueue();
  m_recv.clear();
  m_recvHead = 0;
  m_lineFeedScan = 0;
  m_sendDone = true;

  m_lookupDone = false;
  m_lastEventOk = true;
  m_brokenError = 0;
  m_pendingFailure = nullptr;
  m_socketUsed = true;
  makeNotifiers();
  if (::connect(m_socketHandle, reinterpret_cast<const sockaddr*>(&m_remoteAddress),
                sizeof m_remoteAddress) != 0) {
    // A non-blocking connect answers "in progress": the normal case.
    const int e = errno;
    try {
      CheckError(e == EINPROGRESS ? kWsaEWouldBlock : winsockErrorFromErrno(e), kWsaEWouldBlock);
    } catch (...) {
      replaceFailedSocket();
      throw;
    }
  }
  m_link = LinkState::Connecting;
  updateWriteNotifier();
}

void TSockClient::replaceFailedSocket() {
  // Quietly: no close events for a socket that never connected.
  dropNotifiers();
  if (m_link == LinkState::Connecting) m_link = LinkState::Closed;
  if (m_socketHandle >= 0) ::close(m_socketHandle);
  m_socketHandle = makeSocket(false);
}

TSockClient::ResolvedHost TSockClient::ResolveHost() {
  ReportStatus(kStatusTrace, "Resolve Host");
  std::string name = Proxy.empty() ? Host : Proxy;
  if (name.size() > 127) name.resize(127);
  const in_addr_t dotted = ::inet_addr(name.c_str());
  if (dotted != INADDR_NONE) return {Resolution::Resolved, dotted};

  TimerOn();
  m_lookupDone = false;
  m_lookupError = 0;
  m_lookupAddress = 0;
  std::weak_ptr<bool> alive = m_alive;
  int id = -1;
  try {
    id = m_lookup->start(name, [this, alive](int error, uint32_t address) {
      auto token = alive.lock();
      if (!token || !*token) return;
      m_lookupId = -1;
      m_lookupError = error;
      m_lookupAddress = address;
      ++m_notificationCount;
      dispatch(kMsgLookup, 0, error);
    });
  } catch (...) {
    // A lookup that cannot start (its module missing) leaves no timer
    // running behind the caller.
    TimerOff();
    throw;
  }
  // The answer may already have come (it never comes from inside start()).
  if (!m_lookupDone) m_lookupId = id;
  waitUntil([this] { return m_lookupDone || m_timedOut || m_canceled; });
  TimerOff();
  if (m_lookupId >= 0) {
    m_lookup->abort(m_lookupId);
    m_lookupId = -1;
  }
  if (m_timedOut) return {Resolution::TimedOut, 0};
  if (m_canceled) return {Resolution::Canceled, 0};
  if (!m_lastEventOk || m_lookupError != 0) return {Resolution::Failed, 0};
  fire(OnHostResolved);
  return {Resolution::Resolved, m_lookupAddress};
}

void TSockClient::TimerOn() {
  ReportStatus(kStatusTrace, "Timer On");
  m_timedOut = false;
  if (TimeOut < 0) throw ERangeError();
  m_timeoutTimer->SetInterval(static_cast<unsigned>(TimeOut));
  m_timeoutTimer->SetEnabled(true);
}

void TSockClient::TimerOff() {
  ReportStatus(kStatusTrace, "Timer Off");
  m_timeoutTimer->SetEnabled(false);
}

void TSockClient::TimerFired() {
  ReportStatus(kStatusTrace, "Timer Triggered");
  TimerOff();
  m_timedOut = true;
  Abort();
}

// Arms the receive time-out for one reading operation that may wait on the
// connection, and disarms it however the operation ends.
class TSockClient::ReceiveWait {
 public:
  explicit ReceiveWait(TSockClient& client) : m_client(client) {
    client.m_receiveTimedOut = false;
    if (client.ReceiveTimeOut < 0) throw ERangeError();
    if (client.ReceiveTimeOut == 0 || !client.Connected()) return;
    client.m_receiveTimer->SetInterval(static_cast<unsigned>(client.ReceiveTimeOut));
    client.m_receiveTimer->SetEnabled(true);
  }
  ~ReceiveWait() {
    if (m_client.m_receiveTimer) m_client.m_receiveTimer->SetEnabled(false);
  }
  ReceiveWait(const ReceiveWait&) = delete;
  ReceiveWait& operator=(const ReceiveWait&) = delete;

 private:
  TSockClient& m_client;
};

void TSockClient::restartReceiveTimer() {
  // Re-setting the interval starts the time again.
  if (m_receiveTimer && m_receiveTimer->Enabled()) m_receiveTimer->SetInterval(m_receiveTimer->Interval());
}

void TSockClient::ReceiveTimerFired() {
  ReportStatus(kStatusTrace, "Timer Triggered");
  m_receiveTimer->SetEnabled(false);
  m_receiveTimedOut = true;
}

void TSockClient::raiseIfReceiveTimedOut() {
  if (m_receiveTimedOut) throw ESockError("Receive Timed out");
}

void TSockClient::Cancel() {
  ReportStatus(kStatusTrace, "Canceling");
  m_canceled = true;
}

void TSockClient::Abort() {}

void TSockClient::Disconnect() {
  ReportStatus(kStatusTrace, "Disconnecting");
  CloseSocket();
}

void TSockClient::CloseSocket() {
  ReportStatus(kStatusStep, "Request Close Socket");
  m_link = LinkState::Closed;
  if (m_socketHandle < 0) return;
  dropNotifiers();
  const int result = ::close(m_socketHandle);
  const int e = errno;
  m_socketHandle = -1;
  if (result != 0) CheckError(winsockErrorFromErrno(e), kWsaEWouldBlock);
  if (m_lifecycle != Lifecycle::Closing) fire(OnDisconnect);
  if (m_lifecycle != Lifecycle::Closing) m_socketHandle = makeSocket(false);
}

void TSockClient::CheckError(int errorNo, int tolerated) {
  ReportStatus(kStatusErrorCheck, "Checking Error In Error Manager");
  m_lastErrorNo = errorNo;
  if (m_lastErrorNo == tolerated) return;
  const std::string text = ErrorMessage(m_lastErrorNo);
  if (OnSocketError) OnSocketError(*this, static_cast<uint16_t>(m_lastErrorNo), text);
  throw ESockError(text);
}

std::string TSockClient::ErrorMessage(int number) {
  ReportStatus(kStatusTrace, "Looking Up Error Message");
  return socketErrorText(number);
}

int TSockClient::Accept() {
  waitUntil([this] { return m_lookupDone || m_canceled; });
  if (m_canceled) throw ESockError("Accepting Canceled");
  if (!m_lastEventOk) throw ESockError("Error creating Data Connection");
  ReportStatus(kStatusStep, "Accepting");
  sockaddr_in peer{};
  socklen_t len = sizeof peer;
  const int fd = ::accept4(m_socketHandle, reinterpret_cast<sockaddr*>(&peer), &len,
                           SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd >= 0) m_remoteAddress = peer;
  if (m_canceled) {
    m_canceled = false;
    if (fd >= 0) ::close(fd);
    throw EAbortError("Socket send aborted");
  }
  return fd;
}

// ---------------------------------------------------------------------------
// Queues

void TSockClient::appendReceived(const char* bytes, size_t n) {
  if (n == 0) return;
  if (m_recvFile) {
    if (m_recvFileError == 0 && std::fwrite(bytes, 1, n, m_recvFile) != n) {
      m_recvFileError = errno ? errno : EIO;
    }
    return;
  }
  if (m_captureTarget && receivedSize() == 0) {
    prefaultCapture(n);
    m_captureTarget->append(bytes, n);
    return;
  }
  m_recv.append(bytes, n);
}

void TSockClient::prefaultCapture(size_t incoming) {
  // Faulting pages in a few MiB at a time, ahead of the bytes, costs one
  // call where touching them would cost one fault per page; only memory
  // about to be written is committed.
  constexpr size_t kAhead = 4u * 1024 * 1024;
  constexpr uintptr_t kPage = 4096;
  std::string& text = *m_captureTarget;
  const size_t need = text.size() + incoming;
  if (need > text.capacity()) return;  // the append moves the text anyway
  if (text.data() != m_prefaultBase) {
    m_prefaultBase = text.data();
    m_prefaultedTo = 0;
  }
  if (need <= m_prefaultedTo) return;
  const auto base = reinterpret_cast<uintptr_t>(text.data());
  const size_t start = std::max(m_prefaultedTo, text.size());
  const size_t end = std::min(text.capacity(), start + kAhead);
  const uintptr_t from = (base + start) & ~(kPage - 1);
  const uintptr_t to = (base + end + kPage - 1) & ~(kPage - 1);
  ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
  m_prefaultedTo = end;
}

void TSockClient::FeedReceived(const std::string& bytes) {
  appendReceived(bytes.data(), bytes.size());
}

std::string TSockClient::QueuedReceived() const { return m_recv.substr(m_recvHead); }

size_t TSockClient::QueuedToSend() const { return m_send.size() - m_sendHead; }

void TSockClient::takeReceived(size_t n, std::string* into) {
  if (into) into->append(m_recv, m_recvHead, n);
  m_recvHead += n;
  if (m_recvHead >= m_recv.size()) {
    m_recv.clear();
    m_recvHead = 0;
  } else if (m_recvHead > m_recv.size() / 2) {
    // Keep the queue from growing: drop what was taken once it is the
    // larger part.
    m_recv.erase(0, m_recvHead);
    m_recvHead = 0;
  }
  m_lineFeedScan = m_recvHead;
}

size_t TSockClient::findLineFeed() {
  if (m_lineFeedScan < m_recvHead) m_lineFeedScan = m_recvHead;
  const void* hit = std::memchr(m_recv.data() + m_lineFeedScan, '\n',
                                m_recv.size() - m_lineFeedScan);
  if (hit) return static_cast<size_t>(static_cast<const char*>(hit) - m_recv.data());
  m_lineFeedScan = m_recv.size();
  return std::string::npos;
}

bool TSockClient::somethingToSend() const {
  if (m_sendFile >= 0) return static_cast<int64_t>(m_bytesSent) < m_bytesTotal;
  return m_sendHead < m_send.size();
}

void TSockClient::queueToSend(const char* bytes, size_t n) {
  m_send.append(bytes, n);
  m_sendDone = false;
  postMessage(kMsgWrite);
  updateWriteNotifier();
}

void TSockClient::clearSendQueue() {
  m_send.clear();
  m_sendHead = 0;
}

void TSockClient::waitSent(const char* abortText) {
  // Also ends when the connection is gone: queued bytes can never leave then.
  waitUntil([this] { return m_sendDone || m_canceled || !Connected(); });
  if (m_canceled) {
    m_canceled = false;
    throw EAbortError(abortText);
  }
  if (!m_sendDone) {
    clearSendQueue();
    m_sendDone = true;
    throw ESockError(socketErrorText(m_brokenError != 0 ? m_brokenError : kWsaENotConn));
  }
}

// ---------------------------------------------------------------------------
// Transfer operations

void TSockClient::SendBuffer(const char* bytes, uint16_t length) {
  ReportStatus(kStatusStep, "Sending Buffer");
  if (m_canceled) return;
  size_t n = length;
  if (n == 0) {
    n = std::strlen(bytes);
    if (n > 65535) throw ERangeError();
  }
  // Nothing to send would never be reported as sent.
  if (n == 0) return;
  queueToSend(bytes, n);
  waitSent("Socket send aborted");
}

void TSockClient::SendAll(const std::string& bytes) {
  ReportStatus(kStatusStep, "Sending Buffer");
  if (m_canceled) return;
  if (bytes.empty()) return;
  queueToSend(bytes.data(), bytes.size());
  waitSent("Socket send aborted");
}

void TSockClient::WriteAll(const std::string& text) {
  ReportStatus(kStatusTrace, "Write");
  SendAll(text);
}

void TSockClient::Write(const std::string& text) {
  ReportStatus(kStatusTrace, "Write");
  // Up to the first zero character, at most kWriteLimit characters.
  const size_t zero = text.find('\0');
  std::string staged = text.substr(0, std::min(zero, kWriteLimit));
  SendBuffer(staged.c_str(), 0);
}

void TSockClient::Writeln(const std::string& text) {
  ReportStatus(kStatusTrace, "Writeln");
  Write(text + "\r\n");
}

std::string TSockClient::ReadLn() {
  return ReadLnBounded(std::string::npos, std::string());
}

std::string TSockClient::ReadLnBounded(size_t maxLength, const std::string& tooLongText) {
  ReportStatus(kStatusTrace, "ReadLn");
  size_t lineFeed = std::string::npos;
  const ReceiveWait receiveWait(*this);
  // After the peer closed no line feed can come: the rest is the last line.
  waitUntil([&] {
    lineFeed = findLineFeed();
    return lineFeed != std::string::npos || m_canceled || !Connected() ||
           receivedSize() > maxLength || m_receiveTimedOut;
  });
  if (m_canceled) throw EAbortError("Socket readln aborted");
  if (lineFeed == std::string::npos) raiseIfReceiveTimedOut();
  const size_t length =
      lineFeed != std::string::npos ? lineFeed - m_recvHead + 1 : receivedSize();
  if (length > maxLength) throw ESockError(tooLongText);
  std::string line;
  takeReceived(length, &line);
  return line;
}

std::string TSockClient::Transaction(const std::string& command) {
  ReportStatus(kStatusTrace, "Transaction");
  m_replyNumber = 0;
  Writeln(command);
  m_lastReply = ReadLn();
  if (!m_lastReply.empty()) {
    ReportStatus(kStatusReply, m_lastReply);
    size_t digits = 0;
    while (digits < m_lastReply.size() && digits < 10 &&
           std::isdigit(static_cast<unsigned char>(m_lastReply[digits]))) {
      ++digits;
    }
    if (digits > 0) {
      const long long value = std::stoll(m_lastReply.substr(0, digits));
      if (value > 2147483647LL) {
        m_replyNumber = 0;  // does not convert
      } else if (value > 32767) {
        throw ERangeError();
      } else {
        m_replyNumber = static_cast<int16_t>(value);
      }
    }
  }
  return m_lastReply;
}

void TSockClient::CaptureString(std::string& text, int size) {
  text.clear();
  m_capturing = true;
  struct Reset {
    TSockClient& client;
    ~Reset() {
      client.m_capturing = false;
      client.m_captureTarget = nullptr;
    }
  } reset{*this};
  ReportStatus(kStatusTrace, "Capture String");
  m_bytesRecvd = 0;
  m_captureBoundHit = false;
  // A known length saves regrowing a large body; a hostile length only
  // reserves address space, and no more than kReserveLimit (or the bound).
  const int64_t expected = size >= 0 ? size : m_bytesTotal;
  if (expected > 0 && Connected()) {
    size_t reserve = std::min<size_t>(static_cast<size_t>(expected), kReserveLimit);
    if (m_captureBound > 0) reserve = std::min(reserve, m_captureBound);
    text.reserve(reserve + static_cast<size_t>(kChunk));
    adviseLargeBuffer(text);
  }
  if (!m_recvFile) m_captureTarget = &text;
  const ReceiveWait receiveWait(*this);
  while (!m_canceled && !m_receiveTimedOut &&
         ((size == -1 && (Connected() || receivedSize() > 0)) ||
          (size >= 0 && text.size() < static_cast<size_t>(size)))) {
    if (m_captureBound > 0 && text.size() > m_captureBound) {
      m_captureBoundHit = true;
      break;
    }
    if (receivedSize() > 0) {
      takeReceived(receivedSize(), &text);
    } else if (!Connected()) {
      break;  // the peer closed early: no more bytes will come
    } else {
      waitPass();
    }
  }
  m_capturing = false;
  m_captureTarget = nullptr;
  if (m_canceled) {
    m_canceled = false;
    throw EAbortError("Socket capture aborted");
  }
  // A time-out that came with the last awaited bytes ends nothing.
  const bool whole = size == -1 ? !Connected() : text.size() >= static_cast<size_t>(size);
  if (!whole) raiseIfReceiveTimedOut();
}

void TSockClient::CaptureFile(const std::string& fileName) {
  ReportStatus(kStatusTrace, "CaptureFile");
  std::FILE* file = std::fopen(fileName.c_str(), "wb");
  if (!file) throw inOutError(errno);
  m_recvFile = file;
  m_recvFileError = 0;
  m_capturing = true;
  m_bytesRecvd = 0;
  auto restore = [this] {
    std::FILE* f = m_recvFile;
    m_recvFile = nullptr;
    const bool closed = std::fclose(f) == 0;
    if (!closed && m_recvFileError == 0) m_recvFileError = errno ? errno : EIO;
    m_capturing = false;
  };
  try {
    const size_t queued = receivedSize();
    if (queued > 0) {
      appendReceived(m_recv.data() + m_recvHead, queued);
      takeReceived(queued, nullptr);
    }
    m_bytesRecvd = static_cast<uint32_t>(queued);
    const ReceiveWait receiveWait(*this);
    waitUntil([this] {
      return !Connected() || m_canceled || m_recvFileError != 0 || m_receiveTimedOut ||
             (m_captureFileEnd >= 0 && m_bytesRecvd >= m_captureFileEnd);
    });
  } catch (...) {
    restore();
    if (m_canceled) {
      m_canceled = false;
      throw EAbortError("Socket send aborted");
    }
    throw;
  }
  restore();
  if (m_canceled) {
    m_canceled = false;
    throw EAbortError("Socket send aborted");
  }
  if (m_recvFileError != 0) throw inOutError(m_recvFileError);
  raiseIfReceiveTimedOut();
}

void TSockClient::SendFile(const std::string& fileName) {
  ReportStatus(kStatusTrace, "SendFile");
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw inOutError(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int e = errno;
    ::close(fd);
    throw inOutError(e);
  }
  m_sendFile = fd;
  m_capturing = true;
  m_sendDone = false;
  m_bytesSent = 0;
  m_bytesTotal = static_cast<int32_t>(st.st_size);
  auto restore = [this] {
    ::close(m_sendFile);
    m_sendFile = -1;
    m_capturing = false;
  };
  try {
    postMessage(kMsgWrite);
    updateWriteNotifier();
    waitUntil([this] { return m_sendDone || m_canceled || m_bytesTotal <= 0 || !Connected(); });
  } catch (...) {
    restore();
    throw;
  }
  restore();
  updateWriteNotifier();
  if (m_canceled) {
    m_canceled = false;
    throw EAbortError("Socket send aborted");
  }
  if (!m_sendDone && m_bytesTotal > 0) {
    m_sendDone = true;
    throw ESockError(socketErrorText(m_brokenError != 0 ? m_brokenError : kWsaENotConn));
  }
}

}  // namespace glx
