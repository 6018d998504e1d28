#include <gtest/gtest.h>

#include <functional>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/about_window.h"
#include "app/advanced_window.h"
#include "app/help_window.h"
#include "app/image_list_view.h"
#include "document/flash_rule.h"
#include "platform/file_ops.h"
#include "tests/app/main_window_fixture.h"

namespace glx::test {
namespace {

std::vector<std::string> listItems(const ImageListView* list) {
  std::vector<std::string> items;
  for (int i = 0; i < list->count(); ++i) items.push_back(list->item(i)->text().toStdString());
  return items;
}

TEST_F(MainWindowTest, StartWithoutArguments) {
  // Stale class files from an earlier run are cleared out at start-up.
  fx.dir.write("Required Files/warp.class", "old");
  fx.dir.write("Required Files/pageflip.class", "old");
  start();
  EXPECT_EQ(window->cEffects->currentIndex(), 0);
  EXPECT_EQ(window->cEffects->currentText().toStdString(), "Image Cross Fade");
  EXPECT_EQ(window->cEffects->count(), 20);
  EXPECT_EQ(window->imageListBox->count(), 0);
  EXPECT_TRUE(doc().imageNames.empty());
  EXPECT_EQ(window->Tabs->currentWidget(), window->settingsTab);
  EXPECT_FALSE(doc().modified);
  EXPECT_FALSE(window->speedPanel->isHidden());
  EXPECT_TRUE(window->framesPanel->isHidden());
  EXPECT_EQ(window->eIncrement->value(), 1);
  EXPECT_EQ(window->eFrames->value(), 40);
  EXPECT_EQ(classFilesIn(fx.required()), std::vector<std::string>{"fade.class"});
  EXPECT_TRUE(errors.errors.empty());
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MainWindowTest, CaptionsHintsAndMenus) {
  start();
  EXPECT_EQ(window->windowTitle().toStdString(), "Untitled[*] - Glimmerax");
  EXPECT_EQ(window->Tabs->tabText(0).toStdString(), "Settings");
  EXPECT_EQ(window->Tabs->tabText(1).toStdString(), "HTML");
  EXPECT_EQ(window->Tabs->tabText(2).toStdString(), "Preview");
  struct Hint {
    QWidget* widget;
    const char* caption;
    const char* hint;
  };
  const Hint hints[] = {
      {window->cEffects, nullptr, "Choose the effect here"},
      {window->eFrames, nullptr, "Number of Frames"},
      {window->eIncrement, nullptr, "Effect Speed"},
      {window->bkColorBtn, "Background &Color", "Press me to change the background color"},
      {window->bAddImage, "&Add Image", "Press me to add an image to the applet"},
      {window->deleteButtonButton, "&Delete Image", "Press me to delete the seleted image from the applet"},
      {window->eLink, nullptr, "Enter the URL that the applet will link to here"},
      {window->bLinkBrowse, nullptr, "Press me to browse for a HTML page"},
      {window->eFrame, nullptr, "Enter the target frame for the link (optional)"},
      {window->bCopyHTML, "Copy HTM&L to Clipboard", "Press me to copy the HTML to your clipboard"},
      {window->bTest, "&Test in Browser", "Press me to run the applet in your web browser"},
      {window->lImagesFolder, nullptr, "Click me to display the folder with the images required for this applet"},
  };
  for (const Hint& h : hints) {
    const std::string name = h.widget->objectName().toStdString();
    if (h.hint) EXPECT_EQ(h.widget->toolTip().toStdString(), h.hint) << name;
    if (h.caption) EXPECT_EQ(qobject_cast<QAbstractButton*>(h.widget)->text().toStdString(), h.caption) << name;
  }
  for (int context : {56, 57, 58, 33}) {
    auto* help = window->findChild<QToolButton*>(QStringLiteral("helpButton%1").arg(context));
    ASSERT_NE(help, nullptr) << context;
    EXPECT_EQ(help->toolTip().toStdString(), "Press me for help") << context;
  }
  EXPECT_EQ(window->eFrame->count(), 4);
  EXPECT_EQ(window->eFrame->itemText(0).toStdString(), "_self");
  EXPECT_EQ(window->eFrame->itemText(3).toStdString(), "_parent");

  // Menus and their items in order; separators as "-".
  const std::vector<std::pair<std::string, std::vector<std::string>>> menus = {
      {"&File", {"&New Applet...", "&Open...", "&Reopen", "&Save Applet", "Save Applet &As...", "&Export Animation...",
                 "Open Required Files &Folder", "-", "E&xit"}},
      {"&Edit", {"&Undo", "&Redo"}},
      {"&Options", {"&Browser", "&Advanced"}},
      {"&Help",
       {"&Help", "-", "&Samples", "-", "&Tallowbrook Web Site", "&Get a Cool HTML Editor", "-", "&Internet Update",
        "&About"}},
  };
  const QList<QAction*> top = window->menuBar()->actions();
  ASSERT_EQ(top.size(), 4);
  for (size_t m = 0; m < menus.size(); ++m) {
    QAction* menuAction = top[static_cast<int>(m)];
    EXPECT_EQ(menuAction->text().toStdString(), menus[m].first);
    std::vector<std::string> items;
    for (QAction* a : menuAction->menu()->actions()) items.push_back(a->isSeparator() ? "-" : a->text().toStdString());
    EXPECT_EQ(items, menus[m].second) << menus[m].first;
  }
  // At least the designed client area (it may be enlarged).
  EXPECT_GE(window->centralWidget()->width(), 563);
  EXPECT_GE(window->centralWidget()->height(), 317);
}

// Where a control stands in the main window.
QRect placeOf(const TMainWindow& window, const QWidget* widget) {
  return {widget->mapTo(&window, QPoint(0, 0)), widget->size()};
}

QLabel* labelFor(const QWidget* buddy) {
  for (QLabel* label : buddy->window()->findChildren<QLabel*>())
    if (label->buddy() == buddy) return label;
  ADD_FAILURE() << "no label for " << buddy->objectName().toStdString();
  return nullptr;
}

// The speed row and the frames row take turns in one place: switching
// between a speed effect and a frames effect moves nothing in the group.
TEST_F(MainWindowTest, SpeedAndFramesRowsLineUp) {
  start();
  auto settle = [] { QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest); };
  window->cEffects->setCurrentIndex(5);  // a frames effect
  settle();
  ASSERT_FALSE(window->eFrames->isHidden());
  const QRect framesBox = placeOf(*window, window->eFrames);
  const QRect framesLabel = placeOf(*window, labelFor(window->eFrames));
  const QRect colourWithFrames = placeOf(*window, window->bkColorBtn);
  const QRect listWithFrames = placeOf(*window, window->cEffects);

