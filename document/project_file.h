// Project files (".glx"): one applet document as short 8-bit text lines
// ended by CR LF, fields by position. Also the colour text they use.
#pragma once

#include <memory>
#include <string>

#include "document/applet_document.h"
#include "document/applet_editor.h"
#include "platform/file_ops.h"

namespace glx {

// The recent-files list of the main window's settings.
class RecentFilesList {
 public:
  virtual ~RecentFilesList() = default;
  // Puts path at the top of the list.
  virtual void AddMRUItem(const std::string& path) = 0;
};

// What the main window shows of a document read from a file.
class ProjectView {
 public:
  virtual ~ProjectView() = default;
  // The document's fields were (partly) replaced from a file: fill the
  // controls and the image list from it. Called while updatingControls is
  // still set, so the controls' change handlers stay quiet.
  virtual void showLoadedDocument() = 0;
};

class NullProjectView : public ProjectView {
 public:
  void showLoadedDocument() override {}
};

// "clBlack", "clWhite", ... when the value has a name, else "$" and eight
// upper-case hexadecimal digits.
std::string colorToText(Color color);
// A colour name (any case) or an integer ("$" marks hexadecimal); throws
// EConvertError "'text' is not a valid integer value".
Color colorFromText(const std::string& text);

// The exact bytes of the project file for a document. Line breaks in the
// alternative HTML are written as the byte 0x1E so that it stays one line.
std::string projectFileText(const AppletDocument& document);

// What reading a project file does beyond filling the document's fields.
class ProjectLoadActions {
 public:
  virtual ~ProjectLoadActions() = default;
  // Line 4 was read: apply the effect (effectIndex is already -1 when the
  // line named no catalogue row).
  virtual void applyEffect(int effectIndex) = 0;
  // An image entry was appended to both lists.
  virtual void imageAdded(const std::string& path) = 0;
};

// An open project file, read line by line so that memory stays in
// proportion to what is kept. Opening fails with EInOutError ("File not
// found", "File access denied", ...); anything but a regular file is
// refused, so a device or a pipe cannot hang the reader.
class ProjectReader {
 public:
  explicit ProjectReader(const std::string& path);
  ~ProjectReader();
  ProjectReader(const ProjectReader&) = delete;
  ProjectReader& operator=(const ProjectReader&) = delete;

  // Fills the document's fields from the file in line order; updatingControls
  // is set after line 4. Throws EConvertError for a bad line 4, 9, 10, 11 or
  // 12 and EInOutError for a failed read, leaving the fields read so far.
  void read(AppletDocument& document, ProjectLoadActions& actions);

 private:
  bool nextLine(std::string& line);
  std::string line();

  FileReader m_file;
  std::unique_ptr<char[]> m_buffer;
  size_t m_begin = 0;
  size_t m_end = 0;
  bool m_eof = false;
};

// Reads a project into a fresh document without touching any folder: the
// effect row is applied to the fields only. For showing a project's HTML.
AppletDocument readProjectDocument(const std::string& path);

// The main window's saveFileOne and openFileOne.
class ProjectFile {
 public:
  ProjectFile(AppletEditor& editor, RecentFilesList& recentFiles, ProjectView& view)
      : m_editor(editor), m_recentFiles(recentFiles), m_view(view) {}

  // Writes the document to path through a temporary file beside it and a
  // rename, so a failed write leaves any old file as it was; then adds path
  // to the recent files. Does not touch modified. Throws EInOutError.
  void saveFileOne(const std::string& path);

  // Replaces the document by the file's content: the file is opened first,
  // so one that cannot be opened leaves the document as it was; then the
  // images leave the two folders, the document is reset and filled, the
  // file's images are copied in, path goes to the recent files and becomes
  // documentPath; the document is then unmodified and has no undo steps.
  // An image that is not a GIF or JPEG picture by its content stays in the
  // document uncopied, and one message at the end names it. On a bad line the fields read so far stay, documentPath
  // stays empty and the error is rethrown.
  void openFileOne(const std::string& path);

 private:
  AppletEditor& m_editor;
  RecentFilesList& m_recentFiles;
  ProjectView& m_view;
};

}  // namespace glx
