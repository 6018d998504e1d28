#include "tests/app/main_window_fixture.h"

#include <QAction>
#include <QImage>
#include <QPushButton>
#include <cstdlib>

namespace glx::test {

MainWindowTest::MainWindowTest() {
  if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
    m_hadConfigHome = true;
    m_oldConfigHome = old;
  }
  // Never the user's real settings.
  setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  fx.dir.write("Glimmerax Help.html",
               "<html><body><h1>Help</h1><a name=\"context-33\"></a><p>33</p><a name=\"context-55\"></a><p>55</p>"
               "<a name=\"context-56\"></a><p>56</p><a name=\"context-57\"></a><p>57</p>"
               "<a name=\"context-58\"></a><p>58</p></body></html>");
  fx.dir.write("Samples.html", "<html></html>");
}

MainWindowTest::~MainWindowTest() {
  window.reset();
  if (m_hadConfigHome)
    setenv("XDG_CONFIG_HOME", m_oldConfigHome.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

void MainWindowTest::start(const std::vector<std::string>& arguments) { build(false, arguments); }

void MainWindowTest::startWithCompanions(const std::vector<std::string>& arguments) { build(true, arguments); }

void MainWindowTest::build(bool withCompanions, const std::vector<std::string>& arguments) {
  companions = {};
  window.reset();
  window = std::make_unique<TMainWindow>(MainWindowServices{fx.folders, dialogs, shell});
  window->show();
  // No check ever reaches this address: the tests never press "Yes".
  if (withCompanions) companions = createCompanionWindows(*window, dialogs, shell, std::string(), "127.0.0.1:9");
  window->startUp(arguments);
  QApplication::processEvents();
}

void MainWindowTest::finish() {
  companions = {};
  window.reset();
}

void MainWindowTest::addImages(const std::vector<std::string>& paths) {
  for (const auto& path : paths) {
    dialogs.openAnswers.push_back(path);
    window->bAddImage->click();
  }
}

std::string MainWindowTest::picture(const std::string& name, const std::string& bytes) {
  return pictures.write(name, bytes);
}

QAction* menuAction(TMainWindow& window, const char* name) {
  auto* action = window.findChild<QAction*>(QString::fromLatin1(name));
  EXPECT_NE(action, nullptr) << name;
  return action;
}

std::string jpegFile(TempDir& dir, const std::string& name, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::darkCyan);
  const std::string path = dir / name;
  EXPECT_TRUE(image.save(QString::fromStdString(path), "JPG")) << path;
  return path;
}

std::vector<std::string> boxLines(const QPlainTextEdit* box) {
  std::vector<std::string> lines;
  const QString text = box->toPlainText();
  if (text.isEmpty()) return lines;
  for (const QString& line : text.split(QLatin1Char('\n'))) lines.push_back(line.toStdString());
  return lines;
}

}  // namespace glx::test