  window->cEffects->setCurrentIndex(0);  // a speed effect
  settle();
  ASSERT_FALSE(window->eIncrement->isHidden());
  EXPECT_EQ(placeOf(*window, window->eIncrement), framesBox);
  const QRect speedLabel = placeOf(*window, labelFor(window->eIncrement));
  EXPECT_EQ(speedLabel.left(), framesLabel.left());
  EXPECT_EQ(speedLabel.top(), framesLabel.top());
  EXPECT_EQ(speedLabel.height(), framesLabel.height());
  EXPECT_EQ(placeOf(*window, window->bkColorBtn), colourWithFrames);
  EXPECT_EQ(placeOf(*window, window->cEffects), listWithFrames);
}

// The frame field has the room of its row, as the link field has, and a
// longer frame name shows whole.
TEST_F(MainWindowTest, FrameFieldHasItsRowsRoom) {
  start();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  const QRect frame = placeOf(*window, window->eFrame);
  const QRect link = placeOf(*window, window->eLink);
  EXPECT_EQ(frame.left(), link.left());
  EXPECT_EQ(frame.width(), link.width());
  const QString name = QStringLiteral("contentFrame");
  window->eFrame->setEditText(name);
  EXPECT_GE(window->eFrame->lineEdit()->width(), window->eFrame->lineEdit()->fontMetrics().horizontalAdvance(name));
}

TEST_F(MainWindowTest, AddImageCopiesItIntoBothFolders) {
  start();
  const std::string sun = picture("sun.gif");
  addImages({sun});
  ASSERT_EQ(dialogs.openDialogs.size(), 1u);
  EXPECT_EQ(dialogs.openDialogs[0].title, "Open Image");
  EXPECT_EQ(dialogs.openDialogs[0].filter,
            "All Compatible Image Files (*.jpg *.gif);;JPEG Image Files (*.jpg);;GIF Image Files (*.gif)");
  EXPECT_TRUE(dialogs.openDialogs[0].preview);
  EXPECT_EQ(doc().imageNames, std::vector<std::string>{"sun.gif"});
  EXPECT_EQ(doc().imagePaths, std::vector<std::string>{sun});
  EXPECT_EQ(listItems(window->imageListBox), std::vector<std::string>{"sun.gif"});
  EXPECT_TRUE(doc().modified);
  EXPECT_TRUE(fileExists(fx.required() + "sun.gif"));
  EXPECT_TRUE(fileExists(fx.temp() + "sun.gif"));

  // Cancelling the dialog adds nothing.
  doc().modified = false;
  dialogs.openAnswers.push_back(std::nullopt);
  window->bAddImage->click();
  EXPECT_EQ(doc().imageNames.size(), 1u);
  EXPECT_FALSE(doc().modified);
}

TEST_F(MainWindowTest, SingleImageEffectRefusesASecondImageWithoutTheDialog) {
  start();
  window->cEffects->setCurrentIndex(1);  // "Hue Rotator"
  ASSERT_FALSE(doc().multiImage);
  addImages({picture("a.gif")});
  ASSERT_EQ(dialogs.openDialogs.size(), 1u);
  window->bAddImage->click();
  EXPECT_EQ(dialogs.openDialogs.size(), 1u);
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"The effect you have selected only works with one image."});
  EXPECT_EQ(doc().imageNames.size(), 1u);
}

