// The browser selection window: finds installed browsers with two file
// finders, lists them by product and version, and keeps the choice (a
// browser's path or "default") in the `browser` label, whose caption the
// browser test run reads. Created hidden at start-up, shown modally.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "platform/drives.h"
#include "search/browser_names.h"
#include "search/file_finder.h"

class QCheckBox;
class QPushButton;

namespace glx {

class GlxLabel;
class GlxListBox;
class TAppSettings;
class TFormSettings;

struct BrowserWindowOptions {
  // The settings folder of the registry; empty: the program's default.
  std::string registryFolder;
  // The main window's application settings component, when there is one.
  TAppSettings* appSettings = nullptr;
  // Where drive letters lead; the program's drive table when unset.
  std::optional<DriveTable> driveTable;
  // Opens the help at a context number.
  std::function<void(int context)> showHelp;
  // Tells the user something, as a message box would.
  std::function<void(const std::string& text)> showMessage;
};

class TBrowserWindow : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kHelpContext = 32;

  explicit TBrowserWindow(const BrowserWindowOptions& options = {}, QWidget* parent = nullptr);
  ~TBrowserWindow() override;

  // The current choice: the caption of the `browser` label.
  std::string currentBrowser() const;
  // Shows the window modally ("&Browser").
  void showModally();

  // Events, named after their controls.
  void FormShow();
  void SpeedButton1Click();
  void FileFinder1FileFound(TFindThread& sender, const std::string& directory, const SearchRecord& fileinfo);
  void FileFinder2FileFound(TFindThread& sender, const std::string& directory, const SearchRecord& fileinfo);
  // Either finder's search ended; after both, says so when none was found.
  void FileFinderCompleted();
  void BrowserNamesClick();
  void BrowserNamesDblClick();
  void DefaultBrowserCheckClick();
  void SpeedButton2Click();
  void SpeedButton4Click();

  TFileFinder FileFinder1;
  TFileFinder FileFinder2;
  TFormSettings* FormSettings1 = nullptr;
  GlxListBox* BrowserNames = nullptr;
  GlxListBox* BrowserPaths = nullptr;
  GlxLabel* browser = nullptr;
  QCheckBox* DefaultBrowserCheck = nullptr;
  QPushButton* SpeedButton1 = nullptr;
  QPushButton* SpeedButton2 = nullptr;
  QPushButton* SpeedButton4 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void addFind(const std::string& directory, const SearchRecord& fileinfo);

  std::function<void(int)> m_showHelp;
  std::function<void(const std::string&)> m_showMessage;
  BrowserSearchTally m_tally;
};

}  // namespace glx
