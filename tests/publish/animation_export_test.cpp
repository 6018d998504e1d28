#include "publish/animation_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "platform/file_ops.h"
#include "tests/publish/animation_decode.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::DecodedAnimation;
using test::TempDir;

// Steps of a smooth gradient whose blue channel moves with the step, so
// every frame differs from its neighbours; `still` draws step 0 every time.
class GradientSource : public FrameSource {
 public:
  GradientSource(int width, int height, int cycle, int stepMs, bool still = false)
      : m_width(width), m_height(height), m_cycle(cycle), m_stepMs(stepMs), m_still(still) {}
  int width() const override { return m_width; }
  int height() const override { return m_height; }
  int cycleLength() const override { return m_cycle; }
  int stepMs() const override { return m_stepMs; }
  void renderStep(int step, unsigned char* rgba) override {
    rendered.push_back(step);
    if (step == failAt) throw Error("The player stopped");
    std::vector<unsigned char> f = frame(m_still ? 0 : step);
    std::copy(f.begin(), f.end(), rgba);
  }
  std::vector<unsigned char> frame(int step) const {
    std::vector<unsigned char> out(static_cast<size_t>(m_width) * m_height * 4);
    for (int y = 0; y < m_height; ++y)
      for (int x = 0; x < m_width; ++x) {
        unsigned char* p = &out[(static_cast<size_t>(y) * m_width + x) * 4];
        p[0] = static_cast<unsigned char>(x * 255 / m_width);
        p[1] = static_cast<unsigned char>(y * 255 / m_height);
        p[2] = static_cast<unsigned char>((step * 40 + x) % 256);
        p[3] = 255;
      }
    return out;
  }

  std::vector<int> rendered;
  int failAt = -1;

 private:
  int m_width, m_height, m_cycle, m_stepMs;
  bool m_still;
};

DecodedAnimation decode(const std::string& path) {
  if (*animationFormatOf(path) == AnimationFormat::Gif) return test::decodeGifAnimation(path);
  return test::decodeWebpAnimation(readFileBytes(path));
}

std::vector<std::string> folderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  return names;
}

struct FormatCase {
  const char* name;
  int stepMs;
  int expectedDelayMs;
};

TEST(AnimationExport, WritesOneLoopingFramePerStepWithTheStepTime) {
  const FormatCase cases[] = {
      {"fade.gif", 33, 30}, {"flip.GIF", 50, 50}, {"warp.gif", 70, 70},
      {"fade.webp", 33, 33}, {"flip.WebP", 50, 50}, {"warp.webp", 70, 70},
  };
  for (const FormatCase& c : cases) {
    TempDir dir;
    GradientSource source(64, 48, 12, c.stepMs);
    ASSERT_EQ(exportAnimation(source, dir / c.name), ExportResult::Written) << c.name;
    const DecodedAnimation animation = decode(dir / c.name);
    EXPECT_EQ(animation.width, 64) << c.name;
    EXPECT_EQ(animation.height, 48) << c.name;
    ASSERT_EQ(animation.frames.size(), 12u) << c.name;
    EXPECT_TRUE(animation.loopsForever) << c.name;
    for (int delay : animation.delaysMs) EXPECT_EQ(delay, c.expectedDelayMs) << c.name;
    for (int step : {0, 5, 11})
      EXPECT_LT(test::meanDifference(animation.frames[step], source.frame(step)), 6.0) << c.name << " step " << step;
    EXPECT_GT(test::meanDifference(animation.frames[0], animation.frames[1]), 10.0) << c.name;
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{bareFileName(dir / c.name)}) << c.name;
  }
}

TEST(AnimationExport, KeepsEveryStepOfAStillEffect) {
  for (const char* name : {"still.gif", "still.webp"}) {
    TempDir dir;
    GradientSource source(32, 32, 5, 50, /*still=*/true);
    ASSERT_EQ(exportAnimation(source, dir / name), ExportResult::Written);
    const DecodedAnimation animation = decode(dir / name);
    EXPECT_EQ(animation.frames.size(), 5u) << name;
    EXPECT_EQ(animation.delaysMs, std::vector<int>(5, 50)) << name;
    EXPECT_TRUE(animation.loopsForever) << name;
  }
}

