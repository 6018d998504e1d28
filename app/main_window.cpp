#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDate>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeySequence>
#include <QTimer>
#include <QUndoStack>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/about_window.h"
#include "app/advanced_window.h"
#include "app/export_animation.h"
#include "app/export_progress_dialog.h"
#include "app/field_hint.h"
#include "app/image_drops.h"
#include "app/help_window.h"
#include "app/image_list_view.h"
#include "app/preview_page.h"
#include "app/qt_services.h"
#include "app/undo_keys.h"
#include "document/effects.h"
#include "document/flash_rule.h"
#include "platform/error_sink.h"
#include "platform/file_ops.h"
#include "settings/bound_widgets.h"
#include "settings/settings_store.h"
#include "update/update_check.h"

namespace glx {

const char* const TMainWindow::kLinkFilter = "HTML Files (*.html *.htm);;All Files (*)";

namespace {

constexpr int kClientWidth = 563;
constexpr int kClientHeight = 317;
// More than the nesting of the window's layouts.
constexpr int kLayoutDepth = 12;

constexpr int kEffectsHelp = 56;
constexpr int kImagesHelp = 57;
constexpr int kLinkHelp = 58;
constexpr int kHtmlHelp = 33;

QLabel* wrappedText(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  return label;
}

QPushButton* button(const char* name, const QString& caption, const QString& hint, QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(QString::fromLatin1(name));
  if (!hint.isEmpty()) b->setToolTip(hint);
  b->setAutoDefault(false);
  return b;
}

QSpinBox* spinBox(const char* name, int maximum, const QString& hint, QWidget* parent) {
  auto* box = new QSpinBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setRange(0, maximum);
  box->setProperty("designedMaximum", maximum);
  if (!hint.isEmpty()) box->setToolTip(hint);
  return box;
}

// A panel holding a spin box after its caption, which is its hint too.
struct SpinRow {
  QWidget* panel;
  QLabel* label;
  QSpinBox* box;
};

SpinRow spinRow(const char* panelName, const char* boxName, const QString& caption, int maximum, QWidget* parent) {
  SpinRow row{};
  row.panel = new QWidget(parent);
  row.panel->setObjectName(QString::fromLatin1(panelName));
  auto* layout = new QHBoxLayout(row.panel);
  layout->setContentsMargins(0, 0, 0, 0);
  row.label = new QLabel(caption, row.panel);
  row.box = spinBox(boxName, maximum, caption, row.panel);
  row.label->setBuddy(row.box);
  layout->addWidget(row.label);
  layout->addWidget(row.box, 1);
  return row;
}

// The platform's keys for a standard command; where the platform has none
// (the Windows scheme has no Quit, and Save As only on some desktops), the
// keys every editor on this desktop uses.
void setStandardKeys(QAction* action, QKeySequence::StandardKey key, const QKeySequence& otherwise) {
  QList<QKeySequence> keys = QKeySequence::keyBindings(key);
  if (keys.isEmpty()) keys = {otherwise};
  action->setShortcuts(keys);
}

// The cleaned text goes back into the field with the cursor where the user
// was typing: the characters dropped were the ones just typed before it.
void replaceKeepingCursor(QLineEdit* edit, const QString& text) {
  const qsizetype dropped = edit->text().size() - text.size();
  const qsizetype cursor = std::clamp<qsizetype>(edit->cursorPosition() - std::max<qsizetype>(dropped, 0), 0, text.size());
  edit->setText(text);
  edit->setCursorPosition(static_cast<int>(cursor));
}

// A hand-edited project may hold a number outside a box's designed range,
// and that number is what a save writes back; the box's range widens just
// enough to show it as it stands, rather than showing a clamped value.
void showNumber(QSpinBox* box, int value) {
  if (box->value() == value) return;
  box->setRange(std::min(0, value), std::max(box->property("designedMaximum").toInt(), value));
  box->setValue(value);
}

}  // namespace

TMainWindow::TMainWindow(MainWindowServices services, QWidget* parent)
    : QMainWindow(parent),
      m_folders(std::move(services.folders)),
      m_dialogs(services.dialogs),
      m_shell(services.shell),
      m_files(m_folders, m_shell),
      m_editor(m_document, m_files, m_dialogs, *this),
      m_htmlBuilder(m_document, m_dialogs, *this),
      m_projectFile(m_editor, *this, *this),
      m_commands(m_editor, m_projectFile, m_dialogs),
      m_usageLog(m_counters, m_folders.usageLogPath(), *this),
      m_testRun(m_files, m_shell, m_dialogs) {
  m_commands.setBeforeClose([this] { m_usageLog.updateLogFile(); });
  m_files.setPlayerWanted([this] { return playInBrowsers(); });
  m_testRun.setServeOverLoopback(true);
  m_htmlBuilder.setPlayerSource([this] { return playInBrowsers(); });
  // Said under the fields, not in a box that would take the next keys.
  m_htmlBuilder.setCleaningHint([this](CleanedField, const std::string& text) { cleaningHint->showHint(qs(text)); });
  m_htmlBuilder.setHistory(&m_editor.history());
  setObjectName(QStringLiteral("MainWindow"));
  updateTitle();
  // Picture files dropped from a file manager are added as images.
  setAcceptDrops(true);
  buildControls();
  buildMenus();
  connectEvents();
  buildSettings(services.registryFolder);

  // The client area is 563 x 317; where the desktop's font needs more room
  // the window grows to fit. That is its smallest size: it may be enlarged,
  // and the HTML box and the preview grow with it.
  centralWidget()->setMinimumSize(kClientWidth, kClientHeight);
  adjustSize();
  const QSize designed = sizeHint().expandedTo(size());
  setMinimumSize(designed);
  resize(designed);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  handle([this] { FormCreate(); });
}

TMainWindow::~TMainWindow() {
  // Child windows and the settings components refer to the document, the
  // counters and the controls, which go before QWidget frees its children.
  for (const QPointer<QWidget>& window : m_adopted) delete window.data();
  delete previewTab;  // it reads the document
  for (TAdvancedWindow* window : findChildren<TAdvancedWindow*>(Qt::FindDirectChildrenOnly)) delete window;
  delete m_help;
  delete m_appSettings;
  delete m_appLevelSettings;
}

void TMainWindow::adoptWindow(QWidget* window) { m_adopted.emplace_back(window); }

void TMainWindow::buildSettings(const std::string& registryFolder) {
  m_appLevelSettings = new TAppSettings(this);
  m_appLevelSettings->setObjectName(QStringLiteral("AppLevelSettings"));
  m_appLevelSettings->setRegistryFolder(registryFolder);
  m_appLevelSettings->setCompanyName("Tallowbrook Software");
  m_appLevelSettings->setSoftwareName("Glimmerax");
  m_appLevelSettings->setSoftwareVersion("1.0");
  m_appLevelSettings->setRegistryRootKey(prkLocalMachine);
  m_appLevelSettings->setSaveLocation(palRegistry);

  m_appSettings = new TFormSettings(this);
  m_appSettings->setObjectName(QStringLiteral("AppSettings"));
  m_appSettings->setRegistryFolder(registryFolder);
  m_appSettings->setIsMainWindow(true);
  m_appSettings->setCentreAtRestore(true);
  m_appSettings->setFormSaveOpt(0);
  m_appSettings->setSaveLocation(pslRegistry);
  m_appSettings->setAppSettingsCtrl(m_appLevelSettings);
  m_appSettings->setCompanyName("Tallowbrook Software");
  m_appSettings->setSoftwareName("Glimmerax");
  m_appSettings->setSoftwareVersion("1.0");
  m_appSettings->setRegistryRootKey(prkLocalMachine);
  m_appSettings->addRow("Config 1", "configOne.Caption", "", kEncrypted);
  m_appSettings->addRow("Config 3", "monthLabel.Caption", "", kEncrypted);
  m_appSettings->addRow(kPlayInBrowsersSetting, kPlayInBrowsersProperty);
  m_appSettings->setMRUMenuItem(reopenMenu);
  m_appSettings->setMRULength(9);
  m_appSettings->setMRUDisplay(pmdFileOnly);
  m_appSettings->setMRUMaxItemWidth(300);
  m_appSettings->OnMRUClick = [this](TSettingsBase*, QAction*, const std::string& fileName, int) {
    // Opening the file rebuilds the menu and frees the entry being
    // clicked, so the open runs after the click has been delivered.
    QTimer::singleShot(0, this, [this, fileName] { handle([this, fileName] { AppSettingsMRUClick(fileName); }); });
  };
  // Both restore now, while the window is being built.
  runGuarded([this] { m_appLevelSettings->Loaded(); });
  runGuarded([this] { m_appSettings->Loaded(); });
}

QToolButton* TMainWindow::helpButton(int context, QWidget* parent) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QStringLiteral("helpButton%1").arg(context));
  // Loaded once: the style reads the icon's pictures on every call.
  if (m_helpIcon.isNull()) m_helpIcon = style()->standardIcon(QStyle::SP_TitleBarContextHelpButton);
  b->setIcon(m_helpIcon);
  b->setToolTip(QStringLiteral("Press me for help"));
  b->setProperty("helpContext", context);
  connect(b, &QToolButton::clicked, this, [this, context] { handle([this, context] { helpButtonClick(context); }); });
  return b;
}

