// The freedesktop.org base folders that the settings, the recent-files list
// and the working folders live under: the one place that reads the XDG
// variables. A variable counts only when it holds an absolute path, as the
// base-directory rules say; otherwise its default under $HOME applies.
#pragma once

#include <string>

namespace glx {

// $XDG_DATA_HOME, default $HOME/.local/share; with a trailing "/".
std::string xdgDataHome();

// $XDG_CONFIG_HOME, default $HOME/.config; with a trailing "/".
std::string xdgConfigHome();

// $XDG_RUNTIME_DIR, the user's own folder for sockets and locks, with a
// trailing "/". Without one: a folder "glimmerax-<uid>" in the temporary
// folder ($TMPDIR, default /tmp), which the caller makes private.
std::string xdgRuntimeDir();

// Whether $HOME is an absolute path, so that the defaults above name a real
// folder of the user's.
bool homeIsAbsolute();

}  // namespace glx
