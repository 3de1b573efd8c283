#pragma once

#include <string>

namespace velmora {

struct ItemCounters;

// What the Library page's status line shows for the current listing.
struct StatusLineTexts {
    std::string items;    // lblFileInfo1: "1 Item" / "%d Items"
    std::string movies;   // lblFileInfo3: "1 movie" / "%d movies"
    std::string audio;    // lblFileInfo4: "%d audio"
    std::string images;   // lblFileInfo5: "1 image" / "%d images"
    bool slideshowVisible = false;   // the "Slideshow" button: the list holds an image
    bool saveToDiskEnabled = false;  // "Save to Disk...": at least one item selected
};

// Items of unknown kind count only in the total.
StatusLineTexts StatusLineFor(const ItemCounters& counters, int selectedItems);

} // namespace velmora
