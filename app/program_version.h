// The program's version, as the About window, "--version", the package and
// the desktop metadata name it. The settings keep their own "1.0" key path,
// which stored settings rely on.
#pragma once

namespace glx {

inline constexpr const char* kProgramVersion = "2.0";

}  // namespace glx
