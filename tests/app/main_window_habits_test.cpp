// The main window's everyday habits: typing in the link and frame fields
// without a box in the way, the note about one-image effects, keys and
// mnemonics of the menus, images from several files and from drops with
// their small pictures, a window that may be enlarged, and the menu item
// that opens the required-files folder.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDropEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QUrl>
#include <filesystem>
#include <map>
#include <set>

#include "app/field_hint.h"
#include "app/help_window.h"
#include "app/image_list_view.h"
#include "app/preview_page.h"
#include "app/thumbnail_maker.h"
#include "document/effects.h"
#include "platform/file_ops.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/pump_until.h"

namespace glx::test {
namespace {

const char* const kLinkHint = "You cannot use the | or \" character.";
const char* const kFrameHint = "You cannot use the | \" or - character.";
const char* const kOneImageOnly = "The effect you have selected only works with one image.";

// Typing a forbidden character drops that character only: no box comes up
// (the fake dialogs record none), the keys after it go in, and the hint
// under the fields says why.
TEST_F(MainWindowTest, ForbiddenCharacterIsDroppedWhileTypingGoesOn) {
  struct Case {
    const char* name;
    bool frame;
    const char* typed;
    const char* result;
    const char* hint;
  };
  const Case cases[] = {
      {"quote in the link", false, "ab\"cd", "abcd", kLinkHint},
      {"bar in the link", false, "a|b|c", "abc", kLinkHint},
      {"dash allowed in the link", false, "my-page.html", "my-page.html", nullptr},
      {"dash in the frame", true, "_to-p", "_top", kFrameHint},
      {"quote in the frame", true, "x\"y", "xy", kFrameHint},
      {"bar in the frame", true, "|main", "main", kFrameHint},
  };
  start();
  for (const Case& c : cases) {
    window->eLink->clear();
    window->eFrame->setEditText(QString());
    window->cleaningHint->hide();
    QLineEdit* field = c.frame ? window->eFrame->lineEdit() : window->eLink;
    field->setFocus();
    QTest::keyClicks(field, QString::fromLatin1(c.typed));
    EXPECT_EQ(field->text().toStdString(), c.result) << c.name;
    EXPECT_EQ(c.frame ? doc().targetFrame : doc().link, c.result) << c.name;
    EXPECT_TRUE(dialogs.messages.empty()) << c.name;
    EXPECT_EQ(window->cleaningHint->isVisible(), c.hint != nullptr) << c.name;
    if (c.hint) {
      EXPECT_EQ(window->cleaningHint->text().toStdString(), c.hint) << c.name;
    }
  }
  EXPECT_TRUE(errors.errors.empty());
}

// A quote typed in the middle of the text leaves the cursor where it was,
// so the next key lands there and not at the end.
TEST_F(MainWindowTest, DroppedCharacterKeepsTheCursorInPlace) {
  start();
  window->eLink->setFocus();
  QTest::keyClicks(window->eLink, "abcd");
  window->eLink->setCursorPosition(2);
  QTest::keyClicks(window->eLink, "\"x");
  EXPECT_EQ(window->eLink->text().toStdString(), "abxcd");
  EXPECT_EQ(doc().link, "abxcd");
  EXPECT_TRUE(dialogs.messages.empty());
}

// The note in the effect settings follows both the effect and the images.
TEST_F(MainWindowTest, OneImageEffectWithSeveralImagesSaysItShowsTheFirst) {
  start();
  QLabel* note = window->firstImageOnlyNote;
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->text().toStdString(), kFirstImageOnlyNote);
  EXPECT_FALSE(note->isVisible());
  addImages({picture("a.gif"), picture("b.gif")});
  EXPECT_FALSE(note->isVisible()) << "Image Cross Fade plays every image";

  struct Step {
    const char* name;
    int effect;
    bool shown;
  };
  const Step steps[] = {
      {"Hue Rotator", 1, true}, {"Page Flip", 3, false}, {"Whirlpool", 12, true},
      {"Emboss", 13, false},    {"Zoom", 18, true},
  };
  for (const Step& s : steps) {
    window->cEffects->setCurrentIndex(s.effect);
    EXPECT_EQ(note->isVisible(), s.shown) << s.name;
  }
  EXPECT_TRUE(dialogs.messages.empty()) << "said at once, without a box";

