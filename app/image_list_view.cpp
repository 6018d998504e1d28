#include "app/image_list_view.h"

#include <QDrag>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QStyle>

namespace glx {

ImageListView::ImageListView(QWidget* parent) : QListWidget(parent) {
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
  if (m_dragStartedHere) {
    event->setDropAction(Qt::MoveAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void ImageListView::dragMoveEvent(QDragMoveEvent* event) {
  if (m_dragStartedHere) {
    event->setDropAction(Qt::MoveAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void ImageListView::dropEvent(QDropEvent* event) {
  if (!m_dragStartedHere) {
    event->ignore();
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
