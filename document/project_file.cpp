#include "document/project_file.h"

#include <array>
#include <cstdio>
#include <cstring>

#include <QScopedValueRollback>

#include "document/effects.h"
#include "platform/ascii.h"
#include "platform/errors.h"
#include "platform/file_ops.h"
#include "publish/picture_check.h"

namespace glx {

namespace {

struct NamedColor {
  const char* name;
  Color value;
};

// The named colours, the system colours of the platform among them (only a
// hand-edited file brings those in).
constexpr std::array<NamedColor, 42> kNamedColors = {{
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clNone", 0x1FFFFFFF},
    {"clScrollBar", 0x80000000},
    {"clBackground", 0x80000001},
    {"clActiveCaption", 0x80000002},
    {"clInactiveCaption", 0x80000003},
    {"clMenu", 0x80000004},
    {"clWindow", 0x80000005},
    {"clWindowFrame", 0x80000006},
    {"clMenuText", 0x80000007},
    {"clWindowText", 0x80000008},
    {"clCaptionText", 0x80000009},
    {"clActiveBorder", 0x8000000A},
    {"clInactiveBorder", 0x8000000B},
    {"clAppWorkSpace", 0x8000000C},
    {"clHighlight", 0x8000000D},
    {"clHighlightText", 0x8000000E},
    {"clBtnFace", 0x8000000F},
    {"clBtnShadow", 0x80000010},
    {"clGrayText", 0x80000011},
    {"clBtnText", 0x80000012},
    {"clInactiveCaptionText", 0x80000013},
    {"clBtnHighlight", 0x80000014},
    {"cl3DDkShadow", 0x80000015},
    {"cl3DLight", 0x80000016},
    {"clInfoText", 0x80000017},
    {"clInfoBk", 0x80000018},
}};

bool equalsIgnoringCase(const std::string& text, const char* name) { return asciiEqualNoCase(text, name); }

constexpr char kRecordSeparator = '\x1E';

// One line for the alternative HTML: every CR LF, CR or LF becomes 0x1E.
std::string encodeLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += kRecordSeparator;
    } else if (c == '\n') {
      out += kRecordSeparator;
    } else {
      out += c;
    }
  }
  return out;
}

std::string decodeLineBreaks(std::string text) {
  for (char& c : text)
    if (c == kRecordSeparator) c = '\n';
  return text;
}

// The spin boxes take the file's text as it stands: what is not a number
// reads as their minimum, 0; a number out of range is kept.
int spinBoxValue(const std::string& text) {
  try {
    return strToInt(text);
  } catch (const EConvertError&) {
    return 0;
  }
}

// Missing image lines past the end of the file add empty entries, but an
// image count far beyond the file must not fill memory with them.
constexpr int kMaxMissingImages = 100;

constexpr size_t kBufferSize = 65536;

// The refused pictures an open names; a project of thousands of them gets
// one short message all the same.
constexpr size_t kMaxRefusedNamed = 10;

}  // namespace

std::string colorToText(Color color) {
  for (const auto& named : kNamedColors)
    if (named.value == color) return named.name;
  char text[16];
  std::snprintf(text, sizeof text, "$%08X", static_cast<unsigned>(color));
  return text;
}

Color colorFromText(const std::string& text) {
  for (const auto& named : kNamedColors)
    if (equalsIgnoringCase(text, named.name)) return named.value;
  return static_cast<Color>(strToInt(text));
}

std::string projectFileText(const AppletDocument& d) {
  std::string out;
  auto line = [&out](const std::string& text) {
    out += text;
    out += "\r\n";
  };
  line("Glimmerax File");
  line("If you alter the values below this file may not open properly.");
  line("1");
  line(std::to_string(d.effectIndex));
  line(std::to_string(d.frameCount));
  line(std::to_string(d.effectSpeed));
  // A one-line field is written as the field would hold it: without CR or
  // LF, which would shift every later line.
  line(oneLineText(d.link));
  line(oneLineText(d.targetFrame));
  line(colorToText(d.backgroundColor));
  line(std::to_string(d.imagePaths.size()));
  line(colorToText(d.loadingBackgroundColor));
  line(colorToText(d.loadingFontColor));
  line(oneLineText(d.loadingMessage));
  line(encodeLineBreaks(d.alternativeHtml));
  for (size_t i = 0; i < d.imagePaths.size(); ++i) {
    line(oneLineText(d.imagePaths[i]));
    line(oneLineText(i < d.imageNames.size() ? d.imageNames[i] : std::string()));
  }
  return out;
}

ProjectReader::ProjectReader(const std::string& path)
    : m_file(path), m_buffer(std::make_unique<char[]>(kBufferSize)) {}

ProjectReader::~ProjectReader() = default;