  // Down to one image: the note goes; New: still none.
  window->imageListBox->setCurrentRow(1);
  dialogs.answers.push_back(Answer::Yes);
  window->deleteButtonButton->click();
  ASSERT_EQ(doc().imageNames.size(), 1u);
  EXPECT_FALSE(note->isVisible());
}

// Every menu's mnemonic letters differ; the standard commands have their
// standard keys.
TEST_F(MainWindowTest, MenusHaveDistinctMnemonicsAndStandardKeys) {
  start();
  for (QAction* top : window->menuBar()->actions()) {
    ASSERT_NE(top->menu(), nullptr);
    std::map<QChar, std::string> taken;
    for (QAction* a : top->menu()->actions()) {
      if (a->isSeparator()) continue;
      const QString text = a->text();
      const qsizetype amp = text.indexOf(QLatin1Char('&'));
      ASSERT_GE(amp, 0) << a->text().toStdString() << " has no mnemonic";
      ASSERT_LT(amp + 1, text.size());
      const QChar letter = text.at(amp + 1).toLower();
      const auto [at, fresh] = taken.emplace(letter, text.toStdString());
      EXPECT_TRUE(fresh) << top->text().toStdString() << ": \"" << text.toStdString() << "\" and \"" << at->second
                         << "\" share " << QString(letter).toStdString();
    }
  }
  // The menu bar's own letters too.
  std::set<QChar> barLetters;
  for (QAction* top : window->menuBar()->actions()) {
    const QString text = top->text();
    EXPECT_TRUE(barLetters.insert(text.at(text.indexOf(QLatin1Char('&')) + 1).toLower()).second) << text.toStdString();
  }

  struct Key {
    const char* action;
    QKeySequence keys;
  };
  const Key keys[] = {
      {"newMenuItem", QKeySequence(Qt::CTRL | Qt::Key_N)},
      {"openMenuItem", QKeySequence(Qt::CTRL | Qt::Key_O)},
      {"saveMenuItem", QKeySequence(Qt::CTRL | Qt::Key_S)},
      {"SaveAsMenuItem", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
      {"exitMenuItem", QKeySequence(Qt::CTRL | Qt::Key_Q)},
      {"helpMenuItem", QKeySequence(Qt::Key_F1)},
  };
  for (const Key& k : keys) {
    QAction* action = menuAction(*window, k.action);
    ASSERT_NE(action, nullptr);
    EXPECT_TRUE(action->shortcuts().contains(k.keys))
        << k.action << " has " << action->shortcut().toString().toStdString();
  }
  // The later of the two that shared "A" changed.
  EXPECT_EQ(menuAction(*window, "SaveAsMenuItem")->text().toStdString(), "Save Applet &As...");
  EXPECT_EQ(menuAction(*window, "exportMenuItem")->text().toStdString(), "&Export Animation...");
}

// F1 opens the help; Escape closes it, also with the page holding the focus.
TEST_F(MainWindowTest, EscapeClosesTheHelpWindow) {
  start();
  window->activateWindow();
  menuAction(*window, "helpMenuItem")->trigger();
  HelpWindow& help = window->helpWindow();
  ASSERT_TRUE(help.isVisible());
  QTest::keyClick(&help, Qt::Key_Escape);
  EXPECT_FALSE(help.isVisible());
  window->helpButtonClick(57);
  ASSERT_TRUE(help.isVisible());
  auto* page = help.findChild<QTextBrowser*>(QStringLiteral("helpBrowser"));
  ASSERT_NE(page, nullptr);
  QTest::keyClick(page, Qt::Key_Escape);
  EXPECT_FALSE(help.isVisible());
  // Another key leaves it open.
  window->helpButtonClick(57);
  QTest::keyClick(page, Qt::Key_Down);
  EXPECT_TRUE(help.isVisible());
  EXPECT_TRUE(errors.errors.empty());
}

TEST_F(MainWindowTest, SeveralImagesChosenAtOnceAreAddedInOrder) {
  start();
  const std::string a = picture("a.gif"), b = picture("b.jpg"), c = picture("c.gif");
  dialogs.openFilesAnswers.push_back(std::vector<std::string>{c, a, b});
  window->bAddImage->click();
  EXPECT_EQ(dialogs.multiOpenDialogs.size(), 1u);
  EXPECT_EQ(doc().imagePaths, (std::vector<std::string>{c, a, b}));
  ASSERT_EQ(window->imageListBox->count(), 3);
  EXPECT_EQ(window->imageListBox->item(0)->text().toStdString(), "c.gif");
  EXPECT_EQ(window->imageListBox->item(2)->text().toStdString(), "b.jpg");
  EXPECT_TRUE(fileExists(fx.required() + "a.gif"));
  EXPECT_TRUE(doc().modified);
  EXPECT_TRUE(dialogs.messages.empty());
}

// A drop from a file manager: a text/uri-list of local files, addresses of
// other machines, folders and missing files.
QMimeData* uriList(const std::vector<QUrl>& urls) {
  auto* mime = new QMimeData;
  mime->setUrls(QList<QUrl>(urls.begin(), urls.end()));
  return mime;
}

void drop(QWidget* target, QMimeData* mime) {
  const QPoint at(target->width() / 2, target->height() / 2);
  QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  ASSERT_TRUE(enter.isAccepted()) << target->objectName().toStdString();
  QDropEvent dropped(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &dropped);
  EXPECT_TRUE(dropped.isAccepted()) << target->objectName().toStdString();
}

TEST_F(MainWindowTest, PicturesDroppedFromAFileManagerAreAddedInOrder) {
  start();
  const std::string a = picture("a.gif"), b = picture("b.jpg"), c = picture("c.gif");
  pictures.write("folder/x.gif", "GIF89a");
  const QUrl local[] = {QUrl::fromLocalFile(QString::fromStdString(b)), QUrl::fromLocalFile(QString::fromStdString(a))};
  std::unique_ptr<QMimeData> first(uriList({local[0], QUrl(QStringLiteral("https://example.org/far.gif")),
                                            QUrl::fromLocalFile(QString::fromStdString(pictures / "folder")),
                                            QUrl::fromLocalFile(QString::fromStdString(pictures / "missing.gif")),
                                            local[1]}));
  drop(window.get(), first.get());
  EXPECT_EQ(doc().imagePaths, (std::vector<std::string>{b, a}));
  EXPECT_EQ(doc().imageNames, (std::vector<std::string>{"b.jpg", "a.gif"}));
  EXPECT_TRUE(fileExists(fx.required() + "b.jpg"));
  EXPECT_TRUE(fileExists(fx.temp() + "a.gif"));
  EXPECT_TRUE(doc().modified);

  // On the image list itself too, after what is there.
  std::unique_ptr<QMimeData> second(uriList({QUrl::fromLocalFile(QString::fromStdString(c))}));
  drop(window->imageListBox->viewport(), second.get());
  EXPECT_EQ(doc().imagePaths, (std::vector<std::string>{b, a, c}));
  EXPECT_EQ(window->imageListBox->count(), 3);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(dialogs.openDialogs.empty()) << "a drop asks nothing";

  // Nothing but addresses elsewhere: the drag is not taken.
  std::unique_ptr<QMimeData> far(uriList({QUrl(QStringLiteral("https://example.org/far.gif"))}));
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, far.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &enter);
  EXPECT_FALSE(enter.isAccepted());
}

// A drop goes through Add Image's checks: a one-image effect takes the
// first and says why the rest stayed out.
TEST_F(MainWindowTest, DropOnAOneImageEffectKeepsItsRule) {
  start();
  window->cEffects->setCurrentIndex(1);  // "Hue Rotator"
  const std::string a = picture("a.gif"), b = picture("b.gif");
  std::unique_ptr<QMimeData> mime(uriList({QUrl::fromLocalFile(QString::fromStdString(a)),
                                           QUrl::fromLocalFile(QString::fromStdString(b))}));
  drop(window.get(), mime.get());
  EXPECT_EQ(doc().imagePaths, std::vector<std::string>{a});
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{kOneImageOnly});
}

