#pragma once

#include "catalogue/ItemRows.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QImage;
class QLabel;
class QPushButton;
class QToolButton;

namespace velmora {

class FileImport;
class GuiProgress;
class ItemListView;
class Library;
class LibraryPageSeam;
class PictureLoader;
class Stream;
class TImageAspect;

struct ItemListHandlersParts {
    ItemListView* mainList = nullptr;
    QAction* actViewDetails = nullptr;
    QAction* actViewThumbnails = nullptr;
    QAction* actViewRefresh = nullptr;
    QAction* actViewSlideshow = nullptr;
    QAction* actEditChangeDescription = nullptr;
    QAction* actFileSaveToDisk = nullptr;
    QAction* SelectAll1 = nullptr;
    QAction* Print1 = nullptr;
    QAction* Print2 = nullptr;
    // The status line.
    QPushButton* btnViewSlideShow3 = nullptr;
    QLabel* lblFileInfo1 = nullptr;
    QLabel* lblFileInfo3 = nullptr;
    QLabel* lblFileInfo4 = nullptr;
    QLabel* lblFileInfo5 = nullptr;
    // The preview pane.
    TImageAspect* picture = nullptr;
    QLabel* lblnopreview = nullptr;
    QLabel* lblErrMessage1 = nullptr;
    QToolButton* btnPrint = nullptr;
    Library* library = nullptr;
    GuiProgress* progress = nullptr;
    FileImport* fileImport = nullptr;
    LibraryPageSeam* page = nullptr;
    // Whether the library opened at the start.
    std::function<bool()> libraryOpened;
    // "Delete Files" is taking rows out: no previews meanwhile.
    std::function<bool()> deletingRows;
    // The enabling rules, evaluated now.
    std::function<void()> updateActions;
    // The slideshow hands the picture back (a non-picture previewed).
    std::function<void()> withdrawSlideshow;
    // The selection changed while the slideshow shows: its caption follows.
    std::function<void()> selectionChangedInSlideshow;
};

// The item list of the Library page with its preview pane: filling the list, its views,
// sorting and thumbnails, the status line, renaming descriptions, files dropped on it
// from outside, and the selected picture drawn to fit.
class ItemListHandlers : public QObject {
    Q_OBJECT
public:
    explicit ItemListHandlers(ItemListHandlersParts parts);
    ~ItemListHandlers() override;

    // Lists the items of the selected tree node.
    void ListSelectedNode();
    // Shows a listing (a tree node's items, a search's finds) with its counters.
    void FillItemList(const ItemListing& listing);
    // Refreshes the status line from the last list fill.
    void updTimerTimer();
    // The list's view as the library's options want it (see TfrmMain).
    void ApplyThumbnailOptions();
    void ApplyThumbnailSwitch(bool enabled);
    // The pane as before any preview: "No Preview Available" (the items deleted).
    void ClearPreviewPane();
    // The window closes: the loader's thread ends before what it reports to goes.
    void StopPictureLoader();

    // The counters of the last list fill.
    const ItemCounters& Counts() const { return m_counts; }
    // A picture is previewed: "Print" may be offered.
    bool PrintAllowed() const { return m_printAllowed; }

private:
    void deViewDetails();
    void doViewThumbnails();
    void btnRefreshClick();
    void SelectAll1Click();
    void mainList1ColumnClick(int column);
    void mainList1Edited(int recIdent, const QString& description);
    void doChangeDescription();
    void listDropTargetDrop(const std::vector<std::string>& paths, int effect);

    // The list's selection changed (mainList1SelectItem).
    void mainList1SelectItem();
    // Shows item recIdent in the preview pane when it is the one selected item.
    void PreviewItem(int recIdent);
    // Decodes the picture in stream by its upper-case extension into `picture`.
    void ShowPicture(const std::string& extension, Stream& stream);
    // A large picture decoded on the loader's thread arrived.
    void PictureLoaded(quint64 generation, const QImage& image, const QString& error);
    void ShowDecodedPicture(const QImage& image);

    ItemListHandlersParts m_parts;
    int m_sortColumn = 0;
    int m_sortDirection = -1;
    ItemCounters m_counts;
    bool m_printAllowed = false;   // a picture is previewed
    bool m_thumbnailOptionsApplied = false;
    std::unique_ptr<PictureLoader> m_pictureLoader;
    std::uint64_t m_pictureGeneration = 0;   // which preview a loaded picture belongs to
};

} // namespace velmora
