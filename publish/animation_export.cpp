#include "publish/animation_export.h"

#include <cstddef>
#include <new>
#include <utility>

#include "platform/ascii.h"
#include "platform/file_ops.h"

namespace glx {

const char kAnimationTypeMessage[] = "The animation must be a .gif or a .webp file.";

namespace {

// The text between `key="` and the next quote, or after `key=` up to a
// blank or ">" when it is not quoted.
std::optional<std::string> attribute(const std::string& line, const std::string& key) {
  size_t at = 0;
  while ((at = line.find(key + "=", at)) != std::string::npos) {
    if (at > 0 && line[at - 1] != ' ') {
      ++at;
      continue;
    }
    size_t begin = at + key.size() + 1;
    if (begin < line.size() && line[begin] == '"') {
      const size_t end = line.find('"', begin + 1);
      if (end == std::string::npos) return std::nullopt;
      return line.substr(begin + 1, end - begin - 1);
    }
    size_t end = line.find_first_of(" >", begin);
    if (end == std::string::npos) end = line.size();
    return line.substr(begin, end - begin);
  }
  return std::nullopt;
}

int number(const std::optional<std::string>& text) {
  if (!text || text->empty()) return 0;
  try {
    return std::stoi(*text);
  } catch (const std::exception&) {
    return 0;
  }
}

bool startsWith(const std::string& line, const char* prefix) { return line.rfind(prefix, 0) == 0; }

std::string lowered(std::string text) { return asciiLowered(std::move(text)); }

// The value of a PARAM line: from VALUE=" to the line's last quote, so a
// hand-edited value with quotes in it stays whole as the builder wrote it.
std::optional<std::string> paramValue(const std::string& line) {
  const size_t at = line.find(" VALUE=\"");
  const size_t end = line.rfind('"');
  if (at == std::string::npos || end == std::string::npos || end < at + 8) return std::nullopt;
  return line.substr(at + 8, end - at - 8);
}

}  // namespace

std::string PlayerApplet::param(const std::string& name) const {
  for (const auto& [key, value] : params)
    if (key == name) return value;
  return {};
}

PlayerApplet playerAppletOf(const std::vector<std::string>& htmlLines) {
  PlayerApplet applet;
  for (const std::string& raw : htmlLines) {
    const size_t first = raw.find_first_not_of(' ');
    const std::string line = first == std::string::npos ? std::string() : raw.substr(first);
    if (startsWith(line, "<APPLET ")) {
      applet.code = attribute(line, "CODE").value_or("");
      applet.width = number(attribute(line, "WIDTH"));
      applet.height = number(attribute(line, "HEIGHT"));
    } else if (startsWith(line, "<PARAM ")) {
      const auto name = attribute(line, "NAME");
      const auto value = paramValue(line);
      if (name && value) applet.params.emplace_back(*name, *value);
    }
  }
  return applet;
}

std::optional<AnimationFormat> animationFormatOf(const std::string& path) {
  const std::string name = lowered(bareFileName(path));
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return std::nullopt;
  const std::string extension = name.substr(dot);
  if (extension == ".gif") return AnimationFormat::Gif;
  if (extension == ".webp") return AnimationFormat::Webp;
  return std::nullopt;
}

ExportResult exportAnimation(FrameSource& source, const std::string& path, const ExportProgress& progress) {
  const auto fail = [&path](const std::string& reason) {
    return Error("The animation \"" + path + "\" could not be written: " + reason);
  };
  const std::optional<AnimationFormat> format = animationFormatOf(path);
  if (!format) throw Error(kAnimationTypeMessage);
  // Found before any frame is rendered: a target that can never be written.
  const std::string folder = folderOf(path);
  if (folderExists(path)) throw fail("It is a folder");
  if (!folder.empty() && !folderExists(folder)) throw fail("The folder does not exist");

  const int total = source.cycleLength();
  std::vector<unsigned char> frame(static_cast<size_t>(source.width()) * source.height() * 4);
  std::string bytes;
  try {
    std::unique_ptr<AnimationEncoder> encoder =
        makeAnimationEncoder(*format, source.width(), source.height(), source.stepMs());
    for (int step = 0; step < total; ++step) {
      source.renderStep(step, frame.data());
      encoder->addFrame(frame.data());
      if (progress && !progress(step + 1, total)) return ExportResult::Cancelled;
    }
    bytes = encoder->finish();
    writeFileAtomic(path, bytes);
  } catch (const std::bad_alloc&) {
    throw fail("Out of memory");
  } catch (const std::exception& e) {
    throw fail(e.what());
  }
  return ExportResult::Written;
}

}  // namespace glx
