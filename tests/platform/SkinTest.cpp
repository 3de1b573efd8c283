#include "platform/Skin.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>

using velmora::Skin;

// A small skinned window: page tabs, a page panel sharing a tab's name, player
// buttons, a volume trackbar, a mute switch and a status label.
class SkinTest : public QObject {
    Q_OBJECT

private:
    struct Window {
        QWidget root;
        QPushButton* tab1;
        QPushButton* tab2;
        QWidget* page1;
        QPushButton* play;
        QSlider* volume;
        QCheckBox* mute;
        QToolButton* loud;
        QLabel* status;
        QPushButton* unnamed;

        Window()
        {
            auto* layout = new QVBoxLayout(&root);
            page1 = new QWidget(&root);
            page1->setObjectName("tab1");
            tab1 = AddButton(layout, "tab1");
            tab2 = AddButton(layout, "tab2");
            for (QPushButton* tab : {tab1, tab2}) {
                tab->setCheckable(true);
                tab->setAutoExclusive(true);
            }
            play = AddButton(layout, "playbutton");
            volume = new QSlider(Qt::Horizontal, &root);
            volume->setObjectName("volumizer");
            volume->setRange(0, 100);
            volume->setMinimumWidth(200);
            layout->addWidget(volume);
            mute = new QCheckBox("Sound", &root);
            mute->setObjectName("muteswitch");
            layout->addWidget(mute);
            loud = new QToolButton(&root);
            loud->setObjectName("loudswitch");
            loud->setProperty("skinSwitch", true);
            loud->setCheckable(true);
            layout->addWidget(loud);
            status = new QLabel(&root);
            status->setObjectName("statuslabel1");
            layout->addWidget(status);
            unnamed = new QPushButton("no name", &root);
            layout->addWidget(unnamed);
            layout->addWidget(page1);
            root.resize(300, 400);
        }

        QPushButton* AddButton(QVBoxLayout* layout, const char* name)
        {
            auto* button = new QPushButton(name, &root);
            button->setObjectName(name);
            layout->addWidget(button);
            return button;
        }
    };

