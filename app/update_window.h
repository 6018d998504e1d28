// The update window: asks whether to check for an update, takes an optional
// proxy, and runs the check. Created hidden at start-up and shown without
// being modal, so the main window stays usable while a check runs.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "update/update_check.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace glx {

class TupdateWindow : public QDialog {
  Q_OBJECT
 public:
  TupdateWindow(UsageLog& usageLog, ConfigOneSetting& configOne, UserDialogs& dialogs, Shell& shell,
                std::string serverHost, QWidget* parent = nullptr,
                std::shared_ptr<HostLookup> lookup = systemHostLookup());
  ~TupdateWindow() override;

  UpdateCheck& check() { return *m_check; }

  // Shows the window, centred, without waiting.
  void showUpdate();

  // Ends a running check (the main window's close does this first).
  void cancelCheck() { m_check->cancel(); }

  // Events, named after their control.
  void SpeedButton1Click();  // "&Yes"
  void bkColorBtnClick();    // "&No"
  void cProxyClick();

  QCheckBox* cProxy = nullptr;
  QLineEdit* eProxyServer = nullptr;
  QLineEdit* eProxyPort = nullptr;
  QToolButton* yesButton = nullptr;
  QToolButton* noButton = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  std::unique_ptr<UpdateCheck> m_check;
  QLabel* m_proxyServerLabel = nullptr;
  QLabel* m_proxyPortLabel = nullptr;
};

// The update server's host: "Update Server" in the program's registry key,
// or the maker's own server.
std::string updateServerHost();

}  // namespace glx
