// The Playing page's player with real items: each kind the user double-clicks plays
// through the stream server to its end on a private PulseAudio null sink; the
// commands follow their state rules; volume and mute; the legacy control.
#include "PlayerWindow.h"
#include "PulseAudioNullSink.h"
#include "TestMedia.h"

#include "platform/MachineInfo.h"
#include "platform/Skin.h"
#include "playback/LegacyMediaPlayer.h"
#include "playback/MediaEngine.h"
#include "playback/ModernMediaPlayer.h"
#include "playback/PlayerHost.h"
#include "settings/PlayerSettingsGroup.h"

#include <QAbstractSlider>
#include <QAudio>
#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QRadioButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest/QtTest>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

using namespace velmora;
using namespace velmora::test;

namespace {

constexpr double kSeconds = 4;   // every item's length

// The machine as the tests want it: the modern player installed.
const char* kModernMachine = "[{6BF52A52-394A-11d3-B153-00C04F79FAA6}]\nIsInstalled=1\nVersion=9,0,0,0\n"
                             "[{22d6f312-b0f6-11d0-94ab-0080c74c7e95}]\nIsInstalled=1\nVersion=7,0,0,0\n";

// Whether the button shows that icon: every opaque pixel of the icon is found on the
// button's picture, at some place.
bool ShowsIcon(QAbstractButton* button, QStyle::StandardPixmap which)
{
    const QImage shot = button->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage icon = button->style()->standardIcon(which).pixmap(button->iconSize()).toImage().convertToFormat(
        QImage::Format_ARGB32);
    const auto close = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) <= 2 && std::abs(qGreen(a) - qGreen(b)) <= 2 &&
               std::abs(qBlue(a) - qBlue(b)) <= 2;
    };
    for (int top = 0; top + icon.height() <= shot.height(); ++top) {
        for (int left = 0; left + icon.width() <= shot.width(); ++left) {
            bool all = true;
            for (int y = 0; y < icon.height() && all; ++y)
                for (int x = 0; x < icon.width() && all; ++x)
                    all = qAlpha(icon.pixel(x, y)) < 255 || close(icon.pixel(x, y), shot.pixel(left + x, top + y));
            if (all)
                return true;
        }
    }
    return false;
}

} // namespace

class PlayerHostTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void eachKindPlaysToItsEnd_data();
    void eachKindPlaysToItsEnd();
    void pauseStopAndPlayFollowTheState();
    void stopWhileNeitherPlayingNorPausedChangesNothing();
    void volumeAndMute();
    void theSoundStartsAtTheLevelTheSliderShows();
    void aControlThatReportsNoDuration();
    void theLegacyControl();

private:
    std::unique_ptr<PulseAudioNullSink> m_pulse;
    std::unique_ptr<TempDir> m_machineDir;
    std::map<QString, std::string> m_items;   // by file name
    std::string m_mp3;
};

void PlayerHostTest::initTestCase()
{
    m_pulse = std::make_unique<PulseAudioNullSink>();
    QCOMPARE(QString::fromStdString(m_pulse->Failure()), QString());
    m_machineDir = std::make_unique<TempDir>();
    WriteFile(*m_machineDir / "machine.ini", kModernMachine);
    qputenv(MachineInfo::kOverrideVariable, QByteArray::fromStdString((*m_machineDir / "machine.ini").string()));
    m_mp3 = MakeMp3(MakeWav(kSeconds, 44100, 2), 128);
    m_items = {{"song.mp3", m_mp3},
               {"song.mp2", MakeMp2(kSeconds)},
               {"song.wav", MakeWav(kSeconds, 44100, 2)},
               {"song.au", MakeAu(kSeconds, 22050)},
               {"song.aiff", MakeAiff(kSeconds)},
               {"song.wma", MakeWma(kSeconds)},
               {"clip.wmv", MakeWmv(kSeconds)},
               {"clip.avi", MakeAvi(kSeconds)},
               {"clip.mpg", MakeMpeg(kSeconds)},
               {"clip.vob", MakeVob(kSeconds)}};
}

void PlayerHostTest::cleanupTestCase()
{
    qunsetenv(MachineInfo::kOverrideVariable);
    m_pulse.reset();
}

