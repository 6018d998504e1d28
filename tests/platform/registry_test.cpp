#include "platform/registry.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <chrono>
#include <cstdlib>

#include "platform/file_ops.h"
#include "tests/platform/allocation_counter.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::TempDir;

constexpr auto HKLM = RegRoot::LocalMachine;
constexpr auto HKCU = RegRoot::CurrentUser;

// Collects registry notices for the life of a test.
struct NoticeLog {
  NoticeLog() {
    setRegistryNotice([this](const std::string& text) { notices.push_back(text); });
  }
  ~NoticeLog() { setRegistryNotice(nullptr); }
  std::vector<std::string> notices;
};

TEST(Registry, StoresEachTypeByteExactInRegedit4) {
  TempDir dir;
  Registry reg(dir.path());
  reg.setValue(HKLM, "Software\\Tallowbrook Software\\Glimmerax\\1.0", "Update Server",
               RegValue::string("127.0.0.1:8080"));
  reg.setValue(HKLM, "Software\\Tallowbrook Software\\Glimmerax\\1.0", "Count", RegValue::dword(10));
  reg.setValue(HKLM, "Software\\Tallowbrook Software\\Glimmerax\\1.0", "Quote",
               RegValue::string("a \"b\" C:\\x"));
  reg.setValue(HKLM, "Software\\Tallowbrook Software\\Glimmerax\\1.0", "Bin",
               RegValue::binary(std::string("\x07\x00\xff", 3)));
  EXPECT_EQ(dir.read("HKLM.reg"),
            "REGEDIT4\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\Software\\Tallowbrook Software]\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\Software\\Tallowbrook Software\\Glimmerax]\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\Software\\Tallowbrook Software\\Glimmerax\\1.0]\r\n"
            "\"Update Server\"=\"127.0.0.1:8080\"\r\n"
            "\"Count\"=dword:0000000a\r\n"
            "\"Quote\"=\"a \\\"b\\\" C:\\\\x\"\r\n"
            "\"Bin\"=hex:07,00,ff\r\n");
  EXPECT_FALSE(fileExists(dir / "HKCU.reg"));
}

TEST(Registry, EveryValueComesBackUnchanged) {
  struct Case {
    const char* name;
    RegValue value;
  };
  std::string allBytes;
  for (int i = 0; i < 256; ++i) allBytes += static_cast<char>(i);
  const std::vector<Case> cases = {
      {"plain", RegValue::string("hello")},
      {"empty text", RegValue::string("")},
      {"utf-8 accents", RegValue::string("/home/z\xc3\xa9lie/Caf\xc3\xa9.glx")},
      {"latin-1 byte", RegValue::string("na\xefve \xff")},
      {"line breaks", RegValue::string("one\r\ntwo\tthree")},
      {"trailing backslash", RegValue::string("C:\\")},
      {"dword zero", RegValue::dword(0)},
      {"dword all ones", RegValue::dword(0xFFFFFFFFu)},
      {"empty binary", RegValue::binary("")},
      {"every byte", RegValue::binary(allBytes)},
      {"other type", RegValue{7, std::string("a\0b\0\0", 5)}},
  };
  TempDir dir;
  Registry reg(dir.path());
  for (const auto& c : cases) reg.setValue(HKCU, "Test", c.name, c.value);
  // A fresh parse of the file, as the next run of the program sees it.
  const RegFileContents parsed = parseRegFile(HKCU, dir.read("HKCU.reg"));
  ASSERT_EQ(parsed.size(), 1u);
  ASSERT_EQ(parsed[0].values.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(parsed[0].values[i].first, cases[i].name);
    EXPECT_EQ(parsed[0].values[i].second, cases[i].value) << cases[i].name;
    EXPECT_EQ(reg.queryValue(HKCU, "test", cases[i].name), cases[i].value) << cases[i].name;
  }
}

