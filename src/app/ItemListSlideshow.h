#pragma once

#include "playback/Slideshow.h"

namespace velmora {

class ItemListView;

// The item list as the slideshow walks it: pictures by their file name, moved through
// by the list's own selection.
class ItemListSlideshow : public SlideshowList {
public:
    explicit ItemListSlideshow(ItemListView& list) : m_list(list) {}

    int Count() const override;
    bool IsPicture(int row) const override;
    bool IsSelected(int row) const override;
    int SelectedRow() const override;
    void Select(int row) override;
    void Deselect(int row) override;

private:
    ItemListView& m_list;
};

} // namespace velmora
