// Rendering an effect's steps for export: the player script runs in a page
// with no window; its renderer draws each step into a canvas whose pixels
// come back as one byte array per step.
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "app/web_engine_module.h"
#include "app/webengine/local_profile.h"

namespace glx {

namespace {

constexpr int kLoadTimeoutMs = 60000;
constexpr int kStepTimeoutMs = 30000;

// Runs in the export page after the player: loads the images, makes the
// renderer and offers one function that draws a step and returns its RGBA
// bytes. Its state is in window.glimmeraxExport.
const char kDriver[] = R"JS(
(function (spec) {
  'use strict';
  window.glimmeraxExport = { ready: false };
  function load(url) {
    return new Promise(function (resolve) {
      if (!url) { resolve(null); return; }
      var image = new Image();
      image.onload = function () { resolve(image); };
      image.onerror = function () { resolve(null); };
      image.src = url;
    });
  }
  Promise.all(spec.images.map(load)).then(function (images) {
    try {
      if (!window.GlimmeraxPlayer) throw new Error('The player script did not load');
      var renderer = window.GlimmeraxPlayer.createRenderer({
        code: spec.code, width: spec.width, height: spec.height, params: spec.params, images: images });
      var canvas = document.createElement('canvas');
      canvas.width = spec.width;
      canvas.height = spec.height;
      var ctx = canvas.getContext('2d', { willReadFrequently: true });
      window.glimmeraxExport = {
        ready: true,
        cycleLength: renderer.cycleLength | 0,
        stepMs: renderer.stepMs | 0,
        frame: function (step) {
          ctx.save();
          ctx.fillStyle = '#000';
          ctx.fillRect(0, 0, spec.width, spec.height);
          ctx.restore();
          renderer.render(ctx, step);
          return ctx.getImageData(0, 0, spec.width, spec.height).data.buffer;
        }
      };
    } catch (e) {
      window.glimmeraxExport = { ready: true, error: String(e && e.message || e) };
    }
  });
})
)JS";

QString htmlEscaped(const std::string& text) { return QString::fromStdString(text).toHtmlEscaped(); }

class QuietPage : public QWebEnginePage {
 public:
  using QWebEnginePage::QWebEnginePage;

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
    // setHtml's own load arrives as its base or as the content's data URL.
    return isMainFrame && (url == m_expected || url.scheme() == QLatin1String("data"));
  }
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}

 public:
  QUrl m_expected;
};

class PlayerFrameSource : public FrameSource {
 public:
  PlayerFrameSource(const PlayerApplet& applet, const std::string& playerScript)
      : m_width(applet.width), m_height(applet.height) {
    if (m_width < 1 || m_height < 1) throw std::runtime_error("The applet has no size");
    if (!QFile::exists(QString::fromStdString(playerScript)))
      throw std::runtime_error("The player script \"" + playerScript + "\" is missing");
    m_profile = std::make_unique<QWebEngineProfile>();
    m_profile->setUrlRequestInterceptor(new LocalOnlyInterceptor(std::string(), m_profile.get()));
    keepOffTheNetwork(m_profile.get());
    m_page = std::make_unique<QuietPage>(m_profile.get());

    QJsonObject params;
    for (const auto& [name, value] : applet.params) params.insert(QString::fromStdString(name), QString::fromStdString(value));
    QJsonArray images;
    for (const std::string& file : applet.imageFiles)
      images.append(file.empty() ? QJsonValue() : QJsonValue(QUrl::fromLocalFile(QString::fromStdString(file)).toString()));
    QJsonObject spec{{"code", QString::fromStdString(applet.code)}, {"width", m_width}, {"height", m_height},
                     {"params", params}, {"images", images}};

    const QUrl script = QUrl::fromLocalFile(QString::fromStdString(playerScript));
    const QString html = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><script src=\"%1\"></script>"
                                        "</head><body></body></html>")
                             .arg(htmlEscaped(script.toString().toStdString()));
    const QUrl base = QUrl::fromLocalFile(QString::fromStdString(playerScript + ".export.html"));
    m_page->m_expected = base;

