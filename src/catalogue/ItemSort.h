#pragma once

#include "catalogue/ItemRows.h"

namespace velmora {

// Columns of the detail list.
enum ItemListColumn {
    kDescriptionColumn = 0,
    kFileNameColumn = 1,
    kSizeColumn = 2,
    kDateAddedColumn = 3,
    kFileTypeColumn = 4,
};

// The list's sort state, kept across refills: column and direction (+1 or -1).
struct ItemListSort {
    int column = kDescriptionColumn;
    int direction = -1;

    // A click on the current column flips the direction; another column sorts
    // descending. So the first click on "Description" sorts ascending.
    void ColumnClick(int clicked);
};

// -1, 0 or +1 times direction. Text columns compare with ASCII letters lower-cased,
// then byte by byte; "Size" by byte count; "Date Added" by date, an item without a
// date before every dated one.
int mainListCompare(const ItemRow& a, const ItemRow& b, int column, int direction);

} // namespace velmora
