// Decoding the library's picture types: real files of each kind, the way up a camera
// took them, and damaged ones.
#include "app/ThumbnailImage.h"
#include "playback/PictureDecoder.h"
#include "playback/PrintPicture.h"
#include "playback/TestMedia.h"
#include "playback/TestPictures.h"
#include "store/MemoryStream.h"

#include <QtTest/QtTest>

#include <random>
#include <stdexcept>
#include <string>

using namespace velmora;
using namespace velmora::test;

namespace {

QImage Decode(const std::string& extension, const std::string& bytes)
{
    MemoryStream stream(bytes);
    return DecodePicture(extension, stream);
}

// The text the preview pane would show, or empty when the picture decoded.
QString FailureText(const std::string& extension, const std::string& bytes)
{
    try {
        Decode(extension, bytes);
    } catch (const std::runtime_error& error) {
        return QString::fromStdString(error.what());
    }
    return {};
}

bool IsNear(QRgb pixel, QColor expected)
{
    return qAbs(qRed(pixel) - expected.red()) < 40 && qAbs(qGreen(pixel) - expected.green()) < 40 &&
           qAbs(qBlue(pixel) - expected.blue()) < 40;
}

} // namespace

class PictureDecoderTest : public QObject {
    Q_OBJECT
private slots:
    void decodesRasterPictures_data();
    void decodesRasterPictures();
    void decodesFromTheStreamPosition();
    void picturesAreShownTheWayUpTheyWereTaken_data();
    void picturesAreShownTheWayUpTheyWereTaken();
    void printedPicturesAreUprightAndReadable();
    void metafileDrawsItsRecords();
    void metafileTakesItsOwnSize();
    void metafileKeepsItsMargins_data();
    void metafileKeepsItsMargins();
    void metafileWithAnAbsurdFrameIsScaledDown();
    void damagedDataRaisesAReadableError_data();
    void damagedDataRaisesAReadableError();
    void everyTruncatedMetafileFails();
    void corruptedMetafilesNeverCrash();
};

void PictureDecoderTest::decodesRasterPictures_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");
    const QImage picture = TwoColourPicture(40, 30);
    auto row = [](const char* name, const char* extension, const std::string& bytes, QSize size) {
        QTest::newRow(name) << extension << QByteArray::fromStdString(bytes) << size;
    };
    row("JPG", ".JPG", EncodedPicture(picture, "JPG"), QSize(40, 30));
    row("JPEG", ".JPEG", EncodedPicture(picture, "JPG"), QSize(40, 30));
    row("BMP", ".BMP", EncodedPicture(picture, "BMP"), QSize(40, 30));
    row("GIF", ".GIF", GifBytes(), QSize(4, 2));
    // Today's pictures, as the tools people's pictures come from write them.
    const std::string png = EncodedPicture(picture, "PNG");
    for (const char* extension : {".png", ".webp", ".tif", ".tiff", ".heic", ".heif"}) {
        const std::string upper = QString(extension).toUpper().toStdString();
        QTest::newRow(extension) << QString::fromStdString(upper)
                                 << QByteArray::fromStdString(MakeTodaysPicture(png, extension))
                                 << QSize(40, 30);
    }
}

void PictureDecoderTest::decodesRasterPictures()
{
    QFETCH(QString, extension);
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    const QImage image = Decode(extension.toStdString(), bytes.toStdString());
    QCOMPARE(image.size(), size);
    for (int y = 0; y < size.height(); ++y) {
        QVERIFY2(IsNear(image.pixel(0, y), Qt::red), qPrintable(QString::number(image.pixel(0, y), 16)));
        QVERIFY(IsNear(image.pixel(size.width() - 1, y), Qt::blue));
    }
}

void PictureDecoderTest::decodesFromTheStreamPosition()
{
    MemoryStream stream("leading bytes" + EncodedPicture(TwoColourPicture(8, 6), "BMP"));
    stream.SetPosition(13);
    QCOMPARE(DecodePicture(".BMP", stream).size(), QSize(8, 6));
}

