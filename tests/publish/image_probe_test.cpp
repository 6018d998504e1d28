#include "publish/image_probe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include "platform/file_ops.h"
#include "tests/publish/exif_fixture.h"
#include "tests/publish/image_fixtures.h"
#include "tests/support/current_folder.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::anHourLater;
using test::bytesOf;
using test::CountingDecoders;
using test::CurrentFolder;
using test::encodeGif;
using test::encodeJpeg;
using test::TempDir;


std::string describe(const std::optional<ImageSize>& size) {
  if (!size) return "none";
  return std::to_string(size->width) + " x " + std::to_string(size->height);
}

// --- decoders ---------------------------------------------------------------

TEST(ImageDecoders, JpegSizeIsTheFrameSize) {
  struct Case {
    const char* name;
    int width, height;
    test::JpegOptions options;
  };
  const Case cases[] = {
      {"colour", 120, 80, {}},
      {"odd sizes", 33, 17, {}},
      {"grey", 64, 40, {1, false, 90, 3}},
      {"progressive", 50, 70, {3, true, 75, 5}},
      {"one pixel", 1, 1, {}},
      {"cmyk", 24, 16, {4, false, 90, 4}},
      {"restart markers", 100, 60, {3, false, 90, 6, 1}},
      {"wide strip", 12000, 8, {}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const std::string jpeg = encodeJpeg(c.width, c.height, c.options);
    const std::string path = dir.write(std::string(c.name) + ".jpg", jpeg);
    const ImageSize fromFile = decodeJpegFile(path);
    const ImageSize fromBytes = decodeJpegBytes(bytesOf(jpeg), jpeg.size());
    EXPECT_EQ(fromFile.width, c.width) << c.name;
    EXPECT_EQ(fromFile.height, c.height) << c.name;
    EXPECT_EQ(fromBytes.width, c.width) << c.name;
    EXPECT_EQ(fromBytes.height, c.height) << c.name;
  }
}

// A photograph's size is the size browsers show it at: orientations 5 to 8
// turn it a quarter, so its width and height swap. An EXIF block that is
// damaged, cut short or not EXIF at all turns nothing.
TEST(ImageDecoders, JpegSizeFollowsTheExifOrientation) {
  const std::string plain = encodeJpeg(320, 200);
  std::string cutShort = test::exifPayload({6, false});
  cutShort.resize(cutShort.size() - 12);  // the orientation entry is missing its end
  std::string badOffset = test::exifPayload({6, true});
  badOffset[6 + 7] = '\x7F';  // the first directory lies beyond the block
  std::string badOrder = test::exifPayload({6, false});
  badOrder[6] = 'X';
  std::string asLong = test::exifPayload({6, false});
  asLong[6 + 8 + 2 + 12 + 2] = 4;  // Orientation typed LONG, not SHORT
  struct Case {
    const char* name;
    std::string jpeg;
    int width, height;
  };
  const Case cases[] = {
      {"no EXIF", plain, 320, 200},
      {"1, little-endian", test::withExifOrientation(plain, 1), 320, 200},
      {"3, little-endian", test::withExifOrientation(plain, 3), 320, 200},
      {"6, little-endian", test::withExifOrientation(plain, 6), 200, 320},
      {"8, little-endian", test::withExifOrientation(plain, 8), 200, 320},
      {"1, big-endian", test::withExifOrientation(plain, 1, true), 320, 200},
      {"3, big-endian", test::withExifOrientation(plain, 3, true), 320, 200},
      {"6, big-endian", test::withExifOrientation(plain, 6, true), 200, 320},
      {"8, big-endian", test::withExifOrientation(plain, 8, true), 200, 320},
      {"5, mirrored and turned", test::withExifOrientation(plain, 5), 200, 320},
      {"7, mirrored and turned", test::withExifOrientation(plain, 7, true), 200, 320},
      {"2, mirrored only", test::withExifOrientation(plain, 2), 320, 200},
      {"orientation first entry", test::withApp1(plain, test::exifPayload({6, true, 0})), 200, 320},
      {"value 9 is no orientation", test::withExifOrientation(plain, 9), 320, 200},
      {"value 0 is no orientation", test::withExifOrientation(plain, 0, true), 320, 200},
      {"damaged: cut short", test::withApp1(plain, cutShort), 320, 200},
      {"damaged: directory out of the block", test::withApp1(plain, badOffset), 320, 200},
      {"damaged: no byte order", test::withApp1(plain, badOrder), 320, 200},
      {"damaged: orientation as LONG", test::withApp1(plain, asLong), 320, 200},
      {"damaged: identifier alone", test::withApp1(plain, std::string("Exif\0\0", 6)), 320, 200},
      {"APP1 that is not EXIF", test::withApp1(plain, std::string("http://ns.adobe.com/xap/1.0/\0<x/>", 33)), 320, 200},
      {"first EXIF block counts", test::withExifOrientation(test::withExifOrientation(plain, 3), 6), 200, 320},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const std::string path = dir.write("photo.jpg", c.jpeg);
    const ImageSize fromFile = decodeJpegFile(path);
    const ImageSize fromBytes = decodeJpegBytes(bytesOf(c.jpeg), c.jpeg.size());
    EXPECT_EQ(describe(fromFile), describe(ImageSize{c.width, c.height})) << c.name;
    EXPECT_EQ(describe(fromBytes), describe(ImageSize{c.width, c.height})) << c.name;
    std::optional<ImageSize> probe;
    LoadImage(probe, "", "photo.jpg", path);
    EXPECT_EQ(describe(probe), describe(ImageSize{c.width, c.height})) << c.name;
  }
}

// The orientation reader on its own, at every length a block can be cut to:
// nothing is read outside the bytes given.
TEST(ImageDecoders, ExifOrientationOfEveryPrefix) {
  for (bool bigEndian : {false, true}) {
    const std::string whole = test::exifPayload({8, bigEndian});
    EXPECT_EQ(exifOrientation(bytesOf(whole), whole.size()), 8);
    const std::size_t valueEnd = 6 + 8 + 2 + 12 + 12;  // header, count, one entry, the orientation entry
    for (std::size_t n = 0; n < whole.size(); ++n) {
      const std::vector<unsigned char> prefix(whole.begin(), whole.begin() + static_cast<long>(n));
      EXPECT_EQ(exifOrientation(prefix.data(), prefix.size()), n >= valueEnd ? 8 : 1) << n;
    }
  }
  EXPECT_EQ(exifOrientation(nullptr, 100), 1);
}

TEST(ImageDecoders, GifSizeIsTheLogicalScreenNotTheFrame) {
  struct Case {
    const char* name;
    int width, height;
    std::vector<test::GifFrame> frames;
  };
  const Case cases[] = {
      {"frame fills screen", 120, 80, {{0, 0, 120, 80}}},
      {"small frame on a larger screen", 200, 100, {{5, 5, 10, 10}}},
      {"frame larger than the screen", 10, 10, {{0, 0, 40, 30}}},
      {"several frames", 64, 48, {{0, 0, 64, 48}, {8, 8, 16, 16}, {0, 0, 64, 48, true}}},
      {"interlaced", 30, 20, {{0, 0, 30, 20, true}}},
      {"no frame at all", 17, 9, {}},
      {"12000 wide", 12000, 1, {{0, 0, 1, 1}}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const std::string gif = encodeGif(c.width, c.height, c.frames);
    const std::string path = dir.write(std::string(c.name) + ".gif", gif);
    const ImageSize fromFile = decodeGifFile(path);
    const ImageSize fromBytes = decodeGifBytes(bytesOf(gif), gif.size());
    EXPECT_EQ(fromFile.width, c.width) << c.name;
    EXPECT_EQ(fromFile.height, c.height) << c.name;
    EXPECT_EQ(fromBytes.width, c.width) << c.name;
    EXPECT_EQ(fromBytes.height, c.height) << c.name;
  }
}

// A GIF by hand: 1 x 1 screen, two-colour table, one frame of the given
// size whose compressed data is a few bytes, then the trailer.
std::string gifWithFrameSize(int width, int height) {
  std::string gif = "GIF89a";
  gif += std::string("\x01\x00\x01\x00\x80\x00\x00", 7);
  gif += std::string("\x00\x00\x00\xff\xff\xff", 6);
  gif += '\x2c';
  gif += std::string("\x00\x00\x00\x00", 4);
  gif += static_cast<char>(width & 0xFF);
  gif += static_cast<char>(width >> 8);
  gif += static_cast<char>(height & 0xFF);
  gif += static_cast<char>(height >> 8);
  gif += '\x00';
  gif += std::string("\x02\x02\x44\x01\x00\x3b", 6);
  return gif;
}

struct DamagedCase {
  const char* name;
  std::string bytes;
  ImageFormat format;
  // The exact message, or its beginning when prefixOnly.
  std::string message;
  bool prefixOnly = false;
};

std::vector<DamagedCase> damagedCases() {
  const std::string jpeg = encodeJpeg(64, 48);
  const std::string progressive = encodeJpeg(64, 48, {3, true, 90, 9});
  const std::string gif = encodeGif(64, 48);
  std::string corrupted = jpeg;
  // Restart markers in the middle of the entropy-coded data.
  for (size_t i = jpeg.size() / 2; i < jpeg.size() / 2 + 16; i += 2) {
    corrupted[i] = '\xff';
    corrupted[i + 1] = '\xd5';
  }
  std::string badRestart = encodeJpeg(64, 48, {3, false, 90, 1, 1});
  badRestart[test::findMarker(badRestart, 0xD0) + 1] = '\xd3';
  static const char kPng[] = "\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR\x00\x00\x00\x10\x00\x00\x00\x10\x08\x02\x00\x00\x00";
  const std::string png(kPng, sizeof kPng - 1);
  return {
      {"zero-byte gif", "", ImageFormat::Gif, "Failed to read from given file"},
      {"zero-byte jpeg", "", ImageFormat::Jpeg, "Empty input file"},
      {"truncated jpeg", jpeg.substr(0, jpeg.size() / 2), ImageFormat::Jpeg, "Premature end of JPEG file"},
      {"jpeg without its end marker", jpeg.substr(0, jpeg.size() - 2), ImageFormat::Jpeg,
       "Premature end of JPEG file"},
      {"truncated progressive jpeg", progressive.substr(0, progressive.size() / 2), ImageFormat::Jpeg,
       "Premature end of JPEG file"},
      {"jpeg with damaged data", corrupted, ImageFormat::Jpeg, "Corrupt JPEG data: ", true},
      {"restart markers out of order", badRestart, ImageFormat::Jpeg,
       "Corrupt JPEG data: found marker 0xd3 instead of RST0"},
      {"truncated gif", gif.substr(0, gif.size() / 2), ImageFormat::Gif, "Failed to read from given file"},
      {"gif without its trailer", gif.substr(0, gif.size() - 1), ImageFormat::Gif,
       "Failed to read from given file"},
      {"gif header only", gif.substr(0, 8), ImageFormat::Gif, "No screen descriptor detected"},
      {"png named .gif", png, ImageFormat::Gif, "Data is not in GIF format"},
      {"text named .jpg", "hello, world\r\n", ImageFormat::Jpeg, "Not a JPEG file: starts with 0x68 0x65"},
      {"gif named .jpg", gif, ImageFormat::Jpeg, "Not a JPEG file: starts with 0x47 0x49"},
      {"jpeg named .gif", jpeg, ImageFormat::Gif, "Data is not in GIF format"},
      {"jpeg claiming 65500 x 65500", test::withJpegFrameSize(jpeg, 65500, 65500), ImageFormat::Jpeg,
       "Corrupt JPEG data: premature end of data segment"},
      {"progressive jpeg claiming 65500 x 65500", test::withJpegFrameSize(progressive, 65500, 65500),
       ImageFormat::Jpeg, "The image is too large to be read (65500 x 65500 pixels)"},
      {"jpeg claiming 0 x 0", test::withJpegFrameSize(jpeg, 0, 0), ImageFormat::Jpeg,
       "Empty JPEG image (DNL not supported)"},
      {"gif frame claiming 65535 x 65535", gifWithFrameSize(65535, 65535), ImageFormat::Gif,
       "Image EOF detected before image complete"},
  };
}

TEST(ImageDecoders, DamagedFilesRaiseTheDecodersMessage) {
  TempDir dir;
  for (const DamagedCase& c : damagedCases()) {
    const std::string path = dir.write(c.name, c.bytes);
    const std::function<ImageSize()> decoders[] = {
        [&] { return c.format == ImageFormat::Gif ? decodeGifFile(path) : decodeJpegFile(path); },
        [&] {
          return c.format == ImageFormat::Gif ? decodeGifBytes(bytesOf(c.bytes), c.bytes.size())
                                              : decodeJpegBytes(bytesOf(c.bytes), c.bytes.size());
        },
    };
    for (size_t i = 0; i < 2; ++i) {
      const char* source = i == 0 ? "file" : "bytes";
      try {
        const ImageSize size = decoders[i]();
        ADD_FAILURE() << c.name << " (" << source << "): decoded as " << size.width << " x " << size.height;
      } catch (const EInvalidGraphic& e) {
        const std::string what = e.what();
        if (c.prefixOnly)
          EXPECT_EQ(what.substr(0, c.message.size()), c.message) << c.name << " (" << source << "): " << what;
        else
          EXPECT_EQ(what, c.message) << c.name << " (" << source << ")";
      }
    }
  }
}

TEST(ImageDecoders, HeaderOdditiesThatAreNotDamageStillDecode) {
  std::string jpeg = encodeJpeg(30, 20);
  const size_t jfif = jpeg.find("JFIF");
  ASSERT_NE(jfif, std::string::npos);
  jpeg[jfif + 5] = 3;  // JFIF revision 3.x: libjpeg warns, the picture is fine
  const ImageSize size = decodeJpegBytes(bytesOf(jpeg), jpeg.size());
  EXPECT_EQ(size.width, 30);
  EXPECT_EQ(size.height, 20);
}

TEST(ImageDecoders, NullBufferIsAnEmptyFile) {
  EXPECT_THROW(decodeJpegBytes(nullptr, 0), EInvalidGraphic);
  EXPECT_THROW(decodeGifBytes(nullptr, 0), EInvalidGraphic);
}

TEST(ImageDecoders, UnreadableFileIsAnInputOutputError) {
  TempDir dir;
  dir.mkdir("folder.gif");
  for (const std::string& path : {dir / "missing.gif", dir / "missing.jpg"}) {
    try {
      imageFormatOf(path) == ImageFormat::Gif ? decodeGifFile(path) : decodeJpegFile(path);
      ADD_FAILURE() << path << " was decoded";
    } catch (const EInOutError& e) {
      EXPECT_STREQ(e.what(), "File not found") << path;
    }
  }
  // A folder opens but cannot be read.
  EXPECT_THROW(decodeGifFile(dir / "folder.gif"), Error);
}

// --- the probe ----------------------------------------------------------------

TEST(ImageProbe, AcceptsFourExtensionsComparedExactly) {
  const std::pair<const char*, ImageFormat> cases[] = {
      {"sun.gif", ImageFormat::Gif},      {"sun.GIF", ImageFormat::Gif},
      {"sun.jpg", ImageFormat::Jpeg},     {"sun.JPG", ImageFormat::Jpeg},
      {"/a/b.c/sun.jpg", ImageFormat::Jpeg}, {"x.png.gif", ImageFormat::Gif},
      {".gif", ImageFormat::Gif},         {"sun.Gif", ImageFormat::None},
      {"sun.gIF", ImageFormat::None},     {"sun.Jpg", ImageFormat::None},
      {"sun.jpeg", ImageFormat::None},    {"sun.JPEG", ImageFormat::None},
      {"sun.jpe", ImageFormat::None},     {"sun.png", ImageFormat::None},
      {"sun", ImageFormat::None},         {"sun.gif.bak", ImageFormat::None},
      {"sun.gif ", ImageFormat::None},    {"folder.gif/sun", ImageFormat::None},
      {"", ImageFormat::None},
  };
  for (const auto& [name, format] : cases) EXPECT_EQ(imageFormatOf(name), format) << '"' << name << '"';
}

TEST(ImageProbe, LooksUpNameThenPathThenFolderPlusName) {
  TempDir cwd, picked, folder, elsewhere;
  struct Case {
    const char* name;
    bool inCurrentFolder, atPath, inFolder;
    const char* expected;  // which file is read
  };
  const Case cases[] = {
      {"all three: the current folder wins", true, true, true, "current"},
      {"current folder over path", true, true, false, "current"},
      {"path when the name is not in the current folder", false, true, true, "path"},
      {"folder + name when neither exists", false, false, true, "folder"},
      {"nothing anywhere", false, false, false, "none"},
  };
  // Each place holds a GIF of its own size, so the size tells which was read.
  const std::map<std::string, ImageSize> sizes = {
      {"current", {11, 12}}, {"path", {21, 22}}, {"folder", {31, 32}}};
  for (const Case& c : cases) {
    std::filesystem::remove(cwd / "sun.gif");
    std::filesystem::remove(picked / "sun.gif");
    std::filesystem::remove(folder / "sun.gif");
    if (c.inCurrentFolder) cwd.write("sun.gif", encodeGif(11, 12));
    if (c.atPath) picked.write("sun.gif", encodeGif(21, 22));
    if (c.inFolder) folder.write("sun.gif", encodeGif(31, 32));

    CurrentFolder inCwd(cwd.path());
    std::optional<ImageSize> probe = ImageSize{1, 1};
    LoadImage(probe, folder.path(), "sun.gif", picked / "sun.gif");
    if (std::string(c.expected) == "none") {
      EXPECT_FALSE(probe) << c.name << ": " << describe(probe);
      EXPECT_EQ(chooseImageFile(folder.path(), "sun.gif", picked / "sun.gif"), "") << c.name;
    } else {
      const ImageSize want = sizes.at(c.expected);
      ASSERT_TRUE(probe) << c.name;
      EXPECT_EQ(probe->width, want.width) << c.name;
      EXPECT_EQ(probe->height, want.height) << c.name;
    }
  }
}

TEST(ImageProbe, HtmlBuildCallWithNoFolderReadsThePath) {
  TempDir cwd, picked;
  const std::string path = picked.write("sun.gif", encodeGif(120, 80));
  CurrentFolder inCwd(cwd.path());
  std::optional<ImageSize> probe;
  LoadImage(probe, "", "sun.gif", path);
  ASSERT_TRUE(probe);
  EXPECT_EQ(probe->width, 120);
  EXPECT_EQ(probe->height, 80);
}

TEST(ImageProbe, ExtensionOfTheChosenFileDecides) {
  TempDir cwd, dir;
  CurrentFolder inCwd(cwd.path());
  const std::string gif = encodeGif(40, 30);
  const std::string jpeg = encodeJpeg(40, 30);
  struct Case {
    const char* fileName;
    const std::string& bytes;
    bool accepted;
  };
  const Case cases[] = {
      {"a.gif", gif, true},   {"b.GIF", gif, true},   {"c.jpg", jpeg, true},  {"d.JPG", jpeg, true},
      {"e.Gif", gif, false},  {"f.jpeg", jpeg, false}, {"g.JPEG", jpeg, false}, {"h.png", gif, false},
      {"noextension", gif, false}, {"i.jpe", jpeg, false},
  };
  for (const Case& c : cases) {
    const std::string path = dir.write(c.fileName, c.bytes);
    std::optional<ImageSize> probe = ImageSize{5, 5};
    LoadImage(probe, "", c.fileName, path);
    if (c.accepted) {
      ASSERT_TRUE(probe) << c.fileName;
      EXPECT_EQ(probe->width, 40) << c.fileName;
      EXPECT_EQ(probe->height, 30) << c.fileName;
    } else {
      EXPECT_FALSE(probe) << c.fileName << " gave " << describe(probe);
    }
  }
}

TEST(ImageProbe, DecoderFailureClearsTheProbeAndPropagates) {
  TempDir cwd, dir;
  CurrentFolder inCwd(cwd.path());
  const std::string path = dir.write("photo.jpg", encodeGif(10, 10));
  std::optional<ImageSize> probe = ImageSize{10, 10};
  try {
    LoadImage(probe, "", "photo.jpg", path);
    FAIL() << "a GIF named .jpg was decoded";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Not a JPEG file: starts with 0x47 0x49");
  }
  EXPECT_FALSE(probe);
  // The next call tries again.
  dir.write("photo.jpg", encodeJpeg(9, 7));
  LoadImage(probe, "", "photo.jpg", path);
  ASSERT_TRUE(probe);
  EXPECT_EQ(probe->width, 9);
}

TEST(ImageProbe, FolderNamedLikeAnImageIsNotFound) {
  TempDir cwd, dir;
  CurrentFolder inCwd(cwd.path());
  dir.mkdir("sun.gif");
  std::optional<ImageSize> probe = ImageSize{3, 3};
  LoadImage(probe, dir.path(), "sun.gif", dir / "sun.gif");
  EXPECT_FALSE(probe);
}

// --- the probe's memory ---------------------------------------------------------

// A GIF of the given size padded to a fixed length; the decoder stops at the
// trailer, so two such files differ in content but not in size.
constexpr size_t kPaddedGifSize = 4096;
std::string paddedGif(int width, int height) {
  std::string gif = encodeGif(width, height);
  if (gif.size() > kPaddedGifSize) throw std::runtime_error("GIF larger than its padding");
  gif.resize(kPaddedGifSize, '\0');
  return gif;
}

// Overwrites a file's bytes without making a new file (same inode).
void rewriteInPlace(const std::string& path, const std::string& bytes) {
  std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
  ASSERT_TRUE(out) << path;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void setModified(const std::string& path, const timespec& when) {
  const timespec times[2] = {when, when};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

timespec modifiedOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) throw std::runtime_error("cannot stat " + path);
  return st.st_mtim;
}

// File times come from a clock that ticks every few milliseconds. A change
// made within the tick of the previous one could carry the same times, and
// the test would then measure luck; wait for the tick to pass first.
void waitForTheFileClockToPass(const std::string& path) {
  const auto last = identifyFile(path)->lastChange();
  for (;;) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    const auto at = std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
        std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec)));
    if (at > last) return;
  }
}

