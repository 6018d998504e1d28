#include "app/webengine/local_profile.h"

#include <QDir>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

namespace glx {

namespace {

// Runs before any script of a page, in every frame: the interfaces that
// open connections of their own, past the request interceptor, are gone
// and cannot be put back. (A frame's window reached by index, frames[i],
// before any element hands it out keeps them: the page's policy lets no
// script but the player run to do that.)
const char kNoConnectionsScript[] = R"JS(
(function () {
  'use strict';
  var names = ['RTCPeerConnection', 'webkitRTCPeerConnection', 'RTCDataChannel', 'RTCIceTransport',
               'RTCSctpTransport', 'RTCDtlsTransport', 'WebTransport', 'WebSocket', 'EventSource'];
  function scrub(win) {
    names.forEach(function (name) {
      try {
        delete win[name];
        Object.defineProperty(win, name, { value: undefined, writable: false, configurable: false });
      } catch (e) {}
    });
    // A frame made by a script starts as about:blank without an injection
    // of its own: its window is scrubbed as it is handed out.
    ['HTMLIFrameElement', 'HTMLFrameElement', 'HTMLObjectElement'].forEach(function (type) {
      try {
        var proto = win[type].prototype;
        ['contentWindow', 'contentDocument'].forEach(function (property) {
          var get = Object.getOwnPropertyDescriptor(proto, property).get;
          Object.defineProperty(proto, property, {
            configurable: false,
            enumerable: true,
            get: function () {
              var value = get.call(this);
              var child = value && (value.defaultView || value);
              if (child && child !== win && !child.__glimmeraxScrubbed) scrub(child);
              return value;
            }
          });
        });
      } catch (e) {}
    });
    try {
      Object.defineProperty(win, '__glimmeraxScrubbed', { value: true });
    } catch (e) {}
  }
  scrub(window);
})();
)JS";

}  // namespace

bool LocalOnlyInterceptor::allows(const QUrl& url) const {
  const QString scheme = url.scheme();
  if (scheme == QLatin1String("data") || scheme == QLatin1String("blob") || scheme == QLatin1String("about"))
    return true;
  if (scheme != QLatin1String("file") || !url.host().isEmpty()) return false;
  if (m_folder.empty()) return true;
  const QString path = QDir::cleanPath(url.toLocalFile());
  return path.startsWith(QString::fromStdString(m_folder));
}

void LocalOnlyInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info) {
  if (!allows(info.requestUrl())) info.block(true);
}

void keepOffTheNetwork(QWebEngineProfile* profile) {
  QWebEngineScript script;
  script.setName(QStringLiteral("glimmerax-no-connections"));
  script.setSourceCode(QString::fromLatin1(kNoConnectionsScript));
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setRunsOnSubFrames(true);
  profile->scripts()->insert(script);
  // WebRTC would offer only the public interface, were it reachable.
  profile->settings()->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
}

QWebEngineProfile* makeLocalProfile(const std::string& folder, QObject* parent) {
  auto* profile = new QWebEngineProfile(parent);  // no storage name: off the record
  profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
  profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
  profile->setUrlRequestInterceptor(new LocalOnlyInterceptor(folder, profile));
  keepOffTheNetwork(profile);
  QWebEngineSettings* settings = profile->settings();
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
  settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
  settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
  settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
  return profile;
}

}  // namespace glx