TEST(Registry, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
  TempDir dir;
  Registry reg(dir.path());
  reg.setValue(HKCU, "Software\\MyKey", "Value", RegValue::string("1"));
  reg.setValue(HKCU, "SOFTWARE\\mykey\\", "VALUE", RegValue::string("2"));
  EXPECT_EQ(reg.valueNames(HKCU, "software\\MYKEY"), std::vector<std::string>{"Value"});
  EXPECT_EQ(reg.queryValue(HKCU, "\\Software\\MyKey", "value")->data, "2");
  EXPECT_EQ(reg.subKeyNames(HKCU, "software"), std::vector<std::string>{"MyKey"});
  EXPECT_TRUE(reg.keyExists(HKCU, "SoftWare\\MYKEY"));
  EXPECT_FALSE(reg.keyExists(HKCU, "Software\\MyKe"));
  EXPECT_FALSE(reg.queryValue(HKLM, "Software\\MyKey", "Value"));
}

TEST(Registry, OpenCreateDeleteEnumerateAndInfo) {
  TempDir dir;
  Registry reg(dir.path());
  EXPECT_FALSE(reg.openKey(HKLM, "A\\B"));
  EXPECT_FALSE(fileExists(dir / "HKLM.reg")) << "opening must not create anything";
  RegKey b = reg.createKey(HKLM, "A\\B");
  b.set("x", RegValue::dword(1));
  b.set("longer name", RegValue::string("12345"));
  reg.createKey(HKLM, "A\\B\\C1");
  reg.createKey(HKLM, "A\\B\\c2\\D");
  ASSERT_TRUE(reg.openKey(HKLM, "a\\b"));
  EXPECT_EQ(reg.openKey(HKLM, "a\\b")->subKeyNames(), (std::vector<std::string>{"C1", "c2"}));
  EXPECT_EQ(b.valueNames(), (std::vector<std::string>{"x", "longer name"}));
  const auto info = b.info();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->subKeys, 2u);
  EXPECT_EQ(info->values, 2u);
  EXPECT_EQ(info->maxSubKeyLength, 2u);
  EXPECT_EQ(info->maxValueNameLength, 11u);
  EXPECT_EQ(info->maxValueLength, 5u);

  EXPECT_TRUE(b.deleteValue("X"));
  EXPECT_FALSE(b.deleteValue("x"));
  EXPECT_FALSE(reg.deleteKey(HKLM, "A\\B", false)) << "a key with sub-keys stays without withSubKeys";
  EXPECT_TRUE(reg.deleteKey(HKLM, "A\\B\\C1", false));
  EXPECT_TRUE(reg.deleteKey(HKLM, "a\\b", true));
  EXPECT_FALSE(reg.keyExists(HKLM, "A\\B\\c2\\D"));
  EXPECT_TRUE(reg.keyExists(HKLM, "A"));
  EXPECT_FALSE(reg.deleteKey(HKLM, "A\\B", true));
}

TEST(Registry, AnUnchangedOperationDoesNotRewriteTheFile) {
  TempDir dir;
  Registry reg(dir.path());
  reg.setValue(HKLM, "K", "v", RegValue::string("same"));
  // A foreign but valid spelling would be normalised by a rewrite.
  const std::string handWritten = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"same\"\n";
  dir.write("HKLM.reg", handWritten);
  reg.setValue(HKLM, "k", "V", RegValue::string("same"));
  reg.createKey(HKLM, "K");
  EXPECT_FALSE(reg.deleteValue(HKLM, "K", "other"));
  EXPECT_EQ(dir.read("HKLM.reg"), handWritten);
}

TEST(Registry, TwoUsersWritingInTurnKeepBothValues) {
  TempDir dir;
  Registry first(dir.path());
  Registry second(dir.path());
  first.setValue(HKLM, "Shared", "one", RegValue::string("1"));
  second.setValue(HKLM, "Shared", "two", RegValue::string("2"));
  first.setValue(HKLM, "Shared", "three", RegValue::string("3"));
  EXPECT_EQ(second.valueNames(HKLM, "Shared"), (std::vector<std::string>{"one", "two", "three"}));
}