// Each row gets a small picture of its file, made in the background; a
// file that is no picture keeps the file icon, and nothing breaks.
TEST_F(MainWindowTest, ImageListShowsSmallPicturesMadeInTheBackground) {
  start();
  const std::string photo = jpegFile(pictures, "photo.jpg", 640, 480);
  const std::string second = jpegFile(pictures, "second.jpg", 64, 48);
  // No document takes it (Add Image refuses it), but the maker must not choke.
  const std::string notAPicture = picture("notes.gif", "this is no picture at all");
  addImages({photo, second});
  ImageListView* list = window->imageListBox;
  ASSERT_EQ(list->count(), 2);
  ASSERT_TRUE(pumpUntil([&] { return list->showsThumbnail(0); })) << "no small picture came";
  const QImage shown = list->item(0)->icon().pixmap(list->iconSize()).toImage();
  ASSERT_FALSE(shown.isNull());
  const QColor middle = shown.pixelColor(shown.width() / 2, shown.height() / 2);
  const QColor cyan(Qt::darkCyan);
  EXPECT_LE(std::abs(middle.red() - cyan.red()) + std::abs(middle.green() - cyan.green()) +
                std::abs(middle.blue() - cyan.blue()),
            24)
      << middle.name().toStdString();
  EXPECT_LE(shown.width(), list->iconSize().width());
  EXPECT_LE(shown.height(), list->iconSize().height());

  ASSERT_TRUE(pumpUntil([&] { return list->thumbnailsSettled(); }));
  EXPECT_TRUE(ThumbnailMaker::make(QString::fromStdString(notAPicture), {24, 24}).isNull());
  EXPECT_TRUE(list->showsThumbnail(1));
  // A rebuild of the list (a reorder) shows the pictures again at once.
  window->imageListBox->setCurrentRow(1);
  window->imageListBoxDragDrop(0);
  EXPECT_EQ(doc().imageNames, (std::vector<std::string>{"second.jpg", "photo.jpg"}));
  EXPECT_TRUE(list->showsThumbnail(0));
  EXPECT_TRUE(list->showsThumbnail(1));
  EXPECT_TRUE(errors.errors.empty());
}

