#include "app/webengine/local_profile.h"

#include <QDir>
#include <QWebEngineSettings>

namespace glx {

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

QWebEngineProfile* makeLocalProfile(const std::string& folder, QObject* parent) {
  auto* profile = new QWebEngineProfile(parent);  // no storage name: off the record
  profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
  profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
  profile->setUrlRequestInterceptor(new LocalOnlyInterceptor(folder, profile));
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
