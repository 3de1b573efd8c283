#include "playback/WmfDecoder.h"

// Qt's headers go before libwmf's: libwmf's type headers define names that clash
// with Qt's when they come first.
#include <QPainter>
#include <QSvgRenderer>

#include <libwmf/api.h>
#include <libwmf/svg.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace velmora {

namespace {

// A damaged frame can ask for an absurd size; beyond this the picture is scaled down
// (aspect kept) rather than allocated.
constexpr double kMaxSide = 4096;

[[noreturn]] void Fail(const std::string& reason)
{
    throw std::runtime_error("Unable to display the picture: " + reason);
}

std::string ErrorText(wmf_error_t error)
{
    switch (error) {
    case wmf_E_InsMem:
        return "there is not enough memory to draw the metafile";
    case wmf_E_BadFormat:
        return "the metafile is damaged";
    case wmf_E_EOF:
        return "the metafile ends too early";
    case wmf_E_BadFile:
        return "the metafile cannot be read";
    default:
        return "the metafile cannot be drawn (libwmf error " + std::to_string(static_cast<int>(error)) + ")";
    }
}

void Check(wmf_error_t error)
{
    if (error != wmf_E_None)
        Fail(ErrorText(error));
}

// One libwmf session with the SVG device; everything libwmf allocated for it, the
// SVG text included, goes with wmf_api_destroy.
class WmfSession {
public:
    WmfSession()
    {
        wmfAPI_Options options{};
        options.function = wmf_svg_function;
        // Errors come back as codes; libwmf is not to print anything itself.
        const unsigned long flags =
            WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
        const wmf_error_t error = wmf_api_create(&m_api, flags, &options);
        if (error != wmf_E_None) {
            if (m_api)
                wmf_api_destroy(m_api);
            Fail(ErrorText(error));
        }
    }
    ~WmfSession()
    {
        if (m_opened)
            wmf_mem_close(m_api);
        wmf_api_destroy(m_api);
    }
    WmfSession(const WmfSession&) = delete;
    WmfSession& operator=(const WmfSession&) = delete;

    // libwmf reads the bytes in place; they must outlive the session.
    void Open(const QByteArray& bytes)
    {
        // libwmf only reads, but takes a mutable pointer.
        auto* data = reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.constData()));
        Check(wmf_mem_open(m_api, data, static_cast<long>(bytes.size())));
        m_opened = true;
    }

    wmfAPI* Api() const { return m_api; }

private:
    wmfAPI* m_api = nullptr;
    bool m_opened = false;
};

std::uint32_t Get16(const QByteArray& bytes, qsizetype at)
{
    return static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 1])) << 8;
}

std::uint32_t Get32(const QByteArray& bytes, qsizetype at)
{
    return Get16(bytes, at) | Get16(bytes, at + 2) << 16;
}

