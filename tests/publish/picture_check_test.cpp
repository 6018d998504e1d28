#include "publish/picture_check.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "platform/file_ops.h"
#include "publish/image_probe.h"
#include "publish/preview_folder.h"
#include "publish/required_files.h"
#include "tests/publish/image_fixtures.h"
#include "tests/support/fakes.h"
#include "tests/support/program_folder_fixture.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

const std::string kPasswd = "root:x:0:0:root:/root:/bin/bash\n";
constexpr char kPngHead[] = "\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0";
const std::string kPng(kPngHead, sizeof kPngHead - 1);

// What a project can name as a picture, and whether the check lets it pass.
struct ContentCase {
  const char* name;
  std::string bytes;
  ImageFormat format;
};

std::vector<ContentCase> contentCases() {
  const std::string gif = test::encodeGif(12, 8);
  const std::string jpeg = test::encodeJpeg(16, 16);
  return {
      {"a GIF", gif, ImageFormat::Gif},
      {"a GIF87a", "GIF87a" + gif.substr(6), ImageFormat::Gif},
      {"a JPEG", jpeg, ImageFormat::Jpeg},
      {"a progressive JPEG", test::encodeJpeg(16, 16, {3, true}), ImageFormat::Jpeg},
      {"a text file", kPasswd, ImageFormat::None},
      {"a PNG", kPng, ImageFormat::None},
      {"an empty file", "", ImageFormat::None},
      {"a GIF header cut after its signature", gif.substr(0, 6), ImageFormat::None},
      {"a GIF header cut in its logical screen", gif.substr(0, 9), ImageFormat::None},
      {"a GIF header cut in its colour table", gif.substr(0, 15), ImageFormat::None},
      {"a GIF of no size", std::string("GIF89a\0\0\0\0\0\0\0;", 14), ImageFormat::None},
      {"\"GIF\" and another version", "GIF90a" + gif.substr(6), ImageFormat::None},
      {"a text behind a GIF's name", "GIF89a is what this text begins with, and no more", ImageFormat::None},
      {"a JPEG signature and text", "\xFF\xD8\xFF" + kPasswd, ImageFormat::None},
      {"a JPEG cut before its frame header", jpeg.substr(0, test::findMarker(jpeg, 0xC0)), ImageFormat::None},
      {"a JPEG without its start marker", jpeg.substr(2), ImageFormat::None},
  };
}

TEST(PictureCheck, TellsPicturesByTheirContent) {
  test::TempDir dir;
  for (const ContentCase& c : contentCases()) {
    EXPECT_EQ(pictureFormatOfBytes(test::bytesOf(c.bytes), c.bytes.size()), c.format) << c.name;
    EXPECT_EQ(isPictureBytes(c.bytes), c.format != ImageFormat::None) << c.name;
    // The file form reads the same, whatever the file is called.
    for (const char* fileName : {"pw.gif", "photo.jpg", "noname"}) {
      const std::string path = dir.write(fileName, c.bytes);
      EXPECT_EQ(pictureFormatOfFile(path), c.format) << c.name << " as " << fileName;
    }
  }
  EXPECT_EQ(pictureFormatOfBytes(nullptr, 0), ImageFormat::None);
}

TEST(PictureCheck, WhatIsNoRegularFileIsNoPicture) {
  test::TempDir dir;
  dir.mkdir("folder.gif");
  const std::string fifo = dir / "pipe.gif";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {dir / "folder.gif", fifo, dir / "absent.gif", std::string("/dev/zero")})
    EXPECT_FALSE(isPictureFile(path)) << path;
}

TEST(PictureCheck, RefusalNamesTheFile) {
  test::TempDir dir;
  const std::string path = dir.write("pw.gif", kPasswd);
  try {
    requirePictureFile(path, "pw.gif");
    FAIL() << "no refusal";
  } catch (const ENotAPicture& e) {
    EXPECT_STREQ(e.what(), "pw.gif is not a GIF or JPEG picture.");
    EXPECT_EQ(e.name(), "pw.gif");
  }
  EXPECT_NO_THROW(requirePictureFile(dir.write("sun.gif", test::encodeGif(4, 4)), "sun.gif"));
  EXPECT_EQ(notAPictureMessage(std::string(100, 'x')),
            std::string(80, 'x') + "... (100 characters) is not a GIF or JPEG picture.");
}

// Copying into the required-files and test folders: a refused file is
// copied nowhere, and the refusal names it.
TEST(PictureCheck, CopyImageRefusesWhatIsNoPicture) {
  test::ProgramFolderFixture fx;
  test::TempDir images;
  test::RecordingShell shell;
  RequiredFiles files{fx.folders, shell};
  for (const ContentCase& c : contentCases()) {
    if (c.format != ImageFormat::None) continue;
    std::filesystem::remove_all(fx.required());
    std::filesystem::remove_all(fx.temp());
    const std::string source = images.write("pw.gif", c.bytes);
    try {
      files.copyImage(source);
      ADD_FAILURE() << c.name << ": copied";
    } catch (const ENotAPicture& e) {
      EXPECT_STREQ(e.what(), "pw.gif is not a GIF or JPEG picture.") << c.name;
    }
    EXPECT_FALSE(pathExists(fx.required() + "pw.gif")) << c.name;
    EXPECT_FALSE(pathExists(fx.temp() + "pw.gif")) << c.name;
  }
  const std::string sun = images.write("sun.gif", test::encodeGif(4, 4));
  files.copyImage(sun);
  EXPECT_TRUE(fileExists(fx.required() + "sun.gif"));
  EXPECT_TRUE(fileExists(fx.temp() + "sun.gif"));
}

TEST(PictureCheck, PreviewFolderRefusesAPageWithAFileThatIsNoPicture) {
  test::TempDir dir;
  const std::string sun = dir.write("sun.gif", test::encodeGif(4, 4));
  const std::string png = dir.write("moon.jpg", kPng);
  const std::string passwd = dir.write("pw.gif", kPasswd);
  PreviewFolder folder(dir.write("player.js", "// player"));
  // An earlier page showed a picture that has been replaced since.
  const std::string pw = dir.write("earlier/pw.gif", test::encodeGif(2, 2));
  folder.writeAppletPage({"<APPLET>"}, {{sun, "sun.gif"}, {pw, "pw.gif"}});
  ASSERT_TRUE(fileExists(folder.path() + "pw.gif"));

  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> images;
    const char* refused;
  };
  const Case cases[] = {
      {"a text file named .gif", {{sun, "sun.gif"}, {passwd, "pw.gif"}}, "pw.gif"},
      {"a PNG named .jpg, first", {{png, "moon.jpg"}, {sun, "sun.gif"}}, "moon.jpg"},
  };
  for (const Case& c : cases) {
    const std::string pageBefore = readFileBytes(folder.path() + kPreviewPageName);
    try {
      folder.writeAppletPage({"<APPLET CODE=\"new\">"}, c.images);
      ADD_FAILURE() << c.name << ": written";
    } catch (const ENotAPicture& e) {
      EXPECT_EQ(e.what(), std::string(c.refused) + " is not a GIF or JPEG picture.") << c.name;
    }
    EXPECT_FALSE(pathExists(folder.path() + c.refused)) << c.name;
    EXPECT_EQ(readFileBytes(folder.path() + kPreviewPageName), pageBefore) << c.name;
  }
}

}  // namespace
}  // namespace glx
