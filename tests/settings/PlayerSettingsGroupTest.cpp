// The player choice on the Settings page: its questions, what it stores in
// "MediaPlayerVersion", and that the running player is not changed.
#include "settings/PlayerSettingsGroup.h"

#include "dialogs/DialogTestDoubles.h"
#include "ui/MessageBoxes.h"
#include "platform/SettingsStore.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest/QtTest>

using namespace velmora;
using velmora::test::RecordingMessageBoxes;

namespace {

constexpr const char* kRestart = "You must restart velmora in order for the new media player settings to take effect";
constexpr int kAsk = mb::kYesNo | mb::kIconWarning;

std::string StoredVersion()
{
    return SettingsStore().ReadString(SettingsStore::kSettings, "MediaPlayerVersion", "none");
}

} // namespace

class PlayerSettingsGroupTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void theGroupShowsThePlayerInUse();
    void confirmStoresTheTickedPlayerOnYes_data();
    void confirmStoresTheTickedPlayerOnYes();
    void defaultPlayerRevertsOrOnlyTells();

private:
    std::unique_ptr<QTemporaryDir> m_config;
};

void PlayerSettingsGroupTest::init()
{
    m_config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_config->path().toUtf8());
}

void PlayerSettingsGroupTest::theGroupShowsThePlayerInUse()
{
    RecordingMessageBoxes boxes;
    PlayerSettingsGroup group(boxes);
    QCOMPARE(group.title(), QString(" Player Settings"));
    QCOMPARE(group.chbxMP7->text(), QString(" Media Player 7"));
    QCOMPARE(group.chbxMP9->text(), QString(" Media Player 9 and above"));
    group.ShowPlayerVersions(9, 9);
    QVERIFY(group.chbxMP9->isChecked() && !group.chbxMP7->isChecked());
    QVERIFY(!group.btnDefaultMP->isEnabled());
    group.ShowPlayerVersions(7, 9);
    QVERIFY(group.chbxMP7->isChecked() && !group.chbxMP9->isChecked());
    QVERIFY(group.btnDefaultMP->isEnabled());
    QVERIFY(boxes.messages.empty());
}

void PlayerSettingsGroupTest::confirmStoresTheTickedPlayerOnYes_data()
{
    QTest::addColumn<bool>("legacy");
    QTest::addColumn<int>("defaultVersion");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("stored");
    const QString seven = "Are you sure that you want to change the media player used to Media Player 7?\r\n\r\n"
                          "Caution: Media Player 7 does not support certain file types";
    const QString nine = "Are you sure that you want to change the media player used to Media Player 9?";
    const QString caution = "\r\n\r\nCaution: media player 9 support has not been detected on this computer";
    QTest::newRow("7, yes") << true << 9 << mb::kResultYes << seven << "7";
    QTest::newRow("7, no") << true << 9 << mb::kResultNo << seven << "none";
    QTest::newRow("9 where detected") << false << 9 << mb::kResultYes << nine << "9";
    QTest::newRow("9 where not detected") << false << 7 << mb::kResultYes << nine + caution << "9";
    QTest::newRow("9 where nothing was detected") << false << 0 << mb::kResultNo << nine + caution << "none";
}

void PlayerSettingsGroupTest::confirmStoresTheTickedPlayerOnYes()
{
    QFETCH(bool, legacy);
    QFETCH(int, defaultVersion);
    QFETCH(int, answer);
    QFETCH(QString, question);
    QFETCH(QString, stored);

    RecordingMessageBoxes boxes;
    boxes.answers.push_back(answer);
    PlayerSettingsGroup group(boxes);
    group.ShowPlayerVersions(legacy ? 9 : 7, defaultVersion);   // the other one is in use
    (legacy ? group.chbxMP7 : group.chbxMP9)->setChecked(true);
    QTest::mouseClick(group.btnUpdateMP, Qt::LeftButton);

    QVERIFY(!boxes.messages.empty());
    QCOMPARE(QString::fromStdString(boxes.messages[0].text), question);
    QCOMPARE(boxes.messages[0].flags, kAsk);
    QCOMPARE(QString::fromStdString(StoredVersion()), stored);
    if (answer == mb::kResultYes) {
        QCOMPARE(boxes.messages.size(), std::size_t(2));
        QCOMPARE(boxes.messages[1].text, std::string(kRestart));
        QCOMPARE(boxes.messages[1].flags, int(mb::kIconInformation));
    } else {
        QCOMPARE(boxes.messages.size(), std::size_t(1));
    }
}

void PlayerSettingsGroupTest::defaultPlayerRevertsOrOnlyTells()
{
    {
        RecordingMessageBoxes boxes;
        PlayerSettingsGroup group(boxes);
        group.ShowPlayerVersions(9, 9);
        group.btnDefaultMPClick();
        QCOMPARE(boxes.messages.size(), std::size_t(1));
        QCOMPARE(boxes.messages[0].text, std::string("You are currently using the default media player"));
        QCOMPARE(boxes.messages[0].flags, int(mb::kIconInformation));
        QCOMPARE(StoredVersion(), std::string("none"));
    }
    {
        RecordingMessageBoxes boxes;
        boxes.answers.push_back(mb::kResultNo);
        PlayerSettingsGroup group(boxes);
        group.ShowPlayerVersions(9, 7);
        QTest::mouseClick(group.btnDefaultMP, Qt::LeftButton);
        QCOMPARE(boxes.messages.size(), std::size_t(1));
        QCOMPARE(boxes.messages[0].text,
                 std::string("Are you sure that you would like to revert to the default media player?\r\n\r\n"
                             "On this machine the default player is: Media Player 7"));
        QCOMPARE(boxes.messages[0].flags, kAsk);
        QCOMPARE(StoredVersion(), std::string("none"));
        QVERIFY(group.chbxMP9->isChecked());
    }
    {
        RecordingMessageBoxes boxes;
        boxes.answers.push_back(mb::kResultYes);
        PlayerSettingsGroup group(boxes);
        group.ShowPlayerVersions(7, 9);
        QTest::mouseClick(group.btnDefaultMP, Qt::LeftButton);
        QCOMPARE(StoredVersion(), std::string("9"));
        QVERIFY(group.chbxMP9->isChecked());
        QCOMPARE(boxes.messages.size(), std::size_t(2));
        QCOMPARE(boxes.messages[1].text, std::string(kRestart));
        QVERIFY(group.btnDefaultMP->isEnabled());   // the player in use changes at the next start
    }
}

QTEST_MAIN(PlayerSettingsGroupTest)
#include "PlayerSettingsGroupTest.moc"
