// The preview's picture control on screen: where it paints and how it sizes itself.
#include "playback/ImageAspect.h"

#include <QSignalSpy>
#include <QtTest/QtTest>

using namespace velmora;

namespace {

QImage Solid(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A green parent with the control covering it.
struct Stage {
    QWidget parent;
    TImageAspect* control = nullptr;

    explicit Stage(QSize size)
    {
        parent.resize(size);
        QPalette palette = parent.palette();
        palette.setColor(QPalette::Window, Qt::green);
        parent.setPalette(palette);
        parent.setAutoFillBackground(true);
        control = new TImageAspect(&parent);
        control->SetAutoSize(false);
        control->setGeometry(QRect(QPoint(0, 0), size));
    }
    QImage Shot() { return parent.grab().toImage(); }
};

} // namespace

class ImageAspectTest : public QObject {
    Q_OBJECT
private slots:
    void paintsOnlyWhereThePictureGoes();
    void enlargesOnlyWithScalePast100();
    void autoSizeFollowsThePictureUntilResized();
    void reportsDoubleClicks();
};

void ImageAspectTest::paintsOnlyWhereThePictureGoes()
{
    Stage stage(QSize(400, 300));
    stage.control->SetPicture(Solid(200, 600, Qt::red));   // drawn in (150, 0)-(250, 300)
    QCOMPARE(stage.control->TargetRect(), QRect(QPoint(150, 0), QPoint(249, 299)));
    const QImage shot = stage.Shot();
    for (const QPoint inside : {QPoint(150, 0), QPoint(200, 150), QPoint(249, 299)})
        QCOMPARE(QColor(shot.pixel(inside)), QColor(Qt::red));
    for (const QPoint outside : {QPoint(149, 150), QPoint(250, 150), QPoint(10, 10), QPoint(390, 290)})
        QCOMPARE(QColor(shot.pixel(outside)), QColor(Qt::green));

    stage.control->ClearPicture();
    QCOMPARE(QColor(stage.Shot().pixel(200, 150)), QColor(Qt::green));
}

void ImageAspectTest::enlargesOnlyWithScalePast100()
{
    Stage stage(QSize(400, 300));
    QVERIFY(!stage.control->ScalePast100());
    stage.control->SetPicture(Solid(200, 100, Qt::red));
    QImage shot = stage.Shot();
    QCOMPARE(QColor(shot.pixel(100, 100)), QColor(Qt::red));
    QCOMPARE(QColor(shot.pixel(99, 150)), QColor(Qt::green));
    QCOMPARE(QColor(shot.pixel(200, 210)), QColor(Qt::green));

    stage.control->SetScalePast100(true);   // drawn in (0, 50)-(400, 250)
    shot = stage.Shot();
    QCOMPARE(QColor(shot.pixel(0, 50)), QColor(Qt::red));
    QCOMPARE(QColor(shot.pixel(399, 249)), QColor(Qt::red));
    QCOMPARE(QColor(shot.pixel(200, 49)), QColor(Qt::green));
    QCOMPARE(QColor(shot.pixel(200, 250)), QColor(Qt::green));
}

void ImageAspectTest::autoSizeFollowsThePictureUntilResized()
{
    QWidget parent;
    parent.resize(300, 300);
    auto* control = new TImageAspect(&parent);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QCOMPARE(control->size(), QSize(32, 32));
    QVERIFY(control->AutoSize());

    control->SetPicture(Solid(50, 20, Qt::red));
    QCOMPARE(control->size(), QSize(50, 20));
    QVERIFY(control->AutoSize());

    control->resize(60, 60);
    QVERIFY(!control->AutoSize());
    control->SetPicture(Solid(70, 10, Qt::red));
    QCOMPARE(control->size(), QSize(60, 60));
}

void ImageAspectTest::reportsDoubleClicks()
{
    Stage stage(QSize(100, 100));
    stage.parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&stage.parent));
    QSignalSpy doubleClicks(stage.control, &TImageAspect::DblClick);
    QTest::mouseDClick(stage.control, Qt::LeftButton, {}, QPoint(50, 50));
    QCOMPARE(doubleClicks.count(), 1);
}

QTEST_MAIN(ImageAspectTest)
#include "ImageAspectTest.moc"