TEST_F(MainWindowTest, DeleteWithNothingSelected) {
  start();
  addImages({picture("a.gif")});
  window->imageListBox->clearSelection();
  const std::string message = "  I cannot delete an image because\nyou do not have any image selected.";
  window->deleteButtonButton->click();
  QTest::keyRelease(window->imageListBox, Qt::Key_Delete);
  EXPECT_EQ(dialogs.messages, (std::vector<std::string>{message, message}));
  EXPECT_TRUE(dialogs.questions.empty());
  EXPECT_EQ(doc().imageNames.size(), 1u);
}

TEST_F(MainWindowTest, DeleteAskedAndAnswered) {
  struct Case {
    const char* name;
    Answer answer;
    bool useKey;
    std::vector<std::string> left;
  };
  const Case cases[] = {
      {"Yes by button", Answer::Yes, false, {"a.gif", "c.gif"}},
      {"Yes by Delete key", Answer::Yes, true, {"a.gif", "c.gif"}},
      {"No", Answer::No, false, {"a.gif", "b.gif", "c.gif"}},
  };
  for (const Case& c : cases) {
    start();
    addImages({picture("a.gif"), picture("b.gif"), picture("c.gif")});
    doc().modified = false;
    dialogs.questions.clear();
    window->imageListBox->setCurrentRow(1);
    EXPECT_EQ(doc().selectedImage, 1) << c.name;
    dialogs.answers.push_back(c.answer);
    if (c.useKey)
      QTest::keyRelease(window->imageListBox, Qt::Key_Delete);
    else
      window->deleteButtonButton->click();
    EXPECT_EQ(dialogs.questions, std::vector<std::string>{"Are you sure you want to delete the selected image?"})
        << c.name;
    EXPECT_EQ(doc().imageNames, c.left) << c.name;
    EXPECT_EQ(doc().imagePaths.size(), c.left.size()) << c.name;
    EXPECT_EQ(listItems(window->imageListBox), c.left) << c.name;
    const bool deleted = c.answer == Answer::Yes;
    EXPECT_EQ(doc().modified, deleted) << c.name;
    EXPECT_EQ(fileExists(fx.required() + "b.gif"), !deleted) << c.name;
    EXPECT_EQ(fileExists(fx.temp() + "b.gif"), !deleted) << c.name;
    EXPECT_FALSE(doc().updatingControls) << c.name;
    finish();
    // The next case starts from empty folders again.
    for (const char* n : {"a.gif", "b.gif", "c.gif"}) {
      deleteFileQuiet(fx.required() + n);
      deleteFileQuiet(fx.temp() + n);
    }
  }
}

