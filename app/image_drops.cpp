#include "app/image_drops.h"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace glx {

std::vector<std::string> droppedFiles(const QMimeData* mime) {
  std::vector<std::string> files;
  if (!mime || !mime->hasUrls()) return files;
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) continue;
    const QString path = url.toLocalFile();
    if (QFileInfo(path).isFile()) files.push_back(path.toStdString());
  }
  return files;
}

bool carriesFiles(const QMimeData* mime) { return !droppedFiles(mime).empty(); }

}  // namespace glx