TEST(ImageProbeMemory, ReusesTheSizeOnlyWhileTheFileIsUnchanged) {
  struct Case {
    const char* name;
    std::function<void(const std::string& path, const TempDir& dir)> change;
    int decodes;                 // in all, over the two probes
    std::optional<ImageSize> size;  // after the change; none: a decoder failure
    const char* message = "";
  };
  const std::string other = paddedGif(50, 20);
  const Case cases[] = {
      {"unchanged", [](const std::string&, const TempDir&) {}, 1, ImageSize{40, 30}},
      {"rewritten with the same size and a new time",
       [&](const std::string& path, const TempDir&) {
         const timespec before = modifiedOf(path);
         rewriteInPlace(path, other);
         setModified(path, {before.tv_sec + 1, before.tv_nsec});
       },
       2, ImageSize{50, 20}},
      {"rewritten with the same size and its old time put back",
       [&](const std::string& path, const TempDir&) {
         const timespec before = modifiedOf(path);
         rewriteInPlace(path, other);
         setModified(path, before);
       },
       2, ImageSize{50, 20}},
      {"replaced by another file of the same size and time",
       [&](const std::string& path, const TempDir& dir) {
         const std::string replacement = dir.write("replacement.gif", other);
         setModified(replacement, modifiedOf(path));
         std::filesystem::rename(replacement, path);
       },
       2, ImageSize{50, 20}},
      {"only its time changed",
       [](const std::string& path, const TempDir&) {
         const timespec before = modifiedOf(path);
         setModified(path, {before.tv_sec, before.tv_nsec == 0 ? 1 : 0});
       },
       2, ImageSize{40, 30}},
      {"damaged in place", [](const std::string& path, const TempDir&) { rewriteInPlace(path, "\x89PNG"); }, 2,
       std::nullopt, "Data is not in GIF format"},
  };
  for (const Case& c : cases) {
    TempDir cwd, dir;
    CurrentFolder inCwd(cwd.path());
    const std::string path = dir.write("sun.gif", paddedGif(40, 30));
    CountingDecoders decoders;
    ImageProbe probe(decoders, anHourLater());
    std::optional<ImageSize> size;
    probe.LoadImage(size, "", "sun.gif", path);
    ASSERT_TRUE(size) << c.name;
    ASSERT_EQ(size->width, 40) << c.name;

    waitForTheFileClockToPass(path);
    c.change(path, dir);
    size = ImageSize{1, 1};
    try {
      probe.LoadImage(size, "", "sun.gif", path);
      if (!c.size) ADD_FAILURE() << c.name << ": decoded as " << describe(size);
    } catch (const EInvalidGraphic& e) {
      EXPECT_FALSE(c.size) << c.name << ": " << e.what();
      EXPECT_STREQ(e.what(), c.message) << c.name;
    }
    EXPECT_EQ(decoders.decodes, c.decodes) << c.name;
    EXPECT_EQ(describe(size), describe(c.size)) << c.name;
  }
}

