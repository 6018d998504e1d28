#include "app/preview_controller.h"

#include <gtest/gtest.h>

#include <QTest>

namespace glx::test {
namespace {

// Records what the controller asks of the page.
class RecordingScreen : public PreviewScreen {
 public:
  void showPreviewPage(const std::string& pagePath) override { shownPages.push_back(pagePath); }
  void setPreviewPlaying(bool playing) override { this->playing.push_back(playing); }
  std::vector<std::string> shownPages;
  std::vector<bool> playing;
};

struct ControllerFixture : ::testing::Test {
  RecordingScreen screen;
  std::string document = "one";
  int builds = 0;
  PreviewController controller{screen, [this] { return document; },
                               [this] { return "page" + std::to_string(++builds) + ":" + document; }};
};

TEST_F(ControllerFixture, BuildsWhenFirstShownAndPlaysOnlyWhileShown) {
  EXPECT_TRUE(screen.shownPages.empty());  // nothing before the page is shown
  controller.setShown(true);
  EXPECT_EQ(screen.shownPages, std::vector<std::string>{"page1:one"});
  EXPECT_EQ(screen.playing, std::vector<bool>{true});
  controller.setShown(false);
  EXPECT_EQ(screen.playing, (std::vector<bool>{true, false}));
  // Shown again without a change: the same page keeps playing, unbuilt.
  controller.setShown(true);
  EXPECT_EQ(screen.shownPages.size(), 1u);
  EXPECT_EQ(screen.playing, (std::vector<bool>{true, false, true}));
}

TEST_F(ControllerFixture, RebuildsOnceTheEditsPause) {
  controller.setShown(true);
  // A burst of edits, each sooner than the quiet time: one rebuild, after
  // the last.
  for (const char* text : {"t", "tw", "two"}) {
    document = text;
    controller.poll();
    EXPECT_TRUE(controller.refreshPending());
    QTest::qWait(PreviewController::kDebounceMs / 3);
  }
  EXPECT_EQ(screen.shownPages.size(), 1u);
  QTest::qWait(PreviewController::kDebounceMs + PreviewController::kPollMs);
  EXPECT_EQ(screen.shownPages, (std::vector<std::string>{"page1:one", "page2:two"}));
  EXPECT_FALSE(controller.refreshPending());
}

TEST_F(ControllerFixture, AChangeUndoneBeforeTheQuietTimeEndsBuildsNothing) {
  controller.setShown(true);
  document = "two";
  controller.poll();
  document = "one";
  controller.poll();
  EXPECT_FALSE(controller.refreshPending());
  QTest::qWait(PreviewController::kDebounceMs + 2 * PreviewController::kPollMs);
  EXPECT_EQ(screen.shownPages.size(), 1u);
}

TEST_F(ControllerFixture, AHiddenPageIsNeitherWatchedNorRebuilt) {
  controller.setShown(true);
  document = "two";
  controller.poll();
  controller.setShown(false);  // a pending rebuild is dropped too
  EXPECT_FALSE(controller.refreshPending());
  document = "three";
  controller.poll();
  QTest::qWait(PreviewController::kDebounceMs + 2 * PreviewController::kPollMs);
  EXPECT_EQ(screen.shownPages.size(), 1u);
  // Out of date when shown again: rebuilt at once.
  controller.setShown(true);
  EXPECT_EQ(screen.shownPages.back(), "page2:three");
  EXPECT_EQ(controller.refreshCount(), 2);
}

TEST_F(ControllerFixture, FollowsTheDocumentByItselfWhileShown) {
  controller.setShown(true);
  document = "two";
  // No poll() from the test: the controller's own timer looks.
  EXPECT_TRUE(QTest::qWaitFor([&] { return screen.shownPages.size() == 2; }, 2000));
  EXPECT_EQ(screen.shownPages.back(), "page2:two");
}

}  // namespace
}  // namespace glx::test
