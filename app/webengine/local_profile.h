// A browser profile that keeps nothing on disk and lets its pages load
// local files only: every request for anything else (the network, other
// schemes, files outside the allowed folder) is blocked.
#pragma once

#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <string>

namespace glx {

class LocalOnlyInterceptor : public QWebEngineUrlRequestInterceptor {
 public:
  // folder ends with "/"; empty allows every local file.
  explicit LocalOnlyInterceptor(std::string folder, QObject* parent = nullptr)
      : QWebEngineUrlRequestInterceptor(parent), m_folder(std::move(folder)) {}
  void interceptRequest(QWebEngineUrlRequestInfo& info) override;
  bool allows(const QUrl& url) const;

 private:
  std::string m_folder;
};

// The profile's pages open no connection of their own: WebRTC,
// WebTransport, WebSocket and EventSource are taken away before a page's
// first script (the interceptor sees only URL requests).
void keepOffTheNetwork(QWebEngineProfile* profile);

// An off-the-record profile with the interceptor installed, kept off the
// network.
QWebEngineProfile* makeLocalProfile(const std::string& folder, QObject* parent);

}  // namespace glx
