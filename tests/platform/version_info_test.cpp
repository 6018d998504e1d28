#include "platform/version_info.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/platform/pe_fixture.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::TempDir;

TEST(VersionInfo, ReadsTheFileVersionOfTheFirstTranslation) {
  TempDir dir;
  for (bool pe64 : {false, true}) {
    test::VersionFixture fixture;
    const std::string block = test::versionBlock(fixture);
    const std::string path = dir.write(pe64 ? "app64.exe" : "app32.exe", test::peFile(&block, pe64));
    const VersionInfo info = VersionInfo::fromFile(path);
    EXPECT_EQ(info.size(), block.size()) << "pe64 " << pe64;
    EXPECT_EQ(fileVersionInfoSize(path), block.size()) << "pe64 " << pe64;
    ASSERT_TRUE(info.translation()) << "pe64 " << pe64;
    EXPECT_EQ(info.translation()->first, 0x0409);
    EXPECT_EQ(info.translation()->second, 0x04E4);
    EXPECT_EQ(info.queryString("\\StringFileInfo\\040904E4\\FileVersion"), "4.75");
    EXPECT_EQ(info.queryString("\\stringfileinfo\\040904e4\\fileversion"), "4.75");
    EXPECT_EQ(info.queryString("\\StringFileInfo\\040904E4\\CompanyName"), "Somebody");
    EXPECT_FALSE(info.queryString("\\StringFileInfo\\040904E4\\ProductName"));
    EXPECT_EQ(info.fileVersion(), "4.75");
  }
}

TEST(VersionInfo, StringFileInfoPathUsesUpperCaseHex) {
  EXPECT_EQ(stringFileInfoPath(0x0409, 0x04E4, "FileVersion"), "\\StringFileInfo\\040904E4\\FileVersion");
  EXPECT_EQ(stringFileInfoPath(0x0c0a, 0x00ab, "X"), "\\StringFileInfo\\0C0A00AB\\X");
}

TEST(VersionInfo, VersionTextsBecomeEightBitText) {
  TempDir dir;
  const std::pair<std::u32string, std::string> cases[] = {
      {U"5.00.2314.1003", "5.00.2314.1003"},
      {U"", ""},
      {U"4.08 \u00df", "4.08 \xdf"},
      {U"1 \u20ac", "1 ?"},
      {U"2 \U0001F600!", "2 ?!"},
  };
  for (const auto& [text, expected] : cases) {
    const std::string path = dir.write("v.exe", test::peWithVersion(text));
    EXPECT_EQ(VersionInfo::fromFile(path).fileVersion(), expected) << "expected '" << expected << "'";
  }
}

TEST(VersionInfo, MissingPartsGiveEmptyTexts) {
  TempDir dir;
  struct Case {
    const char* name;
    test::VersionFixture fixture;
  };
  test::VersionFixture noTranslation;
  noTranslation.withTranslation = false;
  test::VersionFixture noFileVersion;
  noFileVersion.withFileVersion = false;
  test::VersionFixture otherTable;
  otherTable.tableKey = U"040704B0";
  for (const Case& c : {Case{"no translation", noTranslation}, Case{"no FileVersion", noFileVersion},
                        Case{"table of another language", otherTable}}) {
    const std::string block = test::versionBlock(c.fixture);
    const std::string path = dir.write("m.exe", test::peFile(&block));
    const VersionInfo info = VersionInfo::fromFile(path);
    EXPECT_GT(info.size(), 0u) << c.name;
    EXPECT_EQ(info.fileVersion(), "") << c.name;
  }
}

TEST(VersionInfo, FilesWithoutVersionResourceHaveSizeZero) {
  TempDir dir;
  dir.mkdir("folder.exe");
  const std::pair<std::string, std::string> cases[] = {
      {"empty.exe", ""},
      {"text.exe", "#!/bin/sh\necho hello\n"},
      {"mz-only.exe", "MZ"},
      {"no-resource.exe", test::peFile(nullptr)},
  };
  for (const auto& [name, bytes] : cases) {
    const std::string path = dir.write(name, bytes);
    EXPECT_EQ(fileVersionInfoSize(path), 0u) << name;
    EXPECT_EQ(VersionInfo::fromFile(path).fileVersion(), "") << name;
  }
  EXPECT_EQ(fileVersionInfoSize(dir / "missing.exe"), 0u);
  EXPECT_EQ(fileVersionInfoSize(dir / "folder.exe"), 0u);
}

