#include "app/player_applet.h"

#include <sys/stat.h>

#include <filesystem>

#include "document/html_builder.h"
#include "document/project_file.h"
#include "publish/image_probe.h"
#include "publish/test_run.h"

namespace glx {

namespace {

// The HTML build's messages, kept for the page instead of shown.
class CollectingDialogs : public UserDialogs {
 public:
  void showMessage(const std::string& text) override {
    if (!messages.empty()) messages += "\n";
    messages += text;
  }
  Answer confirm(const std::string&, bool withCancel) override { return withCancel ? Answer::Cancel : Answer::No; }
  std::optional<std::string> openFile(const FileDialogOptions&) override { return std::nullopt; }
  std::optional<std::string> saveFile(const FileDialogOptions&) override { return std::nullopt; }
  std::optional<uint32_t> chooseColor(uint32_t) override { return std::nullopt; }
  void setClipboardText(const std::string&) override {}

  std::string messages;
};

}  // namespace

AppletBuild buildAppletQuietly(const AppletDocument& document) {
  AppletBuild build;
  if (document.imageNames.empty()) {
    build.message = kNoImagesMessage;
    return build;
  }
  if (document.imageNames.size() == 1 && BrowserTestRun::needsTwoImages(document.effectIndex)) {
    build.message = kNeedsTwoImagesMessage;
    return build;
  }
  AppletDocument copy = document;
  CollectingDialogs dialogs;
  NullHtmlView view;
  HtmlBuilder builder(copy, dialogs, view);
  // The player plays it, whatever the HTML box is made for.
  builder.setPlayerSource([] { return true; });
  try {
    build.htmlLines = builder.makeHTML();
  } catch (const std::exception& e) {
    build.message = e.what();
    return build;
  }
  build.message = dialogs.messages;
  for (size_t i = 0; i < copy.imageNames.size(); ++i) {
    const std::string path = i < copy.imagePaths.size() ? copy.imagePaths[i] : std::string();
    std::string file = chooseImageFile(std::string(), copy.imageNames[i], path);
    // A bare name found in the current folder: pages load it by full path.
    std::error_code error;
    if (!file.empty()) file = std::filesystem::absolute(file, error).string();
    build.images.emplace_back(file, copy.imageNames[i]);
  }
  return build;
}

std::string previewFingerprint(const AppletDocument& document) {
  std::string text = projectFileText(document);
  for (size_t i = 0; i < document.imageNames.size(); ++i) {
    const std::string path = i < document.imagePaths.size() ? document.imagePaths[i] : std::string();
    const std::string file = chooseImageFile(std::string(), document.imageNames[i], path);
    struct stat info {};
    if (!file.empty() && ::stat(file.c_str(), &info) == 0)
      text += "\n" + file + " " + std::to_string(info.st_size) + " " + std::to_string(info.st_mtim.tv_sec) + "." +
              std::to_string(info.st_mtim.tv_nsec);
    else
      text += "\n-";
  }
  return text;
}

PlayerApplet playerAppletOf(const AppletBuild& build) {
  if (!build.message.empty()) throw Error(build.message);
  PlayerApplet applet = playerAppletOf(build.htmlLines);
  for (const auto& image : build.images) applet.imageFiles.push_back(image.first);
  return applet;
}

}  // namespace glx
