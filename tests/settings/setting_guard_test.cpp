// A property that fails once must not leave a setting unable to read or
// write its property afterwards.
#include <gtest/gtest.h>

#include <QObject>
#include <QString>
#include <stdexcept>

#include "settings/property_access.h"
#include "settings/setting.h"

namespace glx {
namespace {

class FlakyControl : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString text READ text WRITE setText)

 public:
  QString text() const {
    if (failingReads > 0) {
      --failingReads;
      throw std::runtime_error("read failed");
    }
    return m_text;
  }
  void setText(const QString& text) {
    if (failingWrites > 0) {
      --failingWrites;
      throw std::runtime_error("write failed");
    }
    m_text = text;
  }

  mutable int failingReads = 0;
  int failingWrites = 0;

 private:
  QString m_text;
};

struct Window {
  Window() {
    control.setObjectName("flaky");
    control.setParent(&window);
  }
  ~Window() { control.setParent(nullptr); }
  QObject window;
  FlakyControl control;
  PropertyAccess access{&window};
};

TEST(SettingGuard, AFailedReadLeavesLaterReadsWorking) {
  Window w;
  TSetting setting("Text", "flaky.text", {}, false, &w.access);
  w.control.setText("first");
  w.control.failingReads = 1;
  EXPECT_THROW(setting.AsString(), std::runtime_error);
  EXPECT_EQ(setting.AsString(), "first");
  w.control.setText("second");
  EXPECT_EQ(setting.AsString(), "second");
}

TEST(SettingGuard, AFailedWriteLeavesLaterWritesWorking) {
  Window w;
  TSetting setting("Text", "flaky.text", {}, false, &w.access);
  w.control.failingWrites = 1;
  EXPECT_THROW(setting.setAsString("lost"), std::runtime_error);
  EXPECT_EQ(w.control.text(), "");
  setting.setAsString("kept");
  EXPECT_EQ(w.control.text(), "kept");
  EXPECT_EQ(setting.AsString(), "kept");
}

}  // namespace
}  // namespace glx

#include "setting_guard_test.moc"