TEST(VersionInfo, EveryTruncationGivesSizeZero) {
  TempDir dir;
  const std::string whole = test::peWithVersion(U"4.75");
  // Cut anywhere before the block's end: there is no complete resource.
  for (size_t length = 0; length + 1 < whole.size(); ++length) {
    const std::string path = dir.write("cut.exe", whole.substr(0, length));
    EXPECT_EQ(fileVersionInfoSize(path), 0u) << "cut at " << length;
  }
}

TEST(VersionInfo, HostileHeadersGiveSizeZero) {
  TempDir dir;
  test::VersionFixture fixture;
  const std::string block = test::versionBlock(fixture);
  test::PeLayout l;
  const std::string good = test::peFile(&block, false, &l);
  const size_t rsrc = l.resourceAt;
  const size_t optional = l.peOffset + 24;
  struct Case {
    const char* name;
    size_t at;
    uint32_t value;
  };
  const Case cases[] = {
      {"PE offset past the end", 0x3C, 0xFFFFFFF0u},
      {"resource address nowhere", optional + 92 + 4 + 16, 0x7FFFFFF0u},
      {"section raw data past the end", l.sectionTable + 20, 0xFFFFFF00u},
      {"section too short for the data", l.sectionTable + 16, 0x50},
      {"root directory loops to itself", rsrc + 20, 0x80000000u},
      {"name level loops to the root", rsrc + l.level2 + 20, 0x80000000u},
      {"language level is a directory", rsrc + l.level3 + 20, 0x80000000u | 0x30},
      {"entry offset past the end", rsrc + l.level3 + 20, 0x7FFFFFF0u},
      {"data size absurd", rsrc + l.dataEntry + 4, 0xFFFFFFF0u},
      {"data address past the section", rsrc + l.dataEntry, 0x1000 + 0x100000},
      {"entry counts absurd", rsrc + 12, 0xFFFFFFFFu},
      {"too few data directories", optional + 92, 2},
  };
  for (const Case& c : cases) {
    std::string bytes = good;
    test::put32(bytes, c.at, c.value);
    const std::string path = dir.write("hostile.exe", bytes);
    EXPECT_EQ(fileVersionInfoSize(path), 0u) << c.name;
  }
}

TEST(VersionInfo, DamagedVersionTreesAreReadWithinTheirBounds) {
  test::VersionFixture fixture;
  const std::string good = test::versionBlock(fixture);
  // Overwrite every 16-bit field of the tree with extreme values in turn.
  for (size_t at = 0; at + 2 <= good.size(); at += 2) {
    for (uint16_t value : {uint16_t(0), uint16_t(1), uint16_t(6), uint16_t(0x7FFF), uint16_t(0xFFFF)}) {
      std::string bytes = good;
      test::put16(bytes, at, value);
      const VersionInfo info(bytes);
      const std::string version = info.fileVersion();
      EXPECT_LE(version.size(), bytes.size()) << "field at " << at;
    }
  }
}

TEST(VersionInfo, RandomlyDamagedFilesNeverCrash) {
  TempDir dir;
  const std::string good = test::peWithVersion(U"4.75");
  std::mt19937 rng(12345);
  for (int round = 0; round < 400; ++round) {
    std::string bytes = good;
    const int flips = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < flips; ++i) bytes[rng() % bytes.size()] = static_cast<char>(rng());
    const std::string path = dir.write("damaged.exe", bytes);
    const VersionInfo info = VersionInfo::fromFile(path);
    EXPECT_LE(info.size(), bytes.size()) << "round " << round;
    (void)info.fileVersion();
  }
}

}  // namespace
}  // namespace glx