void PlayerHostTest::eachKindPlaysToItsEnd_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("movie");
    for (const char* sound : {"song.mp3", "song.mp2", "song.wav", "song.au", "song.aiff", "song.wma"})
        QTest::newRow(sound) << sound << false;
    QTest::newRow("clip.wmv") << "clip.wmv" << true;
    QTest::newRow("clip.avi (MPEG-4 and MP3)") << "clip.avi" << true;
    QTest::newRow("clip.mpg (MPEG-1)") << "clip.mpg" << true;
    QTest::newRow("clip.vob (MPEG-2)") << "clip.vob" << true;
}

void PlayerHostTest::eachKindPlaysToItsEnd()
{
    QFETCH(QString, fileName);
    QFETCH(bool, movie);
    const std::string& bytes = m_items.at(fileName);

    PlayerWindow window;
    PlayerHost& host = window.Host();
    QVERIFY(host.ModernPlayer() != nullptr);
    QSignalSpy errors(host.ModernPlayer(), &TModernMediaPlayer::OnError);
    const int ident = window.AddItem(bytes, fileName.toStdString());
    const PictureWatch pictures(window, QSize(160, 120));
    window.DoubleClickItem(ident);
    QCOMPARE(window.Main().CurrentPage(), 1);

    QVERIFY2(window.WaitForState("Playing"), qPrintable(window.StateText()));
    QVERIFY(window.Main().Play1->isChecked());
    QVERIFY(!window.Main().Stop1->isChecked() && !window.Main().Pause1->isChecked());
    QVERIFY(host.PlayerVisible);
    QVERIFY(host.Control()->isVisible());
    QCOMPARE(window.Main().pnlMoviePlayer->findChild<QLabel*>("lblMoviePlayer")->text(), QString());
    if (movie)
        QVERIFY(host.Control()->isVisible() && host.Control()->width() > 100);

    // The duration is the item's, and the bar can seek.
    QVERIFY(window.WaitFor([&] { return std::abs(host.MediaDuration - kSeconds) < 0.3; }));
    QVERIFY(window.Slider("progressbar")->isEnabled());
    // Played to its end, the time running and the bar moving meanwhile.
    QStringList times;
    int furthestBar = 0;
    QVERIFY(window.WaitFor([&] {
        const QString time = window.LabelText("statuslabel3");
        if (time != "00:00" && (times.isEmpty() || times.back() != time))
            times << time;
        furthestBar = std::max(furthestBar, window.Slider("progressbar")->value());
        return host.MediaEnded;
    }));
    QVERIFY2(times.size() >= 2, qPrintable(times.join(' ')));
    QVERIFY2(std::is_sorted(times.begin(), times.end()), qPrintable(times.join(' ')));
    QVERIFY(furthestBar > 5000);
    QCOMPARE(window.StateText(), QString("Media Ended"));
    QVERIFY(window.Main().Stop1->isChecked() && !window.Main().Play1->isChecked());
    QCOMPARE(errors.count(), 0);
    QVERIFY(window.Boxes().messages.empty());
    if (movie) {
        // Qt 6.4 drops a stream whose decoder has not yet told its format when the
        // demuxer's queue overruns, and exposes the item without it. This clip's muxer
        // puts about two seconds of sound before its first picture: it plays with sound
        // and no picture.
        QEXPECT_FAIL("clip.wmv", "Qt 6.4 leaves out a picture stream that starts late", Continue);
        QVERIFY(pictures.Seen());
    }
}

void PlayerHostTest::pauseStopAndPlayFollowTheState()
{
    PlayerWindow window;
    PlayerHost& host = window.Host();
    window.DoubleClickItem(window.AddItem(m_mp3, "song.mp3"));
    QVERIFY(window.WaitForState("Playing"));
    QVERIFY(host.tmrProgress.isActive());

    window.Click("pausebutton");
    QVERIFY(window.WaitForState("Paused"));
    QVERIFY(window.Main().Pause1->isChecked() && !window.Main().Play1->isChecked());
    QVERIFY(!host.tmrProgress.isActive());
    const double pausedAt = window.Position();

    window.Main().Pause1->trigger();   // the menu entry does what the button does
    QVERIFY(window.WaitForState("Playing"));
    QVERIFY(host.tmrProgress.isActive());
    QVERIFY(window.Main().Play1->isChecked() && !window.Main().Pause1->isChecked());
    QVERIFY(window.WaitFor([&] { return window.Position() > pausedAt + 0.3; }));

    window.Click("stopbutton");
    QVERIFY(window.WaitForState("Stopped"));
    QVERIFY(!host.tmrProgress.isActive());
    QCOMPARE(window.Slider("progressbar")->value(), 0);
    QVERIFY(window.Main().Stop1->isChecked());
    QVERIFY(!host.MediaEnded);   // a stop of the modern control is no end of the item

    // Play with the play list active plays the item again.
    window.Click("playbutton");
    QVERIFY(window.WaitForState("Playing"));
    QVERIFY(host.tmrProgress.isActive());
}