// Steps that swap between a warm and a cool picture: a palette kept from
// one step must not be used for the other.
class AlternatingSource : public FrameSource {
 public:
  int width() const override { return 96; }
  int height() const override { return 72; }
  int cycleLength() const override { return 6; }
  int stepMs() const override { return 50; }
  void renderStep(int step, unsigned char* rgba) override {
    std::vector<unsigned char> f = frame(step);
    std::copy(f.begin(), f.end(), rgba);
  }
  std::vector<unsigned char> frame(int step) const {
    std::vector<unsigned char> out(96 * 72 * 4);
    const bool warm = step % 2 == 0;
    for (int y = 0; y < 72; ++y)
      for (int x = 0; x < 96; ++x) {
        unsigned char* p = &out[(static_cast<size_t>(y) * 96 + x) * 4];
        const auto ramp = static_cast<unsigned char>(x * 255 / 96);
        const auto fall = static_cast<unsigned char>(y * 255 / 72);
        p[0] = warm ? 255 - fall / 4 : fall / 4;
        p[1] = warm ? ramp / 2 : ramp;
        p[2] = warm ? fall / 4 : 255 - ramp / 4;
        p[3] = 255;
      }
    return out;
  }
};

TEST(AnimationExport, GifFramesOfDifferentColoursEachKeepTheirOwn) {
  TempDir dir;
  AlternatingSource source;
  ASSERT_EQ(exportAnimation(source, dir / "swap.gif"), ExportResult::Written);
  const DecodedAnimation animation = decode(dir / "swap.gif");
  ASSERT_EQ(animation.frames.size(), 6u);
  for (int step = 0; step < 6; ++step)
    EXPECT_LT(test::meanDifference(animation.frames[step], source.frame(step)), 6.0) << "step " << step;
}

// A cross fade over three pictures whose colours do not overlap: a flat
// green one first, then a red-blue gradient, then a noisy colourful one.
// Each picture holds for two steps and fades into the next in six.
class CrossFadeSource : public FrameSource {
 public:
  static constexpr int kHold = 2;
  static constexpr int kFade = 6;
  static constexpr int kPictures = 3;

  CrossFadeSource(int width, int height) : m_width(width), m_height(height) {
    const size_t size = static_cast<size_t>(width) * height * 4;
    m_pictures.assign(kPictures, std::vector<unsigned char>(size, 255));
    unsigned seed = 12345;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const size_t i = (static_cast<size_t>(y) * width + x) * 4;
        unsigned char* green = &m_pictures[0][i];
        green[0] = 0, green[1] = 200, green[2] = 0;
        unsigned char* gradient = &m_pictures[1][i];
        gradient[0] = static_cast<unsigned char>(255 - x * 255 / (width - 1));
        gradient[1] = 0;
        gradient[2] = static_cast<unsigned char>(x * 255 / (width - 1));
        unsigned char* noisy = &m_pictures[2][i];
        for (int c = 0; c < 3; ++c) {
          seed = seed * 1103515245u + 12345u;
          const int wave = static_cast<int>(127 + 120 * std::sin((x * (c + 1) + y * (3 - c)) * 0.09 + c * 2.0));
          noisy[c] = static_cast<unsigned char>(std::clamp(wave + static_cast<int>((seed >> 16) % 33) - 16, 0, 255));
        }
      }
  }
  int width() const override { return m_width; }
  int height() const override { return m_height; }
  int cycleLength() const override { return kPictures * (kHold + kFade); }
  int stepMs() const override { return 50; }
  void renderStep(int step, unsigned char* rgba) override {
    std::vector<unsigned char> f = frame(step);
    std::copy(f.begin(), f.end(), rgba);
  }
  // The blend that the step shows.
  std::vector<unsigned char> frame(int step) const {
    const int picture = step / (kHold + kFade);
    const int into = step % (kHold + kFade) - kHold;
    const double t = into <= 0 ? 0.0 : static_cast<double>(into) / kFade;
    const std::vector<unsigned char>& a = m_pictures[picture];
    const std::vector<unsigned char>& b = m_pictures[(picture + 1) % kPictures];
    std::vector<unsigned char> out(a.size());
    for (size_t i = 0; i < out.size(); ++i)
      out[i] = static_cast<unsigned char>(std::lround(a[i] * (1 - t) + b[i] * t));
    return out;
  }

 private:
  int m_width, m_height;
  std::vector<std::vector<unsigned char>> m_pictures;
};

TEST(AnimationExport, GifFramesShowTheirMomentAfterAFlatFirstPicture) {
  for (const auto& [width, height] : {std::pair{120, 90}, std::pair{300, 225}}) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    TempDir dir;
    CrossFadeSource source(width, height);
    ASSERT_EQ(exportAnimation(source, dir / "fade.gif"), ExportResult::Written) << size;
    const DecodedAnimation animation = decode(dir / "fade.gif");
    ASSERT_EQ(animation.frames.size(), static_cast<size_t>(source.cycleLength())) << size;
    // 256 dithered colours leave a few levels on the noisy picture; a
    // palette of another step's colours leaves a hundred.
    for (int step = 0; step < source.cycleLength(); ++step)
      EXPECT_LT(test::meanDifference(animation.frames[step], source.frame(step)), 12.0)
          << size << " step " << step;
    // The gradient's held steps: its red left edge and blue right edge.
    const int gradientStep = CrossFadeSource::kHold + CrossFadeSource::kFade;
    const std::vector<unsigned char>& shown = animation.frames[gradientStep];
    const size_t middleRow = static_cast<size_t>(height / 2) * width;
    const unsigned char* left = &shown[middleRow * 4];
    const unsigned char* right = &shown[(middleRow + width - 1) * 4];
    EXPECT_GT(left[0], 200) << size;
    EXPECT_LT(left[1], 50) << size;
    EXPECT_GT(right[2], 200) << size;
    EXPECT_LT(right[1], 50) << size;
  }
}

