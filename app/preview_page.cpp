#include "app/preview_page.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QOpenGLWidget>
#include <QStackedLayout>
#include <QUrl>
#include <QVBoxLayout>

#include "app/player_applet.h"
#include "publish/picture_check.h"
#include "app/preview_sandbox.h"

namespace glx {

PreviewPage::PreviewPage(const AppletDocument& document, std::string playerScript, QWidget* parent)
    : QWidget(parent),
      m_document(document),
      m_folder(std::move(playerScript)),
      m_controller(
          *this, [this] { return previewFingerprint(m_document); }, [this] { return buildPage(); }) {
  setObjectName(QStringLiteral("previewTab"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  m_screen = new QWidget(this);
  m_stack = new QStackedLayout(m_screen);
  m_placeholder = new QLabel(m_screen);
  m_placeholder->setAlignment(Qt::AlignCenter);
  m_placeholder->setWordWrap(true);
  m_stack->addWidget(m_placeholder);
  layout->addWidget(m_screen, 1);
  // One line under the screen, of the same height whatever it says, so the
  // screen's size (which the scale is made for) does not change with it.
  auto* notes = new QHBoxLayout;
  notes->setContentsMargins(0, 0, 0, 0);
  m_linkLabel = new QLabel(this);
  m_linkLabel->setObjectName(QStringLiteral("previewLink"));
  m_linkLabel->setTextFormat(Qt::PlainText);
  notes->addWidget(m_linkLabel, 1);
  m_scaleLabel = new QLabel(this);
  m_scaleLabel->setObjectName(QStringLiteral("previewScale"));
  m_scaleLabel->setTextFormat(Qt::PlainText);
  notes->addWidget(m_scaleLabel);
  const int lineHeight = m_linkLabel->fontMetrics().height();
  m_linkLabel->setFixedHeight(lineHeight);
  m_scaleLabel->setFixedHeight(lineHeight);
  layout->addLayout(notes);
  makeWindowReadyForTheView();
}

void PreviewPage::makeWindowReadyForTheView() {
  // The web view draws through OpenGL. A window made without it is made
  // again when the view arrives, and shows black meanwhile; with an OpenGL
  // widget among its children from the start, the window is made for it
  // when first shown. (The offscreen platform has no OpenGL widgets.)
  if (QGuiApplication::platformName() == QLatin1String("offscreen")) return;
  auto* surface = new QOpenGLWidget(this);
  surface->setObjectName(QStringLiteral("previewSurface"));
  surface->setAttribute(Qt::WA_DontShowOnScreen);
  surface->hide();
}

PreviewPage::~PreviewPage() { m_view.reset(); }

QString PreviewPage::linkText(const std::string& url, const std::string& previewFolder) {
  QString shown = QString::fromStdString(url);
  const QUrl parsed(shown);
  // A link to a page beside the applet's page: named as the user typed it.
  if (parsed.isLocalFile()) {
    const QString file = parsed.toLocalFile();
    const QString folder = QString::fromStdString(previewFolder);
    shown = !folder.isEmpty() && file.startsWith(folder) ? file.mid(folder.size()) : file;
  }
  return QStringLiteral("The link goes to: %1").arg(shown);
}

bool PreviewPage::ensureView() {
  if (m_view) return true;
  if (m_viewFailed) return false;
  try {
    const WebEngineModule& module = webEngineModule();
    m_view.reset(module.createPlayerView(this, m_folder.path()));
  } catch (const std::exception& e) {
    m_viewFailed = true;
    m_placeholder->setText(QString::fromStdString(e.what()));
    return false;
  }
  m_view->onLinkRefused = [this](const std::string& url) { m_linkLabel->setText(linkText(url, m_folder.path())); };
  m_view->onLoaded = [this](bool ok) { emit pageLoaded(ok); };
  m_stack->addWidget(m_view->widget());
  m_stack->setCurrentWidget(m_view->widget());
  return true;
}

std::string PreviewPage::buildPage() {
  try {
    const AppletBuild build = buildAppletQuietly(m_document);
    // Only the player script may run in the page, and nothing may connect.
    const std::string nonce = makePreviewNonce();
    m_folder.setHead(previewPolicyHead(nonce));
    m_builtApplet = QSize();
    if (!build.message.empty()) return m_folder.writeMessagePage(build.message);
    const PlayerApplet applet = playerAppletOf(build);
    m_builtApplet = QSize(applet.width, applet.height);
    try {
      return m_folder.writeAppletPage(withPlayerNonce(build.htmlLines, nonce), build.images);
    } catch (const ENotAPicture& e) {
      // Said in the preview itself, as the applet's other refusals are.
      m_builtApplet = QSize();
      return m_folder.writeMessagePage(e.what());
    }
  } catch (const std::exception& e) {
    // The preview folder itself could not be written: nothing to show.
    m_placeholder->setText(QString::fromStdString(e.what()));
    if (m_stack) m_stack->setCurrentWidget(m_placeholder);
    return std::string();
  }
}

void PreviewPage::showPreviewPage(const std::string& pagePath) {
  if (pagePath.empty() || !ensureView()) return;
  m_stack->setCurrentWidget(m_view->widget());
  m_pagePath = pagePath;
  m_linkLabel->clear();
  m_applet = m_builtApplet;
  applyScale();
  m_view->showPage(pagePath);
}

void PreviewPage::applyScale() {
  m_scale = previewScale(m_applet.width(), m_applet.height(), m_screen->width(), m_screen->height());
  if (m_view) m_view->setZoom(m_scale.factor);
  m_scaleLabel->setText(QString::fromStdString(previewScaleNote(m_scale)));
}

void PreviewPage::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The screen has its new size once the layout has run.
  if (m_view) QMetaObject::invokeMethod(this, [this] { applyScale(); }, Qt::QueuedConnection);
}

void PreviewPage::setPreviewPlaying(bool playing) {
  if (m_view) m_view->setPlaying(playing);
}

void PreviewPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  m_controller.setShown(true);
}

void PreviewPage::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  m_controller.setShown(false);
}

}  // namespace glx
