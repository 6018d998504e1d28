#include "app/export_progress_dialog.h"

#include <QCoreApplication>

namespace glx {

void ExportProgressDialog::beginExport() {
  m_dialog = new QProgressDialog(QStringLiteral("Exporting the animation..."), QStringLiteral("Cancel"), 0, 0, m_parent);
  m_dialog->setObjectName(QStringLiteral("exportProgress"));
  m_dialog->setWindowTitle(QStringLiteral("Glimmerax"));
  m_dialog->setWindowModality(Qt::WindowModal);
  m_dialog->setMinimumDuration(0);
  m_dialog->setAutoReset(false);
  m_dialog->setAutoClose(false);
  m_dialog->setValue(0);
  m_dialog->show();
  QCoreApplication::processEvents();
}

void ExportProgressDialog::endExport() {
  delete m_dialog.data();
}

bool ExportProgressDialog::exportProgress(int done, int total) {
  if (!m_dialog) return false;
  if (m_dialog->maximum() != total) m_dialog->setMaximum(total);
  m_dialog->setValue(done);
  QCoreApplication::processEvents();
  return !exportCancelled();
}

bool ExportProgressDialog::exportCancelled() {
  QCoreApplication::processEvents();
  return !m_dialog || m_dialog->wasCanceled();
}

}  // namespace glx
