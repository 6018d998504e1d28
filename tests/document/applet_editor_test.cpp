#include "document/applet_editor.h"

#include <gtest/gtest.h>

#include "document/effects.h"
#include "platform/errors.h"
#include "platform/file_ops.h"
#include "tests/support/program_folder_fixture.h"
#include "tests/support/raised_text.h"

namespace glx {
namespace {

using test::classFilesIn;

class RecordingView : public DocumentView {
 public:
  void showSettingsPage() override { ++settingsPageShown; }
  void showEffectControl(bool speed) override { speedShown = speed; }
  void clearImageList() override { ++listCleared; }
  void selectEffect(int index) override { selectedEffect = index; }
  void addImageItem(const std::string&) override {}
  void removeImageItem(int) override {}
  void updateListbox() override {}
  int selectedImageItem() override { return -1; }
  void showDocument() override { ++documentShown; }
  int settingsPageShown = 0;
  int documentShown = 0;
  int listCleared = 0;
  int selectedEffect = -2;
  std::optional<bool> speedShown;
};

class AppletEditorTest : public ::testing::Test {
 protected:
  test::ProgramFolderFixture fx;
  test::RecordingShell shell;
  test::ScriptedDialogs dialogs;
  RecordingView view;
  AppletDocument doc;
  RequiredFiles files{fx.folders, shell};
  AppletEditor editor{doc, files, dialogs, view};
};

TEST_F(AppletEditorTest, StartStateAfterReset) {
  editor.setDefaults();
  EXPECT_EQ(doc.effectIndex, 0);
  EXPECT_EQ(doc.appletClass, "fade.class");
  EXPECT_EQ(doc.effectSpeed, 1);
  EXPECT_EQ(doc.frameCount, 40);
  EXPECT_EQ(doc.effectConstant, 33);
  EXPECT_EQ(doc.effectVariant, 0);
  EXPECT_TRUE(doc.multiImage);
  EXPECT_EQ(view.speedShown, true);
  EXPECT_EQ(view.settingsPageShown, 1);
  EXPECT_EQ(view.listCleared, 1);
  EXPECT_EQ(view.selectedEffect, 0);
  EXPECT_FALSE(doc.modified);
  EXPECT_EQ(doc.selectedImage, -1);
  EXPECT_EQ(doc.loadingMessage, "Loading...");
  EXPECT_EQ(doc.loadingFontColor, 0xFFFFFFu);
  EXPECT_EQ(classFilesIn(fx.required()), std::vector<std::string>{"fade.class"});
}

// Every row of the catalogue, applied after another effect: what the
// document holds and what the required-files folder keeps.
TEST_F(AppletEditorTest, EveryCatalogueRow) {
  struct Row {
    const char* name;
    const char* cls;
    int speed, frames, variant, constant;
    bool many, speedShown;
  };
  const Row rows[kEffectCount] = {
      {"Image Cross Fade", "fade.class", 1, 40, -1, 33, true, true},
      {"Hue Rotator", "huecycle.class", 2, 40, -1, 33, false, true},
      {"Color Extractor", "colorwarp.class", 2, 40, 0, 33, true, true},
      {"Page Flip", "pageflip.class", 1, 40, -1, 50, true, true},
      {"Underwater", "underwater.class", 2, 40, -1, 33, false, false},
      {"Quad Pool", "warp.class", 2, 40, 0, 33, false, false},
      {"Drain", "warp.class", 2, 80, 1, 33, false, false},
      {"Horizontal Waves", "warp.class", 2, 50, 3, 33, false, false},
      {"Vertical Waves", "warp.class", 2, 50, 2, 33, false, false},
      {"Dual Waves", "warp.class", 2, 50, 4, 33, false, false},
      {"Line Cross Fade", "warp.class", 2, 100, 5, 33, false, false},
      {"Stretcher", "warp.class", 2, 100, 6, 33, false, false},
      {"Whirlpool", "warp.class", 2, 20, 7, 50, false, false},
      {"Emboss", "colorwarp.class", 1, 20, 1, 70, true, false},
      {"Image Layer", "colorwarp.class", 1, 50, 2, 33, false, false},
      {"Ripple", "warp.class", 1, 25, 8, 33, false, false},
      {"Rotate", "warp.class", 1, 50, 9, 33, false, false},
      {"Noise", "warp.class", 30, 2, 10, 33, false, true},
      {"Zoom", "warp.class", 1, 150, 11, 33, false, false},
      {"Color Layers", "colorwarp.class", 1, 100, 3, 33, false, false},
  };
  editor.setDefaults();
  for (int i = 0; i < kEffectCount; ++i) {
    const Row& r = rows[i];
    SCOPED_TRACE(r.name);
    EXPECT_STREQ(kEffects[static_cast<size_t>(i)].displayName, r.name);
    // Start each row from a known variant so "keep" is visible.
    editor.cEffectsChange(19);
    ASSERT_EQ(doc.effectVariant, 3);
    doc.modified = false;
    editor.cEffectsChange(i);
    EXPECT_EQ(doc.effectIndex, i);
    EXPECT_EQ(doc.appletClass, r.cls);
    EXPECT_EQ(doc.effectSpeed, r.speed);
    EXPECT_EQ(doc.frameCount, r.frames);
    EXPECT_EQ(doc.effectVariant, r.variant == -1 ? 3 : r.variant);
    EXPECT_EQ(doc.effectConstant, r.constant);
    EXPECT_EQ(doc.multiImage, r.many);
    EXPECT_EQ(view.speedShown, r.speedShown);
    EXPECT_EQ(effectShowsSpeed(i), r.speedShown);
    EXPECT_TRUE(doc.modified);
    EXPECT_EQ(classFilesIn(fx.required()), std::vector<std::string>{r.cls});
  }
}

TEST_F(AppletEditorTest, VariantKeptAcrossKeepRowsAndReset) {
  editor.setDefaults();
  editor.cEffectsChange(6);  // Drain
  EXPECT_EQ(doc.effectVariant, 1);
  editor.cEffectsChange(0);  // Image Cross Fade keeps it
  EXPECT_EQ(doc.effectVariant, 1);
  editor.cEffectsChange(3);  // Page Flip keeps it
  EXPECT_EQ(doc.effectVariant, 1);
  editor.setDefaults();  // the reset does not touch it either
  EXPECT_EQ(doc.effectVariant, 1);
  editor.cEffectsChange(14);  // a shared-class row sets it
  EXPECT_EQ(doc.effectVariant, 2);
  editor.cEffectsChange(2);  // Color Extractor sets 0
  EXPECT_EQ(doc.effectVariant, 0);
}

TEST_F(AppletEditorTest, SameClassFileIsDeletedAndCopiedAgain) {
  editor.setDefaults();
  editor.cEffectsChange(5);  // Quad Pool
  // A changed copy shows whether the copy was made anew.
  writeFileAtomic(fx.required() + "warp.class", "stale");
  editor.cEffectsChange(12);  // Whirlpool, same class file
  EXPECT_EQ(fx.dir.read("Required Files/warp.class"), "class file warp.class");
  editor.cEffectsChange(1);  // Hue Rotator
  EXPECT_EQ(classFilesIn(fx.required()), std::vector<std::string>{"huecycle.class"});
}

TEST_F(AppletEditorTest, FirstEffectChangeDeletesNothing) {
  createFolder(fx.required());
  fx.dir.write("Required Files/warp.class", "left from the last run");
  editor.cEffectsChange(0);
  EXPECT_EQ(classFilesIn(fx.required()), (std::vector<std::string>{"fade.class", "warp.class"}));
}

TEST_F(AppletEditorTest, UpdatingControlsBlocksTheEffectChange) {
  editor.setDefaults();
  doc.updatingControls = true;
  editor.cEffectsChange(17);
  EXPECT_EQ(doc.effectIndex, 0);
  EXPECT_FALSE(doc.modified);
  EXPECT_EQ(classFilesIn(fx.required()), std::vector<std::string>{"fade.class"});
}

TEST_F(AppletEditorTest, IndexOutsideTheCatalogueKeepsTheRow) {
  editor.setDefaults();
  editor.cEffectsChange(6);  // Drain
  view.speedShown.reset();
  doc.modified = false;
  for (int bad : {-1, 20, 12345}) {
    SCOPED_TRACE(bad);
    editor.cEffectsChange(bad);
    EXPECT_EQ(doc.effectIndex, bad);
    EXPECT_EQ(doc.appletClass, "warp.class");
    EXPECT_EQ(doc.frameCount, 80);
    EXPECT_EQ(doc.effectVariant, 1);
    EXPECT_TRUE(doc.modified);
    EXPECT_EQ(classFilesIn(fx.required()), std::vector<std::string>{"warp.class"});
  }
  editor.cEffectsChange(-1);
  EXPECT_EQ(view.speedShown, true);
}

TEST_F(AppletEditorTest, MissingClassFileIsSilent) {
  deleteFileQuiet(fx.dir / "pageflip.class");
  editor.setDefaults();
  editor.cEffectsChange(3);
  EXPECT_EQ(classFilesIn(fx.required()), std::vector<std::string>{});
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(AppletEditorTest, UnmakeableFolderRaisesInputOutputError) {
  fx.dir.write("Required Files", "a file where the folder goes");
  EXPECT_EQ(test::raisedText<EInOutError>([&] { editor.setDefaults(); }), "I/O error 17")
      << "the folder error must reach the caller";
}

TEST_F(AppletEditorTest, ColourDialog) {
  editor.setDefaults();
  dialogs.colorAnswers = {std::nullopt, 0x123456u};
  EXPECT_EQ(editor.getColor(0xABCDEF), 0xABCDEFu);
  EXPECT_FALSE(doc.modified);
  EXPECT_EQ(editor.getColor(0xABCDEF), 0x123456u);
  EXPECT_TRUE(doc.modified);
  EXPECT_EQ(dialogs.colorDialogs, (std::vector<uint32_t>{0xABCDEF, 0xABCDEF}));
}

}  // namespace
}  // namespace glx

namespace glx {
namespace {

// The loading message is a one-line field: a pasted line break is dropped
// without a word, and the field is told what was kept.
TEST_F(AppletEditorTest, LoadingMessageKeepsNoLineBreak) {
  struct Case {
    std::string typed, stored;
  };
  const Case cases[] = {
      {"Loading...", "Loading..."},
      {"Please\r\nwait", "Pleasewait"},
      {"\n", ""},
      {"a\rb\n", "ab"},
  };
  for (const auto& c : cases) {
    editor.setDefaults();
    EXPECT_EQ(editor.eLoadingMessageChange(c.typed), c.stored) << c.typed;
    EXPECT_EQ(doc.loadingMessage, c.stored) << c.typed;
    EXPECT_TRUE(doc.modified) << c.typed;
  }
  EXPECT_TRUE(dialogs.messages.empty());
  doc.updatingControls = true;
  doc.modified = false;
  EXPECT_EQ(editor.eLoadingMessageChange("ignored"), "ab");
  EXPECT_FALSE(doc.modified);
}

}  // namespace
}  // namespace glx