// Drops cannot be performed by a real drag on the offscreen platform: the
// drop handler gets synthesized events, with the list's own "drag began
// here" flag set as a drag from the list sets it.
TEST_F(MainWindowTest, DropReordersImages) {
  start();
  std::vector<std::string> paths;
  for (const char* n : {"1.gif", "2.gif", "3.gif", "4.gif", "5.gif"}) paths.push_back(picture(n));
  addImages(paths);
  ImageListView* list = window->imageListBox;

  struct Case {
    const char* name;
    int source;
    int target;  // -1: empty space
    bool fromHere;
    std::vector<std::string> order;
  };
  const std::vector<std::string> unchanged{"1.gif", "2.gif", "3.gif", "4.gif", "5.gif"};
  const Case cases[] = {
      {"fifth on second", 4, 1, true, {"1.gif", "5.gif", "2.gif", "3.gif", "4.gif"}},
      {"first on fourth", 0, 3, true, {"2.gif", "3.gif", "4.gif", "1.gif", "5.gif"}},
      {"on itself", 2, 2, true, unchanged},
      {"on empty space", 2, -1, true, unchanged},
      {"drag from elsewhere", 4, 1, false, unchanged},
  };
  for (const Case& c : cases) {
    doc().imageNames = unchanged;
    doc().imagePaths = {};
    for (const auto& n : unchanged) doc().imagePaths.push_back(pictures / n);
    window->updateListbox();
    list->doItemsLayout();
    doc().modified = false;
    list->setCurrentRow(c.source);

    QPoint at;
    if (c.target >= 0) {
      at = list->visualItemRect(list->item(c.target)).center();
    } else {
      at = QPoint(list->viewport()->width() - 2, list->viewport()->height() - 2);
      ASSERT_EQ(list->itemAt(at), nullptr) << c.name;
    }
    QMimeData mime;
    mime.setText(QStringLiteral("drag"));
    list->setDragStartedHere(c.fromHere);
    QDragEnterEvent enter(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &enter);
    EXPECT_EQ(enter.isAccepted(), c.fromHere) << c.name;
    QDropEvent drop(QPointF(at), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &drop);
    list->setDragStartedHere(false);

    EXPECT_EQ(doc().imageNames, c.order) << c.name;
    for (size_t i = 0; i < doc().imageNames.size(); ++i)
      EXPECT_EQ(doc().imagePaths[i], pictures / doc().imageNames[i]) << c.name << " entry " << i;
    EXPECT_EQ(listItems(list), c.order) << c.name;
    EXPECT_EQ(doc().modified, c.order != unchanged) << c.name;
  }
}