void TMainWindow::buildControls() {
  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("clientArea"));
  setCentralWidget(central);

  Tabs = new QTabWidget(central);
  Tabs->setObjectName(QStringLiteral("Tabs"));

  settingsTab = buildSettingsPage();
  HTMLTab = buildHtmlPage();
  Tabs->addTab(settingsTab, QStringLiteral("Settings"));
  Tabs->addTab(HTMLTab, QStringLiteral("HTML"));
  // The live preview; its web view is made when the page is first shown.
  previewTab = new PreviewPage(m_document, dataFilePath(m_folders, kPlayerFile), Tabs);
  Tabs->addTab(previewTab, QStringLiteral("Preview"));

  QWidget* panel = buildTestPanel(central);
  buildHiddenState(central);

  auto* layout = new QHBoxLayout(central);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(Tabs, 1);
  layout->addWidget(panel);
}

// ---- "Settings" page

QWidget* TMainWindow::buildSettingsPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("settingsTab"));
  QGroupBox* effects = buildEffectsGroup(page);
  buildDimensionsGroup(page);
  QGroupBox* images = buildImagesGroup(page);
  QGroupBox* linkGroup = buildLinkGroup(page);

  auto* settingsLayout = new QGridLayout(page);
  settingsLayout->addWidget(effects, 0, 0);
  settingsLayout->addWidget(images, 0, 1, 2, 1);
  settingsLayout->addWidget(linkGroup, 1, 0);
  settingsLayout->setColumnStretch(0, 1);
  settingsLayout->setColumnStretch(1, 1);
  return page;
}

