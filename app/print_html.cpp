#include "app/print_html.h"

#include <iostream>

#include "app/command_run.h"
#include "app/player_setting.h"
#include "document/html_builder.h"
#include "document/project_file.h"
#include "platform/errors.h"

namespace glx {

int printProjectHtml(const std::string& projectPath, std::ostream& out, std::ostream& err, bool playInBrowsers) {
  return runCommandBody(out, err, [&] {
    AppletDocument document = readProjectDocument(projectPath);
    StreamDialogs dialogs(err);
    NullHtmlView view;
    HtmlBuilder builder(document, dialogs, view);
    builder.setPlayerSource([playInBrowsers] { return playInBrowsers; });
    const std::vector<std::string> lines = builder.makeHTML();
    for (const std::string& line : lines) out << line << "\r\n";
  });
}

std::optional<int> printHtmlCommand(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) != kPrintHtmlOption) return std::nullopt;
  std::string path;
  for (int i = 2; i < argc; ++i) {
    if (i > 2) path += ' ';
    path += argv[i];
  }
  return printProjectHtml(path, std::cout, std::cerr, storedPlayInBrowsers());
}

}  // namespace glx
