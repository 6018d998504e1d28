// The program setting "Play in today's browsers": whether the HTML is made
// for browsers without Java (the player's script line after the applet, the
// player file beside the class files). On by default. The main window's
// settings component keeps it, plainly, beside its other values.
#pragma once

#include <string>

namespace glx {

// The setting's value name and the key it lives in, under the local
// machine's root.
inline constexpr const char* kPlayInBrowsersSetting = "Play in today's browsers";
inline constexpr const char* kMainWindowSettingsKey = "Software\\Tallowbrook Software\\Glimmerax\\1.0\\MainWindow";
// The property the settings component binds it to.
inline constexpr const char* kPlayInBrowsersProperty = "playInBrowsers.checked";

// The stored value, read without changing anything (a settings file that
// does not parse is left where it is): off only when stored as "False", as
// the settings component restores it; on when missing or unreadable.
// registryFolder empty: the program's default settings folder.
bool storedPlayInBrowsers(const std::string& registryFolder = {});

// What the advanced options window asks of the window that owns the setting.
class PlayerChoice {
 public:
  virtual ~PlayerChoice() = default;
  virtual bool playInBrowsers() const = 0;
  // Takes effect at once and is stored at once.
  virtual void setPlayInBrowsers(bool on) = 0;
};

}  // namespace glx
