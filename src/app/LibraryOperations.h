#pragma once

#include <QObject>

#include <functional>

class QAction;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace velmora {

class FileDialogs;
class FileImport;
class GuiProgress;
class ItemListView;
class Library;
class LibraryPageSeam;
class MessageBoxes;
struct ItemListing;

struct LibraryOperationsParts {
    QWidget* mainWindow = nullptr;   // the choosers' parent
    QAction* actEditAddToCategory = nullptr;
    QAction* actEditPaste = nullptr;
    QAction* actEditRemoveFromCategory = nullptr;
    QAction* actEditDeleteFiles = nullptr;
    QAction* actFileSaveToDisk = nullptr;
    QAction* actFilePrint = nullptr;
    QPushButton* btnFind = nullptr;
    QLineEdit* txtTextToFind = nullptr;
    QTreeWidget* mainTree = nullptr;   // a search's finds leave no node selected
    ItemListView* mainList = nullptr;
    Library* library = nullptr;
    MessageBoxes* boxes = nullptr;
    FileDialogs* fileDialogs = nullptr;
    GuiProgress* progress = nullptr;
    FileImport* fileImport = nullptr;
    LibraryPageSeam* page = nullptr;
    // Shows a search's finds with their counters.
    std::function<void(const ItemListing&)> fillItemList;
    // The preview pane as before any preview: its item has been deleted.
    std::function<void()> clearPreviewPane;
    // Items leave the library in the clear: the preview's picture hidden, the play list
    // and the player stopped.
    std::function<void()> hidePreviewPicture;
};

// What the Library page does with items: adding, pasting, deleting, removing from a
// category, searching, saving to disk and printing.
class LibraryOperations : public QObject {
    Q_OBJECT
public:
    explicit LibraryOperations(LibraryOperationsParts parts);

    // "Delete Files" is taking rows out of the list: no previews meanwhile.
    bool DeletingRows() const { return m_deletingRows; }

private:
    void addFilesToCurrentCategory();
    void doPaste();
    void doDeleteFiles();
    void doRemoveFromCategory();
    void btnFindNowClick();
    void doSaveToDisk();
    void actFilePrintExecute();

    LibraryOperationsParts m_parts;
    bool m_deletingRows = false;
};

} // namespace velmora
