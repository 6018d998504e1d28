// The live preview's view: a web view whose page may load its own file and
// nothing else. Every other navigation (a click on the applet's link, a
// script changing the location, a new window) is refused and reported.
#include <QPointer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/web_engine_module.h"
#include "app/webengine/local_profile.h"

namespace glx {

namespace {

class GuardedPage : public QWebEnginePage {
 public:
  GuardedPage(QWebEngineProfile* profile, QObject* parent, std::function<void(const QUrl&)> refuse)
      : QWebEnginePage(profile, parent), m_refuse(std::move(refuse)) {}

  void expect(const QUrl& url) { m_expected = url; }

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
    if (isMainFrame && url == m_expected && type != NavigationTypeLinkClicked) return true;
    if (!isMainFrame && (url.scheme() == QLatin1String("about") || url.scheme() == QLatin1String("data")))
      return true;
    m_refuse(url);
    return false;
  }

  // A link with a new window as its target: the window's first navigation
  // is reported and refused, then the window goes.
  QWebEnginePage* createWindow(WebWindowType) override {
    auto* catcher = new GuardedPage(profile(), this, [this](const QUrl& url) { m_refuse(url); });
    catcher->expect(QUrl());
    return catcher;
  }

  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}

 private:
  std::function<void(const QUrl&)> m_refuse;
  QUrl m_expected;
};

class WebPlayerView : public PlayerView {
 public:
  WebPlayerView(QWidget* parent, const std::string& folder) {
    m_view = new QWebEngineView(parent);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    m_profile = makeLocalProfile(folder, m_view);
    m_page = new GuardedPage(m_profile, nullptr, [this](const QUrl& url) {
      if (url.isEmpty() || url.scheme() == QLatin1String("about")) return;
      if (onLinkRefused) onLinkRefused(url.toString().toStdString());
    });
    // The test page's own background, so a reload shows no white flash.
    m_page->setBackgroundColor(Qt::black);
    m_view->setPage(m_page);
    QObject::connect(m_page, &QWebEnginePage::loadFinished, m_view, [this](bool ok) {
      if (m_page->zoomFactor() != m_zoom) m_page->setZoomFactor(m_zoom);
      if (!m_playing) freeze();
      if (onLoaded) onLoaded(ok);
    });
    // A view is hidden after its parent page's hide event: freeze then.
    QObject::connect(m_page, &QWebEnginePage::visibleChanged, m_view, [this](bool visible) {
      if (!visible && !m_playing) freeze();
    });
    // The page goes before its profile (a child of the view).
    QObject::connect(m_view, &QObject::destroyed, [page = m_page] { delete page.data(); });
  }

  ~WebPlayerView() override {
    delete m_page.data();
    delete m_view.data();
  }

  QWidget* widget() override { return m_view; }

  void showPage(const std::string& pagePath) override {
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(pagePath));
    m_page->expect(url);
    m_page->setZoomFactor(m_zoom);
    if (m_playing) m_page->setLifecycleState(QWebEnginePage::LifecycleState::Active);
    m_page->load(url);
  }

  void setPlaying(bool playing) override {
    m_playing = playing;
    if (playing)
      m_page->setLifecycleState(QWebEnginePage::LifecycleState::Active);
    else
      freeze();
  }

  bool isPlaying() const override {
    return m_playing && m_page->lifecycleState() == QWebEnginePage::LifecycleState::Active;
  }

  void setZoom(double factor) override {
    m_zoom = factor;
    m_page->setZoomFactor(factor);
  }

  void runScript(const std::string& script, std::function<void(const QVariant&)> done) override {
    m_page->runJavaScript(QString::fromStdString(script), [done = std::move(done)](const QVariant& result) {
      if (done) done(result);
    });
  }

 private:
  // Only a hidden page may be frozen; a view that is still on screen while
  // it stops playing (the window is closing) is left to hide first.
  void freeze() {
    if (m_page->lifecycleState() == QWebEnginePage::LifecycleState::Active && !m_page->isVisible())
      m_page->setLifecycleState(QWebEnginePage::LifecycleState::Frozen);
  }

  QPointer<QWebEngineView> m_view;
  QWebEngineProfile* m_profile = nullptr;
  QPointer<GuardedPage> m_page;
  bool m_playing = false;
  double m_zoom = 1.0;
};

}  // namespace

PlayerView* createWebPlayerView(QWidget* parent, const std::string& folder) {
  return new WebPlayerView(parent, folder);
}

}  // namespace glx
