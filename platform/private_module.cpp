#include "platform/private_module.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QStringList>

#include "platform/errors.h"

namespace glx {

void* loadPrivateModule(const PrivateModule& module, const std::string& missingMessage) {
  const QString name = QString::fromUtf8(module.fileName);
  const QString dir = QCoreApplication::applicationDirPath();
  QStringList candidates;
  // Without an application object there is no executable's folder to ask.
  if (!dir.isEmpty()) candidates << dir + u'/' + name << dir + QStringLiteral("/../lib/glimmerax/") + name;
  candidates << QString::fromUtf8(module.builtPath);
  QString reason;
  for (const QString& path : candidates) {
    // Destroying the QLibrary object does not unload the library.
    QLibrary library(path);
    if (!library.load()) {
      if (reason.isEmpty()) reason = library.errorString();
      continue;
    }
    if (const QFunctionPointer entry = library.resolve(module.entryName))
      return reinterpret_cast<void*>(entry);
    // Qt leaves no reason of its own for a missing symbol.
    reason = QStringLiteral("Cannot resolve symbol \"%1\" in %2").arg(QString::fromUtf8(module.entryName), path);
  }
  throw Error(missingMessage + reason.toStdString());
}

}  // namespace glx
