#include "app/qt_services.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>

namespace glx {

namespace {

QColor toQColor(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

uint32_t fromQColor(const QColor& c) {
  return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
         (static_cast<uint32_t>(c.blue()) << 16);
}

enum class DialogKind { Open, OpenSeveral, Save };

std::optional<std::vector<std::string>> runFileDialog(QWidget* parent, const FileDialogOptions& o, DialogKind kind) {
  const bool save = kind == DialogKind::Save;
  QFileDialog dialog(parent, qs(o.title), qs(o.folder), qs(o.filter));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (kind == DialogKind::OpenSeveral)
    dialog.setFileMode(QFileDialog::ExistingFiles);
  else
    dialog.setFileMode(save || !o.mustExist ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!o.defaultExt.empty()) dialog.setDefaultSuffix(qs(o.defaultExt));
  if (!o.fileName.empty()) dialog.selectFile(qs(o.fileName));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  if (o.preview) {
    // A picture preview beside the file list, as the open-picture dialog has.
    auto* preview = new QLabel(&dialog);
    preview->setFixedSize(160, 160);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    if (auto* layout = qobject_cast<QGridLayout*>(dialog.layout()))
      layout->addWidget(preview, 0, layout->columnCount(), layout->rowCount(), 1);
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview, [preview](const QString& path) {
      QPixmap pixmap;
      if (QFileInfo(path).isFile() && pixmap.load(path)) {
        preview->setPixmap(pixmap.scaled(preview->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
      } else {
        preview->setPixmap(QPixmap());
        preview->setText(QString());
      }
    });
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  std::vector<std::string> chosen;
  for (const QString& file : dialog.selectedFiles()) chosen.push_back(ss(file));
  return chosen;
}

std::optional<std::string> firstFile(std::optional<std::vector<std::string>> chosen) {
  if (!chosen) return std::nullopt;
  return std::move(chosen->front());
}

}  // namespace

void QtUserDialogs::showMessage(const std::string& text) {
  QMessageBox::information(m_parent, QStringLiteral("Glimmerax"), qs(text), QMessageBox::Ok);
}

Answer QtUserDialogs::confirm(const std::string& text, bool withCancel) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), qs(text), QMessageBox::NoButton, m_parent);
  auto* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
  auto* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
  QPushButton* cancel = withCancel ? box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole) : nullptr;
  box.setDefaultButton(yes);
  box.setEscapeButton(cancel ? static_cast<QAbstractButton*>(cancel) : no);
  box.exec();
  if (box.clickedButton() == yes) return Answer::Yes;
  if (box.clickedButton() == no) return Answer::No;
  return withCancel ? Answer::Cancel : Answer::No;
}

std::optional<std::string> QtUserDialogs::openFile(const FileDialogOptions& options) {
  return firstFile(runFileDialog(m_parent, options, DialogKind::Open));
}

std::optional<std::vector<std::string>> QtUserDialogs::openFiles(const FileDialogOptions& options) {
  return runFileDialog(m_parent, options, DialogKind::OpenSeveral);
}

std::optional<std::string> QtUserDialogs::saveFile(const FileDialogOptions& options) {
  return firstFile(runFileDialog(m_parent, options, DialogKind::Save));
}

std::optional<uint32_t> QtUserDialogs::chooseColor(uint32_t initial) {
  QColorDialog dialog(toQColor(initial), m_parent);
  dialog.setOption(QColorDialog::DontUseNativeDialog, true);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return fromQColor(dialog.selectedColor());
}

void QtUserDialogs::setClipboardText(const std::string& text) {
  QApplication::clipboard()->setText(qs(text));
}

QtLauncher::QtLauncher(std::function<void(const std::string&)> report)
    : m_report(report),
      m_opener(std::move(report), [](const std::string& target) {
        const QString t = qs(target);
        const QUrl url = t.contains(QStringLiteral("://")) ? QUrl(t) : QUrl::fromLocalFile(t);
        return QDesktopServices::openUrl(url);
      }) {}

void QtLauncher::startDetached(const std::string& program, const std::vector<std::string>& arguments,
                               const std::string& workingFolder) {
  // Watched for a few seconds: a browser that ends at once is reported
  // with its status and first error line.
  if (!m_opener.start(program, arguments, workingFolder) && m_report)
    m_report("The program\n" + program + "\ncould not be started.");
}

void QtLauncher::openWithDesktop(const std::string& target) { m_opener.open(target); }

void MessageBoxErrorSink::showError(const std::string& message) {
  QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Glimmerax"), qs(message), QMessageBox::Ok);
}

}  // namespace glx