void PictureDecoderTest::picturesAreShownTheWayUpTheyWereTaken_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("redSide");   // where the stored picture's red left half shows
    // Stored 64 x 48, red left and blue right; the tag says how the camera was held.
    const std::string png = EncodedPicture(TwoColourPicture(64, 48), "PNG");
    const struct {
        int orientation;
        const char* redSide;
    } turns[] = {{1, "left"}, {3, "right"}, {6, "top"}, {8, "bottom"}};
    for (const char* extension : {".jpg", ".tif", ".heic"}) {
        for (const auto& turn : turns) {
            QTest::addRow("%s, orientation %d", extension, turn.orientation)
                << QString(extension).toUpper()
                << QByteArray::fromStdString(MakeTodaysPicture(png, extension, turn.orientation)) << turn.redSide;
        }
    }
}

// The preview, the slideshow and the play list decode through DecodePicture, the
// thumbnails through MakeThumbnailImage: both show the picture upright.
void PictureDecoderTest::picturesAreShownTheWayUpTheyWereTaken()
{
    QFETCH(QString, extension);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, redSide);
    const bool upright = redSide == "left" || redSide == "right";
    // A point well inside the red half and one inside the blue half, in a picture of size.
    const auto halves = [&](QSize size) {
        const int w = size.width();
        const int h = size.height();
        if (redSide == "left")
            return std::pair{QPoint(w / 4, h / 2), QPoint(3 * w / 4, h / 2)};
        if (redSide == "right")
            return std::pair{QPoint(3 * w / 4, h / 2), QPoint(w / 4, h / 2)};
        if (redSide == "top")
            return std::pair{QPoint(w / 2, h / 4), QPoint(w / 2, 3 * h / 4)};
        return std::pair{QPoint(w / 2, 3 * h / 4), QPoint(w / 2, h / 4)};
    };

    const QImage shown = Decode(extension.toStdString(), bytes.toStdString());
    QCOMPARE(shown.size(), upright ? QSize(64, 48) : QSize(48, 64));
    const auto [red, blue] = halves(shown.size());
    QVERIFY2(IsNear(shown.pixel(red), Qt::red), qPrintable(QString::number(shown.pixel(red), 16)));
    QVERIFY2(IsNear(shown.pixel(blue), Qt::blue), qPrintable(QString::number(shown.pixel(blue), 16)));

    // The thumbnail: the picture fitted into the 64 x 64 cell as shown, centred.
    MemoryStream stream(bytes.toStdString());
    const QImage cell = MakeThumbnailImage(extension.toStdString(), stream);
    const QRect placed = upright ? QRect(0, 8, 64, 48) : QRect(8, 0, 48, 64);
    const auto [cellRed, cellBlue] = halves(placed.size());
    QVERIFY2(IsNear(cell.pixel(placed.topLeft() + cellRed), Qt::red),
             qPrintable(QString::number(cell.pixel(placed.topLeft() + cellRed), 16)));
    QVERIFY(IsNear(cell.pixel(placed.topLeft() + cellBlue), Qt::blue));
    // Outside the picture the cell stays transparent.
    const QPoint outside = upright ? QPoint(32, 2) : QPoint(2, 32);
    QCOMPARE(qAlpha(cell.pixel(outside)), 0);
}

// The print command reads JPEG, TIFF and PNG but not a camera's tag, nor WebP or HEIC.
void PictureDecoderTest::printedPicturesAreUprightAndReadable()
{
    const std::string png = EncodedPicture(TwoColourPicture(64, 48), "PNG");
    const struct {
        const char* extension;
        int orientation;
        bool converted;
    } cases[] = {{".jpg", 1, false}, {".tif", 1, false}, {".png", 1, false}, {".jpg", 6, true},
                 {".tif", 6, true},  {".heic", 6, true}, {".heic", 1, true}, {".webp", 1, true}};
    for (const auto& c : cases) {
        const QString what = QString("%1, orientation %2").arg(c.extension).arg(c.orientation);
        const std::string upper = QString(c.extension).toUpper().toStdString();
        const auto copy = UprightPrintCopy(upper, MakeTodaysPicture(png, c.extension, c.orientation));
        QVERIFY2(copy.has_value() == c.converted, qPrintable(what));
        if (!copy)
            continue;
        QCOMPARE(QString::fromStdString(copy->extension), QString(".PNG"));
        const QImage printed = QImage::fromData(QByteArray::fromStdString(copy->bytes), "PNG");
        const bool turned = c.orientation == 6;
        QVERIFY2(printed.size() == (turned ? QSize(48, 64) : QSize(64, 48)), qPrintable(what));
        // Red on top once turned, on the left as stored.
        QVERIFY2(IsNear(printed.pixel(turned ? QPoint(24, 16) : QPoint(16, 24)), Qt::red), qPrintable(what));
        QVERIFY2(IsNear(printed.pixel(turned ? QPoint(24, 48) : QPoint(48, 24)), Qt::blue), qPrintable(what));
    }
    // Not a picture, or damaged: handed over as it is.
    QVERIFY(!UprightPrintCopy(".MP4", "movie").has_value());
    QVERIFY(!UprightPrintCopy(".HEIC", "not a picture").has_value());
}

