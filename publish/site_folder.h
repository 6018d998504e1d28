// Writes a folder that can be uploaded as it is: a set of named files put
// into one folder all at once or not at all. Every file is first written
// whole beside its target under a hidden temporary name; only when all of
// them are written are they renamed into place. A failure removes the
// temporary files, the files this run created and the folders it made, so
// nothing half written stays behind.
#pragma once

#include <string>
#include <vector>

#include "platform/errors.h"

namespace glx {

struct SiteFile {
  std::string name;   // a plain file name, no folder
  std::string bytes;
  // Must be a GIF or JPEG picture by its content (isPictureBytes);
  // otherwise nothing is written and the error names the file.
  bool picture = false;
};

// A failure to publish, naming the file or folder and the cause.
class EPublishError : public Error {
 public:
  using Error::Error;
};

// Files already in the folder that differ from the ones to be written; the
// text names each of them, one line each.
class EPublishConflict : public EPublishError {
 public:
  EPublishConflict(const std::string& message, std::vector<std::string> paths)
      : EPublishError(message), m_paths(std::move(paths)) {}
  const std::vector<std::string>& paths() const { return m_paths; }

 private:
  std::vector<std::string> m_paths;
};

// Whether a name can only mean a file directly in the folder: not empty,
// not "." or "..", no "/" and no NUL.
bool isPlainFileName(const std::string& name);

// Puts files into folder, creating it and its missing parents. The whole
// run holds an exclusive lock (flock) on a lock file beside the folder
// (folder + ".lock", removed again when the run ends), so two runs into one
// folder write one after the other and the folder always holds one run's
// files. A file that
// is already there with the same bytes is left alone; one that differs is
// replaced only with replaceDiffering, otherwise nothing at all is written
// and EPublishConflict names every such file. Files are renamed into place
// in the given order. Returns the paths written (folder + "/" + name, the
// folder as given), in that order. Throws EPublishError.
std::vector<std::string> writeSiteFolder(const std::string& folder, const std::vector<SiteFile>& files,
                                         bool replaceDiffering);

}  // namespace glx
