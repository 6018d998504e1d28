// "glimmerax --help" and "glimmerax --version", and the answer to an option
// the program does not know: text on a stream and an exit code, before any
// window, folder or setting is touched.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace glx {

inline constexpr const char* kHelpOption = "--help";
inline constexpr const char* kVersionOption = "--version";

// Every way to start the program, one option a line.
std::string usageText();

// Looks at the first argument only, as the later ones of a start may be the
// blank-split pieces of a project path. "--help": the usage on out, 0.
// "--version": "glimmerax 2.0" on out, 0. Any other argument that starts
// with "--" and is not one of the command-line jobs: a line naming it and
// the usage on err, 2. Anything else is not this command's: none.
std::optional<int> infoCommand(const std::vector<std::string>& arguments, std::ostream& out,
                               std::ostream& err);

// The same over main()'s arguments, on the standard streams.
std::optional<int> infoCommand(int argc, char** argv);

}  // namespace glx
