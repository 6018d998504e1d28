// A stored scrambled setting of any bytes: reading it back gives a value or
// refuses it, a value that was read scrambles and reads back the same, and
// the value's conversions give a result or a conversion error.
//
// The first byte chooses what the rest is: 0 the stored bytes as they are,
// otherwise the plain stream, scrambled here with that first byte, so that
// the fuzzer reaches the payload reader without having to learn the key.
#include <QCoreApplication>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "platform/errors.h"
#include "settings/setting.h"

namespace {

bool sameValue(const glx::SettingValue& a, const glx::SettingValue& b) {
  return a.kind == b.kind && a.text == b.text && a.integer == b.integer && a.boolean == b.boolean &&
         std::memcmp(&a.number, &b.number, 10) == 0;
}

template <class F>
void tolerant(F f) {
  try {
    f();
  } catch (const glx::Error&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int argc = 1;
  static char name[] = "scrambled_setting_fuzz";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  if (size == 0) return 0;

  glx::TSetting setting("Password", "", "", true);
  const std::string rest = glx::fuzz::bytesOf(data + 1, size - 1);
  const std::string stored =
      data[0] == 0 ? rest : glx::scrambleBytes(rest, setting.UniqueName(), data[0]);
  if (!setting.loadScrambled(stored)) {
    if (setting.kind() != glx::SettingKind::Empty) std::abort();
    return 0;
  }

  const glx::SettingValue& value = setting.value();
  glx::TSetting copy("Password", "", "", true);
  if (!copy.loadScrambled(setting.scrambled()) || !sameValue(copy.value(), value)) std::abort();

  tolerant([&] { (void)glx::valueAsString(value); });
  tolerant([&] { (void)glx::valueAsInteger(value); });
  tolerant([&] { (void)glx::valueAsFloat(value); });
  tolerant([&] { (void)glx::valueAsBoolean(value); });
  tolerant([&] { (void)glx::valueAsVariant(value); });
  tolerant([&] { (void)glx::valueIsNumeric(value); });
  tolerant([&] {
    glx::StringList list{"kept"};
    glx::valueAssignTo(value, list);
  });
  return 0;
}
