// How a found browser is named in the browser list: its product name and
// the "FileVersion" text of its version resource.
#pragma once

#include <optional>
#include <string>

namespace glx {

extern const char kNetscapeMask[];          // "netscape.exe"
extern const char kInternetExplorerMask[];  // "Iexplore.exe"
extern const char kNetscapePrefix[];        // "Netscape "
extern const char kInternetExplorerPrefix[];  // "Internet Explorer "

// prefix + the FileVersion of the first translation of the program at
// path; none when the file has no version resource (or cannot be read).
// A resource without translation or FileVersion gives the prefix alone.
std::optional<std::string> browserDisplayName(const std::string& prefix, const std::string& path);

}  // namespace glx
