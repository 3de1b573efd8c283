// "Online Help", "Check for updates" and "About ...".
#include "app/MainWindow.h"

#include "dialogs/AboutForm.h"
#include "integration/BrowserWindow.h"
#include "integration/WebPages.h"
#include "platform/SettingsStore.h"

#include <QAction>
#include <QMenu>

namespace velmora {

void TfrmMain::ConnectOnlineHandlers()
{
    m_browser = std::make_unique<BrowserWindow>();
    connect(actHelpAbout, &QAction::triggered, this, &TfrmMain::actHelpAboutExecute);
    if (auto* help = helpPop->findChild<QAction*>(QStringLiteral("Help2")))
        connect(help, &QAction::triggered, this, &TfrmMain::OnlineHelp1Click);
    if (auto* updates = findChild<QAction*>(QStringLiteral("CheckforUpdates1")))
        connect(updates, &QAction::triggered, this, &TfrmMain::Checkforupdates1Click);
}

void TfrmMain::OpenWebPage(const std::string& address)
{
    m_browser->Navigate(address);
}

void TfrmMain::OnlineHelp1Click()
{
    OpenWebPage(OnlineHelpAddress(WebSiteAddress(SettingsStore())));
}

void TfrmMain::Checkforupdates1Click()
{
    OpenWebPage(UpdatesAddress(WebSiteAddress(SettingsStore())));
}

void TfrmMain::actHelpAboutExecute()
{
    TfrmAbout about(QString::fromStdString(WebSiteAddress(SettingsStore())),
                    [this](const QString& site) { OpenWebPage(site.toStdString()); }, this);
    about.exec();
}

} // namespace velmora
