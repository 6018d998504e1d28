#include "app/update_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/qt_services.h"
#include "platform/error_sink.h"
#include "platform/registry.h"

namespace glx {

std::string updateServerHost() {
  std::optional<std::string> host;
  // A damaged registry file must not keep the window from being built.
  runGuarded([&host] {
    host = readRegistryString(RegRoot::LocalMachine, "Software\\Tallowbrook Software\\Glimmerax\\1.0",
                              "Update Server");
  });
  return host && !host->empty() ? *host : std::string(kDefaultUpdateServer);
}

TupdateWindow::TupdateWindow(UsageLog& usageLog, ConfigOneSetting& configOne, UserDialogs& dialogs, Shell& shell,
                             std::string serverHost, QWidget* parent, std::shared_ptr<HostLookup> lookup)
    : QDialog(parent),
      m_check(std::make_unique<UpdateCheck>(usageLog, configOne, dialogs, shell, std::move(serverHost),
                                            std::move(lookup))) {
  setObjectName(QStringLiteral("updateWindow"));
  setWindowTitle(QStringLiteral("Update"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint |
                 Qt::WindowTitleHint);
  setModal(false);

  auto* heading = new QLabel(QStringLiteral("Glimmerax Update"), this);
  QFont bold = heading->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.25);
  heading->setFont(bold);
  heading->setAlignment(Qt::AlignCenter);

  auto* question =
      new QLabel(QStringLiteral("Would you like to check the internet for an update of this program? "), this);
  question->setAlignment(Qt::AlignCenter);
  question->setWordWrap(true);

  cProxy = new QCheckBox(QStringLiteral("Use Proxy Server"), this);
  cProxy->setObjectName(QStringLiteral("cProxy"));
  m_proxyServerLabel = new QLabel(QStringLiteral("Proxy Server: "), this);
  eProxyServer = new QLineEdit(this);
  eProxyServer->setObjectName(QStringLiteral("eProxyServer"));
  m_proxyPortLabel = new QLabel(QStringLiteral("Proxy Port: "), this);
  eProxyPort = new QLineEdit(QStringLiteral("80"), this);
  eProxyPort->setObjectName(QStringLiteral("eProxyPort"));

  yesButton = new QToolButton(this);
  yesButton->setObjectName(QStringLiteral("SpeedButton1"));
  yesButton->setText(QStringLiteral("&Yes"));
  yesButton->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
  yesButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  yesButton->setAutoRaise(true);
  noButton = new QToolButton(this);
  noButton->setObjectName(QStringLiteral("bkColorBtn"));
  noButton->setText(QStringLiteral("&No"));
  noButton->setAutoRaise(true);

  auto* proxyGrid = new QGridLayout;
  proxyGrid->addWidget(m_proxyServerLabel, 0, 0);
  proxyGrid->addWidget(eProxyServer, 0, 1);
  proxyGrid->addWidget(m_proxyPortLabel, 1, 0);
  proxyGrid->addWidget(eProxyPort, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(yesButton);
  buttons->addWidget(noButton);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading);
  layout->addWidget(question);
  layout->addWidget(cProxy);
  layout->addLayout(proxyGrid);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  setMinimumWidth(320);

  connect(cProxy, &QCheckBox::clicked, this, [this] { runGuarded([this] { cProxyClick(); }); });
  connect(yesButton, &QToolButton::clicked, this, [this] { runGuarded([this] { SpeedButton1Click(); }); });
  connect(noButton, &QToolButton::clicked, this, [this] { runGuarded([this] { bkColorBtnClick(); }); });
  cProxyClick();
}

TupdateWindow::~TupdateWindow() { m_check->cancel(); }

void TupdateWindow::showUpdate() {
  if (!isVisible()) {
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      QRect frame = frameGeometry();
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
  }
  show();
  raise();
  activateWindow();
}

void TupdateWindow::cProxyClick() {
  const bool on = cProxy->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(m_proxyServerLabel), static_cast<QWidget*>(eProxyServer),
                     static_cast<QWidget*>(m_proxyPortLabel), static_cast<QWidget*>(eProxyPort)})
    w->setEnabled(on);
}

void TupdateWindow::bkColorBtnClick() { close(); }

void TupdateWindow::SpeedButton1Click() {
  if (m_check->running()) return;  // a second "&Yes" while a check runs
  const ProxyChoice proxy{cProxy->isChecked(), ss(eProxyServer->text()), ss(eProxyPort->text())};
  if (m_check->run(proxy)) close();
}

void TupdateWindow::closeEvent(QCloseEvent* event) {
  // Closing during a check ends it; the check then returns quietly.
  m_check->cancel();
  QDialog::closeEvent(event);
}

void TupdateWindow::reject() {
  m_check->cancel();
  QDialog::reject();
}

}  // namespace glx
