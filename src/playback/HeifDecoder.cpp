#include "playback/HeifDecoder.h"

#include "playback/ExifOrientation.h"

#include <libheif/heif.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <QTransform>

namespace velmora {

namespace {

struct ContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleRelease {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};

void Check(const heif_error& error)
{
    if (error.code != heif_error_Ok)
        throw std::runtime_error(std::string("Unable to display the picture: ") +
                                 (error.message ? error.message : "not a HEIF picture"));
}

// Loads libheif's decoder plug-ins, once per process, before the first context.
void InitialiseOnce()
{
    static const bool initialised = [] {
        heif_init(nullptr);
        return true;
    }();
    (void)initialised;
}

// The context reads from bytes in place: they must outlive it.
struct PrimaryPicture {
    std::unique_ptr<heif_context, ContextFree> context;
    std::unique_ptr<heif_image_handle, HandleRelease> handle;

    explicit PrimaryPicture(const QByteArray& bytes) : context((InitialiseOnce(), heif_context_alloc()))
    {
        if (!context)
            throw std::bad_alloc();
        Check(heif_context_read_from_memory_without_copy(context.get(), bytes.constData(),
                                                         static_cast<size_t>(bytes.size()), nullptr));
        heif_image_handle* primary = nullptr;
        Check(heif_context_get_primary_image_handle(context.get(), &primary));
        handle.reset(primary);
    }
};

// The Exif orientation to apply to the decoded picture: 1 when the file turns its
// picture with its own properties (libheif has applied them) or has no tag.
int PendingOrientation(const QByteArray& bytes, heif_image_handle* handle)
{
    if (HeifHasOwnTransformation(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))))
        return 1;
    heif_item_id exif = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &exif, 1) < 1)
        return 1;
    std::vector<char> block(heif_image_handle_get_metadata_size(handle, exif));
    if (block.empty() || heif_image_handle_get_metadata(handle, exif, block.data()).code != heif_error_Ok)
        return 1;
    return ExifOrientation(std::string_view(block.data(), block.size()));
}

// Orientations 5 to 8 turn the picture a quarter.
bool TurnsAQuarter(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

// Mirrored and flipped first, then turned a quarter clockwise, as the tag's eight values
// read.
QImage Oriented(const QImage& image, int orientation)
{
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return image.mirrored(true, true);
    case 4:
        return image.mirrored(false, true);
    case 5:
        return image.mirrored(false, true).transformed(QTransform().rotate(90));
    case 6:
        return image.transformed(QTransform().rotate(90));
    case 7:
        return image.mirrored(true, false).transformed(QTransform().rotate(90));
    case 8:
        return image.transformed(QTransform().rotate(270));
    default:
        return image;
    }
}

} // namespace

QImage DecodeHeif(const QByteArray& bytes)
{
    const PrimaryPicture picture(bytes);
    const bool alpha = heif_image_handle_has_alpha_channel(picture.handle.get()) != 0;
    std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    if (!options)
        throw std::bad_alloc();
    options->ignore_transformations = 0;   // rotation and mirroring as the camera recorded them
    heif_image* decoded = nullptr;
    Check(heif_decode_image(picture.handle.get(), &decoded, heif_colorspace_RGB,
                            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get()));
    const std::unique_ptr<heif_image, ImageRelease> image(decoded);

    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!plane || width <= 0 || height <= 0)
        throw std::runtime_error("Unable to display the picture: the HEIF picture has no pixels");

    // Copied out: the QImage outlives libheif's buffer.
    QImage result(width, height, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (result.isNull())
        throw std::bad_alloc();
    const auto rowBytes = static_cast<std::size_t>(width) * (alpha ? 4 : 3);
    for (int y = 0; y < height; ++y)
        std::memcpy(result.scanLine(y), plane + static_cast<std::ptrdiff_t>(y) * stride, rowBytes);
    return Oriented(result, PendingOrientation(bytes, picture.handle.get()));
}

QSize HeifSize(const QByteArray& bytes)
{
    try {
        const PrimaryPicture picture(bytes);
        QSize size(heif_image_handle_get_width(picture.handle.get()), heif_image_handle_get_height(picture.handle.get()));
        if (TurnsAQuarter(PendingOrientation(bytes, picture.handle.get())))
            size.transpose();
        return size;
    } catch (const std::runtime_error&) {
        return QSize();
    }
}

} // namespace velmora