void Put32(QByteArray& bytes, qsizetype at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void Append16(QByteArray& bytes, int value)
{
    bytes.append(static_cast<char>(value & 0xFF));
    bytes.append(static_cast<char>((value >> 8) & 0xFF));
}

// libwmf's bounding box is that of what the records draw, so a drawing with margins
// would be stretched over the whole picture. To place it inside the metafile's frame,
// the frame is measured in libwmf's own device units: a copy of the metafile with
// two pixels set just inside the frame's corners (before its end record) is scanned.
// The frame in the records' units is the window the metafile sets, which playback
// maps onto the placeable header's box, or else that box itself. Nothing when there
// is no placeable header or the records cannot be walked.
std::optional<QByteArray> WithFrameCorners(const QByteArray& bytes)
{
    constexpr qsizetype kPlaceableSize = 22;
    constexpr qsizetype kHeaderSize = 18;
    if (bytes.size() < kPlaceableSize + kHeaderSize || Get32(bytes, 0) != 0x9AC6CDD7u ||
        Get16(bytes, kPlaceableSize + 2) != 9)
        return std::nullopt;
    auto signed16 = [&](qsizetype at) { return static_cast<int>(static_cast<std::int16_t>(Get16(bytes, at))); };
    int x1 = signed16(6);
    int y1 = signed16(8);
    int x2 = signed16(10);
    int y2 = signed16(12);

    std::optional<std::pair<int, int>> windowOrigin;
    std::optional<std::pair<int, int>> windowExtent;
    qsizetype end = -1;
    for (qsizetype at = kPlaceableSize + kHeaderSize; at + 6 <= bytes.size();) {
        const std::uint32_t words = Get32(bytes, at);
        const std::uint32_t function = Get16(bytes, at + 4);
        if (function == 0) {
            end = at;
            break;
        }
        if (words < 3 || words > static_cast<std::uint32_t>((bytes.size() - at) / 2))
            return std::nullopt;
        // META_SETWINDOWORG and META_SETWINDOWEXT, y before x; the first of each counts.
        if (words >= 5 && function == 0x020B && !windowOrigin)
            windowOrigin = std::pair(signed16(at + 8), signed16(at + 6));
        if (words >= 5 && function == 0x020C && !windowExtent)
            windowExtent = std::pair(signed16(at + 8), signed16(at + 6));
        at += static_cast<qsizetype>(words) * 2;
    }
    if (end < 0)
        return std::nullopt;
    if (windowExtent) {
        const auto [originX, originY] = windowOrigin.value_or(std::pair(0, 0));
        x1 = originX;
        y1 = originY;
        x2 = originX + windowExtent->first;
        y2 = originY + windowExtent->second;
    }
    const int left = std::min(x1, x2);
    const int right = std::max(x1, x2);
    const int top = std::min(y1, y2);
    const int bottom = std::max(y1, y2);
    if (right - left < 2 || bottom - top < 2)
        return std::nullopt;

    // META_SETPIXEL: colour, y, x. libwmf widens a pixel by one unit each way.
    QByteArray corners;
    for (const auto& [x, y] : {std::pair(left + 1, top + 1), std::pair(right - 1, bottom - 1)}) {
        Append16(corners, 7);
        Append16(corners, 0);
        Append16(corners, 0x041F);
        Append16(corners, 0);
        Append16(corners, 0);
        Append16(corners, y);
        Append16(corners, x);
    }
    QByteArray probe = bytes;
    probe.insert(end, corners);
    // The standard header's file size in words, and its largest record.
    Put32(probe, kPlaceableSize + 6, Get32(probe, kPlaceableSize + 6) + static_cast<std::uint32_t>(corners.size() / 2));
    Put32(probe, kPlaceableSize + 12, std::max<std::uint32_t>(Get32(probe, kPlaceableSize + 12), 7));
    return probe;
}

bool HasArea(const wmfD_Rect& box)
{
    const double width = box.BR.x - box.TL.x;
    const double height = box.BR.y - box.TL.y;
    return width > 0 && height > 0 && std::isfinite(width) && std::isfinite(height);
}

// The frame of the metafile in libwmf's device units, when it can be measured.
std::optional<wmfD_Rect> FrameBox(const QByteArray& bytes)
{
    const std::optional<QByteArray> probe = WithFrameCorners(bytes);
    if (!probe)
        return std::nullopt;
    try {
        WmfSession session;
        session.Open(*probe);
        wmfD_Rect box{};
        if (wmf_scan(session.Api(), 0, &box) != wmf_E_None || !HasArea(box))
            return std::nullopt;
        return box;
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

QSize PictureSize(wmfAPI* api, const wmfD_Rect& box)
{
    unsigned int width = 0;
    unsigned int height = 0;
    Check(wmf_display_size(api, &width, &height, 96, 96));
    double w = width;
    double h = height;
    if (w < 1 || h < 1) {
        // No frame of its own: the drawing's box, in points, at 96 dots per inch.
        w = (box.BR.x - box.TL.x) * 96.0 / 72.0;
        h = (box.BR.y - box.TL.y) * 96.0 / 72.0;
    }
    const double scale = std::min(1.0, kMaxSide / std::max(w, h));
    return QSize(std::max(1, static_cast<int>(w * scale)), std::max(1, static_cast<int>(h * scale)));
}

} // namespace

QImage DecodeWmf(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        Fail("the metafile is empty");

    // Measured first: one libwmf session at a time.
    const std::optional<wmfD_Rect> frame = FrameBox(bytes);
    QByteArray svg;
    QSize size;
    {
        WmfSession session;
        session.Open(bytes);
        wmfAPI* api = session.Api();

        wmfD_Rect box{};
        Check(wmf_scan(api, 0, &box));
        if (!HasArea(box))
            Fail("the metafile draws nothing");
        if (frame)
            box = *frame;
        size = PictureSize(api, box);

        wmf_svg_t* device = WMF_SVG_GetData(api);
        device->bbox = box;
        device->width = static_cast<unsigned int>(size.width());
        device->height = static_cast<unsigned int>(size.height());
        device->Description = nullptr;
        device->out = wmf_stream_create(api, nullptr);
        if (device->out == nullptr)
            Fail(ErrorText(wmf_E_InsMem));
        const wmf_error_t played = wmf_play(api, 0, &box);
        char* text = nullptr;
        unsigned long length = 0;
        wmf_stream_destroy(api, device->out, &text, &length);
        device->out = nullptr;
        Check(played);
        if (text == nullptr || length == 0)
            Fail("the metafile draws nothing");
        svg = QByteArray(text, static_cast<qsizetype>(length));
    }

    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        Fail("the metafile's drawing cannot be rendered");
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        Fail(ErrorText(wmf_E_InsMem));
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return image;
}

} // namespace velmora
