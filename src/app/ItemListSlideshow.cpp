#include "app/ItemListSlideshow.h"

#include "app/ItemListView.h"
#include "store/MediaExtensions.h"

namespace velmora {

int ItemListSlideshow::Count() const
{
    return m_list.RowCount();
}

bool ItemListSlideshow::IsPicture(int row) const
{
    return IsPictureFile(m_list.CellText(row, ItemListView::ColFilename).toStdString());
}

bool ItemListSlideshow::IsSelected(int row) const
{
    return m_list.IsRowSelected(row);
}

int ItemListSlideshow::SelectedRow() const
{
    for (int row = 0; row < m_list.RowCount(); ++row)
        if (m_list.IsRowSelected(row))
            return row;
    return -1;
}

void ItemListSlideshow::Select(int row)
{
    m_list.SetRowSelected(row, true);
}

void ItemListSlideshow::Deselect(int row)
{
    m_list.SetRowSelected(row, false);
}

} // namespace velmora
