// What the preview's page may run and reach, written into the page itself:
// a Content-Security-Policy that lets the player script run (it carries a
// nonce made afresh for each page) and nothing else. The alternative HTML's
// own scripts and event handlers stay markup; no script of the page may
// connect anywhere; pictures, styles and fonts load from files (the web
// view's profile keeps those inside the preview's folder).
#pragma once

#include <string>
#include <vector>

namespace glx {

// 128 random bits, as 32 hexadecimal digits.
std::string makePreviewNonce();

// The policy's text for a page whose player script carries nonce.
std::string previewPolicy(const std::string& nonce);

// The page's head line: "<HEAD><META HTTP-EQUIV=...></HEAD>".
std::string previewPolicyHead(const std::string& nonce);

// The applet's HTML lines with the player script line given the nonce;
// every other line as it was.
std::vector<std::string> withPlayerNonce(std::vector<std::string> htmlLines, const std::string& nonce);

}  // namespace glx