TEST(Registry, TwoProcessesWritingAtOnceLoseNothing) {
  TempDir dir;
  constexpr int kPerProcess = 40;
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 0;
      try {
        Registry reg(dir.path());
        for (int i = 0; i < kPerProcess; ++i) {
          reg.setValue(HKCU, "Race", "p" + std::to_string(p) + "-" + std::to_string(i),
                       RegValue::dword(static_cast<uint32_t>(i)));
        }
      } catch (...) {
        status = 1;
      }
      ::_exit(status);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  Registry reg(dir.path());
  EXPECT_EQ(reg.valueNames(HKCU, "Race").size(), 2u * kPerProcess);
  for (int p = 0; p < 2; ++p) {
    for (int i = 0; i < kPerProcess; ++i) {
      const std::string name = "p" + std::to_string(p) + "-" + std::to_string(i);
      auto value = reg.queryValue(HKCU, "Race", name);
      ASSERT_TRUE(value) << name;
      EXPECT_EQ(value->asDword(), static_cast<uint32_t>(i)) << name;
    }
  }
}

TEST(Registry, ACorruptFileIsSetAsideAndReportedOnce) {
  TempDir dir;
  NoticeLog log;
  const std::string garbage = "this is not a registry file\n[oops";
  dir.write("HKLM.reg", garbage);
  Registry reg(dir.path());
  EXPECT_FALSE(reg.queryValue(HKLM, "Software", "x"));
  EXPECT_FALSE(reg.keyExists(HKLM, "Software"));
  ASSERT_EQ(log.notices.size(), 1u);
  EXPECT_NE(log.notices[0].find(dir / "HKLM.reg\""), std::string::npos) << log.notices[0];
  EXPECT_NE(log.notices[0].find(dir / "HKLM.reg.bad\""), std::string::npos) << log.notices[0];
  EXPECT_EQ(dir.read("HKLM.reg.bad"), garbage);
  EXPECT_FALSE(fileExists(dir / "HKLM.reg"));
  reg.setValue(HKLM, "Software", "x", RegValue::dword(5));
  EXPECT_EQ(reg.queryValue(HKLM, "Software", "x")->asDword(), 5u);
  EXPECT_EQ(log.notices.size(), 1u);

  // A second bad file never overwrites the first one set aside.
  dir.write("HKLM.reg", "REGEDIT4\n\"orphan\"=\"value\"\n");
  EXPECT_FALSE(reg.queryValue(HKLM, "Software", "x"));
  EXPECT_EQ(dir.read("HKLM.reg.bad"), garbage);
  EXPECT_TRUE(fileExists(dir / "HKLM.reg.bad2"));
  EXPECT_EQ(log.notices.size(), 2u);
}

TEST(Registry, MalformedTextsAreRejectedWithTheirLine) {
  struct Case {
    const char* text;
    const char* line;
  };
  const std::vector<Case> cases = {
      {"hello", "line 1"},
      {"REGEDIT4\n\"v\"=\"x\"", "line 2"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\K]", "line 2"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINEX\\K]", "line 2"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"unterminated", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=dword:123456789", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=dword:xyz", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=hex:0g", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=hex:01,", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=-", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\" \"x\"", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"x\" trailing", "line 3"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\nstray", "line 3"},
  };
  for (const auto& c : cases) {
    try {
      parseRegFile(HKLM, c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ERegistryError& error) {
      EXPECT_EQ(std::string(error.what()).rfind(c.line, 0), 0u) << c.text << " -> " << error.what();
    }
  }
}

TEST(Registry, ReadsWhatARegistryEditorWrites) {
  const std::string text =
      "REGEDIT4\r\n\r\n; exported\r\n"
      "[HKEY_CURRENT_USER\\Software\\X]\r\n"
      "@=\"default\"\r\n"
      "\"Bin\"=hex:00,01,02,\\\r\n  03,04\r\n"
      "\"Num\"=dword:FFFFFFFF\r\n"
      "\"Str\"=hex(1):41,42,00\r\n";
  const RegFileContents keys = parseRegFile(HKCU, text);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].path, "Software\\X");
  ASSERT_EQ(keys[0].values.size(), 4u);
  EXPECT_EQ(keys[0].values[0], (std::pair<std::string, RegValue>{"", RegValue::string("default")}));
  EXPECT_EQ(keys[0].values[1].second, RegValue::binary(std::string("\0\1\2\3\4", 5)));
  EXPECT_EQ(keys[0].values[2].second.asDword(), 0xFFFFFFFFu);
  EXPECT_EQ(keys[0].values[3].second, RegValue::string("AB"));
  EXPECT_TRUE(parseRegFile(HKCU, "").empty());
}

