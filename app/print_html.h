// "glimmerax --print-html PROJECT.glx": prints the seven HTML lines of a
// project without a window, a display or any change to the program's
// folders, settings or usage log.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace glx {

inline constexpr const char* kPrintHtmlOption = "--print-html";

// The HTML lines of the project, CR LF ended, to out; messages and the
// error text to err. 0 when the HTML was made, 1 when the project could not
// be read or its first image could not be decoded.
int printProjectHtml(const std::string& projectPath, std::ostream& out, std::ostream& err);

// The command line's answer when its first argument is --print-html (the
// remaining arguments, joined with single blanks, name the project); none
// for every other command line. Needs no QApplication: main() calls it
// before making one.
std::optional<int> printHtmlCommand(int argc, char** argv);

}  // namespace glx