bool ProjectReader::nextLine(std::string& line) {
  line.clear();
  bool any = false;
  for (;;) {
    if (m_begin == m_end) {
      if (m_eof) return any;
      const size_t n = m_file.read(m_buffer.get(), kBufferSize);
      m_begin = 0;
      m_end = n;
      if (n == 0) {
        m_eof = true;
        return any;
      }
    }
    any = true;
    const char* start = m_buffer.get() + m_begin;
    const auto* lf = static_cast<const char*>(::memchr(start, '\n', m_end - m_begin));
    if (lf == nullptr) {
      line.append(start, m_end - m_begin);
      m_begin = m_end;
      continue;
    }
    line.append(start, static_cast<size_t>(lf - start));
    m_begin += static_cast<size_t>(lf - start) + 1;
    // CR LF is the line end; LF alone is accepted too.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }
}

std::string ProjectReader::line() {
  std::string text;
  nextLine(text);
  return text;
}

void ProjectReader::read(AppletDocument& d, ProjectLoadActions& actions) {
  line();  // header, not checked
  line();  // warning
  line();  // format mark, not checked
  int effectIndex = strToInt(line());
  if (!isValidEffectIndex(effectIndex)) effectIndex = -1;
  actions.applyEffect(effectIndex);
  d.updatingControls = true;
  d.frameCount = spinBoxValue(line());
  d.effectSpeed = spinBoxValue(line());
  d.link = line();
  d.targetFrame = line();
  d.backgroundColor = colorFromText(line());
  const int imageCount = strToInt(line());
  d.loadingBackgroundColor = colorFromText(line());
  d.loadingFontColor = colorFromText(line());
  d.loadingMessage = line();
  d.alternativeHtml = decodeLineBreaks(line());
  int missing = 0;
  for (int i = 0; i < imageCount; ++i) {
    std::string path;
    std::string name;
    const bool present = nextLine(path);
    if (!present && ++missing > kMaxMissingImages) break;
    nextLine(name);
    d.imagePaths.push_back(std::move(path));
    d.imageNames.push_back(std::move(name));
    actions.imageAdded(d.imagePaths.back());
  }
}

AppletDocument readProjectDocument(const std::string& path) {
  // Applies a catalogue row to the fields only: no class file moves.
  struct FieldsOnly : ProjectLoadActions {
    explicit FieldsOnly(AppletDocument& d) : doc(d) {}
    void applyEffect(int effectIndex) override { applyEffectRow(doc, effectIndex); }
    void imageAdded(const std::string&) override {}
    AppletDocument& doc;
  };
  ProjectReader reader(path);
  AppletDocument document;
  FieldsOnly actions(document);
  actions.applyEffect(0);  // the state after a reset
  reader.read(document, actions);
  document.updatingControls = false;
  return document;
}

void ProjectFile::saveFileOne(const std::string& path) {
  writeFileAtomic(path, projectFileText(m_editor.document()));
  m_recentFiles.AddMRUItem(path);
}

void ProjectFile::openFileOne(const std::string& path) {
  struct EditorActions : ProjectLoadActions {
    explicit EditorActions(AppletEditor& e) : editor(e) {}
    void applyEffect(int effectIndex) override {
      editor.view().selectEffect(effectIndex);
      editor.cEffectsChange(effectIndex);
    }
    void imageAdded(const std::string& imagePath) override {
      // A NUL byte cannot be part of a real file's path; the path up to it
      // would name some other file.
      if (imagePath.find('\0') != std::string::npos) return;
      try {
        editor.files().copyImage(imagePath);
      } catch (const ENotAPicture& e) {
        // The document keeps the entry; the open goes on and says so, by
        // the name the image list shows.
        const std::string& name = editor.document().imageNames.back();
        if (refused.size() < kMaxRefusedNamed) refused.push_back(notAPictureMessage(name.empty() ? e.name() : name));
        ++refusedCount;
      }
    }
    AppletEditor& editor;
    std::vector<std::string> refused;
    size_t refusedCount = 0;
  };
  ProjectReader reader(path);
  AppletDocument& d = m_editor.document();
  // Filling the document is no edit the user could undo; the reset has
  // emptied the undo steps.
  const EditHistory::Pause notEdits(m_editor.history());
  m_editor.files().deleteAllImages(d.imagePaths);
  m_editor.setDefaults();
  // The read sets updatingControls and the controls are shown with it set;
  // it goes back to clear (as the reset left it) however the open ends.
  const QScopedValueRollback updating(d.updatingControls);
  EditorActions actions(m_editor);
  try {
    reader.read(d, actions);
  } catch (...) {
    d.updatingControls = true;
    m_view.showLoadedDocument();
    throw;
  }
  m_recentFiles.AddMRUItem(path);
  d.documentPath = path;
  // The document is what the file holds: nothing to save until the user
  // edits it (the effect applied while reading set the flag).
  d.modified = false;
  m_view.showLoadedDocument();
  if (actions.refusedCount > 0) {
    std::string message;
    for (const std::string& line : actions.refused) message += (message.empty() ? "" : "\n") + line;
    if (actions.refusedCount > actions.refused.size())
      message += "\n(" + withThousandsSeparators(actions.refusedCount - actions.refused.size()) + " more)";
    m_editor.dialogs().showMessage(message);
  }
}

}  // namespace glx