QGroupBox* TMainWindow::buildEffectsGroup(QWidget* page) {
  auto* effects = new QGroupBox(QStringLiteral("Effects"), page);
  effects->setObjectName(QStringLiteral("effectsGroup"));
  auto* effectsLayout = new QGridLayout(effects);
  effectsLayout->addWidget(wrappedText(QStringLiteral("Select the effect you would like to use for this Applet."), effects),
                           0, 0, 1, 3);
  cEffects = new QComboBox(effects);
  cEffects->setObjectName(QStringLiteral("cEffects"));
  cEffects->setEditable(false);
  cEffects->setToolTip(QStringLiteral("Choose the effect here"));
  for (const EffectEntry& row : kEffects) cEffects->addItem(QString::fromLatin1(row.displayName));
  effectsLayout->addWidget(cEffects, 1, 0, 1, 3);

  const SpinRow frames = spinRow("framesPanel", "eFrames", QStringLiteral("Number of Frames"), 10000, effects);
  framesPanel = frames.panel;
  eFrames = frames.box;
  QLabel* framesLabel = frames.label;

  const SpinRow speed = spinRow("speedPanel", "eIncrement", QStringLiteral("Effect Speed"), 100, effects);
  speedPanel = speed.panel;
  eIncrement = speed.box;
  QLabel* speedLabel = speed.label;
  // One of the two stands in the same place, following the effect, and
  // they line up: one label width, one height, and the hidden one keeps its
  // room so that the group's width does not change with the effect.
  const int labelWidth = std::max(framesLabel->sizeHint().width(), speedLabel->sizeHint().width());
  for (QLabel* label : {framesLabel, speedLabel}) label->setMinimumWidth(labelWidth);
  for (QWidget* panel : {framesPanel, speedPanel}) {
    QSizePolicy policy = panel->sizePolicy();
    policy.setVerticalPolicy(QSizePolicy::Fixed);
    policy.setRetainSizeWhenHidden(true);
    panel->setSizePolicy(policy);
  }
  effectsLayout->addWidget(framesPanel, 2, 0, 1, 3);
  effectsLayout->addWidget(speedPanel, 2, 0, 1, 3);
  framesPanel->hide();

  bkColorBtn = button("bkColorBtn", QStringLiteral("Background &Color"),
                      QStringLiteral("Press me to change the background color"), effects);
  effectsLayout->addWidget(bkColorBtn, 3, 0, 1, 2);
  effectsLayout->addWidget(helpButton(kEffectsHelp, effects), 3, 2, Qt::AlignRight);
  firstImageOnlyNote = wrappedText(QString::fromLatin1(kFirstImageOnlyNote), effects);
  firstImageOnlyNote->setObjectName(QStringLiteral("firstImageOnlyNote"));
  // Its room is kept, so that the controls do not move when it comes.
  firstImageOnlyNote->setMinimumHeight(2 * firstImageOnlyNote->fontMetrics().lineSpacing());
  QSizePolicy notePolicy = firstImageOnlyNote->sizePolicy();
  notePolicy.setRetainSizeWhenHidden(true);
  firstImageOnlyNote->setSizePolicy(notePolicy);
  firstImageOnlyNote->hide();
  effectsLayout->addWidget(firstImageOnlyNote, 4, 0, 1, 3);
  // Shown while the setting would flash; its room is kept when hidden, so
  // the fixed-size window has it and nothing moves when it appears.
  flashWarning = new QLabel(QString::fromLatin1(kFlashWarning), effects);
  flashWarning->setObjectName(QStringLiteral("flashWarning"));
  flashWarning->setWordWrap(true);
  flashWarning->setStyleSheet(QStringLiteral("color: #b00000;"));
  QSizePolicy warningPolicy = flashWarning->sizePolicy();
  warningPolicy.setRetainSizeWhenHidden(true);
  flashWarning->setSizePolicy(warningPolicy);
  flashWarning->hide();
  effectsLayout->addWidget(flashWarning, 5, 0, 1, 3);
  effectsLayout->setRowStretch(5, 1);
  return effects;
}

// Kept for the applet's size, never shown: the size comes from the image.
void TMainWindow::buildDimensionsGroup(QWidget* page) {
  auto* dimensions = new QGroupBox(QStringLiteral("Applet Dimensions"), page);
  dimensions->setObjectName(QStringLiteral("dimensionsGroup"));
  auto* dimensionsLayout = new QHBoxLayout(dimensions);
  eAppletWidth = spinBox("eAppletWidth", 10000, QString(), dimensions);
  eAppletHeight = spinBox("eAppletHeight", 10000, QString(), dimensions);
  dimensionsLayout->addWidget(eAppletWidth);
  dimensionsLayout->addWidget(eAppletHeight);
  dimensions->hide();
}

QGroupBox* TMainWindow::buildImagesGroup(QWidget* page) {
  auto* images = new QGroupBox(QStringLiteral("Images"), page);
  images->setObjectName(QStringLiteral("imagesGroup"));
  auto* imagesLayout = new QGridLayout(images);
  imagesLayout->addWidget(wrappedText(QStringLiteral("Select the Image(s) you want to use in this applet."), images), 0,
                          0, 1, 3);
  imageListBox = new ImageListView(images);
  imageListBox->setObjectName(QStringLiteral("imageListBox"));
  imagesLayout->addWidget(imageListBox, 1, 0, 1, 3);
  bAddImage = button("bAddImage", QStringLiteral("&Add Image"), QStringLiteral("Press me to add an image to the applet"),
                     images);
  deleteButtonButton = button("deleteButtonButton", QStringLiteral("&Delete Image"),
                              QStringLiteral("Press me to delete the seleted image from the applet"), images);
  imagesLayout->addWidget(bAddImage, 2, 0);
  imagesLayout->addWidget(deleteButtonButton, 2, 1);
  imagesLayout->addWidget(helpButton(kImagesHelp, images), 2, 2, Qt::AlignRight);
  imagesLayout->setRowStretch(1, 1);
  return images;
}

