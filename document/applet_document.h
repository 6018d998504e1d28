// The one in-memory description of the applet being designed. Text fields
// are bytes: a widget shows them but the document is their storage, so
// bytes read from a project file survive a save unless edited.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "publish/image_probe.h"  // ImageSize

namespace glx {

// 0x00BBGGRR: red in the lowest byte.
using Color = uint32_t;

struct AppletDocument {
  int effectIndex = 0;  // 0..19, or -1 for no selection
  std::string appletClass;  // empty until the first effect change
  int effectVariant = 0;
  int effectConstant = 33;
  bool multiImage = true;
  int frameCount = 40;   // 0..10000
  int effectSpeed = 1;   // 0..100
  std::string link;
  std::string targetFrame;
  Color backgroundColor = 0;
  Color loadingBackgroundColor = 0;
  Color loadingFontColor = 0xFFFFFF;
  std::string loadingMessage = "Loading...";
  std::string alternativeHtml;
  std::vector<std::string> imageNames;  // bare names, as written into the HTML
  std::vector<std::string> imagePaths;  // full source paths, parallel to imageNames
  int appletWidth = 0;
  int appletHeight = 0;
  std::string documentPath;
  bool modified = false;
  bool updatingControls = false;
  int selectedImage = -1;
  // The first image as last decoded by the image probe; none when no image
  // was found. Only its size is ever used.
  std::optional<ImageSize> probeImage;
};

}  // namespace glx