TEST(ImageProbeMemory, DamageIsReportedOnEveryBuildUntilRepaired) {
  TempDir cwd, dir;
  CurrentFolder inCwd(cwd.path());
  const std::string jpeg = encodeJpeg(64, 48);
  const std::string path = dir.write("photo.jpg", jpeg);
  CountingDecoders decoders;
  ImageProbe probe(decoders, anHourLater());
  std::optional<ImageSize> size;
  probe.LoadImage(size, "", "photo.jpg", path);
  ASSERT_TRUE(size);

  // Restart markers written over the middle of the entropy-coded data.
  std::string damaged = jpeg;
  for (size_t i = jpeg.size() / 2; i < jpeg.size() / 2 + 16; i += 2) {
    damaged[i] = '\xff';
    damaged[i + 1] = '\xd5';
  }
  waitForTheFileClockToPass(path);
  rewriteInPlace(path, damaged);
  for (int attempt = 1; attempt <= 2; ++attempt) {
    size = ImageSize{1, 1};
    try {
      probe.LoadImage(size, "", "photo.jpg", path);
      ADD_FAILURE() << "attempt " << attempt << ": the damaged file was not reported";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(std::string(e.what()).rfind("Corrupt JPEG data: ", 0), 0u) << e.what();
    }
    EXPECT_FALSE(size) << "attempt " << attempt;
  }
  EXPECT_EQ(decoders.decodes, 3);

  waitForTheFileClockToPass(path);
  rewriteInPlace(path, jpeg);
  probe.LoadImage(size, "", "photo.jpg", path);
  ASSERT_TRUE(size);
  EXPECT_EQ(size->width, 64);
  EXPECT_EQ(decoders.decodes, 4);
}