TEST(Registry, AFolderThatCannotBeWrittenFailsTheWriteOnly) {
  TempDir dir;
  dir.write("blocked", "a file standing where the folder should be");
  Registry reg(dir / "blocked/glimmerax");
  EXPECT_THROW(reg.setValue(HKLM, "K", "v", RegValue::dword(1)), ERegistryError);
  EXPECT_THROW(reg.createKey(HKLM, "K"), ERegistryError);
  EXPECT_FALSE(reg.queryValue(HKLM, "K", "v"));
  EXPECT_FALSE(reg.openKey(HKLM, "K"));
  EXPECT_FALSE(reg.deleteValue(HKLM, "K", "v"));

  // A root file that cannot be read is never replaced by a write.
  TempDir other;
  other.mkdir("HKCU.reg");
  Registry blockedFile(other.path());
  EXPECT_THROW(blockedFile.setValue(HKCU, "K", "v", RegValue::dword(1)), ERegistryError);
  EXPECT_TRUE(folderExists(other / "HKCU.reg"));
  EXPECT_FALSE(blockedFile.queryValue(HKCU, "K", "v"));
}

// Reading a long hex value costs memory in proportion to its length: each
// logical line is parsed once, in one forward pass. (Parsing that copies
// the rest of the line at every byte or continuation allocates with the
// square of the length: gigabytes for a value of some tens of kilobytes.)
TEST(Registry, ALongHexValueIsParsedInOnePass) {
  std::string bytes;
  for (int i = 0; i < 16384; ++i) bytes += static_cast<char>(i * 7);
  RegFileContents contents = {{"K", {{"Bin", RegValue::binary(bytes)}}}};
  const std::string wrapped = formatRegFile(HKLM, contents);
  std::string oneLine;
  for (size_t i = 0; i < wrapped.size(); ++i) {
    // The same value with its "\" continuations joined into one line.
    if (wrapped.compare(i, 5, "\\\r\n  ") == 0) {
      i += 4;
      continue;
    }
    oneLine += wrapped[i];
  }
  ASSERT_LT(oneLine.size(), wrapped.size());
  struct Case {
    const char* name;
    const std::string& text;
  };
  const Case cases[] = {{"continued lines", wrapped}, {"one long line", oneLine}};
  for (const auto& c : cases) {
    const size_t before = test::allocatedBytes();
    const RegFileContents keys = parseRegFile(HKLM, c.text);
    const size_t used = test::allocatedBytes() - before;
    ASSERT_EQ(keys.size(), 1u) << c.name;
    ASSERT_EQ(keys[0].values.size(), 1u) << c.name;
    EXPECT_EQ(keys[0].values[0].second, RegValue::binary(bytes)) << c.name;
    EXPECT_LT(used, 40 * c.text.size()) << c.name << ": " << used << " bytes allocated for " << c.text.size();
  }
}

// A write that was killed before its rename leaves a temporary file; the
// next write, holding the lock, removes it, and nothing else.
TEST(Registry, StaleTemporaryFilesGoWithTheNextWrite) {
  TempDir dir;
  const char* stale[] = {"HKLM.reg.tmp0123abcd", "HKCU.reg.tmpDEADBEEF"};
  const char* kept[] = {"HKLM.reg.tmp-notes", "HKLM.reg.tmp0123abc", "other.tmp12345678", "HKLM.reg.bad"};
  for (const char* name : stale) dir.write(name, "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\half");
  for (const char* name : kept) dir.write(name, "x");
  Registry reg(dir.path());
  EXPECT_FALSE(reg.queryValue(HKLM, "K", "v"));
  for (const char* name : stale) EXPECT_TRUE(fileExists(dir / name)) << name << ": a read takes no lock";
  reg.setValue(HKLM, "K", "v", RegValue::dword(1));
  for (const char* name : stale) EXPECT_FALSE(pathExists(dir / name)) << name;
  for (const char* name : kept) EXPECT_EQ(dir.read(name), "x") << name;
  EXPECT_EQ(reg.queryValue(HKLM, "K", "v")->asDword(), 1u);
}

