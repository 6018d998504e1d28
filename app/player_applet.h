// The applet as the preview and the export get it: the HTML built on a copy
// of the document, with the HTML build's messages collected instead of
// shown, and the image files the page loads.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "document/applet_document.h"
#include "publish/animation_export.h"

namespace glx {

struct AppletBuild {
  std::vector<std::string> htmlLines;
  // What stops the applet from playing, as the program words it (no
  // images, one image where two are needed, a first image not found or not
  // decodable); empty when it can play.
  std::string message;
  // Each image's file (empty where none was found) and bare name.
  std::vector<std::pair<std::string, std::string>> images;
};

// Builds without showing anything and without changing the document.
AppletBuild buildAppletQuietly(const AppletDocument& document);

// A text that changes whenever the preview page would: the document's
// stored fields and the size and time of each image file.
std::string previewFingerprint(const AppletDocument& document);

// The applet for the player; throws Error with the build's message.
PlayerApplet playerAppletOf(const AppletBuild& build);

}  // namespace glx