void PictureDecoderTest::metafileDrawsItsRecords()
{
    const QImage image = Decode(".WMF", RectangleWmf());
    QCOMPARE(image.size(), QSize(100, 50));
    // Inside the red rectangle (10,10)-(60,40), and the blue background around it.
    for (const QPoint inside : {QPoint(12, 12), QPoint(35, 25), QPoint(57, 37)})
        QVERIFY2(IsNear(image.pixel(inside), Qt::red), qPrintable(QString::number(image.pixel(inside), 16)));
    for (const QPoint outside : {QPoint(3, 3), QPoint(35, 5), QPoint(80, 25), QPoint(35, 46), QPoint(97, 47)})
        QVERIFY2(IsNear(image.pixel(outside), Qt::blue), qPrintable(QString::number(image.pixel(outside), 16)));
}

void PictureDecoderTest::metafileTakesItsOwnSize()
{
    // The same frame at 48 units per inch is twice as large on a 96-dot screen.
    const QImage image = Decode(".WMF", RectangleWmf(48));
    QCOMPARE(image.size(), QSize(200, 100));
    QVERIFY(IsNear(image.pixel(70, 50), Qt::red));
    QVERIFY(IsNear(image.pixel(160, 50), Qt::blue));
}

void PictureDecoderTest::metafileKeepsItsMargins_data()
{
    // A red rectangle on nothing else: it stays where it is inside the frame, with
    // the white margins around it, instead of being stretched over the picture.
    QTest::addColumn<QByteArray>("wmf");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("red");
    QTest::newRow("logical units as dots") << QByteArray::fromStdString(WmfWriter(0, 0, 100, 50, 96)
                                                                             .WindowOrigin(0, 0)
                                                                             .NullPen(0)
                                                                             .SolidBrush(Qt::red, 1)
                                                                             .Rectangle(10, 10, 60, 40)
                                                                             .Bytes(2))
                                           << QSize(100, 50) << QRect(QPoint(10, 10), QPoint(59, 39));
    // A 100 x 50 window shown in a 200 x 100 frame: everything twice as large.
    QTest::newRow("window mapped onto the frame") << QByteArray::fromStdString(WmfWriter(0, 0, 200, 100, 96)
                                                                                   .MapMode(8)
                                                                                   .WindowOrigin(0, 0)
                                                                                   .WindowExtent(100, 50)
                                                                                   .NullPen(0)
                                                                                   .SolidBrush(Qt::red, 1)
                                                                                   .Rectangle(10, 10, 60, 40)
                                                                                   .Bytes(2))
                                                  << QSize(200, 100) << QRect(QPoint(20, 20), QPoint(119, 79));
}

