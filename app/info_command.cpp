#include "app/info_command.h"

#include <iostream>

#include "app/export_animation.h"
#include "app/print_html.h"
#include "app/program_version.h"
#include "app/publish_command.h"

namespace glx {

std::string usageText() {
  return std::string(
             "Usage: glimmerax [PROJECT.glx]\n"
             "       glimmerax --print-html PROJECT.glx\n"
             "       glimmerax --publish PROJECT.glx FOLDER [--force]\n"
             "       glimmerax --export-animation PROJECT.glx OUT.gif|OUT.webp\n"
             "       glimmerax --help | --version\n"
             "\n"
             "  PROJECT.glx         open the project in the window; when a window is\n"
             "                      already open, that window opens it\n"
             "  --print-html        print the project's applet HTML\n"
             "  --publish           put the page, the images and the files it needs into\n"
             "                      FOLDER; --force replaces files that differ\n"
             "  --export-animation  write one cycle of the effect as an animated GIF or WebP\n"
             "  --help              print this text\n"
             "  --version           print the program's version\n");
}

std::optional<int> infoCommand(const std::vector<std::string>& arguments, std::ostream& out,
                               std::ostream& err) {
  if (arguments.empty()) return std::nullopt;
  const std::string& first = arguments.front();
  if (first == kHelpOption) {
    out << usageText() << std::flush;
    return 0;
  }
  if (first == kVersionOption) {
    out << "glimmerax " << kProgramVersion << '\n' << std::flush;
    return 0;
  }
  if (first.rfind("--", 0) != 0 || first == kPrintHtmlOption || first == kPublishOption ||
      first == kExportAnimationOption)
    return std::nullopt;
  err << "glimmerax: unknown option " << first << "\n" << usageText() << std::flush;
  return 2;
}

std::optional<int> infoCommand(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return infoCommand(arguments, std::cout, std::cerr);
}

}  // namespace glx
