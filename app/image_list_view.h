// The image list: a small-icon list view whose drag and drop only reorders
// within itself. Qt's own item moving is not used: the document decides
// the order and the window rebuilds the list from it.
#pragma once

#include <QIcon>
#include <QListWidget>

namespace glx {

class ImageListView : public QListWidget {
  Q_OBJECT
 public:
  explicit ImageListView(QWidget* parent = nullptr);

  // Appends a row for an image. Every row shows the same file icon, shared
  // rather than copied, so a project of many thousand images stays small.
  QListWidgetItem* addImage(const QString& name);

  // Whether the drag now under way began in this list. Drops are accepted
  // only then. Public so that drops can be checked without a real drag,
  // which the offscreen platform cannot perform.
  bool dragStartedHere() const { return m_dragStartedHere; }
  void setDragStartedHere(bool value) { m_dragStartedHere = value; }

 signals:
  // The item under a drop, -1 for empty space.
  void dropped(int targetIndex);
  void keyReleased(int key);

 protected:
  void startDrag(Qt::DropActions supportedActions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  bool m_dragStartedHere = false;
  QIcon m_fileIcon;
};

}  // namespace glx
