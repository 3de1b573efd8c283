#include "app/StatusLine.h"

#include "catalogue/ItemRows.h"

namespace velmora {

StatusLineTexts StatusLineFor(const ItemCounters& counters, int selectedItems)
{
    StatusLineTexts texts;
    texts.items = counters.ItemsText();
    texts.movies = counters.MoviesText();
    texts.audio = counters.AudioText();
    texts.images = counters.ImagesText();
    texts.slideshowVisible = counters.images > 0;
    texts.saveToDiskEnabled = selectedItems >= 1;
    return texts;
}

} // namespace velmora