void PictureDecoderTest::metafileKeepsItsMargins()
{
    QFETCH(QByteArray, wmf);
    QFETCH(QSize, size);
    QFETCH(QRect, red);
    const QImage image = Decode(".WMF", wmf.toStdString());
    QCOMPARE(image.size(), size);
    // Two dots inside each edge of the rectangle are red, two dots outside white.
    const QRect inside = red.adjusted(2, 2, -2, -2);
    const QRect outside = red.adjusted(-3, -3, 3, 3);
    const QPoint centre = red.center();
    for (const QPoint p : {inside.topLeft(), inside.bottomRight(), centre})
        QVERIFY2(IsNear(image.pixel(p), Qt::red), qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
    for (const QPoint p : {outside.topLeft(), outside.bottomRight(), QPoint(outside.left(), centre.y()),
                           QPoint(outside.right(), centre.y()), QPoint(centre.x(), outside.top()),
                           QPoint(centre.x(), outside.bottom()), QPoint(1, 1), QPoint(size.width() - 2, size.height() - 2)})
        QVERIFY2(IsNear(image.pixel(p), Qt::white), qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
}

void PictureDecoderTest::metafileWithAnAbsurdFrameIsScaledDown()
{
    // 30000 x 15000 inches would be a picture of 2,880,000 x 1,440,000 dots.
    const std::string wmf = WmfWriter(0, 0, 30000, 15000, 1)
                                .WindowExtent(30000, 15000)
                                .NullPen(0)
                                .SolidBrush(Qt::red, 1)
                                .Rectangle(0, 0, 30000, 15000)
                                .Bytes(2);
    const QImage image = Decode(".WMF", wmf);
    QCOMPARE(image.size(), QSize(4096, 2048));
    QVERIFY(IsNear(image.pixel(2048, 1024), Qt::red));
}

void PictureDecoderTest::damagedDataRaisesAReadableError_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QByteArray>("bytes");
    const std::string garbage = "this is not a picture at all, just some words";
    const std::string jpeg = EncodedPicture(TwoColourPicture(40, 30), "JPG");
    const std::string bmp = EncodedPicture(TwoColourPicture(40, 30), "BMP");
    auto row = [](const char* name, const char* extension, const std::string& bytes) {
        QTest::newRow(name) << extension << QByteArray::fromStdString(bytes);
    };
    for (const char* extension : {".GIF", ".JPG", ".JPEG", ".BMP", ".WMF"}) {
        row(qPrintable(QStringLiteral("%1 empty").arg(QLatin1String(extension))), extension, {});
        row(qPrintable(QStringLiteral("%1 garbage").arg(QLatin1String(extension))), extension, garbage);
    }
    row("JPEG header only", ".JPG", jpeg.substr(0, 20));
    row("BMP file header only", ".BMP", bmp.substr(0, 14));
    row("GIF screen only", ".GIF", GifBytes().substr(0, 13));
    row("JPEG under a BMP name", ".BMP", jpeg);
    std::string wrongKey = RectangleWmf();
    wrongKey[0] = 'X';
    row("WMF with a broken header key", ".WMF", wrongKey);
    row("WMF that draws nothing", ".WMF", WmfWriter(0, 0, 100, 50, 96).Bytes(0));
    row("unknown kind", ".EMF", RectangleWmf());
}

void PictureDecoderTest::damagedDataRaisesAReadableError()
{
    QFETCH(QString, extension);
    QFETCH(QByteArray, bytes);
    const QString text = FailureText(extension.toStdString(), bytes.toStdString());
    QVERIFY2(text.startsWith(QStringLiteral("Unable to display")), qPrintable(text));
    QVERIFY(text.size() > QStringLiteral("Unable to display").size() + 5);
}

void PictureDecoderTest::everyTruncatedMetafileFails()
{
    const std::string wmf = RectangleWmf();
    for (std::size_t length = 0; length < wmf.size(); ++length)
        QVERIFY2(!FailureText(".WMF", wmf.substr(0, length)).isEmpty(), qPrintable(QString::number(length)));
}

void PictureDecoderTest::corruptedMetafilesNeverCrash()
{
    // Random damage to a few bytes: each copy either draws or is refused with a
    // readable error; anything else (a crash, another exception) fails the test.
    const std::string wmf = RectangleWmf();
    std::mt19937 random(20261210);
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        std::string damaged = wmf;
        for (int hits = 1 + static_cast<int>(random() % 4); hits > 0; --hits)
            damaged[random() % damaged.size()] = static_cast<char>(random());
        try {
            const QImage image = Decode(".WMF", damaged);
            QVERIFY(!image.isNull());
        } catch (const std::runtime_error& error) {
            QVERIFY(std::string(error.what()).starts_with("Unable to display"));
            ++refused;
        }
    }
    QVERIFY(refused > 0);
}

QTEST_MAIN(PictureDecoderTest)
#include "PictureDecoderTest.moc"
