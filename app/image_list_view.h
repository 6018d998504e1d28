// The image list: a small-icon list view whose drag and drop reorders
// within itself and takes picture files dragged in from a file manager.
// Qt's own item moving is not used: the document decides the order and the
// window rebuilds the list from it. Each row shows a small picture of its
// file once it has been made in the background.
#pragma once

#include <QIcon>
#include <QListWidget>
#include <QStringList>
#include <string>
#include <vector>

namespace glx {

class ThumbnailMaker;

class ImageListView : public QListWidget {
  Q_OBJECT
 public:
  explicit ImageListView(QWidget* parent = nullptr);

  // Appends a row for an image. Every row shows the same file icon, shared
  // rather than copied, so a project of many thousand images stays small.
  QListWidgetItem* addImage(const QString& name);

  // The files the rows show, in row order: each row gets its file's small
  // picture, at once when it is made, or when it is ready.
  void setImagePaths(const QStringList& paths);
  // Whether the row shows its file's picture rather than the file icon.
  bool showsThumbnail(int row) const;
  // Whether every row's file has been read (into a picture or not).
  bool thumbnailsSettled() const;

  // Whether the drag now under way began in this list. Drops are accepted
  // only then. Public so that drops can be checked without a real drag,
  // which the offscreen platform cannot perform.
  bool dragStartedHere() const { return m_dragStartedHere; }
  void setDragStartedHere(bool value) { m_dragStartedHere = value; }

 signals:
  // The item under a drop, -1 for empty space.
  void dropped(int targetIndex);
  // Files dragged in from outside, in the order they were dropped.
  void filesDropped(const std::vector<std::string>& paths);
  void keyReleased(int key);

 protected:
  void startDrag(Qt::DropActions supportedActions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  void applyThumbnail(const QString& path);

  bool m_dragStartedHere = false;
  QIcon m_fileIcon;
  ThumbnailMaker* m_thumbnails;
};

}  // namespace glx
