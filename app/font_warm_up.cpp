#include "app/font_warm_up.h"

#include <dlfcn.h>

namespace glx {

namespace {

// fontconfig is Qt's choice, loaded with Qt's GUI library; it is looked up
// among the loaded libraries rather than linked again. Where Qt was built
// without it there is nothing to read early.
void readFontConfiguration() {
  using Init = int (*)();
  if (const auto init = reinterpret_cast<Init>(::dlsym(RTLD_DEFAULT, "FcInit"))) init();
}

}  // namespace

FontConfigWarmUp::FontConfigWarmUp() : m_thread(readFontConfiguration) {}

FontConfigWarmUp::~FontConfigWarmUp() { wait(); }

void FontConfigWarmUp::wait() {
  if (m_thread.joinable()) m_thread.join();
}

}  // namespace glx
