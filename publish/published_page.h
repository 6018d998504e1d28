// The page of a published folder (index.html) and the text rules that a
// page written from the document's bytes needs: which character set its
// bytes are in, escaping, and the plain text of the alternative HTML.
//
// The document keeps its texts as the bytes it was given (UTF-8 from the
// windows; any 8-bit text from a project file written elsewhere), and the
// HTML lines carry them unchanged. So a page declares the character set its
// bytes really are in: UTF-8 when they are well-formed UTF-8 (plain ASCII
// is), else windows-1252, the 8-bit set of the program's project files,
// in which every byte means a character. Nothing is converted, so the lines
// stay byte for byte those of the HTML box and of --print-html.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace glx {

inline constexpr const char* kUtf8Charset = "utf-8";
inline constexpr const char* kEightBitCharset = "windows-1252";

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates
// or code points above U+10FFFF).
bool isUtf8(const std::string& bytes);

// kUtf8Charset when every text is well-formed UTF-8, else kEightBitCharset.
std::string charsetOf(const std::vector<std::string>& texts);

// The text with &, <, > and " written as character references.
std::string htmlEscaped(const std::string& text);

// The project's name as a page title: the project file's name without its
// folder and without ".glx" (any letter case); "Applet" when nothing is
// left.
std::string projectTitle(const std::string& projectPath);

// The alternative HTML as a short plain text for a page description: tags
// and comments dropped (script and style with their content), white space
// collapsed to single blanks and trimmed, at most maxCharacters characters
// (cut at a blank where one is near, with "..." added). Character
// references stay as they are (each counts as one character), so the result
// is ready for an attribute value once escaped with descriptionEscaped.
inline constexpr std::size_t kDescriptionLength = 160;
std::string plainDescription(const std::string& alternativeHtml, std::size_t maxCharacters = kDescriptionLength);

// A description for an attribute value: " < > escaped, and & escaped
// unless it starts a character reference.
std::string descriptionEscaped(const std::string& description);

struct PublishedPage {
  std::string title;          // plain text, escaped when written
  std::string description;    // plainDescription's text; no meta line when empty
  std::string background = "#000000";
  std::vector<std::string> htmlLines;  // the applet's lines, written unchanged
};

// The lines (without line ends) of an HTML5 document: doctype, language,
// the character set of its bytes, a viewport for phones, the title, the
// description, and the applet's lines, unindented and unchanged, centred
// in the page's main region on the background colour.
std::vector<std::string> publishedPageLines(const PublishedPage& page);

}  // namespace glx