TEST(AnimationExport, GifDelaysRoundToTenMilliseconds) {
  const std::pair<int, int> cases[] = {{33, 3}, {50, 5}, {70, 7}, {34, 3}, {35, 4}, {4, 1}, {0, 1}};
  for (const auto& [ms, units] : cases) EXPECT_EQ(gifDelayUnits(ms), units) << ms;
}

TEST(AnimationExport, CancelLeavesNoFileAndKeepsAnOldOne) {
  for (const char* name : {"out.gif", "out.webp"}) {
    TempDir dir;
    GradientSource source(32, 24, 10, 50);
    int calls = 0;
    EXPECT_EQ(exportAnimation(source, dir / name, [&](int done, int total) {
                ++calls;
                EXPECT_EQ(total, 10);
                return done < 3;
              }),
              ExportResult::Cancelled);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(source.rendered.size(), 3u);
    EXPECT_TRUE(folderEntries(dir.path()).empty()) << name;

    dir.write(name, "old");
    GradientSource again(32, 24, 10, 50);
    exportAnimation(again, dir / name, [](int, int) { return false; });
    EXPECT_EQ(dir.read(name), "old") << name;
    EXPECT_EQ(folderEntries(dir.path()).size(), 1u) << name;
  }
}

TEST(AnimationExport, FailuresNameTheTargetAndLeaveNothing) {
  TempDir dir;
  dir.write("old.gif", "old");
  dir.mkdir("folder.gif");
  struct Case {
    std::string target;
    int failAt;
    std::string message;
  } cases[] = {
      {dir / "missing/out.gif", -1,
       "The animation \"" + dir / "missing/out.gif" + "\" could not be written: The folder does not exist"},
      {dir / "folder.gif", -1, "The animation \"" + dir / "folder.gif" + "\" could not be written: It is a folder"},
      {dir / "old.gif", 4, "The animation \"" + dir / "old.gif" + "\" could not be written: The player stopped"},
      {dir / "new.webp", 0, "The animation \"" + dir / "new.webp" + "\" could not be written: The player stopped"},
      {dir / "out.png", -1, kAnimationTypeMessage},
      {dir / "gif", -1, kAnimationTypeMessage},
  };
  for (const Case& c : cases) {
    GradientSource source(16, 16, 8, 50);
    source.failAt = c.failAt;
    try {
      exportAnimation(source, c.target);
      ADD_FAILURE() << c.target;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
  EXPECT_EQ(dir.read("old.gif"), "old");
  auto entries = folderEntries(dir.path());
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"folder.gif", "old.gif"}));
}

TEST(AnimationExport, ReadsTheAppletAsThePlayerDoes) {
  const std::vector<std::string> lines = {
      "<APPLET CODE=\"pageflip.class\" WIDTH=320 HEIGHT=240>",
      "<PARAM NAME=\"GENERATOR\" VALUE=\"CREATED WITH THE GLIMMERAX HTTP://WWW.TALLOWBROOK.EXAMPLE/\">",
      "<PARAM NAME=\"GENERAL\" VALUE=\"2|7|0080FF|50|40|0|1|\">",
      "<PARAM NAME=\"IMAGES\" VALUE=\"a b.gif|c.jpg|\">",
      "<PARAM NAME=\"LINK\" VALUE=\"say \"hi\".html| | |\">",
      "<PARAM NAME=\"LOAD MESSAGE\" VALUE=\"000000|FFFFFF| |\">",
      "</APPLET>",
  };
  const PlayerApplet applet = playerAppletOf(lines);
  EXPECT_EQ(applet.code, "pageflip.class");
  EXPECT_EQ(applet.width, 320);
  EXPECT_EQ(applet.height, 240);
  EXPECT_EQ(applet.params.size(), 5u);
  EXPECT_EQ(applet.param("GENERAL"), "2|7|0080FF|50|40|0|1|");
  EXPECT_EQ(applet.param("IMAGES"), "a b.gif|c.jpg|");
  EXPECT_EQ(applet.param("LINK"), "say \"hi\".html| | |");
  EXPECT_EQ(applet.param("LOAD MESSAGE"), "000000|FFFFFF| |");
  EXPECT_EQ(applet.param("ALT"), "");
}

}  // namespace
}  // namespace glx
