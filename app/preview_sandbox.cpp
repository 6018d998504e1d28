#include "app/preview_sandbox.h"

#include <QRandomGenerator>
#include <cstdio>

#include "document/html_builder.h"
#include "publish/required_files.h"

namespace glx {

std::string makePreviewNonce() {
  std::string nonce;
  for (int i = 0; i < 4; ++i) {
    char part[9];
    std::snprintf(part, sizeof part, "%08x", QRandomGenerator::system()->generate());
    nonce += part;
  }
  return nonce;
}

std::string previewPolicy(const std::string& nonce) {
  return "default-src 'none'; script-src 'nonce-" + nonce +
         "'; style-src 'unsafe-inline' file:; img-src file: data: blob:; media-src file: data: blob:; "
         "font-src file: data:; connect-src 'none'; worker-src 'none'; child-src 'none'; frame-src 'none'; "
         "object-src 'none'; manifest-src 'none'; base-uri 'none'; form-action 'none'";
}

std::string previewPolicyHead(const std::string& nonce) {
  return "<HEAD><META HTTP-EQUIV=\"Content-Security-Policy\" CONTENT=\"" + previewPolicy(nonce) + "\"></HEAD>";
}

std::vector<std::string> withPlayerNonce(std::vector<std::string> htmlLines, const std::string& nonce) {
  for (std::string& line : htmlLines)
    if (line == kPlayerScriptLine) line = "<SCRIPT NONCE=\"" + nonce + "\" SRC=\"" + kPlayerFile + "\"></SCRIPT>";
  return htmlLines;
}

}  // namespace glx
