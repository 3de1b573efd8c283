// What the Library page does with items: adding, pasting, deleting, removing from a
// category, searching, saving to disk and printing.
#include "app/MainWindow.h"

#include "app/ItemListView.h"
#include "app/LogCategories.h"

namespace velmora {

void TfrmMain::ConnectLibraryOperations()
{
}

void TfrmMain::doDeleteFiles()
{
    SelectPage(2);
    // Del reaches this first even while the tree has the focus; the tree then deletes
    // its category when the key is released.
    if (!mainList->HasKeyboardFocus())
        return;
    qCDebug(lcShell, "delete files: %d selected", mainList->SelectedCount());
}

} // namespace velmora
