// Whether an effect setting would flash more than three times a second, the
// limit below which flashing is held safe for people with photosensitive
// epilepsy (WCAG 2.3.1). The main window warns about such a setting; the
// applet is written all the same.
#pragma once

namespace glx {

struct AppletDocument;

// The warning line under the effect settings.
extern const char kFlashWarning[];

// effectIndex: a catalogue row (others never flash); speed and frames: the
// GENERAL fields; constant: the step time in milliseconds. Values out of
// range are taken as the player limits them.
bool effectFlashes(int effectIndex, int speed, int frames, int constant);

// The same for the document's current effect.
bool effectFlashes(const AppletDocument& document);

}  // namespace glx
