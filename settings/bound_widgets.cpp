#include "settings/bound_widgets.h"

namespace glx {

QStringList GlxListBox::items() const {
  QStringList list;
  for (int i = 0; i < count(); ++i) list << item(i)->text();
  return list;
}

void GlxListBox::setItems(const QStringList& items) {
  const int row = currentRow();
  clear();
  addItems(items);
  if (row >= 0 && row < count()) setCurrentRow(row);
}

}  // namespace glx
