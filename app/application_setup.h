// The application object's settings that every window sees: made once,
// before the first window.
#pragma once

namespace glx {

// Names the application "Glimmerax". No display name is given: Qt would
// add it to every window's caption ("Browser — Glimmerax"), and each window
// has a caption of its own ("Browser", "About", "Advanced Options").
void setUpApplication();

}  // namespace glx
