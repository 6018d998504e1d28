// Reads the desktop's font configuration on a second core while the
// application object is made. Qt reads it on the first text it measures,
// which would otherwise stop the main window's construction for several
// milliseconds; fontconfig keeps the result for the whole process, so Qt
// later finds it ready. Nothing else changes: the same configuration, the
// same fonts.
#pragma once

#include <thread>

namespace glx {

class FontConfigWarmUp {
 public:
  FontConfigWarmUp();
  ~FontConfigWarmUp();
  FontConfigWarmUp(const FontConfigWarmUp&) = delete;
  FontConfigWarmUp& operator=(const FontConfigWarmUp&) = delete;

  // Returns once the configuration has been read. Call it before anything
  // can measure text: two first readers would each read it in full.
  void wait();

 private:
  std::thread m_thread;
};

}  // namespace glx
