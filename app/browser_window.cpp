#include "app/browser_window.h"

#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "platform/error_sink.h"
#include "search/browser_names.h"
#include "settings/bound_widgets.h"
#include "settings/settings_store.h"

namespace glx {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TBrowserWindow::TBrowserWindow(const BrowserWindowOptions& options, QWidget* parent)
    : QDialog(parent), m_showHelp(options.showHelp), m_showMessage(options.showMessage) {
  setObjectName(QStringLiteral("BrowserWindow"));
  setWindowTitle(QStringLiteral("Browser"));

  auto* layout = new QVBoxLayout(this);
  auto* group = new QGroupBox(QStringLiteral("Browsers"), this);
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(new QLabel(QStringLiteral("Choose the browser you wish to use when testing applets."), group));
  BrowserNames = new GlxListBox(group);
  BrowserNames->setObjectName(QStringLiteral("BrowserNames"));
  BrowserNames->setSelectionMode(QAbstractItemView::SingleSelection);
  groupLayout->addWidget(BrowserNames);
  layout->addWidget(group);

  // The paths run parallel to the names and are never shown.
  BrowserPaths = new GlxListBox(this);
  BrowserPaths->setObjectName(QStringLiteral("BrowserPaths"));
  BrowserPaths->hide();

  auto* choiceRow = new QHBoxLayout();
  auto* caption = new QLabel(QStringLiteral("Browser:"), this);
  QFont bold = caption->font();
  bold.setBold(true);
  caption->setFont(bold);
  browser = new GlxLabel(QStringLiteral("default"), this);
  browser->setObjectName(QStringLiteral("browser"));
  browser->setTextFormat(Qt::PlainText);
  choiceRow->addWidget(caption);
  choiceRow->addWidget(browser, 1);
  layout->addLayout(choiceRow);

  DefaultBrowserCheck = new QCheckBox(QStringLiteral("Use Default Browser"), this);
  DefaultBrowserCheck->setObjectName(QStringLiteral("DefaultBrowserCheck"));
  layout->addWidget(DefaultBrowserCheck);

  auto* buttons = new QHBoxLayout();
  SpeedButton1 = new QPushButton(QStringLiteral("&Search for Browsers"), this);
  SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
  SpeedButton2 = new QPushButton(QStringLiteral("&Close"), this);
  SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
  SpeedButton4 = new QPushButton(QStringLiteral("&Help"), this);
  SpeedButton4->setObjectName(QStringLiteral("SpeedButton4"));
  for (QPushButton* b : {SpeedButton1, SpeedButton2, SpeedButton4}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  layout->addLayout(buttons);

  // The first finder looks for the browsers' program files on the whole
  // drive, the second for their Flatpak launchers, which lie in folders a
  // walk of the drive does not reach (the user's is hidden).
  FileFinder1.setFileMask("*");
  FileFinder1.setFiles(browserProgramNames());
  FileFinder2.setFileMask("*");
  FileFinder2.setFiles(browserFlatpakNames());
  FileFinder2.setDirectories(flatpakExportFolders());
  for (TFileFinder* finder : {&FileFinder1, &FileFinder2}) {
    finder->setDrives("C");
    finder->setCaseSensitive(false);
    finder->setThreadPriority(tpNormal);
    if (options.driveTable) finder->setDriveTable(*options.driveTable);
  }
  FileFinder1.OnFileFound = [this](TFindThread& sender, const std::string& directory, const SearchRecord& info) {
    FileFinder1FileFound(sender, directory, info);
  };
  FileFinder2.OnFileFound = [this](TFindThread& sender, const std::string& directory, const SearchRecord& info) {
    FileFinder2FileFound(sender, directory, info);
  };
  for (TFileFinder* finder : {&FileFinder1, &FileFinder2})
    finder->OnCompleted = [this](TFindThread&) { FileFinderCompleted(); };

  connect(SpeedButton1, &QPushButton::clicked, this, [this] { runGuarded([this] { SpeedButton1Click(); }); });
  connect(SpeedButton2, &QPushButton::clicked, this, [this] { runGuarded([this] { SpeedButton2Click(); }); });
  connect(SpeedButton4, &QPushButton::clicked, this, [this] { runGuarded([this] { SpeedButton4Click(); }); });
  connect(BrowserNames, &QListWidget::itemClicked, this, [this] { runGuarded([this] { BrowserNamesClick(); }); });
  // The keyboard moves the selection as a click would; the restore of the
  // saved lists does not, because the list has no focus then.
  connect(BrowserNames, &QListWidget::currentRowChanged, this, [this] {
    if (BrowserNames->hasFocus()) runGuarded([this] { BrowserNamesClick(); });
  });
  connect(BrowserNames, &QListWidget::itemDoubleClicked, this,
          [this] { runGuarded([this] { BrowserNamesDblClick(); }); });
  // Ticking the box by code counts as a click too, as the settings of this
  // window expect (FormShow ticks it).
  connect(DefaultBrowserCheck, &QCheckBox::toggled, this,
          [this] { runGuarded([this] { DefaultBrowserCheckClick(); }); });

  FormSettings1 = new TFormSettings(this);
  FormSettings1->setCompanyName("Tallowbrook Software");
  FormSettings1->setSoftwareName("Glimmerax");
  FormSettings1->setSoftwareVersion("1.0");
  FormSettings1->setRegistryRootKey(prkLocalMachine);
  FormSettings1->setRegistryFolder(options.registryFolder);
  if (options.appSettings) FormSettings1->setAppSettingsCtrl(options.appSettings);
  FormSettings1->setFormSaveOpt(0);
  FormSettings1->setCentreAtRestore(true);
  FormSettings1->addRow("", "BrowserNames.Items", "", kPlainText);
  FormSettings1->addRow("", "BrowserPaths.Items", "", kEncrypted);
  FormSettings1->addRow("Current Browser", "browser.Caption", "", kEncrypted);
  FormSettings1->Loaded();
}

TBrowserWindow::~TBrowserWindow() {
  // The searches end before the lists their finds go into.
  FileFinder1.Stop();
  FileFinder2.Stop();
}

std::string TBrowserWindow::currentBrowser() const { return browser->text().toStdString(); }

void TBrowserWindow::showModally() { exec(); }

void TBrowserWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) runGuarded([this] { FormShow(); });
}

