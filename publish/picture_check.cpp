#include "publish/picture_check.h"

#include "publish/image_probe.h"

namespace glx {

ENotAPicture::ENotAPicture(const std::string& name) : Error(notAPictureMessage(name)), m_name(name) {}

std::string notAPictureMessage(const std::string& name) {
  return shownValue(name) + " is not a GIF or JPEG picture.";
}

bool isPictureFile(const std::string& path) { return pictureFormatOfFile(path) != ImageFormat::None; }

bool isPictureBytes(const std::string& bytes) {
  return pictureFormatOfBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) !=
         ImageFormat::None;
}

void requirePictureFile(const std::string& path, const std::string& name) {
  if (!isPictureFile(path)) throw ENotAPicture(name);
}

}  // namespace glx
