#include "integration/BrowserWindow.h"

#include "catalogue/PrintJob.h"
#include "platform/BaseFolders.h"

#include <QStandardPaths>

#include <cstdlib>
#include <sstream>

namespace velmora {

namespace {

std::string InstalledChromium()
{
    for (const char* name : {"chromium", "chromium-browser"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty())
            return path.toStdString();
    }
    return {};
}

} // namespace

BrowserWindow::BrowserWindow() = default;
BrowserWindow::~BrowserWindow() = default;

void BrowserWindow::Navigate(const std::string& address)
{
    m_process.reset();   // ends the previous browser
    std::vector<std::string> command = BrowserCommand(address);
    const std::string last = command.back();
    command.pop_back();
    m_process = std::make_unique<PrintJob>(command, last);
}

bool BrowserWindow::Running() const
{
    return m_process && m_process->Started() && !m_process->Finished();
}

std::vector<std::string> BrowserCommand(const std::string& address)
{
    std::vector<std::string> command;
    if (const char* configured = std::getenv("VELMORA_BROWSER")) {
        std::istringstream words(configured);
        for (std::string word; words >> word;)
            command.push_back(word);
    }
    if (!command.empty()) {
        command.push_back(address);
        return command;
    }
    const std::string chromium = InstalledChromium();
    if (!chromium.empty())
        return {chromium, "--user-data-dir=" + XdgBaseFolder("XDG_CACHE_HOME", ".cache") + "/Velmora/browser", "--no-first-run",
                "--window-position=0,0", "--window-size=800,600", "--app=" + address};
    return {"xdg-open", address};
}

} // namespace velmora
