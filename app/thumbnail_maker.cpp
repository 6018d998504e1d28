#include "app/thumbnail_maker.h"

#include <QFutureWatcher>
#include <QImageReader>
#include <QPromise>
#include <QThreadPool>
#include <memory>

namespace glx {

ThumbnailMaker::ThumbnailMaker(QSize size, QObject* parent) : QObject(parent), m_size(size) {}

QImage ThumbnailMaker::make(const QString& path, QSize size) {
  QImageReader reader(path);
  // Decoded at the small size where the format allows it (JPEG does), so a
  // large photograph never lies whole in memory.
  const QSize full = reader.size();
  if (full.isValid() && !full.isEmpty()) reader.setScaledSize(full.scaled(size, Qt::KeepAspectRatio).expandedTo({1, 1}));
  QImage image = reader.read();
  if (image.isNull()) return {};
  if (image.width() > size.width() || image.height() > size.height())
    image = image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  return image;
}

void ThumbnailMaker::request(const QString& path) {
  if (m_made.contains(path) || m_pending.contains(path)) return;
  m_pending.insert(path);
  // The promise outlives this object if need be: a job still running when
  // the list goes delivers to nobody.
  auto promise = std::make_shared<QPromise<QImage>>();
  auto* watcher = new QFutureWatcher<QImage>(this);
  connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, path] {
    const QFuture<QImage> future = watcher->future();
    m_made.insert(path, future.resultCount() > 0 ? future.result() : QImage());
    m_pending.remove(path);
    watcher->deleteLater();
    emit ready(path);
  });
  watcher->setFuture(promise->future());
  const QSize size = m_size;
  QThreadPool::globalInstance()->start([promise, path, size] {
    promise->start();
    promise->addResult(make(path, size));
    promise->finish();
  });
}

}  // namespace glx
