#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QWidget;

namespace velmora {

class FileDialogs;
class FileImport;
class GuiProgress;
class ItemListView;
class Library;
class LibraryPageSeam;
class MessageBoxes;

struct ArchiveHandlersParts {
    QWidget* mainWindow = nullptr;       // the dialogs' parent; disabled while an operation runs
    QAction* actFileExport = nullptr;
    QAction* actExportCategory = nullptr;
    QAction* actFileImport = nullptr;
    ItemListView* mainList = nullptr;
    Library* library = nullptr;
    MessageBoxes* boxes = nullptr;
    FileDialogs* fileDialogs = nullptr;
    GuiProgress* progress = nullptr;
    FileImport* fileImport = nullptr;
    LibraryPageSeam* page = nullptr;
    // Runs a job from the event loop once the program is unlocked, after those before it.
    std::function<void(std::function<void()>)> queueHandOver;
};

// Transfer archives from the main window: export of the selected or listed items,
// import from the menu, of the archive named at start and of those a second start hands
// over, one after another.
class ArchiveHandlers : public QObject {
    Q_OBJECT
public:
    explicit ArchiveHandlers(ArchiveHandlersParts parts);

    // The archive named on the command line, imported at the first activation.
    void SetPendingArchive(const std::string& path) { m_pendingArchive = path; }
    // The window became active: a pending archive is imported from the event loop.
    void WindowActivated();
    // A hand-over: queued like the others.
    void ImportArchive(const std::string& path);
    // The import itself, for the menu and the archive named at start. Errors that leave
    // nothing to tell pass on to the caller. With showLibraryPage, an archive that opens
    // brings the Library page up, where its items will be listed.
    void ImportArchiveNow(const std::string& path, bool showLibraryPage = false);

private:
    void doExportToArchive();
    void actExportCategoryExecute();
    void actFileImportExecute();
    // Exports the items after the save dialog, the name rules and the password; an
    // error is told after the progress window has gone.
    void ExportItems(const std::vector<int>& items, bool selectedItems);
    // rec_ident of every row of the item list, in list order.
    std::vector<int> ListedItems() const;
    void ImportPendingArchive();

    ArchiveHandlersParts m_parts;
    std::string m_pendingArchive;
    bool m_importingArchive = false;             // an import runs (its dialogs pump events)
    bool m_pendingArchiveQueued = false;         // the activation has queued the pending import
    std::deque<std::string> m_waitingArchives;   // handed over meanwhile, imported after it
};

} // namespace velmora
