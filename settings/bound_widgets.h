// The label and list box the windows use for values the settings store
// keeps, with the property names the bindings use ("Caption", "Items"), so
// a binding such as "browser.Caption" or "BrowserNames.Items" stays a plain
// property path.
#pragma once

#include <QLabel>
#include <QListWidget>
#include <QStringList>

namespace glx {

class GlxLabel : public QLabel {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ text WRITE setText)

 public:
  explicit GlxLabel(QWidget* parent = nullptr) : QLabel(parent) {}
  GlxLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {}
};

class GlxListBox : public QListWidget {
  Q_OBJECT
  Q_PROPERTY(QStringList Items READ items WRITE setItems)

 public:
  explicit GlxListBox(QWidget* parent = nullptr) : QListWidget(parent) {}
  QStringList items() const;
  // Replaces every row; the current row is kept when it still exists.
  void setItems(const QStringList& items);
};

}  // namespace glx