// The registry files are written through the same atomic write as every
// other file: a link to a settings file stays a link, the file its mode.
TEST(Registry, AWriteThroughALinkedFileKeepsTheLinkAndTheMode) {
  TempDir dir;
  TempDir elsewhere;
  const std::string real = elsewhere.write("HKLM.reg", "REGEDIT4\r\n");
  ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
  ASSERT_EQ(::symlink(real.c_str(), (dir / "HKLM.reg").c_str()), 0);
  Registry reg(dir.path());
  reg.setValue(HKLM, "K", "v", RegValue::dword(2));
  struct stat st;
  ASSERT_EQ(::lstat((dir / "HKLM.reg").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_NE(elsewhere.read("HKLM.reg").find("\"v\"=dword:00000002"), std::string::npos);
}

// Reads and parses of settings files during a test, and a registry clock
// set far ahead, so that every file counts as long settled and is trusted
// by its stamp alone.
struct ReadCounter {
  explicit ReadCounter(bool settled = true) {
    if (settled) setRegistryClock([] { return std::chrono::system_clock::now() + std::chrono::hours(1); });
  }
  ~ReadCounter() { setRegistryClock(nullptr); }
  uint64_t reads() const { return registryFileReads().reads - m_start.reads; }
  uint64_t parses() const { return registryFileReads().parses - m_start.parses; }
  RegistryFileReads m_start = registryFileReads();
};

// What a start asks of the registry, many times over.
void askLikeAStart(const Registry& reg, int times) {
  for (int i = 0; i < times; ++i) {
    EXPECT_TRUE(reg.openKey(HKLM, "Software\\App\\MainWindow"));
    EXPECT_EQ(reg.queryValue(HKLM, "Software\\App\\MainWindow", "Config 1"), RegValue::string("true"));
    EXPECT_FALSE(reg.queryValue(HKLM, "Software\\App\\MainWindow", "Missing"));
    EXPECT_EQ(reg.subKeyNames(HKLM, "Software\\App").size(), 1u);
    EXPECT_TRUE(reg.queryInfo(HKLM, "Software\\App\\MainWindow"));
    EXPECT_EQ(readRegistryString(HKLM, "Software\\App\\MainWindow", "Config 1", reg.folder()), "true");
  }
}

TEST(RegistryReads, AnUnchangedFileIsReadOnceForAnyNumberOfQuestions) {
  TempDir dir;
  dir.write("HKLM.reg",
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\App\\MainWindow]\r\n"
            "\"Config 1\"=\"true\"\r\n\"Big\"=hex:" + std::string("00,01,02,03") + "\r\n");
  ReadCounter counter;
  askLikeAStart(Registry(dir.path()), 20);
  EXPECT_EQ(counter.reads(), 1u);
  EXPECT_EQ(counter.parses(), 1u);
  // Another instance over the same folder shares what was read.
  askLikeAStart(Registry(dir.path()), 3);
  EXPECT_EQ(counter.reads(), 1u);
}

TEST(RegistryReads, AFreshFileIsComparedButParsedOnce) {
  // Just written, its stamp could still be shared by a rewrite within the
  // same tick of the file times: its bytes are compared instead.
  TempDir dir;
  dir.write("HKLM.reg", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\App\\MainWindow]\r\n"
                        "\"Config 1\"=\"true\"\r\n");
  ReadCounter counter(false);
  askLikeAStart(Registry(dir.path()), 5);
  EXPECT_EQ(counter.parses(), 1u);
}

