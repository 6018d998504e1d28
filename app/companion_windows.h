// The windows created hidden at start-up after the main window: the browser
// selection window, then the update window. They live as long as the main
// window and are reached from its menu items.
#pragma once

#include <string>

#include "app/main_window.h"

namespace glx {

class TBrowserWindow;
class TupdateWindow;

struct CompanionWindows {
  TBrowserWindow* browser = nullptr;
  TupdateWindow* update = nullptr;
};

// Creates both windows, hidden, owned by the main window, and hands them to
// its "&Browser", "&Internet Update" and "&Test in Browser" actions.
// registryFolder: the settings folder (empty: the program's default);
// updateServer: the update server's host.
CompanionWindows createCompanionWindows(TMainWindow& window, UserDialogs& dialogs, Shell& shell,
                                        const std::string& registryFolder, const std::string& updateServer);

}  // namespace glx
