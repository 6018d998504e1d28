// The progress dialog with Cancel shown while an animation is exported.
#pragma once

#include <QPointer>
#include <QProgressDialog>

#include "app/export_animation.h"

namespace glx {

class ExportProgressDialog : public ExportProgressView {
 public:
  explicit ExportProgressDialog(QWidget* parent) : m_parent(parent) {}
  ~ExportProgressDialog() override { delete m_dialog.data(); }

  void beginExport() override;
  void endExport() override;
  bool exportProgress(int done, int total) override;
  bool exportCancelled() override;

  QProgressDialog* dialog() const { return m_dialog; }

 private:
  QWidget* m_parent;
  QPointer<QProgressDialog> m_dialog;
};

}  // namespace glx