// The designed size is the smallest; enlarged, the HTML box grows with it.
TEST_F(MainWindowTest, WindowMayBeEnlargedAndTheHtmlBoxGrows) {
  start();
  const QSize designed = window->size();
  EXPECT_EQ(window->minimumSize(), designed);
  EXPECT_GT(window->maximumWidth(), designed.width());
  EXPECT_GT(window->maximumHeight(), designed.height());
  window->Tabs->setCurrentWidget(window->HTMLTab);
  QApplication::processEvents();
  const QSize before = window->htmlBox->size();
  const QSize pagesBefore = window->Tabs->size();
  window->resize(designed + QSize(300, 200));
  ASSERT_TRUE(pumpUntil([&] { return window->htmlBox->width() > before.width(); }, 5000));
  EXPECT_GE(window->htmlBox->width(), before.width() + 250);
  EXPECT_GE(window->htmlBox->height(), before.height() + 150);
  // The pages, the preview among them, take the room too.
  EXPECT_GE(window->Tabs->width(), pagesBefore.width() + 250);
  EXPECT_GE(window->Tabs->height(), pagesBefore.height() + 150);
  // Never smaller than designed.
  window->resize(100, 100);
  QApplication::processEvents();
  EXPECT_EQ(window->size(), designed);
}

TEST_F(MainWindowTest, RequiredFilesFolderMenuItemOpensTheFolder) {
  start();
  std::filesystem::remove_all(fx.required());
  QAction* item = menuAction(*window, "requiredFolderMenuItem");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->text().toStdString(), "Open Required Files &Folder");
  item->trigger();
  ASSERT_EQ(shell.executed.size(), 1u);
  EXPECT_EQ(shell.executed[0].fileName, fx.required());
  EXPECT_EQ(shell.executed[0].showCommand, 5);
  EXPECT_TRUE(folderExists(fx.required()));
  EXPECT_TRUE(errors.errors.empty());
}

}  // namespace
}  // namespace glx::test