    bool loaded = false;
    bool finished = false;
    QEventLoop loop;
    QObject::connect(m_page.get(), &QWebEnginePage::loadFinished, &loop, [&](bool ok) {
      loaded = ok;
      finished = true;
      loop.quit();
    });
    QTimer::singleShot(kLoadTimeoutMs, &loop, &QEventLoop::quit);
    m_page->setHtml(html, base);
    if (!finished) loop.exec();
    if (!loaded) throw std::runtime_error("The player page did not load");

    run(QString::fromLatin1(kDriver) + QStringLiteral("(%1);").arg(QString::fromUtf8(QJsonDocument(spec).toJson(QJsonDocument::Compact))),
        kStepTimeoutMs);
    // The images load asynchronously; the driver says when it is ready.
    QVariantMap state;
    for (int waited = 0;; waited += 20) {
      state = run(QStringLiteral("(function(){var e=window.glimmeraxExport||{};"
                                 "return {ready:!!e.ready,error:e.error||'',cycle:e.cycleLength||0,step:e.stepMs||0};})()"),
                  kStepTimeoutMs)
                  .toMap();
      if (state.value("ready").toBool() || waited > kLoadTimeoutMs) break;
      wait(20);
    }
    if (!state.value("ready").toBool()) throw std::runtime_error("The player did not start");
    const QString error = state.value("error").toString();
    if (!error.isEmpty()) throw std::runtime_error("The player failed: " + error.toStdString());
    m_cycle = state.value("cycle").toInt();
    m_stepMs = state.value("step").toInt();
    if (m_cycle < 1) throw std::runtime_error("The player gave the effect no steps");
    if (m_stepMs < 1) throw std::runtime_error("The player gave the effect no step time");
  }

  ~PlayerFrameSource() override {
    m_page.reset();  // before its profile
  }

  int width() const override { return m_width; }
  int height() const override { return m_height; }
  int cycleLength() const override { return m_cycle; }
  int stepMs() const override { return m_stepMs; }

  void renderStep(int step, unsigned char* rgba) override {
    const QVariant result = run(QStringLiteral("window.glimmeraxExport.frame(%1)").arg(step), kStepTimeoutMs);
    const QByteArray bytes = result.toByteArray();
    const qsizetype expected = static_cast<qsizetype>(m_width) * m_height * 4;
    if (result.typeId() != QMetaType::QByteArray || bytes.size() != expected)
      throw std::runtime_error("The player did not draw step " + std::to_string(step));
    std::memcpy(rgba, bytes.constData(), static_cast<size_t>(expected));
  }

 private:
  // Runs a script and waits for its result while the event loop goes on.
  QVariant run(const QString& script, int timeoutMs) {
    struct Result {
      QVariant value;
      bool done = false;
      QEventLoop loop;
    };
    auto result = std::make_shared<Result>();
    m_page->runJavaScript(script, [weak = std::weak_ptr<Result>(result)](const QVariant& value) {
      if (auto r = weak.lock()) {
        r->value = value;
        r->done = true;
        r->loop.quit();
      }
    });
    if (!result->done) {
      QTimer::singleShot(timeoutMs, &result->loop, &QEventLoop::quit);
      result->loop.exec();
    }
    if (!result->done) throw std::runtime_error("The player did not answer");
    return result->value;
  }

  static void wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
  }

  int m_width;
  int m_height;
  int m_cycle = 0;
  int m_stepMs = 0;
  std::unique_ptr<QWebEngineProfile> m_profile;
  std::unique_ptr<QuietPage> m_page;
};

}  // namespace

FrameSource* createPlayerFrameSource(const PlayerApplet& applet, const std::string& playerScript) {
  return new PlayerFrameSource(applet, playerScript);
}

}  // namespace glx
