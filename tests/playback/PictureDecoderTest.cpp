// Decoding the library's picture types: real files of each kind, and damaged ones.
#include "playback/PictureDecoder.h"
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
