#include "app/image_list_view.h"

#include <QDrag>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPixmap>
#include <QStyle>

#include "app/image_drops.h"
#include "app/thumbnail_maker.h"

namespace glx {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kThumbnailRole = Qt::UserRole + 1;
constexpr int kThumbnailSize = 24;

}  // namespace

ImageListView::ImageListView(QWidget* parent)
    : QListWidget(parent), m_thumbnails(new ThumbnailMaker(QSize(kThumbnailSize, kThumbnailSize), this)) {
  setIconSize(QSize(kThumbnailSize, kThumbnailSize));
  connect(m_thumbnails, &ThumbnailMaker::ready, this, &ImageListView::applyThumbnail);
  setViewMode(QListView::ListMode);
  setFlow(QListView::LeftToRight);
  setWrapping(true);
  setResizeMode(QListView::Adjust);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(false);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDefaultDropAction(Qt::MoveAction);
}

QListWidgetItem* ImageListView::addImage(const QString& name) {
  // Made with the first item: a fresh document shows none, and the style
  // reads every size of the icon from its images.
  if (m_fileIcon.isNull()) m_fileIcon = style()->standardIcon(QStyle::SP_FileIcon);
  auto* item = new QListWidgetItem(m_fileIcon, name);
  addItem(item);
  return item;
}

void ImageListView::setImagePaths(const QStringList& paths) {
  for (int i = 0; i < count() && i < paths.size(); ++i) {
    item(i)->setData(kPathRole, paths[i]);
    if (m_thumbnails->isMade(paths[i]))
      applyThumbnail(paths[i]);
    else
      m_thumbnails->request(paths[i]);
  }
}

bool ImageListView::showsThumbnail(int row) const {
  const QListWidgetItem* it = item(row);
  return it && it->data(kThumbnailRole).toBool();
}

bool ImageListView::thumbnailsSettled() const {
  for (int i = 0; i < count(); ++i)
    if (!m_thumbnails->isMade(item(i)->data(kPathRole).toString())) return false;
  return true;
}

void ImageListView::applyThumbnail(const QString& path) {
  const QImage picture = m_thumbnails->thumbnail(path);
  // A file that is no picture keeps the file icon.
  if (picture.isNull()) return;
  const QIcon icon(QPixmap::fromImage(picture));
  for (int i = 0; i < count(); ++i) {
    QListWidgetItem* it = item(i);
    if (it->data(kPathRole).toString() != path) continue;
    it->setIcon(icon);
    it->setData(kThumbnailRole, true);
  }
}

void ImageListView::startDrag(Qt::DropActions) {
  QListWidgetItem* item = currentItem();
  if (!item) return;
  auto* mime = new QMimeData;
  mime->setText(item->text());
  auto* drag = new QDrag(this);
  drag->setMimeData(mime);
  m_dragStartedHere = true;
  // The drop rebuilds the list, so nothing here may touch the items after
  // the drag has ended.
  drag->exec(Qt::MoveAction);
  m_dragStartedHere = false;
}

void ImageListView::dragEnterEvent(QDragEnterEvent* event) {
  if (!m_dragStartedHere && carriesFiles(event->mimeData())) {
    event->acceptProposedAction();
  } else if (m_dragStartedHere) {
    event->setDropAction(Qt::MoveAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void ImageListView::dragMoveEvent(QDragMoveEvent* event) {
  if (!m_dragStartedHere && carriesFiles(event->mimeData())) {
    event->acceptProposedAction();
  } else if (m_dragStartedHere) {
    event->setDropAction(Qt::MoveAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void ImageListView::dropEvent(QDropEvent* event) {
  if (!m_dragStartedHere) {
    if (!carriesFiles(event->mimeData())) {
      event->ignore();
      return;
    }
    event->acceptProposedAction();
    emit filesDropped(droppedFiles(event->mimeData()));
    return;
  }
  event->setDropAction(Qt::MoveAction);
  event->accept();
  QListWidgetItem* target = itemAt(event->position().toPoint());
  emit dropped(target ? row(target) : -1);
}

void ImageListView::keyReleaseEvent(QKeyEvent* event) {
  QListWidget::keyReleaseEvent(event);
  emit keyReleased(event->key());
}

}  // namespace glx
