// Transfer archives from the main window: export, import, the archive named at start
// and those a second start hands over.
#include "app/MainWindow.h"

#include "app/LogCategories.h"

namespace velmora {

void TfrmMain::ConnectArchiveHandlers()
{
}

void TfrmMain::FormActivate()
{
    // An archive named on the command line is imported once.
    if (!m_pendingArchive.empty())
        ImportArchive(std::exchange(m_pendingArchive, std::string()));
}

void TfrmMain::ImportArchive(const std::string& path)
{
    QueueHandOver([path] {
        // Importing transfer archives comes with the archive part of the program.
        qCDebug(lcHandOver, "import %s", path.c_str());
    });
}

} // namespace velmora