TEST_F(MainWindowTest, SpinBoxDrag) {
  start();
  QSpinBox* box = window->eFrames;
  struct Case {
    const char* name;
    int start;
    int dy;  // beyond the bottom edge when positive, above the top when negative
    int value;
  };
  const Case cases[] = {
      {"50 below from 40", 40, 50, 0},
      {"20 above from 40", 40, -20, 60},
      {"15 below from 40", 40, 15, 25},
      {"above the maximum", 9990, -30, 10000},
  };
  for (const Case& c : cases) {
    box->setValue(c.start);
    doc().modified = false;
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &press);
    const QPointF to(5, c.dy > 0 ? box->height() + c.dy : c.dy);
    QMouseEvent move(QEvent::MouseMove, to, box->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, box->mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(box, &release);
    EXPECT_EQ(box->value(), c.value) << c.name;
    EXPECT_EQ(doc().frameCount, c.value) << c.name;
    EXPECT_TRUE(doc().modified) << c.name;
  }
  // Moving within the box's height changes nothing.
  box->setValue(40);
  doc().modified = false;
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(box, &press);
  QMouseEvent inside(QEvent::MouseMove, QPointF(5, 2), box->mapToGlobal(QPointF(5, 2)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
  QApplication::sendEvent(box, &inside);
  EXPECT_EQ(box->value(), 40);
  EXPECT_FALSE(doc().modified);
}

TEST_F(MainWindowTest, ColourButtonCancelledStillMarksModified) {
  start();
  doc().backgroundColor = 0x123456;
  dialogs.colorAnswers.push_back(std::nullopt);
  window->bkColorBtn->click();
  EXPECT_EQ(dialogs.colorDialogs, std::vector<uint32_t>{0x123456});
  EXPECT_EQ(doc().backgroundColor, 0x123456u);
  EXPECT_TRUE(doc().modified);
  dialogs.colorAnswers.push_back(0x00FF8000u);
  window->bkColorBtn->click();
  EXPECT_EQ(doc().backgroundColor, 0x00FF8000u);
}

TEST_F(MainWindowTest, LinkBrowsePutsOnlyTheFileName) {
  start();
  dialogs.openAnswers.push_back(std::string("/var/www/site/pages/index.html"));
  window->bLinkBrowse->click();
  ASSERT_EQ(dialogs.openDialogs.size(), 1u);
  EXPECT_EQ(dialogs.openDialogs[0].title, "");
  EXPECT_EQ(dialogs.openDialogs[0].fileName, "");
  EXPECT_EQ(dialogs.openDialogs[0].filter, "HTML Files (*.html *.htm);;All Files (*)");
  EXPECT_EQ(window->eLink->text().toStdString(), "index.html");
  EXPECT_EQ(doc().link, "index.html");
  EXPECT_TRUE(doc().modified);
}

TEST_F(MainWindowTest, EditsReachTheDocument) {
  start();
  QTest::keyClicks(window->eLink, "a.html");
  EXPECT_EQ(doc().link, "a.html");
  EXPECT_TRUE(doc().modified);
  doc().modified = false;
  window->eFrame->setCurrentIndex(1);
  EXPECT_EQ(doc().targetFrame, "_top");
  EXPECT_TRUE(doc().modified);
  doc().modified = false;
  window->eIncrement->setValue(7);
  EXPECT_EQ(doc().effectSpeed, 7);
  EXPECT_TRUE(doc().modified);
  // Choosing an effect swaps its class file and shows its spin box.
  window->cEffects->setCurrentIndex(4);  // "Underwater"
  EXPECT_EQ(doc().appletClass, "underwater.class");
  EXPECT_EQ(classFilesIn(fx.required()), std::vector<std::string>{"underwater.class"});
  EXPECT_TRUE(window->speedPanel->isHidden());
  EXPECT_FALSE(window->framesPanel->isHidden());
  EXPECT_EQ(window->eFrames->value(), 40);
  EXPECT_EQ(window->eIncrement->value(), 2);
}

// A setting that would flash more than three times a second gets a warning
// line under the effect settings, kept up to date on every change of the
// effect, the speed or the frames, and on opening a project.
TEST_F(MainWindowTest, FlashWarningFollowsTheEffectSettings) {
  const std::string flashing = pictures.write(
      "flashing.glx",
      "Glimmerax File\r\nIf you alter the values below this file may not open properly.\r\n1\r\n10\r\n2\r\n2\r\n"
      "\r\n\r\nclBlack\r\n0\r\nclBlack\r\nclWhite\r\nLoading...\r\n\r\n");
  start({flashing});
  ASSERT_TRUE(errors.errors.empty()) << errors.errors.front();
  QLabel* warning = window->findChild<QLabel*>(QStringLiteral("flashWarning"));
  ASSERT_NE(warning, nullptr);
  EXPECT_EQ(warning->text().toStdString(), kFlashWarning);
  EXPECT_EQ(warning->parentWidget()->objectName().toStdString(), "effectsGroup");
  EXPECT_FALSE(warning->isHidden()) << "Line Cross Fade at 2 frames, opened from its project";
  const QSize windowSize = window->size();
  // Under the colour button, inside its group, with room for all its lines.
  window->show();
  QApplication::processEvents();
  const QRect place = warning->geometry();
  EXPECT_GE(place.top(), window->bkColorBtn->geometry().bottom()) << "below the effect settings";
  EXPECT_LE(place.bottom(), warning->parentWidget()->contentsRect().bottom());
  EXPECT_GE(place.height(), warning->heightForWidth(place.width())) << "no line cut off";

  struct Step {
    const char* name;
    std::function<void()> edit;
    bool shown;
  };
  const Step steps[] = {
      {"Image Cross Fade chosen", [&] { window->cEffects->setCurrentIndex(0); }, false},
      {"Color Extractor chosen", [&] { window->cEffects->setCurrentIndex(2); }, false},
      {"its speed 100", [&] { window->eIncrement->setValue(100); }, true},
      {"its speed 19", [&] { window->eIncrement->setValue(19); }, false},
      {"its speed 20", [&] { window->eIncrement->setValue(20); }, true},
      {"Image Layer chosen: 50 frames", [&] { window->cEffects->setCurrentIndex(14); }, false},
      {"its frames 2", [&] { window->eFrames->setValue(2); }, true},
      {"its frames 11", [&] { window->eFrames->setValue(11); }, false},
      {"its frames 10", [&] { window->eFrames->setValue(10); }, true},
      {"Noise chosen", [&] { window->cEffects->setCurrentIndex(17); }, false},
      {"Noise at full speed", [&] { window->eIncrement->setValue(100); }, false},
  };
  for (const Step& step : steps) {
    step.edit();
    EXPECT_EQ(!warning->isHidden(), step.shown) << step.name;
    EXPECT_EQ(!warning->isHidden(), effectFlashes(doc())) << step.name;
    EXPECT_EQ(window->size(), windowSize) << step.name << ": nothing moves";
  }
  EXPECT_TRUE(errors.errors.empty());
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MainWindowTest, HelpButtonsShowTheirTopic) {
  start();
  for (int context : {56, 57, 58, 33}) {
    auto* help = window->findChild<QToolButton*>(QStringLiteral("helpButton%1").arg(context));
    ASSERT_NE(help, nullptr);
    help->click();
    EXPECT_TRUE(window->helpWindow().isVisible()) << context;
    EXPECT_EQ(window->helpWindow().currentSource().fragment().toStdString(), "context-" + std::to_string(context));
    EXPECT_EQ(window->helpWindow().currentSource().toLocalFile().toStdString(), fx.dir / "Glimmerax Help.html");
  }
  menuAction(*window, "helpMenuItem")->trigger();
  EXPECT_TRUE(window->helpWindow().currentSource().fragment().isEmpty());
  EXPECT_TRUE(errors.errors.empty());
  EXPECT_TRUE(shell.opened.empty());
}

TEST_F(MainWindowTest, MissingHelpFileIsReported) {
  start();
  deleteFileQuiet(fx.dir / "Glimmerax Help.html");
  menuAction(*window, "helpMenuItem")->trigger();
  ASSERT_EQ(errors.errors.size(), 1u);
  EXPECT_NE(errors.errors[0].find("Glimmerax Help.html"), std::string::npos) << errors.errors[0];
}

TEST_F(MainWindowTest, ShellMenuItems) {
  start();
  menuAction(*window, "samplesMenuItem")->trigger();
  menuAction(*window, "webSiteMenuItem")->trigger();
  menuAction(*window, "htmlEditorMenuItem")->trigger();
  EXPECT_EQ(shell.opened, (std::vector<std::string>{fx.dir / "Samples.html", "http://www.tallowbrook.example/",
                                                     "http://www.tallowbrook.example/"}));
}

TEST_F(MainWindowTest, RequiredFilesLinkOpensTheFolder) {
  start();
  emit window->lImagesFolder->linkActivated(QStringLiteral("required"));
  ASSERT_EQ(shell.executed.size(), 1u);
  EXPECT_EQ(shell.executed[0].fileName, fx.required());
  EXPECT_TRUE(errors.errors.empty());
}

// An exception that an event does not catch goes to the standard error
// box and the window carries on.
TEST_F(MainWindowTest, UncaughtErrorIsShownAndTheProgramGoesOn) {
  start();
  // A file where the required-files folder should be: the link cannot make
  // the folder.
  for (const auto& name : classFilesIn(fx.required())) deleteFileQuiet(fx.required() + name);
  ASSERT_EQ(::rmdir(fx.required().c_str()), 0);
  fx.dir.write("Required Files", "not a folder");
  emit window->lImagesFolder->linkActivated(QStringLiteral("required"));
  ASSERT_EQ(errors.errors.size(), 1u);
  EXPECT_TRUE(shell.executed.empty());
  // Still working.
  QTest::keyClicks(window->eLink, "x");
  EXPECT_EQ(doc().link, "x");
}

TEST_F(MainWindowTest, AdvancedWindowsEditOneDocument) {
  start();
  menuAction(*window, "advancedMenuItem")->trigger();
  menuAction(*window, "advancedMenuItem")->trigger();
  QList<TAdvancedWindow*> windows = window->findChildren<TAdvancedWindow*>();
  ASSERT_EQ(windows.size(), 2);
  for (TAdvancedWindow* w : windows) {
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isModal());
    EXPECT_EQ(w->findChild<QLineEdit*>(QStringLiteral("eLoadingMessage"))->text().toStdString(), "Loading...");
    EXPECT_TRUE(w->findChild<QPlainTextEdit*>(QStringLiteral("mAltHTML"))->toPlainText().isEmpty());
  }
  EXPECT_FALSE(doc().modified);

  QTest::keyClick(windows[0]->findChild<QLineEdit*>(QStringLiteral("eLoadingMessage")), Qt::Key_Exclam);
  EXPECT_TRUE(doc().modified);
  EXPECT_EQ(doc().loadingMessage, "Loading...!");
  QTest::keyClicks(windows[1]->findChild<QPlainTextEdit*>(QStringLiteral("mAltHTML")), "<b>no java</b>");
  EXPECT_EQ(doc().alternativeHtml, "<b>no java</b>");
  EXPECT_EQ(doc().loadingMessage, "Loading...!");

  // Closing frees the window; the main window's close ends everything.
  QPointer<TAdvancedWindow> first = windows[0];
  first->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());
  EXPECT_EQ(window->findChildren<TAdvancedWindow*>().size(), 1);
}

TEST_F(MainWindowTest, AboutMenuShowsAModalWindow) {
  start();
  bool seen = false;
  QTimer::singleShot(0, [&] {
    auto* about = qobject_cast<TAboutWindow*>(QApplication::activeModalWidget());
    if (!about) return;
    seen = true;
    QTest::keyClick(about, Qt::Key_Return);
  });
  // The window closes on Enter; a second timer would close a window that
  // ignored it, so the test cannot hang.
  QTimer::singleShot(2000, [] {
    if (QWidget* w = QApplication::activeModalWidget()) w->close();
  });
  menuAction(*window, "aboutMenuItem")->trigger();
  EXPECT_TRUE(seen);
  EXPECT_EQ(window->findChildren<TAboutWindow*>().size(), 0);
}

TEST_F(MainWindowTest, CloseEndsTheProgramEvenWithOtherWindowsOpen) {
  start();
  menuAction(*window, "advancedMenuItem")->trigger();
  QSignalSpy closed(window.get(), &TMainWindow::closed);
  menuAction(*window, "exitMenuItem")->trigger();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace glx::test
