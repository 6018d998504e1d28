// The one check that a file handed out as a picture is one: every image of
// a document passes it before it is copied into the required-files, test,
// preview or a published folder, and when "Add Image" takes it. A project
// file comes from anyone; without the check, any local file could travel
// under a picture's name (/etc/passwd as "pw.gif") to a page's scripts or
// to an upload.
#pragma once

#include <string>

#include "platform/errors.h"

namespace glx {

// A file that is not a GIF or JPEG picture by its content. what() is
// notAPictureMessage of its name.
class ENotAPicture : public Error {
 public:
  explicit ENotAPicture(const std::string& name);
  const std::string& name() const { return m_name; }

 private:
  std::string m_name;
};

// "pw.gif is not a GIF or JPEG picture." (a very long name is shortened).
std::string notAPictureMessage(const std::string& name);

// Whether the file at path, or the bytes, are a GIF or JPEG picture: its
// signature and a header that decodes (pictureFormatOfFile).
bool isPictureFile(const std::string& path);
bool isPictureBytes(const std::string& bytes);

// Throws ENotAPicture naming name (the image's bare name as the page uses
// it) when the file at path is not a picture.
void requirePictureFile(const std::string& path, const std::string& name);

}  // namespace glx
