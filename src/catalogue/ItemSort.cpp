#include "catalogue/ItemSort.h"

#include <algorithm>
#include <string_view>

namespace velmora {

namespace {

unsigned char LowerAscii(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

int CompareText(std::string_view a, std::string_view b)
{
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = LowerAscii(static_cast<unsigned char>(a[i]));
        const unsigned char y = LowerAscii(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

template <typename T>
int CompareValues(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

void ItemListSort::ColumnClick(int clicked)
{
    direction = clicked == column ? -direction : -1;
    column = clicked;
}

int mainListCompare(const ItemRow& a, const ItemRow& b, int column, int direction)
{
    int result = 0;
    switch (column) {
    case kDescriptionColumn:
        result = CompareText(a.description, b.description);
        break;
    case kFileNameColumn:
        result = CompareText(a.fileName, b.fileName);
        break;
    case kSizeColumn:
        result = CompareValues(a.size, b.size);
        break;
    case kDateAddedColumn:
        result = CompareValues(a.dateAdded, b.dateAdded);   // no date sorts first
        break;
    case kFileTypeColumn:
        result = CompareText(ItemKindText(a.kind), ItemKindText(b.kind));
        break;
    default:
        break;
    }
    return result * direction;
}

} // namespace velmora
