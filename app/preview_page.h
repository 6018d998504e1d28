// The "Preview" page of the main window: plays the current applet with the
// player in a web view, as the browser test run would show it. The web
// view is made the first time the page is shown (the web engine's module
// is loaded then); what to rebuild and when is PreviewController's.
#pragma once

#include <QSize>
#include <QWidget>
#include <memory>
#include <string>

#include "app/preview_controller.h"
#include "app/preview_scale.h"
#include "app/web_engine_module.h"
#include "document/applet_document.h"
#include "publish/preview_folder.h"

class QLabel;
class QStackedLayout;

namespace glx {

class PreviewPage : public QWidget, public PreviewScreen {
  Q_OBJECT
 public:
  // playerScript: the player file shipped beside the program.
  PreviewPage(const AppletDocument& document, std::string playerScript, QWidget* parent = nullptr);
  ~PreviewPage() override;

  PreviewController& controller() { return m_controller; }
  // The web view, once the page has been shown; null before, or when the
  // web view could not be loaded.
  PlayerView* playerView() const { return m_view.get(); }
  // The page on screen.
  const std::string& pagePath() const { return m_pagePath; }
  // Where a click on the applet's link would have gone, once clicked.
  QLabel* linkLabel() const { return m_linkLabel; }
  // "shown at 52 %" while the applet is shrunk to fit; empty otherwise.
  QLabel* scaleLabel() const { return m_scaleLabel; }
  // The scale of the page on screen.
  const PreviewScale& scale() const { return m_scale; }

  // PreviewScreen
  void showPreviewPage(const std::string& pagePath) override;
  void setPreviewPlaying(bool playing) override;

  // "The link goes to: %s"
  static QString linkText(const std::string& url, const std::string& previewFolder);

 signals:
  void pageLoaded(bool ok);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void makeWindowReadyForTheView();
  // Fits the applet on screen to the screen's size now.
  void applyScale();
  bool ensureView();
  std::string buildPage();

  const AppletDocument& m_document;
  PreviewFolder m_folder;
  PreviewController m_controller;
  std::unique_ptr<PlayerView> m_view;
  bool m_viewFailed = false;
  std::string m_pagePath;
  QSize m_builtApplet;  // of the page last written; empty for a message
  QSize m_applet;       // of the page on screen
  PreviewScale m_scale;
  QWidget* m_screen = nullptr;
  QStackedLayout* m_stack = nullptr;
  QLabel* m_placeholder = nullptr;
  QLabel* m_linkLabel = nullptr;
  QLabel* m_scaleLabel = nullptr;
};

}  // namespace glx