QGroupBox* TMainWindow::buildLinkGroup(QWidget* page) {
  auto* linkGroup = new QGroupBox(QStringLiteral("Link"), page);
  linkGroup->setObjectName(QStringLiteral("linkGroup"));
  auto* linkLayout = new QGridLayout(linkGroup);
  linkLayout->addWidget(
      wrappedText(QStringLiteral("Here you can enter the URL the applet will link to when the user clicks on the Applet."),
                  linkGroup),
      0, 0, 1, 4);
  auto* linkLabel = new QLabel(QStringLiteral("Link"), linkGroup);
  eLink = new QLineEdit(linkGroup);
  eLink->setObjectName(QStringLiteral("eLink"));
  eLink->setToolTip(QStringLiteral("Enter the URL that the applet will link to here"));
  linkLabel->setBuddy(eLink);
  bLinkBrowse = new QToolButton(linkGroup);
  bLinkBrowse->setObjectName(QStringLiteral("bLinkBrowse"));
  bLinkBrowse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  bLinkBrowse->setToolTip(QStringLiteral("Press me to browse for a HTML page"));
  linkLayout->addWidget(linkLabel, 1, 0);
  linkLayout->addWidget(eLink, 1, 1, 1, 2);
  linkLayout->addWidget(bLinkBrowse, 1, 3);
  auto* frameLabel = new QLabel(QStringLiteral("Frame"), linkGroup);
  eFrame = new QComboBox(linkGroup);
  eFrame->setObjectName(QStringLiteral("eFrame"));
  eFrame->setEditable(true);
  eFrame->setInsertPolicy(QComboBox::NoInsert);
  eFrame->addItems({QStringLiteral("_self"), QStringLiteral("_top"), QStringLiteral("_blank"), QStringLiteral("_parent")});
  eFrame->setCurrentIndex(-1);
  eFrame->setEditText(QString());
  eFrame->setToolTip(QStringLiteral("Enter the target frame for the link (optional)"));
  eFrame->setMinimumWidth(eFrame->fontMetrics().horizontalAdvance(QStringLiteral("_parent")) * 2);
  frameLabel->setBuddy(eFrame);
  linkLayout->addWidget(frameLabel, 2, 0);
  linkLayout->addWidget(eFrame, 2, 1, 1, 2);
  linkLayout->addWidget(helpButton(kLinkHelp, linkGroup), 2, 3, Qt::AlignRight);
  cleaningHint = new FieldHint(linkGroup);
  cleaningHint->setObjectName(QStringLiteral("cleaningHint"));
  linkLayout->addWidget(cleaningHint, 3, 0, 1, 4);
  linkLayout->setColumnStretch(1, 1);
  linkLayout->setColumnStretch(2, 1);
  return linkGroup;
}

// ---- "HTML" page

QWidget* TMainWindow::buildHtmlPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("HTMLTab"));
  htmlBox = new QPlainTextEdit(page);
  htmlBox->setObjectName(QStringLiteral("htmlBox"));
  htmlBox->setReadOnly(true);
  htmlBox->setLineWrapMode(QPlainTextEdit::NoWrap);
  htmlBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  htmlBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  htmlBox->viewport()->installEventFilter(this);
  bCopyHTML = button("bCopyHTML", QStringLiteral("Copy HTM&L to Clipboard"),
                     QStringLiteral("Press me to copy the HTML to your clipboard"), page);

  QWidget* info = buildInfoColumn(page);

  auto* htmlLayout = new QGridLayout(page);
  htmlLayout->addWidget(htmlBox, 0, 0, 1, 2);
  htmlLayout->addWidget(info, 0, 2, 2, 1);
  htmlLayout->addWidget(bCopyHTML, 1, 0, Qt::AlignLeft);
  htmlLayout->addWidget(helpButton(kHtmlHelp, page), 1, 1, Qt::AlignRight);
  htmlLayout->setColumnStretch(0, 1);
  htmlLayout->setRowStretch(0, 1);
  return page;
}

// The column beside the HTML: what to do with it and the files it needs.
QWidget* TMainWindow::buildInfoColumn(QWidget* page) {
  auto* info = new QWidget(page);
  info->setObjectName(QStringLiteral("infoColumn"));
  info->setFixedWidth(170);
  auto* infoLayout = new QVBoxLayout(info);
  infoLayout->setContentsMargins(0, 0, 0, 0);
  auto* important = new QLabel(QStringLiteral("Important"), info);
  auto* required = new QLabel(QStringLiteral("Required Files"), info);
  for (QLabel* heading : {important, required}) {
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
  }
  lImagesFolder = new QLabel(QStringLiteral("<a href=\"required\">required files</a>"), info);
  lImagesFolder->setObjectName(QStringLiteral("lImagesFolder"));
  lImagesFolder->setTextFormat(Qt::RichText);
  lImagesFolder->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  lImagesFolder->setCursor(Qt::PointingHandCursor);
  lImagesFolder->setToolTip(QStringLiteral("Click me to display the folder with the images required for this applet"));
  infoLayout->addWidget(important);
  infoLayout->addWidget(wrappedText(QStringLiteral("Here is the HTML required for this applet. Copy and paste it in the "
                                                   "HTML page which you want the applet to appear."),
                                    info));
  infoLayout->addSpacing(6);
  infoLayout->addWidget(required);
  infoLayout->addWidget(wrappedText(QStringLiteral("This applet needs all of the"), info));
  infoLayout->addWidget(lImagesFolder);
  infoLayout->addWidget(wrappedText(QStringLiteral("to be in the same folder"), info));
  infoLayout->addWidget(wrappedText(QStringLiteral("as your html page."), info));
  infoLayout->addSpacing(6);
  infoLayout->addWidget(wrappedText(
      QStringLiteral("Make sure you put ALL of these files on your site or the applet will not work."), info));
  m_playerInfo = wrappedText(QStringLiteral("Among them is glimmerax-player.js, which plays the applet in "
                                            "today's browsers."),
                             info);
  m_playerInfo->setObjectName(QStringLiteral("playerInfo"));
  infoLayout->addWidget(m_playerInfo);
  infoLayout->addStretch(1);
  return info;
}

// ---- the narrow panel on the right

QWidget* TMainWindow::buildTestPanel(QWidget* parent) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(QStringLiteral("testPanel"));
  auto* panelLayout = new QVBoxLayout(panel);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  bTest = button("bTest", QStringLiteral("&Test in Browser"),
                 QStringLiteral("Press me to run the applet in your web browser"), panel);
  bTest->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
  panelLayout->addSpacing(Tabs->tabBar()->sizeHint().height());
  panelLayout->addWidget(bTest);
  panelLayout->addStretch(1);
  return panel;
}

