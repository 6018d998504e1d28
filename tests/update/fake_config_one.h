// "Config 1" held in memory, counting the immediate saves it was asked for.
#pragma once

#include <string>

#include "update/usage_log.h"

namespace glx::test {

class FakeConfigOne : public ConfigOneSetting {
 public:
  explicit FakeConfigOne(std::string initial = "true") : text(std::move(initial)) {}
  std::string configOneText() const override { return text; }
  void setConfigOneText(const std::string& t) override { text = t; }
  void saveSettingsNow() override { ++saves; }
  std::string text;
  int saves = 0;
};

}  // namespace glx::test
