#pragma once

#include <span>
#include <string>
#include <string_view>

namespace velmora {

// What an accepted file is, by its extension.
enum class MediaKind {
    Picture,
    Sound,
    Movie,
    Other,   // accepted and stored, but neither shown nor played as a picture (".EMF")
};

// One accepted extension. Every decision by extension reads this table.
struct MediaType {
    std::string_view extension;   // upper case, with its dot: ".JPG"
    MediaKind kind;
    // Pictures: the decoder that reads them ("jpeg", "png", "heif", "wmf", ...);
    // empty for the rest.
    std::string_view decoder;
    // Pictures handed to the printer; metafiles are not.
    bool printable;
};

// The 28 extensions the library has always taken, in their own order, then the
// formats of today's phones, cameras and music folders.
std::span<const MediaType> MediaTypes();

// The upper-case extension of a file name, with its dot (".JPG"); empty when none.
std::string UpperExtension(std::string_view fileName);
// The entry of the file name's extension; nullptr when the library does not take it.
const MediaType* FindMediaType(std::string_view fileName);
// An extension the library accepts.
bool IsSupportedMediaFile(std::string_view fileName);
// A picture: previewed, shown in slideshows and as thumbnails, kept off the legacy
// player's play list.
bool IsPictureFile(std::string_view fileName);

} // namespace velmora
