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

// Writes a whole file atomically: a temporary file beside it, then a rename
// over the target, so a failure leaves any old file intact. Throws
// EInOutError.
void writeFileAtomic(const std::string& path, const std::string& bytes);

// Reads a whole file; throws EInOutError when it cannot be read.
std::string readFileBytes(const std::string& path);

// The part of a path after its last "/".
std::string bareFileName(const std::string& path);

// The part of a path up to and including its last "/" (empty if none).
std::string folderOf(const std::string& path);

}  // namespace glx