void PlayerHostTest::stopWhileNeitherPlayingNorPausedChangesNothing()
{
    PlayerWindow window;
    PlayerHost& host = window.Host();

    // Nothing opened yet.
    const QString stateBefore = window.StateText();
    window.Click("stopbutton");
    window.Main().Stop1->trigger();
    QCOMPARE(window.StateText(), stateBefore);
    QVERIFY(!host.tmrProgress.isActive());
    QVERIFY(!window.Main().Stop1->isChecked());   // the menu entry's own toggle is taken back

    // At the end of an item: the progress timer still runs, and stays so.
    window.DoubleClickItem(window.AddItem(m_mp3, "song.mp3"));
    QVERIFY(window.WaitFor([&] { return host.MediaEnded; }));
    QCOMPARE(window.StateText(), QString("Media Ended"));
    QVERIFY(host.tmrProgress.isActive());
    const int bar = window.Slider("progressbar")->value();
    window.Click("stopbutton");
    window.Main().Stop1->trigger();
    QCOMPARE(window.StateText(), QString("Media Ended"));
    QVERIFY(host.tmrProgress.isActive());
    QCOMPARE(window.Slider("progressbar")->value(), bar);
    QVERIFY(window.Main().Stop1->isChecked());
    QCOMPARE(host.ModernPlayer()->playState(), int(modern_state::kMediaEnded));
}

void PlayerHostTest::volumeAndMute()
{
    PlayerWindow window;
    PlayerHost& host = window.Host();
    TModernMediaPlayer& player = *host.ModernPlayer();
    auto* muteSwitch = window.Button("muteswitch");
    QVERIFY(muteSwitch->isChecked());   // switch on = sound on
    QVERIFY(ShowsIcon(muteSwitch, QStyle::SP_MediaVolume));

    window.Click("muteswitch");
    QVERIFY(host.Muted);
    QVERIFY(window.Main().Mute1->isChecked());
    QVERIFY(player.settings().mute());
    // Muted shows a muted speaker, not only another frame.
    QVERIFY(ShowsIcon(muteSwitch, QStyle::SP_MediaVolumeMuted));
    QVERIFY(!ShowsIcon(muteSwitch, QStyle::SP_MediaVolume));

    // Moving the volume slider while muted unmutes.
    window.Slider("volumizer")->setValue(30);
    QCOMPARE(host.CurrentVolume, 30);
    QCOMPARE(player.settings().volume(), 30);
    QVERIFY(!host.Muted);
    QVERIFY(muteSwitch->isChecked());
    QVERIFY(!player.settings().mute());
    QVERIFY(!window.Main().Mute1->isChecked());

    window.Main().Mute1->trigger();
    QVERIFY(host.Muted && player.settings().mute());
    QVERIFY(!muteSwitch->isChecked());
    window.Main().Mute1->trigger();
    QVERIFY(!host.Muted && !player.settings().mute());
    QVERIFY(muteSwitch->isChecked());
}

// The slider shows 50 from the start: the sound plays at that level, not at the full
// level the first touch of the slider would then drop from.
void PlayerHostTest::theSoundStartsAtTheLevelTheSliderShows()
{
    PlayerWindow window;
    QCOMPARE(window.Slider("volumizer")->value(), 50);
    window.DoubleClickItem(window.AddItem(MakeWav(60, 22050, 1), "long.wav"));
    QVERIFY(window.WaitForState("Playing"));
    QVERIFY(window.WaitFor([&] { return window.Position() > 0.5; }));
    const double atStart = m_pulse->RecordedLevelDb(1500);

    window.Slider("volumizer")->setValue(100);
    QTest::qWait(500);   // the samples already on their way at the old level
    const double atFull = m_pulse->RecordedLevelDb(1500);
    QVERIFY2(std::isfinite(atStart) && std::isfinite(atFull),
             qPrintable(QString("levels %1 and %2 dB").arg(atStart).arg(atFull)));
    // The gain Qt applies for 50 on the slider's scale (about -20 dB).
    const double expected =
        20 * std::log10(QAudio::convertVolume(0.5f, QAudio::LogarithmicVolumeScale, QAudio::LinearVolumeScale));
    QVERIFY2(std::abs((atStart - atFull) - expected) < 3.0,
             qPrintable(QString("start %1 dB, full %2 dB, expected a difference of %3 dB")
                            .arg(atStart).arg(atFull).arg(expected)));
}

