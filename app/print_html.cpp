#include "app/print_html.h"

#include <iostream>
#include <new>

#include "document/html_builder.h"
#include "document/project_file.h"
#include "platform/errors.h"

namespace glx {

namespace {

// No person to ask: messages go to the error stream, questions and dialogs
// are declined.
class StreamDialogs : public UserDialogs {
 public:
  explicit StreamDialogs(std::ostream& err) : m_err(err) {}
  void showMessage(const std::string& text) override { m_err << text << '\n'; }
  Answer confirm(const std::string&, bool withCancel) override { return withCancel ? Answer::Cancel : Answer::No; }
  std::optional<std::string> openFile(const FileDialogOptions&) override { return std::nullopt; }
  std::optional<std::string> saveFile(const FileDialogOptions&) override { return std::nullopt; }
  std::optional<uint32_t> chooseColor(uint32_t) override { return std::nullopt; }
  void setClipboardText(const std::string&) override {}

 private:
  std::ostream& m_err;
};

}  // namespace

int printProjectHtml(const std::string& projectPath, std::ostream& out, std::ostream& err) {
  try {
    AppletDocument document = readProjectDocument(projectPath);
    StreamDialogs dialogs(err);
    NullHtmlView view;
    HtmlBuilder builder(document, dialogs, view);
    const std::vector<std::string> lines = builder.makeHTML();
    for (const std::string& line : lines) out << line << "\r\n";
    out.flush();
    return 0;
  } catch (const std::bad_alloc&) {
    err << "Out of memory\n";
  } catch (const std::exception& e) {
    err << e.what() << '\n';
  }
  return 1;
}

std::optional<int> printHtmlCommand(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) != kPrintHtmlOption) return std::nullopt;
  std::string path;
  for (int i = 2; i < argc; ++i) {
    if (i > 2) path += ' ';
    path += argv[i];
  }
  return printProjectHtml(path, std::cout, std::cerr);
}

}  // namespace glx
