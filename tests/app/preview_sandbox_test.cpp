#include <gtest/gtest.h>

#include <set>

#include "app/preview_sandbox.h"
#include "app/preview_scale.h"
#include "app/web_engine_module.h"
#include "document/html_builder.h"

namespace glx {
namespace {

TEST(PreviewScale, ShrinksWhatDoesNotFitKeepingItsShape) {
  constexpr int mx = kPreviewPageMarginX, my = kPreviewPageMarginY;
  const struct {
    int width, height, screenWidth, screenHeight;
    double factor;
    int percent;
    const char* note;
  } cases[] = {
      {80, 60, 701, 381, 1.0, 100, ""},                                    // fits
      {701 - mx, 381 - my, 701, 381, 1.0, 100, ""},                        // fits exactly
      {1200, 900, 701, 381, 381.0 / (900 + my), 40, "shown at 40 %"},      // the height decides
      {1200, 900, 1000, 1000, 1000.0 / (1200 + mx), 82, "shown at 82 %"},  // the width decides
      {1200 - mx, 300, 600, 381, 0.5, 50, "shown at 50 %"},
      {702 - mx, 381 - my, 701, 381, 701.0 / 702, 99, "shown at 99 %"},    // a hair too wide: not 100 %
      {8000, 6000, 701, 381, kPreviewSmallestScale, 25, "shown at 25 %"},  // as small as the view goes
      {1200, 900, 0, 0, 1.0, 100, ""},                                      // no screen yet
      {0, 0, 701, 381, 1.0, 100, ""},
  };
  for (const auto& c : cases) {
    const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) + " on " +
                             std::to_string(c.screenWidth) + "x" + std::to_string(c.screenHeight);
    const PreviewScale scale = previewScale(c.width, c.height, c.screenWidth, c.screenHeight);
    EXPECT_DOUBLE_EQ(scale.factor, c.factor) << name;
    EXPECT_EQ(scale.percent, c.percent) << name;
    EXPECT_EQ(previewScaleNote(scale), c.note) << name;
    // Shrunk, the page fits; its shape is kept by one factor for both sides.
    if (scale.factor < 1 && scale.factor > kPreviewSmallestScale) {
      EXPECT_LE((c.width + mx) * scale.factor, c.screenWidth + 1e-9) << name;
      EXPECT_LE((c.height + my) * scale.factor, c.screenHeight + 1e-9) << name;
    }
  }
}

TEST(PreviewSandbox, ThePolicyLetsOnlyTheNoncedPlayerRunAndNothingConnect) {
  const std::string nonce = makePreviewNonce();
  EXPECT_EQ(nonce.size(), 32u);
  EXPECT_EQ(nonce.find_first_not_of("0123456789abcdef"), std::string::npos);
  std::set<std::string> nonces;
  for (int i = 0; i < 100; ++i) nonces.insert(makePreviewNonce());
  EXPECT_EQ(nonces.size(), 100u);

  const std::string policy = previewPolicy(nonce);
  for (const std::string& directive : std::vector<std::string>
       {std::string("default-src 'none'"), "script-src 'nonce-" + nonce + "';", "connect-src 'none'", "worker-src 'none'",
        "frame-src 'none'", "object-src 'none'", "base-uri 'none'", "form-action 'none'"})
    EXPECT_NE(policy.find(directive), std::string::npos) << directive;
  for (const char* loose : {"unsafe-eval", "'self'", "script-src 'unsafe-inline'", "http", "*"})
    EXPECT_EQ(policy.find(loose), std::string::npos) << loose;
  EXPECT_EQ(previewPolicyHead(nonce),
            "<HEAD><META HTTP-EQUIV=\"Content-Security-Policy\" CONTENT=\"" + policy + "\"></HEAD>");

  const std::vector<std::string> lines = {"<APPLET CODE=\"fade.class\" WIDTH=80 HEIGHT=60>", "<SCRIPT>x()</SCRIPT>",
                                          "<SCRIPT SRC=\"other.js\"></SCRIPT>", "</APPLET>", kPlayerScriptLine};
  std::vector<std::string> expected = lines;
  expected.back() = "<SCRIPT NONCE=\"" + nonce + "\" SRC=\"glimmerax-player.js\"></SCRIPT>";
  EXPECT_EQ(withPlayerNonce(lines, nonce), expected);
}

TEST(WebEngineFlags, AddOursBesideTheGivenOnesWithoutOverriding) {
  const std::string ours = "--force-webrtc-ip-handling-policy=disable_non_proxied_udp --disable-quic --log-level=3";
  const struct {
    std::string given;
    bool root;
    std::string expected;
  } cases[] = {
      {"", false, ours},
      {"", true, "--no-sandbox " + ours},
      {"--no-sandbox", true, "--no-sandbox " + ours},
      {"--no-sandboxes", true, "--no-sandboxes --no-sandbox " + ours},
      {"--log-level=0", false,
       "--log-level=0 --force-webrtc-ip-handling-policy=disable_non_proxied_udp --disable-quic"},
      {"--force-webrtc-ip-handling-policy=default --disable-gpu", false,
       "--force-webrtc-ip-handling-policy=default --disable-gpu --disable-quic --log-level=3"},
  };
  for (const auto& c : cases) EXPECT_EQ(webEngineFlags(c.given, c.root), c.expected) << c.given;
}

}  // namespace
}  // namespace glx