// The control's own events, as Qt sends them for a stream whose length it learns only
// after it has started playing.
void PlayerHostTest::aControlThatReportsNoDuration()
{
    PlayerWindow window;
    PlayerHost& host = window.Host();
    TModernMediaPlayer& player = *host.ModernPlayer();
    QCOMPARE(player.currentMedia().duration, 0.0);

    emit player.OnPlayStateChange(modern_state::kPlaying);
    QCOMPARE(window.StateText(), QString("Playing"));
    QCOMPARE(host.MediaDuration, 10.0);   // taken as 10 s long
    QVERIFY(!window.Slider("progressbar")->isEnabled());
    QVERIFY(!window.Slider("progressbar", true)->isEnabled());
    QVERIFY(host.tmrProgress.isActive());   // the time runs on
    QVERIFY(host.PlayerVisible);

    emit player.DurationChange(12.5);
    QCOMPARE(host.MediaDuration, 12.5);
    QVERIFY(window.Slider("progressbar")->isEnabled());
    QVERIFY(window.Slider("progressbar", true)->isEnabled());
    emit player.DurationChange(14);   // a known length stays
    QCOMPARE(host.MediaDuration, 12.5);
}

void PlayerHostTest::theLegacyControl()
{
    PlayerWindow window([] {
        SettingsStore settings;
        settings.WriteInteger(SettingsStore::kSettings, "MediaPlayerVersion", 7);
    });
    PlayerHost& host = window.Host();
    QCOMPARE(host.PlayerVersion, 7);
    QCOMPARE(host.DefaultPlayerVersion, 9);
    QVERIFY(host.ModernPlayer() == nullptr);
    TLegacyMediaPlayer* legacy = host.LegacyPlayer();
    QVERIFY(legacy != nullptr);
    QVERIFY(window.Main().playerSettings->chbxMP7->isChecked());
    QVERIFY(window.Main().playerSettings->btnDefaultMP->isEnabled());

    window.Slider("volumizer")->setValue(0);
    QCOMPARE(legacy->Volume(), -9640);
    window.Slider("volumizer")->setValue(100);
    QCOMPARE(legacy->Volume(), 0);

    window.DoubleClickItem(window.AddItem(m_mp3, "song.mp3"));
    QVERIFY2(window.WaitForState("Playing"), qPrintable(window.StateText()));
    QVERIFY(window.WaitFor([&] { return std::abs(host.MediaDuration - kSeconds) < 0.3; }));
    QVERIFY(!window.Main().Play1->isChecked());   // the legacy control leaves the menu alone

    // Stop pauses the legacy control: its stop would read as the end of the item.
    window.Click("stopbutton");
    QVERIFY(window.WaitForState("Paused"));
    QVERIFY(!host.MediaEnded);

    // Full screen is the control's own display size; the window is not used.
    window.Main().btnFullScreen->click();
    QCOMPARE(legacy->DisplaySize(), TLegacyMediaPlayer::kDisplayFullScreen);
    QVERIFY(host.Control()->isFullScreen());
    QVERIFY(!host.FullScreenActive);
    QTest::keyRelease(host.Control(), Qt::Key_Escape);
    QCOMPARE(legacy->DisplaySize(), TLegacyMediaPlayer::kDisplayFitToSize);
    QVERIFY(!host.Control()->isFullScreen());

    // The lock stops it, leaves its full screen, and the play list is not told the item ended.
    window.Click("pausebutton");
    QVERIFY(window.WaitForState("Playing"));
    window.Main().btnFullScreen->click();
    window.Main().actFileBoss->trigger();
    QCOMPARE(legacy->Engine().Playback(), MediaPlayback::Stopped);
    QCOMPARE(legacy->DisplaySize(), TLegacyMediaPlayer::kDisplayFitToSize);
    QVERIFY(!host.Control()->isFullScreen());
    QCOMPARE(window.StateText(), QString("Stopped"));
    QVERIFY(!host.MediaEnded);
}

QTEST_MAIN(PlayerHostTest)
#include "PlayerHostTest.moc"
