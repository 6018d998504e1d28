// The system resolver through QHostInfo, in a module of its own: Qt's
// network library (and the Kerberos and proxy libraries it brings) is
// loaded only when the program first looks up a host name.
#include "net/host_lookup.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QPointer>
#include <cstring>
#include <map>

#include "net/sock_errors.h"

namespace glx {

namespace {

class QtHostLookup : public HostLookup {
 public:
  int start(const std::string& name, Done done) override {
    forgetFinished();
    // The context object drops the answer once abort() deleted it.
    QPointer<QObject> context = new QObject;
    const int id = QHostInfo::lookupHost(
        QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())), context.data(),
        [context, done](const QHostInfo& info) {
          if (context) context->deleteLater();
          done(errorOf(info), firstIPv4(info));
        });
    m_pending[id] = context;
    return id;
  }

  void abort(int id) override {
    auto it = m_pending.find(id);
    if (it == m_pending.end()) return;
    QHostInfo::abortHostLookup(id);
    delete it->second.data();
    m_pending.erase(it);
  }

 private:
  // Answered lookups leave entries whose context is gone.
  void forgetFinished() {
    for (auto it = m_pending.begin(); it != m_pending.end();) {
      it = it->second.isNull() ? m_pending.erase(it) : std::next(it);
    }
  }

  static uint32_t firstIPv4(const QHostInfo& info) {
    for (const QHostAddress& a : info.addresses()) {
      if (a.protocol() == QAbstractSocket::IPv4Protocol) return htonlValue(a.toIPv4Address());
    }
    return 0;
  }

  static uint32_t htonlValue(uint32_t hostOrder) {
    const unsigned char b[4] = {static_cast<unsigned char>(hostOrder >> 24),
                                static_cast<unsigned char>(hostOrder >> 16),
                                static_cast<unsigned char>(hostOrder >> 8),
                                static_cast<unsigned char>(hostOrder)};
    uint32_t n;
    std::memcpy(&n, b, 4);
    return n;
  }

  static int errorOf(const QHostInfo& info) {
    switch (info.error()) {
      case QHostInfo::NoError:
        return firstIPv4(info) == 0 ? kWsaNoData : 0;
      case QHostInfo::HostNotFound:
        return kWsaHostNotFound;
      default:
        return kWsaNoRecovery;
    }
  }

  std::map<int, QPointer<QObject>> m_pending;
};

}  // namespace

}  // namespace glx

// The module's one entry point, resolved by name when the program loads it.
extern "C" Q_DECL_EXPORT glx::HostLookup* glimmeraxHostLookup() {
  static glx::QtHostLookup lookup;
  return &lookup;
}
