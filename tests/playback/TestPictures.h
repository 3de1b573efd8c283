#pragma once

// Small real pictures for decoder and preview tests: raster files written by Qt's own
// writers, metafiles written record by record.
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace velmora::test {

// A picture with a red left half and a blue right half.
inline QImage TwoColourPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, Qt::red);
    return image;
}

// The picture in a file format Qt writes ("GIF" is not among them: see GifBytes).
inline std::string EncodedPicture(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format))
        qFatal("cannot write a %s picture", format);
    return bytes.toStdString();
}

// A 4 x 2 GIF, red left half and blue right half, written byte by byte (Qt reads GIF
// but does not write it).
inline std::string GifBytes()
{
    const unsigned char gif[] = {
        'G', 'I', 'F', '8', '9', 'a', 4, 0, 2, 0,   // screen 4 x 2
        0x80, 0, 0,                                 // global colour table of 2 entries
        0xFF, 0, 0, 0, 0, 0xFF,                     // red, blue
        0x2C, 0, 0, 0, 0, 4, 0, 2, 0, 0,            // image at (0,0), 4 x 2
        2,                                          // LZW minimum code size
        5, 0x04, 0x98, 0x10, 0x60, 0x52,            // 3-bit codes: clear 0 0 clear 1 1 clear 0 0 clear 1 1 end
        0,                                          // end of the image data
        0x3B,                                       // trailer
    };
    return std::string(reinterpret_cast<const char*>(gif), sizeof gif);
}

// A Windows metafile built record by record.
class WmfWriter {
public:
    // Placeable header: the frame in logical units and the units per inch.
    WmfWriter(int left, int top, int right, int bottom, int unitsPerInch)
        : m_left(left), m_top(top), m_right(right), m_bottom(bottom), m_inch(unitsPerInch)
    {
    }

    WmfWriter& Record(std::uint16_t function, std::initializer_list<int> params)
    {
        std::string record;
        Put32(record, static_cast<std::uint32_t>(3 + params.size()));
        Put16(record, function);
        for (int param : params)
            Put16(record, static_cast<std::uint16_t>(param));
        m_records.push_back(record);
        return *this;
    }
    WmfWriter& MapMode(int mode) { return Record(0x0103, {mode}); }
    WmfWriter& WindowOrigin(int x, int y) { return Record(0x020B, {y, x}); }
    WmfWriter& WindowExtent(int x, int y) { return Record(0x020C, {y, x}); }
    // A solid brush, created and selected as object `index`.
    WmfWriter& SolidBrush(QColor colour, int index)
    {
        const std::uint32_t ref = ColourRef(colour);
        Record(0x02FC, {0, static_cast<int>(ref & 0xFFFF), static_cast<int>(ref >> 16), 0});
        return Record(0x012D, {index});
    }
    // An invisible pen, created and selected as object `index`.
    WmfWriter& NullPen(int index)
    {
        Record(0x02FA, {5, 0, 0, 0, 0});
        return Record(0x012D, {index});
    }
    WmfWriter& Rectangle(int left, int top, int right, int bottom)
    {
        return Record(0x041B, {bottom, right, top, left});
    }

    // The whole file; objects is the number of objects the records create.
    std::string Bytes(int objects) const
    {
        std::vector<std::string> records = m_records;
        std::string eof;
        Put32(eof, 3);
        Put16(eof, 0);
        records.push_back(eof);
        std::string body;
        std::size_t largest = 0;
        for (const std::string& record : records) {
            body += record;
            largest = std::max(largest, record.size() / 2);
        }

        std::string placeable;
        Put32(placeable, 0x9AC6CDD7u);
        Put16(placeable, 0);
        Put16(placeable, static_cast<std::uint16_t>(m_left));
        Put16(placeable, static_cast<std::uint16_t>(m_top));
        Put16(placeable, static_cast<std::uint16_t>(m_right));
        Put16(placeable, static_cast<std::uint16_t>(m_bottom));
        Put16(placeable, static_cast<std::uint16_t>(m_inch));
        Put32(placeable, 0);
        std::uint16_t checksum = 0;
        for (std::size_t i = 0; i < placeable.size(); i += 2)
            checksum ^= static_cast<std::uint16_t>(static_cast<unsigned char>(placeable[i]) |
                                                   static_cast<unsigned char>(placeable[i + 1]) << 8);
        Put16(placeable, checksum);

        std::string header;
        Put16(header, 1);        // in a file
        Put16(header, 9);        // header words
        Put16(header, 0x0300);   // version
        Put32(header, static_cast<std::uint32_t>((18 + body.size()) / 2));
        Put16(header, static_cast<std::uint16_t>(objects));
        Put32(header, static_cast<std::uint32_t>(largest));
        Put16(header, 0);
        return placeable + header + body;
    }

private:
    static std::uint32_t ColourRef(QColor colour)
    {
        return static_cast<std::uint32_t>(colour.red()) | static_cast<std::uint32_t>(colour.green()) << 8 |
               static_cast<std::uint32_t>(colour.blue()) << 16;
    }
    static void Put16(std::string& out, std::uint16_t value)
    {
        out += static_cast<char>(value & 0xFF);
        out += static_cast<char>(value >> 8);
    }
    static void Put32(std::string& out, std::uint32_t value)
    {
        Put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
        Put16(out, static_cast<std::uint16_t>(value >> 16));
    }

    int m_left, m_top, m_right, m_bottom, m_inch;
    std::vector<std::string> m_records;
};

// A 100 x 50 metafile at 96 units per inch: blue all over, a red rectangle from
// (10, 10) to (60, 40).
inline std::string RectangleWmf(int unitsPerInch = 96)
{
    return WmfWriter(0, 0, 100, 50, unitsPerInch)
        .WindowOrigin(0, 0)
        .WindowExtent(100, 50)
        .NullPen(0)
        .SolidBrush(Qt::blue, 1)
        .Rectangle(0, 0, 100, 50)
        .SolidBrush(Qt::red, 2)
        .Rectangle(10, 10, 60, 40)
        .Bytes(3);
}

} // namespace velmora::test
