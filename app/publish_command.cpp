#include "app/publish_command.h"

#include <QCoreApplication>
#include <iostream>
#include <set>
#include <vector>

#include "app/command_run.h"
#include "app/player_setting.h"
#include "app/print_html.h"
#include "document/html_builder.h"
#include "document/project_file.h"
#include "platform/file_ops.h"
#include "publish/image_probe.h"
#include "publish/picture_check.h"
#include "publish/published_page.h"
#include "publish/required_files.h"
#include "publish/site_folder.h"
#include "publish/test_run.h"

namespace glx {

namespace {

const char kUsage[] = "Usage: glimmerax --publish PROJECT.glx FOLDER [--force]";

std::string quoted(const std::string& text) { return quotedValue(text, '"'); }

std::string readOrFail(const std::string& path, const std::string& what) {
  try {
    return readFileBytes(path);
  } catch (const Error& e) {
    throw EPublishError("Cannot read " + what + " " + quoted(path) + ": " + e.what());
  }
}

std::vector<SiteFile> siteFiles(const PublishRequest& request, std::ostream& err) {
  AppletDocument document = readProjectDocument(request.projectPath);
  // The browser test run's own refusals: such a page shows no applet.
  if (document.imageNames.empty()) throw EPublishError(kNoImagesMessage);
  if (document.imageNames.size() == 1 && BrowserTestRun::needsTwoImages(document.effectIndex))
    throw EPublishError(kNeedsTwoImagesMessage);

  // The images under the names the HTML gives them, found as the probe
  // finds the first one, so that the page is measured on the file it shows.
  std::vector<SiteFile> files;
  std::set<std::string> names;
  for (size_t i = 0; i < document.imageNames.size(); ++i) {
    const std::string& name = document.imageNames[i];
    const std::string path = i < document.imagePaths.size() ? document.imagePaths[i] : std::string();
    if (!isPlainFileName(name))
      throw EPublishError("The image name " + quoted(name) + " is not a plain file name, so no page can use it");
    // Two images of one name are one file, the first one, as in the
    // required-files folder.
    if (!names.insert(name).second) continue;
    const std::string source = chooseImageFile("", name, path);
    if (source.empty()) {
      const std::string alsoLooked = path.empty() || path == name ? std::string() : " (nor " + quoted(path) + ")";
      throw EPublishError("Cannot find the image " + quoted(name) + alsoLooked);
    }
    // The picture check runs on the very bytes that are published.
    std::string bytes = readOrFail(source, "the image");
    if (!isPictureBytes(bytes)) throw EPublishError(notAPictureMessage(name));
    if (i == 0 && imageFormatOf(source) == ImageFormat::None)
      throw EPublishError("The first image " + quoted(name) +
                          " cannot give the applet its size: it must be named .gif, .GIF, .jpg or .JPG");
    files.push_back({name, std::move(bytes), true});
  }

  StreamDialogs dialogs(err);
  NullHtmlView view;
  HtmlBuilder builder(document, dialogs, view);
  const bool player = request.playInBrowsers;
  builder.setPlayerSource([player] { return player; });
  const std::vector<std::string> html = builder.makeHTML();
  if (!document.probeImage) throw EPublishError("The first image " + quoted(document.imageNames[0]) + " cannot be read");

  std::vector<SiteFile> own;
  own.push_back({document.appletClass,
                 readOrFail(dataFilePath(request.folders, document.appletClass), "the class file")});
  if (player) own.push_back({kPlayerFile, readOrFail(dataFilePath(request.folders, kPlayerFile), "the player")});
  PublishedPage published;
  published.title = projectTitle(request.projectPath);
  published.description = plainDescription(document.alternativeHtml);
  published.htmlLines = html;
  std::string page;
  for (const std::string& line : publishedPageLines(published)) page += line + "\r\n";
  // Last, so that the page appears once all it needs is there.
  own.push_back({kPublishedPage, page});
  for (SiteFile& file : own) {
    if (names.count(file.name))
      throw EPublishError("The image name " + quoted(file.name) + " is needed for the published " +
                          (file.name == kPublishedPage ? "page" : "applet") + " itself");
    files.push_back(std::move(file));
  }
  return files;
}

}  // namespace

int publishProject(const PublishRequest& request, std::ostream& out, std::ostream& err) {
  return runCommandBody(
      out, err,
      [&] {
        const std::vector<SiteFile> files = siteFiles(request, err);
        for (const std::string& path : writeSiteFolder(request.folder, files, request.force)) out << path << '\n';
      },
      [](const std::exception& e) {
        if (!dynamic_cast<const EPublishConflict*>(&e)) return std::string();
        return std::string("Nothing was written. Give ") + kForceOption + " to replace what differs.";
      });
}

std::optional<int> publishCommand(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) != kPublishOption) return std::nullopt;
  PublishRequest request;
  std::vector<std::string> positional;
  for (int i = 2; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == kForceOption)
      request.force = true;
    else
      positional.push_back(argument);
  }
  if (positional.size() != 2) {
    std::cerr << kUsage << '\n';
    return 1;
  }
  request.projectPath = positional[0];
  request.folder = positional[1];
  request.playInBrowsers = storedPlayInBrowsers();
  // Only for the executable's folder: no display is needed.
  QCoreApplication application(argc, argv);
  request.folders = ProgramFolders::ofExecutable();
  return publishProject(request, std::cout, std::cerr);
}

}  // namespace glx