TEST(ImageProbeMemory, AnotherFirstImageIsDecodedAfresh) {
  TempDir cwd, dir;
  CurrentFolder inCwd(cwd.path());
  const std::string first = dir.write("a.gif", paddedGif(11, 12));
  const std::string second = dir.write("b.gif", paddedGif(21, 22));
  CountingDecoders decoders;
  ImageProbe probe(decoders, anHourLater());
  std::optional<ImageSize> size;
  const std::pair<const std::string*, int> order[] = {{&first, 11}, {&second, 21}, {&first, 11}, {&first, 11}};
  int expectedDecodes = 0;
  const std::string* previous = nullptr;
  for (const auto& [path, width] : order) {
    probe.LoadImage(size, "", bareFileName(*path), *path);
    if (path != previous) ++expectedDecodes;
    previous = path;
    ASSERT_TRUE(size) << *path;
    EXPECT_EQ(size->width, width) << *path;
    EXPECT_EQ(decoders.decodes, expectedDecodes) << *path;
  }
}

TEST(ImageProbeMemory, SameFileUnderANameOfAnotherTypeIsDecodedByThatType) {
  TempDir cwd, dir;
  CurrentFolder inCwd(cwd.path());
  const std::string gif = dir.write("sun.gif", paddedGif(40, 30));
  const std::string asJpeg = dir / "sun.jpg";
  std::filesystem::create_symlink(gif, asJpeg);
  CountingDecoders decoders;
  ImageProbe probe(decoders, anHourLater());
  std::optional<ImageSize> size;
  probe.LoadImage(size, "", "sun.gif", gif);
  ASSERT_TRUE(size);
  EXPECT_THROW(probe.LoadImage(size, "", "sun.jpg", asJpeg), EInvalidGraphic);
  EXPECT_FALSE(size);
  EXPECT_EQ(decoders.decodes, 2);
}

