#include "settings/PlayerSettingsGroup.h"

#include "platform/SettingsStore.h"
#include "settings/RegistryValues.h"
#include "ui/MessageBoxes.h"
#include "playback/PlayerChoice.h"
#include "playback/PlayerVersion.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace velmora {

PlayerSettingsGroup::PlayerSettingsGroup(MessageBoxes& boxes, QWidget* parent)
    : QGroupBox(QStringLiteral(" Player Settings"), parent)
    , m_boxes(boxes)
{
    setObjectName(QStringLiteral("grpPlayerSettings"));
    auto* explanation = new QLabel(QStringLiteral("Velmora supports Media Player 7 and above.\n"
                                                  "By default Velmora will select the highest version of media "
                                                  "player that your machine will support."),
                                   this);
    explanation->setObjectName(QStringLiteral("lblPlayerExplanation"));
    explanation->setWordWrap(true);
    auto* heading = new QLabel(QStringLiteral("Selected Media Player"), this);
    heading->setObjectName(QStringLiteral("lblSelectedPlayer"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    chbxMP7 = new QRadioButton(QStringLiteral(" Media Player 7"), this);
    chbxMP7->setObjectName(QStringLiteral("chbxMP7"));
    chbxMP9 = new QRadioButton(QStringLiteral(" Media Player 9 and above"), this);
    chbxMP9->setObjectName(QStringLiteral("chbxMP9"));
    auto* group = new QButtonGroup(this);
    group->addButton(chbxMP7);
    group->addButton(chbxMP9);

    btnUpdateMP = new QPushButton(QStringLiteral("Confirm Player"), this);
    btnUpdateMP->setObjectName(QStringLiteral("btnUpdateMP"));
    btnDefaultMP = new QPushButton(QStringLiteral("Default Player"), this);
    btnDefaultMP->setObjectName(QStringLiteral("btnDefaultMP"));
    connect(btnUpdateMP, &QPushButton::clicked, this, &PlayerSettingsGroup::btnUpdateMPClick);
    connect(btnDefaultMP, &QPushButton::clicked, this, &PlayerSettingsGroup::btnDefaultMPClick);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnUpdateMP);
    buttons->addWidget(btnDefaultMP);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addSpacing(6);
    layout->addWidget(heading);
    layout->addWidget(chbxMP7);
    layout->addWidget(chbxMP9);
    layout->addLayout(buttons);
}

void PlayerSettingsGroup::ShowPlayerVersions(int playerVersion, int defaultPlayerVersion)
{
    m_playerVersion = playerVersion;
    m_defaultPlayerVersion = defaultPlayerVersion;
    TickVersion(playerVersion);
    btnDefaultMP->setEnabled(player_choice::CanRevert(playerVersion, defaultPlayerVersion));
}

void PlayerSettingsGroup::TickVersion(int version)
{
    (UsesModernPlayer(version) ? chbxMP9 : chbxMP7)->setChecked(true);
}

void PlayerSettingsGroup::StoreVersion(int version)
{
    SettingsStore store;
    registry::kMediaPlayerVersion.Write(store, version);
    store.Flush();
}

void PlayerSettingsGroup::btnUpdateMPClick()
{
    const bool legacyChosen = chbxMP7->isChecked();
    const std::string question = player_choice::ConfirmQuestion(legacyChosen, m_defaultPlayerVersion);
    if (m_boxes.ShowMessageBox(question, mb::kYesNo | mb::kIconWarning) != mb::kResultYes)
        return;
    StoreVersion(player_choice::ChosenVersion(legacyChosen));
    m_boxes.ShowMessageBox(player_choice::kRestartMessage, mb::kIconInformation);
}

void PlayerSettingsGroup::btnDefaultMPClick()
{
    if (!player_choice::CanRevert(m_playerVersion, m_defaultPlayerVersion)) {
        m_boxes.ShowMessageBox(player_choice::kAlreadyDefaultMessage, mb::kIconInformation);
        return;
    }
    if (m_boxes.ShowMessageBox(player_choice::RevertQuestion(m_defaultPlayerVersion), mb::kYesNo | mb::kIconWarning) !=
        mb::kResultYes)
        return;
    StoreVersion(m_defaultPlayerVersion);
    TickVersion(m_defaultPlayerVersion);
    m_boxes.ShowMessageBox(player_choice::kRestartMessage, mb::kIconInformation);
}

} // namespace velmora
