#include "app/companion_windows.h"

#include "app/browser_window.h"
#include "app/help_window.h"
#include "app/update_window.h"

namespace glx {

CompanionWindows createCompanionWindows(TMainWindow& window, UserDialogs& dialogs, Shell& shell,
                                        const std::string& registryFolder, const std::string& updateServer) {
  CompanionWindows windows;
  BrowserWindowOptions browserOptions;
  browserOptions.registryFolder = registryFolder;
  browserOptions.appSettings = window.AppLevelSettings();
  browserOptions.showHelp = [&window](int context) { window.helpWindow().showContext(context); };
  browserOptions.showMessage = [&dialogs](const std::string& text) { dialogs.showMessage(text); };
  windows.browser = new TBrowserWindow(browserOptions, &window);
  window.adoptWindow(windows.browser);
  TBrowserWindow* browser = windows.browser;
  window.setBrowserWindowAction([browser] { browser->showModally(); });
  window.setCurrentBrowserSource([browser] { return browser->currentBrowser(); });

  windows.update = new TupdateWindow(window.usageLog(), window, dialogs, shell, updateServer, &window);
  window.adoptWindow(windows.update);
  TupdateWindow* update = windows.update;
  window.setUpdateWindowAction([update] { update->showUpdate(); });
  return windows;
}

}  // namespace glx
