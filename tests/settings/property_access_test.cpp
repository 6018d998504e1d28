#include "settings/property_access.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QWidget>

#include "settings/bound_widgets.h"

namespace glx {
namespace {

// A control with one property of each kind the binding knows, and one it
// does not.
class Gadget : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int Number MEMBER m_number)
  Q_PROPERTY(Shape Kind MEMBER m_kind)
  Q_PROPERTY(Styles Style READ style WRITE setStyle)
  Q_PROPERTY(bool Flag MEMBER m_flag)
  Q_PROPERTY(double Ratio MEMBER m_ratio)
  Q_PROPERTY(QByteArray Raw MEMBER m_raw)
  Q_PROPERTY(QVariant Any MEMBER m_any)
  Q_PROPERTY(QWidget* Buddy MEMBER m_buddy)
  Q_PROPERTY(QColor Colour MEMBER m_colour)

 public:
  enum Shape { Round, Square, Triangle };
  Q_ENUM(Shape)
  enum Style { Bold = 1, Italic = 2, Underline = 4 };
  Q_DECLARE_FLAGS(Styles, Style)
  Q_FLAG(Styles)

  explicit Gadget(QWidget* parent) : QWidget(parent) {}
  Styles style() const { return m_style; }
  void setStyle(Styles style) { m_style = style; }

  int m_number = 42;
  Shape m_kind = Square;
  Styles m_style = Styles(Bold | Underline);
  bool m_flag = true;
  double m_ratio = 0.5;
  QByteArray m_raw = QByteArray("\xff\x01", 2);
  QVariant m_any = QStringLiteral("hello");
  QWidget* m_buddy = nullptr;
  QColor m_colour = Qt::red;
};

struct Controls {
  Controls() {
    window.setObjectName("Window");
    gadget = new Gadget(&window);
    gadget->setObjectName("gadget");
    label = new GlxLabel(QStringLiteral("first"), &window);
    label->setObjectName("label");
    other = new GlxLabel(QStringLiteral("second"), &window);
    other->setObjectName("other");
    gadget->m_buddy = label;
    list = new GlxListBox(&window);
    list->setObjectName("list");
    list->setItems({QStringLiteral("a b"), QStringLiteral("c")});
  }
  QWidget window;
  Gadget* gadget;
  GlxLabel* label;
  GlxLabel* other;
  GlxListBox* list;
};

std::string describe(const SettingValue& value) {
  switch (value.kind) {
    case SettingKind::Empty:
      return "empty";
    case SettingKind::Integer:
      return "int " + std::to_string(value.integer);
    case SettingKind::Float:
      return "float " + valueAsString(value);
    default:
      return std::to_string(static_cast<int>(value.kind)) + " " + value.text;
  }
}

TEST(PropertyAccess, ReadsEachKindAlongThePath) {
  Controls c;
  PropertyAccess access(&c.window);
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"gadget.Number", "int 42"},
      {"Window.gadget.Number", "int 42"},
      {"gadget.Kind", "1 Square"},
      {"gadget.Style", "1 Bold,Underline"},
      {"gadget.Flag", "1 True"},
      {"gadget.Ratio", "float 0.5"},
      {"gadget.Raw", "1 \xff\x01"},
      {"gadget.Any", "6 hello"},
      {"gadget.Buddy", "1 label"},
      {"gadget.Buddy.Caption", "1 first"},
      {"label.Caption", "1 first"},
      {"list.Items", "7 \"a b\",c"},
      {"gadget.Colour", "empty"},
      {"gadget.Nothing", "empty"},
      {"missing.Number", "empty"},
      {"gadget", "empty"},
      {"", "empty"},
  };
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(describe(access.readPath(path)), expected) << path;
  }
  c.gadget->m_buddy = nullptr;
  EXPECT_EQ(describe(access.readPath("gadget.Buddy")), "empty");
}

TEST(PropertyAccess, WritesConvertToThePropertysKind) {
  struct Case {
    const char* path;
    SettingValue value;
    std::function<std::string(Controls&)> result;
    std::string expected;
  };
  auto number = [](Controls& c) { return std::to_string(c.gadget->m_number); };
  auto kind = [](Controls& c) { return std::to_string(static_cast<int>(c.gadget->m_kind)); };
  auto style = [](Controls& c) { return std::to_string(static_cast<int>(c.gadget->m_style)); };
  auto items = [](Controls& c) { return c.list->items().join('|').toStdString(); };
  const std::vector<Case> cases = {
      {"gadget.Number", SettingValue::ofString("12.7"), number, "12"},
      {"gadget.Number", SettingValue::ofString("abc"), number, "42"},
      {"gadget.Number", SettingValue::ofFloat(-3.9L), number, "-3"},
      {"gadget.Number", SettingValue::ofBoolean(true), number, "42"},
      {"gadget.Kind", SettingValue::ofString("Triangle"), kind, "2"},
      {"gadget.Kind", SettingValue::ofString("Hexagon"), kind, "1"},
      {"gadget.Style", SettingValue::ofString("Italic,Bold"), style, "3"},
      {"gadget.Style", SettingValue::ofString(""), style, "0"},
      {"gadget.Style", SettingValue::ofInteger(2), style, "5"},
      {"gadget.Flag", SettingValue::ofString("False"),
       [](Controls& c) { return std::to_string(c.gadget->m_flag); }, "0"},
      {"gadget.Ratio", SettingValue::ofString("0.25"),
       [](Controls& c) { return std::to_string(c.gadget->m_ratio); }, "0.250000"},
      {"gadget.Raw", SettingValue::ofString("\xfe"),
       [](Controls& c) { return c.gadget->m_raw.toStdString(); }, "\xfe"},
      {"gadget.Any", SettingValue::ofInteger(5),
       [](Controls& c) { return c.gadget->m_any.toString().toStdString(); }, "5"},
      {"gadget.Buddy", SettingValue::ofString("other"),
       [](Controls& c) { return c.gadget->m_buddy->objectName().toStdString(); }, "other"},
      {"gadget.Buddy", SettingValue::ofString("nobody"),
       [](Controls& c) { return c.gadget->m_buddy->objectName().toStdString(); }, "label"},
      {"gadget.Buddy.Caption", SettingValue::ofString("via buddy"),
       [](Controls& c) { return c.label->text().toStdString(); }, "via buddy"},
      {"Window.label.Caption", SettingValue::ofString("Caf\xc3\xa9"),
       [](Controls& c) { return c.label->text().toStdString(); }, "Caf\xc3\xa9"},
      {"list.Items", SettingValue::ofString("d"), items, "a b|c|d"},
      {"list.Items", SettingValue::ofInteger(7), items, "a b|c|7"},
      {"list.Items", SettingValue::ofStrings({"x", "y z"}), items, "x|y z"},
      {"list.Items", SettingValue(), items, "a b|c"},
      {"missing.Caption", SettingValue::ofString("x"),
       [](Controls& c) { return c.label->text().toStdString(); }, "first"},
  };
  for (const auto& t : cases) {
    Controls c;
    PropertyAccess(&c.window).writePath(t.path, t.value);
    EXPECT_EQ(t.result(c), t.expected) << t.path << " <- " << describe(t.value);
  }
}

TEST(PropertyAccess, FindsControlsByExactName) {
  Controls c;
  PropertyAccess access(&c.window);
  EXPECT_EQ(access.findControl("label"), c.label);
  EXPECT_EQ(access.findControl("Label"), nullptr);
  EXPECT_EQ(access.findControl(""), nullptr);
  EXPECT_EQ(access.windowName(), "Window");
}

}  // namespace
}  // namespace glx

#include "property_access_test.moc"