// The two state values the settings store keeps: never shown.
void TMainWindow::buildHiddenState(QWidget* parent) {
  m_configOne = new GlxLabel(QStringLiteral("true"), parent);
  m_configOne->setObjectName(QStringLiteral("configOne"));
  m_configOne->hide();
  m_monthLabel = new GlxLabel(QStringLiteral("0"), parent);
  m_monthLabel->setObjectName(QStringLiteral("monthLabel"));
  m_monthLabel->hide();
  // The setting "Play in today's browsers", shown in the advanced options
  // window; on by default.
  m_playInBrowsers = new QCheckBox(parent);
  m_playInBrowsers->setObjectName(QStringLiteral("playInBrowsers"));
  m_playInBrowsers->setChecked(true);
  m_playInBrowsers->hide();
  connect(m_playInBrowsers, &QCheckBox::toggled, m_playerInfo, &QLabel::setVisible);
}

void TMainWindow::buildMenus() {
  auto action = [this](QMenu* menu, const char* name, const QString& caption, void (TMainWindow::*method)()) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, [this, method] { handle([this, method] { (this->*method)(); }); });
    return a;
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("fileMenu"));
  setStandardKeys(action(file, "newMenuItem", QStringLiteral("&New Applet..."), &TMainWindow::newMenuItemClick),
                  QKeySequence::New, QKeySequence(Qt::CTRL | Qt::Key_N));
  setStandardKeys(action(file, "openMenuItem", QStringLiteral("&Open..."), &TMainWindow::openMenuItemClick),
                  QKeySequence::Open, QKeySequence(Qt::CTRL | Qt::Key_O));
  reopenMenu = file->addMenu(QStringLiteral("&Reopen"));
  reopenMenu->setObjectName(QStringLiteral("reopenMenuItem"));
  setStandardKeys(action(file, "saveMenuItem", QStringLiteral("&Save Applet"), &TMainWindow::saveMenuItemClick),
                  QKeySequence::Save, QKeySequence(Qt::CTRL | Qt::Key_S));
  setStandardKeys(action(file, "SaveAsMenuItem", QStringLiteral("Save Applet &As..."), &TMainWindow::SaveAsMenuItemClick),
                  QKeySequence::SaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  // "A" belongs to Save Applet As.
  action(file, "exportMenuItem", QStringLiteral("&Export Animation..."), &TMainWindow::exportMenuItemClick);
  action(file, "requiredFolderMenuItem", QStringLiteral("Open Required Files &Folder"),
         &TMainWindow::requiredFolderMenuItemClick);
  file->addSeparator();
  setStandardKeys(action(file, "exitMenuItem", QStringLiteral("E&xit"), &TMainWindow::exitMenuItemClick),
                  QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q));

  // Named after the step: "Undo Add Image", "Redo Change Effect".
  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  edit->setObjectName(QStringLiteral("editMenu"));
  QUndoStack& steps = m_editor.history().stack();
  undoAction = steps.createUndoAction(edit, QStringLiteral("&Undo"));
  undoAction->setObjectName(QStringLiteral("undoMenuItem"));
  undoAction->setShortcut(QKeySequence::Undo);
  redoAction = steps.createRedoAction(edit, QStringLiteral("&Redo"));
  redoAction->setObjectName(QStringLiteral("redoMenuItem"));
  redoAction->setShortcuts(redoKeys());
  for (QAction* a : {undoAction, redoAction}) {
    // The advanced options window edits the same document.
    a->setShortcutContext(Qt::ApplicationShortcut);
    edit->addAction(a);
  }

  QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
  options->setObjectName(QStringLiteral("optionsMenu"));
  action(options, "browserMenuItem", QStringLiteral("&Browser"), &TMainWindow::browserMenuItemClick);
  action(options, "advancedMenuItem", QStringLiteral("&Advanced"), &TMainWindow::advancedMenuItemClick);

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("helpMenu"));
  setStandardKeys(action(help, "helpMenuItem", QStringLiteral("&Help"), &TMainWindow::helpMenuItemClick),
                  QKeySequence::HelpContents, QKeySequence(Qt::Key_F1));
  help->addSeparator();
  action(help, "samplesMenuItem", QStringLiteral("&Samples"), &TMainWindow::samplesMenuItemClick);
  help->addSeparator();
  action(help, "webSiteMenuItem", QStringLiteral("&Tallowbrook Web Site"), &TMainWindow::webSiteMenuItemClick);
  action(help, "htmlEditorMenuItem", QStringLiteral("&Get a Cool HTML Editor"), &TMainWindow::webSiteMenuItemClick);
  help->addSeparator();
  action(help, "updateMenuItem", QStringLiteral("&Internet Update"), &TMainWindow::updateMenuItemClick);
  action(help, "aboutMenuItem", QStringLiteral("&About"), &TMainWindow::aboutMenuItemClick);
}