    static QStringList Names(const QSignalSpy& spy)
    {
        QStringList names;
        for (const QList<QVariant>& call : spy)
            names << call.at(0).toString();
        return names;
    }

private slots:
    void buttonsRaiseMouseDownAndUpWithTheirName()
    {
        Window w;
        Skin skin(&w.root);
        QSignalSpy down(&skin, &Skin::MouseDown);
        QSignalSpy up(&skin, &Skin::MouseUp);
        w.root.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.root));

        QTest::mousePress(w.play, Qt::LeftButton);
        QCOMPARE(Names(down), QStringList{"playbutton"});
        QVERIFY(up.isEmpty());
        QTest::mouseRelease(w.play, Qt::LeftButton);
        QCOMPARE(Names(up), QStringList{"playbutton"});

        // The second press of a double click counts as a press.
        QTest::mouseDClick(w.play, Qt::LeftButton);
        QCOMPARE(Names(down).count("playbutton"), 2);

        // Other buttons of the mouse, widgets without a skin name and disabled objects
        // raise nothing.
        down.clear();
        up.clear();
        QTest::mouseClick(w.play, Qt::RightButton);
        QTest::mouseClick(w.unnamed, Qt::LeftButton);
        w.play->setEnabled(false);
        QTest::mouseClick(w.play, Qt::LeftButton);
        QVERIFY(down.isEmpty());
        QVERIFY(up.isEmpty());

        // A tab is a button, checkable or not.
        QTest::mouseClick(w.tab2, Qt::LeftButton);
        QCOMPARE(Names(down), QStringList{"tab2"});
        QCOMPARE(Names(up), QStringList{"tab2"});
    }

    void trackbarRaisesChangeForUsersAndCode()
    {
        Window w;
        Skin skin(&w.root);
        QSignalSpy change(&skin, &Skin::TrackBarChange);
        QSignalSpy down(&skin, &Skin::MouseDown);
        QSignalSpy up(&skin, &Skin::MouseUp);
        w.root.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.root));

        skin.SetTrackBarValue("volumizer", 50);
        QCOMPARE(change.count(), 1);
        QCOMPARE(change.at(0).at(0).toString(), QString("volumizer"));
        QCOMPARE(change.at(0).at(1).toInt(), 50);
        QCOMPARE(skin.TrackBarValue("volumizer"), 50);

        w.volume->setFocus();
        QTest::keyClick(w.volume, Qt::Key_Right);
        QCOMPARE(change.count(), 2);
        QCOMPARE(change.at(1).at(1).toInt(), 51);

        // Pressing and releasing the trackbar raises the mouse events (seeking uses them).
        QTest::mousePress(w.volume, Qt::LeftButton, {}, QPoint(5, w.volume->height() / 2));
        QTest::mouseRelease(w.volume, Qt::LeftButton, {}, QPoint(5, w.volume->height() / 2));
        QCOMPARE(Names(down), QStringList{"volumizer"});
        QCOMPARE(Names(up), QStringList{"volumizer"});

        QCOMPARE(skin.TrackBarValue("nosuchbar"), 0);
        skin.SetTrackBarValue("playbutton", 3);   // not a trackbar: nothing happens
        QCOMPARE(Names(change).count("playbutton"), 0);
    }

    void switchRaisesChangeForUsersAndCode()
    {
        Window w;
        Skin skin(&w.root);
        QSignalSpy change(&skin, &Skin::SwitchChange);
        w.root.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.root));

        skin.SetSwitchState("muteswitch", true);
        QCOMPARE(change.count(), 1);
        QCOMPARE(change.at(0).at(0).toString(), QString("muteswitch"));
        QCOMPARE(change.at(0).at(1).toBool(), true);
        QVERIFY(skin.SwitchState("muteswitch"));

        QTest::mouseClick(w.mute, Qt::LeftButton, {}, QPoint(5, w.mute->height() / 2));
        QCOMPARE(change.count(), 2);
        QCOMPARE(change.at(1).at(1).toBool(), false);
        QVERIFY(!skin.SwitchState("muteswitch"));

        // Any button marked as a switch is one.
        skin.SetSwitchState("loudswitch", true);
        QCOMPARE(change.count(), 3);
        QCOMPARE(change.at(2).at(0).toString(), QString("loudswitch"));
        // Setting the state a switch already has changes nothing.
        skin.SetSwitchState("loudswitch", true);
        QCOMPARE(change.count(), 3);
    }

    void showButtonPressedKeepsOneTabDownAndRaisesNothing()
    {
        Window w;
        Skin skin(&w.root);
        QSignalSpy down(&skin, &Skin::MouseDown);
        QSignalSpy switched(&skin, &Skin::SwitchChange);

        // "tab1" names both a page panel and a button; the skin object is the button.
        QCOMPARE(skin.FindObject("tab1"), static_cast<QWidget*>(w.tab1));

        skin.ShowButtonPressed("tab1");
        QVERIFY(w.tab1->isChecked());
        skin.ShowButtonPressed("tab2");
        QVERIFY(w.tab2->isChecked());
        QVERIFY(!w.tab1->isChecked());
        skin.ShowButtonPressed("playbutton");
        QVERIFY(w.play->isDown());
        QVERIFY(down.isEmpty());
        QVERIFY(switched.isEmpty());
    }

    void labelsAndEnabling()
    {
        Window w;
        Skin skin(&w.root);
        skin.SetLabelText("statuslabel1", " Lock the program   ");
        QCOMPARE(w.status->text(), QString(" Lock the program   "));
        QCOMPARE(skin.LabelText("statuslabel1"), QString(" Lock the program   "));
        skin.SetObjectEnabled("volumizer", false);
        QVERIFY(!w.volume->isEnabled());
    }

    void refreshAttachesNewObjectsOnce()
    {
        Window w;
        Skin skin(&w.root);
        auto* next = new QPushButton("next", &w.root);
        next->setObjectName("nextbutton");
        auto* progress = new QSlider(Qt::Horizontal, &w.root);
        progress->setObjectName("progressbar");
        progress->setRange(0, 10000);
        w.root.layout()->addWidget(next);
        w.root.layout()->addWidget(progress);
        w.root.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.root));

        QSignalSpy down(&skin, &Skin::MouseDown);
        QSignalSpy change(&skin, &Skin::TrackBarChange);
        QTest::mouseClick(next, Qt::LeftButton);
        QVERIFY(down.isEmpty());

        skin.Refresh();
        skin.Refresh();
        QTest::mouseClick(next, Qt::LeftButton);
        QTest::mouseClick(w.play, Qt::LeftButton);
        QCOMPARE(Names(down), (QStringList{"nextbutton", "playbutton"}));
        skin.SetTrackBarValue("progressbar", 2500);
        QCOMPARE(change.count(), 1);
        QCOMPARE(change.at(0).at(1).toInt(), 2500);
    }
};

QTEST_MAIN(SkinTest)
#include "SkinTest.moc"
