// File-system operations with exactly the semantics the program relies on:
// copies never overwrite and report nothing, deletes report nothing, and
// only folder creation raises an error. Paths are native ("/" separated).
#pragma once

#include <string>

namespace glx {

bool fileExists(const std::string& path);    // a regular file (or a link to one)
bool folderExists(const std::string& path);  // a folder (or a link to one)
bool pathExists(const std::string& path);    // anything at all

// Copies source to target unless target exists or source is missing;
// failures are silent. Returns whether a copy was made.
bool copyFileNoOverwrite(const std::string& source, const std::string& target);

// Deletes a file; a missing file or a folder is ignored.
void deleteFileQuiet(const std::string& path);

// Creates one folder level; throws EInOutError when it cannot be made
// (an existing folder is not an error). A trailing "/" is allowed.
void createFolder(const std::string& path);

// Writes a whole file atomically: a temporary file beside it (path +
// ".tmp" and eight hexadecimal digits), then a rename over the target, so a
// failure leaves any old file intact. A symbolic link is followed to the
// file it names, which is replaced while the link stays; a replaced file
// keeps its mode and, where the system allows, its owner. Throws
// EInOutError.
void writeFileAtomic(const std::string& path, const std::string& bytes);

// The path that symbolic links starting at path finally name (path itself
// when it is no link); a dangling link gives its missing target. Throws
// EInOutError for a loop of links.
std::string linkTarget(const std::string& path);

// Reads a whole file; throws EInOutError when it cannot be read.
std::string readFileBytes(const std::string& path);

// A regular file open for reading piece by piece. Opening never waits:
// anything but a regular file is refused, so a device or a pipe cannot hang
// the reader. Failures throw EInOutError ("File not found", "File access
// denied", ...).
class FileReader {
 public:
  explicit FileReader(const std::string& path);
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // Reads up to size bytes into buffer; 0 at the end of the file.
  size_t read(char* buffer, size_t size);

 private:
  int m_fd = -1;
};

// Where a damaged file is set aside: file + ".bad", or ".bad2", ".bad3"...
// when that is taken, so an earlier copy is never replaced.
std::string freeBadName(const std::string& file);

// The part of a path after its last "/".
std::string bareFileName(const std::string& path);

// The part of a path up to and including its last "/" (empty if none).
std::string folderOf(const std::string& path);

}  // namespace glx
