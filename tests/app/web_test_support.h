// Helpers for the tests that drive the web view: images made with Qt, a
// project file, scripts run in a page and waited for.
#pragma once

#include <QEventLoop>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <QVariant>
#include <string>
#include <vector>

#include "app/web_engine_module.h"
#include "document/applet_document.h"
#include "document/project_file.h"
#include "platform/file_ops.h"

namespace glx::test {

// A smooth JPEG of one hue, so colour reduction and decoding both leave it
// close to itself.
inline std::string writeGradientJpeg(const std::string& path, int width, int height, QRgb tint) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int shade = 64 + 160 * x / width;
      image.setPixel(x, y, qRgb(qRed(tint) * shade / 255, qGreen(tint) * shade / 255, (qBlue(tint) * shade / 255 + y) % 256));
    }
  image.save(QString::fromStdString(path), "JPG", 95);
  return path;
}

// The file's pixels as RGBA bytes.
inline std::vector<unsigned char> rgbaOf(const std::string& path) {
  const QImage image = QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGBA8888);
  std::vector<unsigned char> out;
  for (int y = 0; y < image.height(); ++y)
    out.insert(out.end(), image.constScanLine(y), image.constScanLine(y) + image.width() * 4);
  return out;
}

inline std::vector<unsigned char> bytesOf(const QByteArray& a) {
  return std::vector<unsigned char>(a.begin(), a.end());
}

// A project whose images are these files, with "Image Cross Fade".
inline std::string writeProject(const std::string& path, const std::vector<std::string>& images,
                                const std::string& link = {}) {
  AppletDocument document;
  document.appletClass = "fade.class";
  for (const std::string& image : images) {
    document.imagePaths.push_back(image);
    document.imageNames.push_back(bareFileName(image));
  }
  document.link = link;
  writeFileAtomic(path, projectFileText(document));
  return path;
}

inline QVariant runScript(PlayerView& view, const std::string& script, int timeoutMs = 10000) {
  QVariant value;
  bool done = false;
  QEventLoop loop;
  view.runScript(script, [&](const QVariant& result) {
    value = result;
    done = true;
    loop.quit();
  });
  if (!done) {
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return value;
}

// The pixels of the page's first canvas, empty while it has none.
inline QByteArray canvasPixels(PlayerView& view) {
  return runScript(view,
                   "(function(){var c=document.querySelector('canvas');if(!c||!c.width)return null;"
                   "return c.getContext('2d').getImageData(0,0,c.width,c.height).data.buffer;})()")
      .toByteArray();
}

}  // namespace glx::test