void TMainWindow::connectEvents() {
  connect(cEffects, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!m_refreshing) handle([this, index] { cEffectsChange(index); });
  });
  connect(eFrames, &QSpinBox::valueChanged, this, [this](int value) {
    if (!m_refreshing) handle([this, value] { eFramesChange(value); });
  });
  connect(eIncrement, &QSpinBox::valueChanged, this, [this](int value) {
    if (!m_refreshing) handle([this, value] { eIncrementChange(value); });
  });
  for (QSpinBox* box : {eFrames, eIncrement, eAppletWidth, eAppletHeight}) {
    box->installEventFilter(this);
    for (QObject* child : box->children())
      if (child->isWidgetType()) child->installEventFilter(this);
  }
  connect(eAppletWidth, &QSpinBox::valueChanged, this, [this](int value) {
    if (!m_refreshing) m_document.appletWidth = value;
  });
  connect(eAppletHeight, &QSpinBox::valueChanged, this, [this](int value) {
    if (!m_refreshing) m_document.appletHeight = value;
  });
  connect(bkColorBtn, &QPushButton::clicked, this, [this] { handle([this] { bkColorBtnClick(); }); });
  leaveUndoKeysToDocument(eLink);
  if (eFrame->lineEdit()) leaveUndoKeysToDocument(eFrame->lineEdit());
  for (QSpinBox* box : {eFrames, eIncrement}) leaveUndoKeysToDocument(box);
  QUndoStack& steps = m_editor.history().stack();
  connect(&steps, &QUndoStack::indexChanged, this, [this] { updateTitle(); });
  connect(&steps, &QUndoStack::cleanChanged, this, [this] { updateTitle(); });
  connect(eLink, &QLineEdit::textChanged, this, [this] {
    if (!m_refreshing) handle([this] { eLinkChange(); });
  });
  connect(eFrame, &QComboBox::editTextChanged, this, [this] {
    if (!m_refreshing) handle([this] { eFrameChange(); });
  });
  connect(bLinkBrowse, &QToolButton::clicked, this, [this] { handle([this] { bLinkBrowseClick(); }); });
  connect(bAddImage, &QPushButton::clicked, this, [this] { handle([this] { bAddImageClick(); }); });
  connect(deleteButtonButton, &QPushButton::clicked, this, [this] { handle([this] { deleteButtonButtonClick(); }); });
  connect(imageListBox->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& selected, const QItemSelection& deselected) {
            if (m_refreshing) return;
            for (const QModelIndex& index : deselected.indexes()) imageListBoxSelectItem(index.row());
            for (const QModelIndex& index : selected.indexes()) imageListBoxSelectItem(index.row());
          });
  connect(imageListBox, &ImageListView::keyReleased, this, [this](int key) { handle([this, key] { imageListBoxKeyUp(key); }); });
  connect(imageListBox, &ImageListView::dropped, this,
          [this](int target) { handle([this, target] { imageListBoxDragDrop(target); }); });
  connect(imageListBox, &ImageListView::filesDropped, this,
          [this](const std::vector<std::string>& paths) { handle([this, paths] { imagesDropped(paths); }); });
  connect(Tabs, &QTabWidget::currentChanged, this, [this](int page) {
    if (!m_refreshing) handle([this, page] { TabsChange(page); });
  });
  connect(bCopyHTML, &QPushButton::clicked, this, [this] { handle([this] { bCopyHTMLClick(); }); });
  connect(lImagesFolder, &QLabel::linkActivated, this, [this] { handle([this] { lImagesFolderClick(); }); });
  connect(bTest, &QPushButton::clicked, this, [this] { handle([this] { bTestClick(); }); });
}

void TMainWindow::handle(const std::function<void()>& action) {
  runGuarded(action);
  runGuarded([this] { refreshControls(); });
}

// The document is the store; the controls show it. Only what differs from
// what is shown is written, so typing is never disturbed and bytes that are
// not UTF-8 survive until the user edits their field.
void TMainWindow::refreshControls() {
  const QScopedValueRollback refreshing(m_refreshing, true);

  if (cEffects->currentIndex() != m_document.effectIndex)
    cEffects->setCurrentIndex(isValidEffectIndex(m_document.effectIndex) ? m_document.effectIndex : -1);
  showNumber(eFrames, m_document.frameCount);
  showNumber(eIncrement, m_document.effectSpeed);
  showNumber(eAppletWidth, m_document.appletWidth);
  showNumber(eAppletHeight, m_document.appletHeight);
  if (m_document.link != m_shownLink) {
    eLink->setText(qs(m_document.link));
    m_shownLink = m_document.link;
  }
  if (m_document.targetFrame != m_shownFrame) {
    eFrame->setEditText(qs(m_document.targetFrame));
    m_shownFrame = m_document.targetFrame;
  }
  if (m_document.imageNames != m_shownImages) updateListbox();
  // After an effect change and after the images changed alike.
  firstImageOnlyNote->setVisible(showsFirstImageOnly(m_document));
  flashWarning->setVisible(effectFlashes(m_document));
  updateTitle();
}

void TMainWindow::updateTitle() {
  const std::string& path = m_document.documentPath;
  const QString name = path.empty() ? QStringLiteral("Untitled") : qs(bareFileName(path));
  // "[*]" is where Qt shows the modified marker; a "[*]" in the name itself
  // is written doubled so that it stays text.
  QString shown = name;
  shown.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
  setWindowTitle(shown + QStringLiteral("[*] - Glimmerax"));
  setWindowModified(m_document.modified);
}

// ---- DocumentView

void TMainWindow::showSettingsPage() {
  const QScopedValueRollback refreshing(m_refreshing, true);
  Tabs->setCurrentWidget(settingsTab);
}

void TMainWindow::showEffectControl(bool speedShown) {
  speedPanel->setVisible(speedShown);
  framesPanel->setVisible(!speedShown);
}

void TMainWindow::clearImageList() {
  imageListBox->clear();
  m_shownImages.clear();
}

void TMainWindow::selectEffect(int effectIndex) {
  const QScopedValueRollback refreshing(m_refreshing, true);
  cEffects->setCurrentIndex(isValidEffectIndex(effectIndex) ? effectIndex : -1);
}

void TMainWindow::updateListbox() {
  const QScopedValueRollback refreshing(m_refreshing, true);
  imageListBox->setUpdatesEnabled(false);
  imageListBox->clear();
  for (const std::string& name : m_document.imageNames) addImageItem(name);
  QStringList paths;
  for (const std::string& path : m_document.imagePaths) paths << qs(path);
  imageListBox->setImagePaths(paths);
  imageListBox->setUpdatesEnabled(true);
  m_shownImages = m_document.imageNames;
}

