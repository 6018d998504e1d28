#include "document/html_builder.h"

#include "document/applet_editor.h"

#include <QScopedValueRollback>
#include <algorithm>

#include "platform/errors.h"
#include "publish/image_probe.h"

namespace glx {

const char kGeneratorLine[] =
    "<PARAM NAME=\"GENERATOR\" VALUE=\"CREATED WITH THE GLIMMERAX HTTP://WWW.TALLOWBROOK.EXAMPLE/\">";

const char kPlayerScriptLine[] = "<SCRIPT SRC=\"glimmerax-player.js\"></SCRIPT>";

std::vector<std::string> alternativeHtmlLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.push_back(std::move(line));
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

namespace {

// The limits of the hidden width and height fields.
constexpr int kMinAppletSize = 0;
constexpr int kMaxAppletSize = 10000;
// The applet's size when the first image cannot be found.
constexpr int kFallbackAppletSize = 150;

// Ends the box's repaint lock however the build ends.
class HtmlUpdate {
 public:
  explicit HtmlUpdate(HtmlView& view) : m_view(view) { m_view.beginHtmlUpdate(); }
  ~HtmlUpdate() { m_view.endHtmlUpdate(); }
  HtmlUpdate(const HtmlUpdate&) = delete;
  HtmlUpdate& operator=(const HtmlUpdate&) = delete;

 private:
  HtmlView& m_view;
};

std::string orBlank(const std::string& text) { return text.empty() ? " " : text; }

// One PARAM line: its name, and its value kept inside the quotes.
std::string paramLine(const char* name, const std::string& value) {
  return std::string("<PARAM NAME=\"") + name + "\" VALUE=\"" + HtmlBuilder::attributeText(value) + "\">";
}

}  // namespace

std::string HtmlBuilder::attributeText(const std::string& value) {
  if (value.find_first_of("\"<>") == std::string::npos) return value;
  std::string out;
  out.reserve(value.size() + 16);
  for (const char c : value) {
    switch (c) {
      case '"': out += "&quot;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

std::vector<std::string> HtmlBuilder::makeHTML() {
  HtmlUpdate update(m_view);
  // The probe runs first: when it fails, the box stays empty.
  std::vector<std::string> lines;
  lines.push_back(makeAppletTag());
  lines.push_back(kGeneratorLine);
  lines.push_back(makeGeneralTag());
  lines.push_back(getImageTag());
  lines.push_back(getLinkTag());
  lines.push_back(getLoadTag());
  const bool player = m_playInBrowsers && m_playInBrowsers();
  if (player)
    for (std::string& line : alternativeHtmlLines(m_document.alternativeHtml)) lines.push_back(std::move(line));
  lines.push_back("</APPLET>");
  if (player) lines.push_back(kPlayerScriptLine);
  for (const std::string& line : lines) m_view.appendHtmlLine(line);
  return lines;
}

std::string HtmlBuilder::makeAppletTag() {
  AppletDocument& d = m_document;
  if (d.imageNames.empty()) {
    d.probeImage.reset();
  } else {
    const std::string path = d.imagePaths.empty() ? std::string() : d.imagePaths[0];
    m_probe.LoadImage(d.probeImage, "", d.imageNames[0], path);
  }
  if (d.probeImage) {
    d.appletWidth = d.probeImage->width;
    d.appletHeight = d.probeImage->height;
  } else {
    if (!d.imageNames.empty())
      m_dialogs.showMessage("ERROR: I can not find the image " + quotedValue(d.imageNames[0], '"') +
                            " The applet may not work properly.");
    d.appletWidth = kFallbackAppletSize;
    d.appletHeight = kFallbackAppletSize;
  }
  d.appletWidth = std::clamp(d.appletWidth, kMinAppletSize, kMaxAppletSize);
  d.appletHeight = std::clamp(d.appletHeight, kMinAppletSize, kMaxAppletSize);
  return "<APPLET CODE=\"" + d.appletClass + "\" WIDTH=" + std::to_string(d.appletWidth) +
         " HEIGHT=" + std::to_string(d.appletHeight) + ">";
}

std::string HtmlBuilder::makeGeneralTag() const {
  const AppletDocument& d = m_document;
  const bool noImages = d.imageNames.empty() || d.imageNames[0].empty();
  const std::string count = noImages ? "0" : std::to_string(d.imageNames.size());
  return paramLine("GENERAL", count + "|7|" + getHexColor(d.backgroundColor) + "|" +
                                  std::to_string(d.effectConstant) + "|" + std::to_string(d.frameCount) + "|" +
                                  std::to_string(d.effectVariant) + "|" + std::to_string(d.effectSpeed) + "|");
}

std::string HtmlBuilder::getImageTag() const {
  std::string value;
  for (const std::string& name : m_document.imageNames) value += (name.empty() ? " |" : name) + "|";
  if (value.empty()) value = " ";
  return paramLine("IMAGES", value);
}

std::string HtmlBuilder::getLinkTag() const {
  // One line, whatever a hand-edited project file brought into the fields.
  return paramLine("LINK", orBlank(oneLineText(m_document.link)) + "|" +
                               orBlank(oneLineText(m_document.targetFrame)) + "| |");
}

std::string HtmlBuilder::getLoadTag() const {
  const AppletDocument& d = m_document;
  const std::string oneLine = oneLineText(d.loadingMessage);
  const std::string message = oneLine.empty() ? " |" : oneLine;
  return paramLine("LOAD MESSAGE",
                   getHexColor(d.loadingBackgroundColor) + "|" + getHexColor(d.loadingFontColor) + "|" + message);
}

std::string HtmlBuilder::getHexColor(Color color) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  // Red is the lowest byte, but is written first.
  for (int shift = 0; shift <= 16; shift += 8) {
    const unsigned byte = (color >> shift) & 0xFFu;
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xFu];
  }
  return text;
}

std::string HtmlBuilder::clean(const std::string& text, const std::string& bad, CleanedField field,
                               const char* message) {
  std::string cleaned;
  cleaned.reserve(text.size());
  for (const char c : text) {
    if (bad.find(c) == std::string::npos)
      cleaned += c;
    else if (m_hint)
      m_hint(field, message);
    else
      m_dialogs.showMessage(message);
  }
  return cleaned;
}

std::string HtmlBuilder::reBad(const std::string& text) {
  return clean(text, "\"|", CleanedField::Link, "You cannot use the | or \" character.");
}

std::string HtmlBuilder::reBadFrame(const std::string& text) {
  return clean(text, "\"|-", CleanedField::Frame, "You cannot use the | \" or - character.");
}

void HtmlBuilder::eLinkChange(const std::string& text) {
  AppletDocument& d = m_document;
  if (d.updatingControls) return;
  const RecordedEdit edit(m_history, d, EditKind::Link);
  // Line breaks go silently: they are not among the characters the user is
  // warned about.
  d.link = reBad(oneLineText(text));
  if (d.link != text) {
    // The field's change handler ignores the write.
    const QScopedValueRollback updating(d.updatingControls, true);
    m_view.setLinkText(d.link);
  }
  d.modified = true;
}

void HtmlBuilder::eFrameChange(const std::string& text) {
  AppletDocument& d = m_document;
  if (d.updatingControls) return;
  const RecordedEdit edit(m_history, d, EditKind::TargetFrame);
  d.targetFrame = reBadFrame(oneLineText(text));
  if (d.targetFrame != text) {
    // The field's change handler ignores the write.
    const QScopedValueRollback updating(d.updatingControls, true);
    m_view.setFrameText(d.targetFrame);
  }
  d.modified = true;
}

}  // namespace glx
