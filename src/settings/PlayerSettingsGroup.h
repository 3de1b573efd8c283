#pragma once

#include <QGroupBox>

class QPushButton;
class QRadioButton;

namespace velmora {

class MessageBoxes;

// The " Player Settings" group of the Settings page: which player generation the
// program hosts from its next start. "Confirm Player" stores the ticked one, "Default
// Player" the one the machine supports best; both write "MediaPlayerVersion" at once
// and ask for a restart. The running player is not changed.
class PlayerSettingsGroup : public QGroupBox {
    Q_OBJECT
public:
    PlayerSettingsGroup(MessageBoxes& boxes, QWidget* parent = nullptr);

    // The player in use (SetPlayerVersion ticks its button) and the machine's default;
    // "Default Player" is enabled only when they differ.
    void ShowPlayerVersions(int playerVersion, int defaultPlayerVersion);

    void btnUpdateMPClick();
    void btnDefaultMPClick();

    QRadioButton* chbxMP7 = nullptr;
    QRadioButton* chbxMP9 = nullptr;
    QPushButton* btnUpdateMP = nullptr;
    QPushButton* btnDefaultMP = nullptr;

private:
    void TickVersion(int version);
    void StoreVersion(int version);

    MessageBoxes& m_boxes;
    int m_playerVersion = 0;
    int m_defaultPlayerVersion = 0;
};

} // namespace velmora
