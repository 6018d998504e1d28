// "glimmerax --publish PROJECT.glx FOLDER [--force]": makes a folder that
// can be uploaded as it is (the page, the images under the names its HTML
// uses, the effect's class file and, while "Play in today's browsers" is on,
// the player), without a window or a display, and without changing any
// setting, the usage log or the program's own folders.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "platform/program_folders.h"

namespace glx {

inline constexpr const char* kPublishOption = "--publish";
inline constexpr const char* kForceOption = "--force";
// The page of a published folder.
inline constexpr const char* kPublishedPage = "index.html";

struct PublishRequest {
  std::string projectPath;
  std::string folder;
  // Replace files in the folder that differ from the ones published.
  bool force = false;
  bool playInBrowsers = false;
  // Where the class files and the player are read from.
  ProgramFolders folders;
};

// Publishes; each file written is printed to out, one path a line;
// messages and the error text go to err. 0 on success, 1 on any failure,
// which leaves the folder as it was.
int publishProject(const PublishRequest& request, std::ostream& out, std::ostream& err);

// The command line's answer when its first argument is --publish, with the
// stored setting and the executable's folders; none for every other
// command line. main() calls it before making a QApplication.
std::optional<int> publishCommand(int argc, char** argv);

}  // namespace glx