TEST(ImageProbeMemory, FileChangedMomentsAgoIsDecodedEveryTime) {
  // With the real clock a file written just now is never remembered: a
  // rewrite within the same tick of the file clock keeps its times, and
  // must still be seen.
  TempDir cwd, dir;
  CurrentFolder inCwd(cwd.path());
  const std::string path = dir.write("sun.gif", paddedGif(40, 30));
  CountingDecoders decoders;
  ImageProbe probe(decoders);
  std::optional<ImageSize> size;
  probe.LoadImage(size, "", "sun.gif", path);
  probe.LoadImage(size, "", "sun.gif", path);
  EXPECT_EQ(decoders.decodes, 2);

  const timespec before = modifiedOf(path);
  rewriteInPlace(path, paddedGif(50, 20));
  setModified(path, before);
  probe.LoadImage(size, "", "sun.gif", path);
  ASSERT_TRUE(size);
  EXPECT_EQ(size->width, 50);
  EXPECT_EQ(decoders.decodes, 3);
}

TEST(ImageProbeMemory, IdentityResolvesLinksAndRelativeNames) {
  TempDir dir;
  const std::string path = dir.write("sun.gif", paddedGif(4, 4));
  std::filesystem::create_symlink(path, dir / "link.gif");
  CurrentFolder inDir(dir.path());
  const auto direct = identifyFile(path);
  ASSERT_TRUE(direct);
  EXPECT_EQ(direct->resolvedPath, std::filesystem::canonical(path).string());
  EXPECT_EQ(direct->size, static_cast<std::int64_t>(kPaddedGifSize));
  for (const std::string& other : {std::string("sun.gif"), std::string("./link.gif"), dir / "link.gif"}) {
    const auto id = identifyFile(other);
    ASSERT_TRUE(id) << other;
    EXPECT_TRUE(*id == *direct) << other;
  }
  EXPECT_FALSE(identifyFile(dir / "missing.gif"));
}

}  // namespace
}  // namespace glx
