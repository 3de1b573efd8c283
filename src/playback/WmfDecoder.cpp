#include "playback/WmfDecoder.h"

// Qt's headers go before libwmf's: libwmf's type headers define names that clash
// with Qt's when they come first.
#include <QPainter>
#include <QSvgRenderer>

#include <libwmf/api.h>
#include <libwmf/svg.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

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

    QByteArray svg;
    QSize size;
    {
        WmfSession session;
        session.Open(bytes);
        wmfAPI* api = session.Api();

        wmfD_Rect box{};
        Check(wmf_scan(api, 0, &box));
        const double boxWidth = box.BR.x - box.TL.x;
        const double boxHeight = box.BR.y - box.TL.y;
        if (!(boxWidth > 0) || !(boxHeight > 0) || !std::isfinite(boxWidth) || !std::isfinite(boxHeight))
            Fail("the metafile draws nothing");
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