TEST(RegistryReads, OwnWritesAreKeptWithoutReadingThemBack) {
  TempDir dir;
  ReadCounter counter;
  Registry reg(dir.path());
  reg.setValue(HKLM, "Software\\App\\MainWindow", "Config 1", RegValue::string("true"));
  reg.setValue(HKLM, "Software\\App\\MainWindow", "Big", RegValue::binary(std::string(100000, 'x')));
  const uint64_t readsAfterWrites = counter.reads();
  askLikeAStart(reg, 10);
  EXPECT_EQ(counter.reads(), readsAfterWrites);
  EXPECT_EQ(counter.parses(), 0u);
}

TEST(RegistryReads, ChangesByAnotherWriterAreSeen) {
  TempDir dir;
  ReadCounter counter;
  Registry reg(dir.path());
  const std::string key = "Software\\App\\MainWindow";
  reg.setValue(HKLM, key, "Config 1", RegValue::string("true"));
  ASSERT_EQ(reg.queryValue(HKLM, key, "Config 1"), RegValue::string("true"));

  // Another running copy: a process of its own, whose write replaces the
  // file by a rename. The value keeps its length, so the file its size.
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int status = 0;
    try {
      Registry(dir.path()).setValue(HKLM, key, "Config 1", RegValue::string("nope"));
    } catch (...) {
      status = 1;
    }
    ::_exit(status);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(reg.queryValue(HKLM, key, "Config 1"), RegValue::string("nope"));

  // A hand edit in place, same size, with a modification time of its own.
  std::string text = dir.read("HKLM.reg");
  const size_t at = text.find("nope");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 4, "fine");
  {
    const int fd = ::open((dir / "HKLM.reg").c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    const timespec times[2] = {{1000000000, 0}, {1000000000, 123}};
    ASSERT_EQ(::futimens(fd, times), 0);
    ::close(fd);
  }
  EXPECT_EQ(reg.queryValue(HKLM, key, "Config 1"), RegValue::string("fine"));

  // Removed by another copy: nothing is left of it.
  ASSERT_EQ(::unlink((dir / "HKLM.reg").c_str()), 0);
  EXPECT_FALSE(reg.queryValue(HKLM, key, "Config 1"));
  EXPECT_FALSE(reg.keyExists(HKLM, key));
}

TEST(RegistryReads, AWriteAfterAForeignChangeKeepsTheForeignValue) {
  // The cache must never stand in for the file a change re-reads under the
  // lock: a write merges into what is on disk now.
  TempDir dir;
  ReadCounter counter;
  Registry reg(dir.path());
  reg.setValue(HKLM, "K", "mine", RegValue::string("1"));
  dir.write("HKLM.reg", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"mine\"=\"1\"\r\n\"theirs\"=\"2\"\r\n");
  reg.setValue(HKLM, "K", "later", RegValue::string("3"));
  EXPECT_EQ(Registry(dir.path()).valueNames(HKLM, "K"), (std::vector<std::string>{"mine", "theirs", "later"}));
}

TEST(Registry, DefaultFolderFollowsXdgConfigHome) {
  TempDir dir;
  const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
  const bool had = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir / "config"));
  EXPECT_EQ(Registry::defaultFolder(), dir / "config/glimmerax/");
  Registry().setValue(HKLM, "Software\\Tallowbrook Software\\Glimmerax\\1.0", "Update Server",
                      RegValue::string("127.0.0.1:8080"));
  EXPECT_TRUE(fileExists(dir / "config/glimmerax/HKLM.reg"));
  EXPECT_EQ(readRegistryString(HKLM, "Software\\Tallowbrook Software\\Glimmerax\\1.0",
                               "Update Server"),
            "127.0.0.1:8080");
  EXPECT_EQ(readRegistryString(HKLM, "Software\\Tallowbrook Software\\Glimmerax\\1.0", "Other"),
            std::nullopt);
  if (had) {
    qputenv("XDG_CONFIG_HOME", saved);
  } else {
    qunsetenv("XDG_CONFIG_HOME");
  }
  Registry explicitFolder(dir.path());
  explicitFolder.setValue(HKCU, "K", "n", RegValue::dword(3));
  EXPECT_EQ(readRegistryString(HKCU, "K", "n", dir.path()), std::nullopt) << "not a string";
}

}  // namespace
}  // namespace glx
