// Turns the applet document into the seven lines of HTML the user pastes
// into a page, and cleans the link and target frame texts so that they can
// never break the "|"-separated PARAM values.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "document/applet_document.h"
#include "document/edit_history.h"
#include "platform/user_dialogs.h"
#include "publish/image_probe.h"

namespace glx {

// What the HTML builder asks of the main window: its HTML text box, and the
// link and frame fields the cleaning writes back into.
class HtmlView {
 public:
  virtual ~HtmlView() = default;
  // Locks the HTML box against repainting and empties it.
  virtual void beginHtmlUpdate() = 0;
  virtual void appendHtmlLine(const std::string& line) = 0;
  // Releases the lock; called after a failed build as well.
  virtual void endHtmlUpdate() = 0;
  virtual void setLinkText(const std::string& text) = 0;
  virtual void setFrameText(const std::string& text) = 0;
};

// A view with no window, for the browser test run and a command-line printer
// that only want makeHTML's returned lines.
class NullHtmlView : public HtmlView {
 public:
  void beginHtmlUpdate() override {}
  void appendHtmlLine(const std::string&) override {}
  void endHtmlUpdate() override {}
  void setLinkText(const std::string&) override {}
  void setFrameText(const std::string&) override {}
};

// The two fields whose cleaning drops characters.
enum class CleanedField { Link, Frame };

// Where the cleaning tells the user what it dropped, instead of a message
// box: a box in the middle of typing would take the keys typed after it.
using CleaningHint = std::function<void(CleanedField field, const std::string& text)>;

// Line 2, naming the maker's web address in capitals.
extern const char kGeneratorLine[];

// The line after the applet that loads the player, which plays it in
// browsers without Java.
extern const char kPlayerScriptLine[];

// The lines of an alternative HTML text: split at CR LF, CR or LF; a final
// line break ends the last line rather than starting an empty one.
std::vector<std::string> alternativeHtmlLines(const std::string& text);

class HtmlBuilder {
 public:
  // The probe keeps the first image's size between builds while the file
  // stays unchanged.
  HtmlBuilder(AppletDocument& document, UserDialogs& dialogs, HtmlView& view, ImageProbe probe = ImageProbe())
      : m_document(document), m_dialogs(dialogs), m_view(view), m_probe(std::move(probe)) {}

  // Whether the HTML is made for today's browsers; none: never. Then a
  // non-empty alternative HTML goes before "</APPLET>" (a browser without
  // scripts shows it, the player removes it) and the player's script line
  // follows the applet.
  void setPlayerSource(std::function<bool()> playInBrowsers) { m_playInBrowsers = std::move(playInBrowsers); }
  // Where the link and frame edits are recorded for undo; none: nowhere.
  void setHistory(EditHistory* history) { m_history = history; }

  // Probes the first image, rebuilds the view's HTML box and returns the
  // seven lines (more for today's browsers, above). A decoder failure
  // propagates with the box left empty (and unlocked); a missing image shows
  // the not-found message and gives a 150 x 150 applet. Does not change
  // modified.
  std::vector<std::string> makeHTML();

  // Line 1. Runs the image probe and sets appletWidth and appletHeight.
  std::string makeAppletTag();
  std::string makeGeneralTag() const;
  std::string getImageTag() const;
  std::string getLinkTag() const;
  std::string getLoadTag() const;

  // A PARAM value as written between its quotes: '"' as "&quot;", '<' as
  // "&lt;" and '>' as "&gt;", so that no value (a link from a project file,
  // the loading message, an image's name) can end the attribute or start
  // markup; the player reads the value back through the DOM, which decodes
  // them. Every other byte, "&" included, stays as it is.
  static std::string attributeText(const std::string& value);
  // RRGGBB in upper-case hexadecimal, from a 0x00BBGGRR colour.
  static std::string getHexColor(Color color);

  // Cleaning messages go to hint (one per dropped character) rather than
  // to a message box; none: the message box.
  void setCleaningHint(CleaningHint hint) { m_hint = std::move(hint); }

  // The text without '"' and '|' (link), or without '"', '|' and '-'
  // (frame); one message per dropped character.
  std::string reBad(const std::string& text);
  std::string reBadFrame(const std::string& text);

  // The change handlers of the link and frame fields: clean the new text,
  // write it back into the field when something was dropped, store it in
  // the document and set modified. Nothing while updatingControls is set.
  void eLinkChange(const std::string& text);
  void eFrameChange(const std::string& text);

 private:
  std::string clean(const std::string& text, const std::string& bad, CleanedField field, const char* message);

  AppletDocument& m_document;
  UserDialogs& m_dialogs;
  HtmlView& m_view;
  std::function<bool()> m_playInBrowsers;
  CleaningHint m_hint;
  EditHistory* m_history = nullptr;
  ImageProbe m_probe;
};

}  // namespace glx
