// The Qt implementations of the platform's desktop services.
#pragma once

#include <QWidget>
#include <QPointer>

#include <functional>

#include "platform/desktop_opener.h"
#include "platform/error_sink.h"
#include "platform/shell.h"
#include "platform/user_dialogs.h"

namespace glx {

// Message boxes, questions, file and colour dialogs, clipboard.
class QtUserDialogs : public UserDialogs {
 public:
  explicit QtUserDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
  void setParent(QWidget* parent) { m_parent = parent; }

  void showMessage(const std::string& text) override;
  Answer confirm(const std::string& text, bool withCancel) override;
  std::optional<std::string> openFile(const FileDialogOptions& options) override;
  std::optional<std::vector<std::string>> openFiles(const FileDialogOptions& options) override;
  std::optional<std::string> saveFile(const FileDialogOptions& options) override;
  std::optional<uint32_t> chooseColor(uint32_t initial) override;
  void setClipboardText(const std::string& text) override;

 private:
  QPointer<QWidget> m_parent;
};

// Programs started detached and the desktop's opener (with the toolkit's
// as a second choice), both watched for a quick failure; report tells the
// user what could not be opened or started, and why.
class QtLauncher : public Launcher {
 public:
  explicit QtLauncher(std::function<void(const std::string&)> report = {});
  void startDetached(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& workingFolder) override;
  void openWithDesktop(const std::string& target) override;

 private:
  std::function<void(const std::string&)> m_report;
  DesktopOpener m_opener;
};

// The application's standard error box: a message box titled "Glimmerax".
class MessageBoxErrorSink : public ErrorSink {
 public:
  void showError(const std::string& message) override;
};

// Text conversions where bytes meet Qt.
inline QString qs(const std::string& s) { return QString::fromStdString(s); }
inline std::string ss(const QString& s) { return s.toStdString(); }

}  // namespace glx
