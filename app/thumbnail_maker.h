// Small pictures of image files, made on the thread pool so that a large
// or slow file never holds up the window. Each file is read once; what it
// gave (a picture, or nothing for a file that is no picture) is kept.
#pragma once

#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>

namespace glx {

class ThumbnailMaker : public QObject {
  Q_OBJECT
 public:
  explicit ThumbnailMaker(QSize size, QObject* parent = nullptr);

  // The picture made for path: a null image while it is being made, and
  // for a file that could not be read as a picture.
  QImage thumbnail(const QString& path) const { return m_made.value(path); }
  bool isMade(const QString& path) const { return m_made.contains(path); }

  // Starts making path's picture unless it is made or under way; ready
  // follows on this object's thread.
  void request(const QString& path);

  // Reads path scaled to fit size, keeping its shape; a null image when it
  // is no picture. Runs on any thread.
  static QImage make(const QString& path, QSize size);

 signals:
  void ready(const QString& path);

 private:
  QSize m_size;
  QHash<QString, QImage> m_made;
  QSet<QString> m_pending;
};

}  // namespace glx
