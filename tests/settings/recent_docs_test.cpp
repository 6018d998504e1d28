#include "platform/recent_docs.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QUrl>

#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::TempDir;

int occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1)) ++count;
  return count;
}

std::string hrefOf(const std::string& path) {
  return QUrl::fromLocalFile(QString::fromStdString(path)).toEncoded().toStdString();
}

TEST(RecentDocs, AddsAFileOnceAndKeepsOtherEntries) {
  TempDir dir;
  const std::string project = dir.write("My Projects/Caf\xc3\xa9.glx", "x");
  const std::string list = dir / "recently-used.xbel";
  dir.write("recently-used.xbel",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<xbel version=\"1.0\"\n"
            "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
            "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
            "  <bookmark href=\"file:///home/other/letter.txt\" added=\"2020-01-01T00:00:00Z\""
            " modified=\"2020-01-01T00:00:00Z\" visited=\"2020-01-01T00:00:00Z\">\n"
            "    <info><metadata owner=\"http://freedesktop.org\">"
            "<mime:mime-type type=\"text/plain\"/></metadata></info>\n"
            "  </bookmark>\n"
            "</xbel>\n");
  XbelRecentDocs docs(list);
  docs.add(project);
  docs.add(project);
  const std::string text = dir.read("recently-used.xbel");
  EXPECT_EQ(occurrences(text, "href=\"" + hrefOf(project) + "\""), 1) << text;
  EXPECT_EQ(occurrences(text, "file:///home/other/letter.txt"), 1) << text;
  EXPECT_NE(text.find("name=\"Glimmerax\""), std::string::npos) << text;
  EXPECT_EQ(occurrences(text, "<bookmark "), 2) << text;
}

TEST(RecentDocs, StartsAListAndLeavesAnUnreadableOneAlone) {
  TempDir dir;
  const std::string project = dir.write("Sky.glx", "x");
  XbelRecentDocs fresh(dir / "fresh.xbel");
  fresh.add(project);
  const std::string text = dir.read("fresh.xbel");
  EXPECT_NE(text.find("<xbel"), std::string::npos);
  EXPECT_NE(text.find(hrefOf(project)), std::string::npos);

  const std::string broken = "<xbel><bookmark href=";
  dir.write("broken.xbel", broken);
  XbelRecentDocs(dir / "broken.xbel").add(project);
  EXPECT_EQ(dir.read("broken.xbel"), broken);

  // A list whose folder is missing is simply not written.
  XbelRecentDocs(dir / "missing/recently-used.xbel").add(project);
  EXPECT_FALSE(pathExists(dir / "missing"));
}

TEST(RecentDocs, DefaultListFollowsXdgDataHome) {
  TempDir dir;
  const QByteArray saved = qgetenv("XDG_DATA_HOME");
  const bool had = qEnvironmentVariableIsSet("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.path()));
  EXPECT_EQ(XbelRecentDocs::defaultFile(), dir / "recently-used.xbel");
  AddToRecentDocs(dir.write("Sky.glx", "x"));
  EXPECT_TRUE(fileExists(dir / "recently-used.xbel"));
  if (had) {
    qputenv("XDG_DATA_HOME", saved);
  } else {
    qunsetenv("XDG_DATA_HOME");
  }
}

}  // namespace
}  // namespace glx