void TMainWindow::addImageItem(const std::string& name) { imageListBox->addImage(qs(name)); }

void TMainWindow::removeImageItem(int index) {
  const QScopedValueRollback refreshing(m_refreshing, true);
  delete imageListBox->takeItem(index);
}

void TMainWindow::showDocument() { refreshControls(); }

int TMainWindow::selectedImageItem() {
  const QList<QListWidgetItem*> selected = imageListBox->selectedItems();
  return selected.isEmpty() ? -1 : imageListBox->row(selected.first());
}

std::vector<std::string> TMainWindow::makeHTML() { return m_htmlBuilder.makeHTML(); }

// ---- HtmlView

void TMainWindow::beginHtmlUpdate() {
  htmlBox->setUpdatesEnabled(false);
  htmlBox->clear();
}

void TMainWindow::appendHtmlLine(const std::string& line) { htmlBox->appendPlainText(qs(line)); }

void TMainWindow::endHtmlUpdate() { htmlBox->setUpdatesEnabled(true); }

void TMainWindow::setLinkText(const std::string& text) {
  const QScopedValueRollback refreshing(m_refreshing, true);
  replaceKeepingCursor(eLink, qs(text));
  m_shownLink = text;
}

void TMainWindow::setFrameText(const std::string& text) {
  const QScopedValueRollback refreshing(m_refreshing, true);
  if (QLineEdit* edit = eFrame->lineEdit())
    replaceKeepingCursor(edit, qs(text));
  else
    eFrame->setEditText(qs(text));
  m_shownFrame = text;
}

// ---- ProjectView, RecentFilesList, ConfigOneSetting

void TMainWindow::showLoadedDocument() { refreshControls(); }

void TMainWindow::AddMRUItem(const std::string& path) { m_appSettings->AddMRUItem(path); }

std::string TMainWindow::configOneText() const { return ss(m_configOne->text()); }

void TMainWindow::setConfigOneText(const std::string& text) { m_configOne->setText(qs(text)); }

void TMainWindow::saveSettingsNow() { m_appSettings->SaveToRegistryReported(); }

bool TMainWindow::playInBrowsers() const { return m_playInBrowsers && m_playInBrowsers->isChecked(); }

void TMainWindow::setPlayInBrowsers(bool on) {
  if (on == playInBrowsers()) return;
  m_playInBrowsers->setChecked(on);
  const std::string required = m_folders.requiredFilesFolder();
  if (on) {
    // Beside the class file, when the folder holds one.
    if (folderExists(required)) m_files.keepPlayerFile(required);
  } else {
    m_files.deletePlayerFile(required);
  }
  saveSettingsNow();
  if (Tabs->currentWidget() == HTMLTab) makeHTML();
}

HelpWindow& TMainWindow::helpWindow() {
  if (!m_help) m_help = new HelpWindow(m_folders.programFolder(), this);
  return *m_help;
}

// ---- start-up and closing

void TMainWindow::FormCreate() { m_counters.reset(); }