void TBrowserWindow::FormShow() {
  if (currentBrowser() == "default") DefaultBrowserCheck->setChecked(true);
}

void TBrowserWindow::SpeedButton1Click() {
  BrowserNames->clear();
  BrowserPaths->clear();
  m_tally.begin(2);
  FileFinder1.setDrives(FileFinder1.GetFixedDrives());
  FileFinder1.Start();
  FileFinder2.setDrives(FileFinder2.GetFixedDrives());
  FileFinder2.Start();
}

void TBrowserWindow::addFind(const std::string& directory, const SearchRecord& fileinfo) {
  std::vector<std::string> listed;
  for (const QString& path : BrowserPaths->items()) listed.push_back(path.toStdString());
  const auto find = browserListEntry(FileFinder1.driveTable(), directory, fileinfo.name,
                                     (fileinfo.attr & faDirectory) != 0, listed);
  if (!find) return;
  if (find->replaces >= 0 && find->replaces < BrowserNames->count()) {
    // The launcher found after the program it starts: one entry, the launcher's.
    BrowserNames->item(find->replaces)->setText(qs(find->displayName));
    BrowserPaths->item(find->replaces)->setText(qs(find->path));
    return;
  }
  BrowserNames->addItem(qs(find->displayName));
  BrowserPaths->addItem(qs(find->path));
  m_tally.listed();
}

void TBrowserWindow::FileFinder1FileFound(TFindThread&, const std::string& directory, const SearchRecord& fileinfo) {
  addFind(directory, fileinfo);
}

void TBrowserWindow::FileFinder2FileFound(TFindThread&, const std::string& directory, const SearchRecord& fileinfo) {
  addFind(directory, fileinfo);
}

void TBrowserWindow::FileFinderCompleted() {
  if (m_tally.completed() && m_showMessage) m_showMessage(kNoBrowserFound);
}

void TBrowserWindow::BrowserNamesClick() {
  int selected = -1;
  for (int i = 0; i < BrowserNames->count(); ++i) {
    if (BrowserNames->item(i)->isSelected()) {
      selected = i;
      break;
    }
  }
  // Lists restored from a damaged registry may differ in length.
  if (selected < 0 || selected >= BrowserPaths->count()) return;
  browser->setText(BrowserPaths->item(selected)->text());
  DefaultBrowserCheck->setChecked(false);
}

void TBrowserWindow::BrowserNamesDblClick() {
  BrowserNamesClick();
  close();
}

void TBrowserWindow::DefaultBrowserCheckClick() {
  if (DefaultBrowserCheck->isChecked()) browser->setText(QStringLiteral("default"));
}

void TBrowserWindow::SpeedButton2Click() {
  FileFinder1.Stop();
  FileFinder2.Stop();
  close();
}

void TBrowserWindow::SpeedButton4Click() {
  if (m_showHelp) m_showHelp(kHelpContext);
}

}  // namespace glx
