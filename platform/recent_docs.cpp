#include "platform/recent_docs.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <cstdlib>

#include "platform/file_ops.h"
#include "platform/xdg_folders.h"

namespace glx {

namespace {

const QString kBookmarkNs = QStringLiteral("http://www.freedesktop.org/standards/desktop-bookmarks");
const QString kMimeNs = QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info");

RecentDocs*& currentDocs() {
  static RecentDocs* docs = nullptr;
  return docs;
}

void writeBookmark(QXmlStreamWriter& out, const QString& href, const QString& now) {
  out.writeStartElement(QStringLiteral("bookmark"));
  out.writeAttribute(QStringLiteral("href"), href);
  out.writeAttribute(QStringLiteral("added"), now);
  out.writeAttribute(QStringLiteral("modified"), now);
  out.writeAttribute(QStringLiteral("visited"), now);
  out.writeStartElement(QStringLiteral("info"));
  out.writeStartElement(QStringLiteral("metadata"));
  out.writeAttribute(QStringLiteral("owner"), QStringLiteral("http://freedesktop.org"));
  out.writeEmptyElement(kMimeNs, QStringLiteral("mime-type"));
  out.writeAttribute(QStringLiteral("type"), QStringLiteral("application/octet-stream"));
  out.writeStartElement(kBookmarkNs, QStringLiteral("applications"));
  out.writeEmptyElement(kBookmarkNs, QStringLiteral("application"));
  out.writeAttribute(QStringLiteral("name"), QStringLiteral("Glimmerax"));
  out.writeAttribute(QStringLiteral("exec"), QStringLiteral("'glimmerax %f'"));
  out.writeAttribute(QStringLiteral("modified"), now);
  out.writeAttribute(QStringLiteral("count"), QStringLiteral("1"));
  out.writeEndElement();  // applications
  out.writeEndElement();  // metadata
  out.writeEndElement();  // info
  out.writeEndElement();  // bookmark
}

// The list with the file added or its entry touched; empty when the old
// list does not parse.
QByteArray updatedList(const QByteArray& old, const QString& href, const QString& now) {
  QByteArray result;
  QXmlStreamWriter out(&result);
  out.setAutoFormatting(true);
  if (old.isEmpty()) {
    out.writeStartDocument();
    out.writeNamespace(kBookmarkNs, QStringLiteral("bookmark"));
    out.writeNamespace(kMimeNs, QStringLiteral("mime"));
    out.writeStartElement(QStringLiteral("xbel"));
    out.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    writeBookmark(out, href, now);
    out.writeEndElement();
    out.writeEndDocument();
    return result;
  }
  QXmlStreamReader in(old);
  bool found = false;
  int depth = 0;
  while (!in.atEnd()) {
    const auto token = in.readNext();
    if (token == QXmlStreamReader::Invalid) break;
    if (token == QXmlStreamReader::Characters && in.isWhitespace()) continue;
    if (token == QXmlStreamReader::StartElement) {
      ++depth;
      if (depth == 2 && in.name() == QLatin1String("bookmark") &&
          in.attributes().value(QLatin1String("href")) == href) {
        found = true;
        out.writeStartElement(in.namespaceUri().toString(), in.name().toString());
        for (const auto& attribute : in.attributes()) {
          const QString name = attribute.qualifiedName().toString();
          const bool touched = name == QLatin1String("modified") || name == QLatin1String("visited");
          out.writeAttribute(name, touched ? now : attribute.value().toString());
        }
        continue;
      }
    } else if (token == QXmlStreamReader::EndElement) {
      if (depth == 1 && !found) {
        writeBookmark(out, href, now);
        found = true;
      }
      --depth;
    }
    out.writeCurrentToken(in);
  }
  if (in.hasError() || !found) return {};
  return result;
}

}  // namespace

std::string XbelRecentDocs::defaultFile() { return xdgDataHome() + "recently-used.xbel"; }

void XbelRecentDocs::add(const std::string& path) {
  try {
    const std::string file = m_file.empty() ? defaultFile() : m_file;
    const QString local = QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).absoluteFilePath();
    const QString href = QString::fromLatin1(QUrl::fromLocalFile(local).toEncoded());
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    QByteArray old;
    if (pathExists(file)) {
      old = QByteArray::fromStdString(readFileBytes(file));
      if (old.trimmed().isEmpty()) old.clear();
    }
    const QByteArray updated = updatedList(old, href, now);
    if (updated.isEmpty()) return;
    if (!folderExists(folderOf(file))) return;
    writeFileAtomic(file, updated.toStdString());
  } catch (...) {
    // Nothing to report: the list is the desktop's, not the program's.
  }
}

void setRecentDocs(RecentDocs* docs) { currentDocs() = docs; }

RecentDocs& recentDocs() {
  static XbelRecentDocs desktop;
  return currentDocs() ? *currentDocs() : desktop;
}

void AddToRecentDocs(const std::string& path) { recentDocs().add(path); }

}  // namespace glx