void TMainWindow::startUp(const std::vector<std::string>& arguments) {
  handle([this] { m_files.deleteAllClassFiles(m_folders.requiredFilesFolder()); });
  const std::string project = projectPathFromArguments(arguments);
  // A project that cannot be read has been shown; the program goes on with
  // a fresh document.
  const bool opened = !project.empty() && runGuarded([this, &project] { openProject(project); });
  if (!opened) {
    handle([this] {
      // What a failed open left behind goes before the fresh document.
      m_files.deleteAllImages(m_document.imagePaths);
      m_editor.setDefaults();
    });
  }
  handle([this] { m_usageLog.takeFirstReportFlag(); });
  handle([this] { monthlyReminder(); });
  // The fresh document changed the controls. Polish them and settle their
  // layouts now, before the first paint: left to the event loop, each
  // round of layout requests repaints the whole window once more.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::PolishRequest);
  // A layout that changes asks its parent's in a new request, which one
  // pass leaves for the next; the window's layouts are a few levels deep.
  for (int level = 0; level < kLayoutDepth; ++level)
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

void TMainWindow::monthlyReminder() {
  std::string configThree = ss(m_monthLabel->text());
  const bool show = glx::monthlyReminder(configThree, monthText(QDate::currentDate().month()));
  m_monthLabel->setText(qs(configThree));
  if (show && m_showUpdateWindow) m_showUpdateWindow();
}

bool TMainWindow::FormCloseQuery() { return m_commands.FormCloseQuery(); }

void TMainWindow::closeEvent(QCloseEvent* event) {
  bool canClose = false;
  const bool ok = runGuarded([this, &canClose] { canClose = FormCloseQuery(); });
  if (!ok || !canClose) {
    event->ignore();
    refreshControls();
    return;
  }
  event->accept();
  QMainWindow::closeEvent(event);
  emit closed();
}

// ---- events of the "Settings" page

void TMainWindow::cEffectsChange(int index) { m_editor.cEffectsChange(index); }

void TMainWindow::eFramesChange(int value) { m_editor.eFramesChange(value); }

void TMainWindow::eIncrementChange(int value) { m_editor.eIncrementChange(value); }

void TMainWindow::bkColorBtnClick() { m_editor.bkColorBtnClick(); }

void TMainWindow::eLinkChange() {
  m_htmlBuilder.eLinkChange(ss(eLink->text()));
  m_shownLink = m_document.link;
}

void TMainWindow::eFrameChange() {
  m_htmlBuilder.eFrameChange(ss(eFrame->currentText()));
  m_shownFrame = m_document.targetFrame;
}

void TMainWindow::bLinkBrowseClick() {
  FileDialogOptions options;
  options.filter = kLinkFilter;
  const auto chosen = m_dialogs.openFile(options);
  if (!chosen) return;
  m_document.modified = true;
  // Setting the field runs its change event, and with it the cleaning.
  eLink->setText(qs(bareFileName(*chosen)));
}

void TMainWindow::bAddImageClick() { m_editor.bAddImageClick(); }

void TMainWindow::imagesDropped(const std::vector<std::string>& paths) { m_editor.addImageFiles(paths); }

void TMainWindow::deleteButtonButtonClick() { m_editor.deleteButtonButtonClick(); }

void TMainWindow::imageListBoxSelectItem(int index) { m_document.selectedImage = index; }

void TMainWindow::imageListBoxKeyUp(int key) {
  if (key == Qt::Key_Delete) deleteButtonButtonClick();
}

void TMainWindow::imageListBoxDragDrop(int targetIndex) {
  m_editor.imageListBoxDragDrop(draggedImageItem(), targetIndex);
}

int TMainWindow::draggedImageItem() const {
  QListWidgetItem* dragged = imageListBox->currentItem();
  const QList<QListWidgetItem*> selected = imageListBox->selectedItems();
  if (!selected.isEmpty()) dragged = selected.first();
  return dragged ? imageListBox->row(dragged) : -1;
}

// ---- the "HTML" page

void TMainWindow::TabsChange(int page) {
  if (Tabs->widget(page) == HTMLTab) makeHTML();
}

void TMainWindow::htmlBoxMouseDown() {
  if (m_document.modified) makeHTML();
}

void TMainWindow::bCopyHTMLClick() {
  const std::vector<std::string> lines = makeHTML();
  htmlBox->selectAll();
  // The clipboard gets the document's bytes, not text read back from the box.
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  m_dialogs.setClipboardText(text);
}

void TMainWindow::exportMenuItemClick() {
  ExportProgressDialog progress(this);
  exportAnimationFromWindow(m_document, dataFilePath(m_folders, kPlayerFile), m_dialogs, progress);
}

void TMainWindow::lImagesFolderClick() { m_files.lImagesFolderClick(); }

// The same as the HTML page's "required files" link.
void TMainWindow::requiredFolderMenuItemClick() { m_files.lImagesFolderClick(); }

void TMainWindow::bTestClick() {
  TestRunRequest request;
  request.imageNames = m_document.imageNames;
  request.effectIndex = m_document.effectIndex;
  request.makeHTML = [this] { return makeHTML(); };
  // The usage counts take the texts the two fields show.
  request.updateLogData = [this] {
    m_usageLog.updateLogData(ss(eLink->text()), ss(eFrame->currentText()), m_document.effectIndex);
  };
  request.currentBrowser = m_currentBrowser ? m_currentBrowser() : std::string("default");
  m_testRun.bTestClick(request);
}

void TMainWindow::helpButtonClick(int context) { helpWindow().showContext(context); }

// ---- menus

void TMainWindow::openProject(const std::string& path) { m_projectFile.openFileOne(path); }

void TMainWindow::newMenuItemClick() { m_commands.newMenuItemClick(); }
void TMainWindow::openMenuItemClick() { m_commands.openMenuItemClick(); }
void TMainWindow::AppSettingsMRUClick(const std::string& fileName) { m_commands.AppSettingsMRUClick(fileName); }

void TMainWindow::openFromSecondStart(const std::string& projectPath) {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
  if (!projectPath.empty()) handle([this, projectPath] { AppSettingsMRUClick(projectPath); });
}
void TMainWindow::saveMenuItemClick() { m_commands.saveMenuItemClick(); }
void TMainWindow::SaveAsMenuItemClick() { m_commands.SaveAsMenuItemClick(); }

void TMainWindow::exitMenuItemClick() { close(); }

void TMainWindow::browserMenuItemClick() {
  if (m_showBrowserWindow) m_showBrowserWindow();
}

void TMainWindow::advancedMenuItemClick() {
  auto* window = new TAdvancedWindow(m_editor, [this](int context) { helpWindow().showContext(context); }, this);
  window->setPlayerChoice(this);
  window->show();
}

void TMainWindow::helpMenuItemClick() { helpWindow().showContext(0); }

void TMainWindow::samplesMenuItemClick() { m_shell.open(m_folders.programFolder() + "Samples.html"); }

void TMainWindow::webSiteMenuItemClick() { m_shell.open(kMakerAddress); }

void TMainWindow::updateMenuItemClick() {
  if (m_showUpdateWindow) m_showUpdateWindow();
}

void TMainWindow::aboutMenuItemClick() {
  TAboutWindow about(m_shell, this);
  about.exec();
}

// ---- picture files dragged in from a file manager

void TMainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (carriesFiles(event->mimeData()))
    event->acceptProposedAction();
  else
    QMainWindow::dragEnterEvent(event);
}

void TMainWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (carriesFiles(event->mimeData()))
    event->acceptProposedAction();
  else
    QMainWindow::dragMoveEvent(event);
}

void TMainWindow::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = droppedFiles(event->mimeData());
  if (paths.empty()) {
    QMainWindow::dropEvent(event);
    return;
  }
  event->acceptProposedAction();
  handle([this, &paths] { imagesDropped(paths); });
}

// ---- mouse events of the spin boxes and the HTML box

bool TMainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == htmlBox->viewport() && event->type() == QEvent::MouseButtonPress) {
    handle([this] { htmlBoxMouseDown(); });
    return false;
  }
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseMove) {
    QSpinBox* box = nullptr;
    for (QSpinBox* candidate : {eFrames, eIncrement, eAppletWidth, eAppletHeight}) {
      if (watched == candidate || (watched->parent() == candidate)) box = candidate;
    }
    if (box) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      const QPoint inBox = static_cast<QWidget*>(watched)->mapTo(box, mouse->position().toPoint());
      if (event->type() == QEvent::MouseButtonPress) {
        m_spinDrag.dragStartValue = box->value();
      } else if (mouse->buttons() & Qt::LeftButton) {
        int value = 0;
        if (m_spinDrag.move(inBox.y(), box->height(), value)) box->setValue(value);
      }
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace glx
