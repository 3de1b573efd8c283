#pragma once

#include <optional>

namespace velmora {

// What the pieces of the main window ask of the window they sit in: the page shown,
// the category selected in the tree and its listing, and the enabling rules. The window
// answers by handing the call on to the piece that owns it, so no piece holds another.
class LibraryPageSeam {
public:
    // Pages: 1 Playing, 2 Library, 3 Settings.
    virtual void SelectPage(int page) = 0;
    // The tree node selected now (a category or "<Unclassified>"), if any.
    virtual std::optional<int> SelectedNodeId() const = 0;
    // Lists the items of the selected tree node.
    virtual void ListSelectedNode() = 0;
    // The enabling rules run once the current event has been handled.
    virtual void ScheduleActionUpdate() = 0;

protected:
    ~LibraryPageSeam() = default;
};

} // namespace velmora
