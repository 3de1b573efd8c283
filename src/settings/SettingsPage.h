#pragma once

#include "settings/SettingsModel.h"
#include "settings/RegistryValues.h"

#include <QColor>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QScrollBar;
class QSpinBox;
class QToolButton;
class QVBoxLayout;

namespace velmora {

class FileDialogs;
class MessageBoxes;
class PlayerSettingsGroup;
class SettingsSeam;

// The third page of the main window: four sub-pages of settings chosen by the buttons
// on the left, "Apply Changes" below them, and one scroll bar shared by the sub-pages.
// It shows the values the model reads, marks every edit, and on "Apply Changes"
// writes them back and hands them to the running program through the seam.
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    enum SubPage { General = 1, User = 2, Player = 3, LibrarySettings = 4 };

    SettingsPage(SettingsSeam& seam, MessageBoxes& boxes, FileDialogs& dialogs, QWidget* parent = nullptr);
    ~SettingsPage() override;

    // Where the page reads and writes; until then it only shows its controls.
    void SetModel(std::unique_ptr<SettingsModel> model) { m_model = std::move(model); }

    void LoadSettings();
    void SaveSettings();
    void SetSettingsChanged(bool changed);
    bool SettingsChanged() const { return m_settingsChanged; }
    // With unsaved edits: asks whether to save them; Yes saves, No reloads.
    void ConfirmSaveSettings();
    // 1 General, 2 User, 3 Player, 4 Library.
    void ShowSettingsPage(int page);
    int ShownSettingsPage() const { return m_shownPage; }

    // A switch that another control (a menu entry, the slideshow) changes: stored at
    // once, its check box ticked, and the page left clean, which also drops the
    // changed mark of other edits (their values stay in the controls).
    void StoreSwitchNow(const SwitchValue& value, bool on);

    // The colour chooser; tests answer it. Empty: cancelled.
    using ColourChooser = std::function<std::optional<QColor>(QWidget* parent, const QColor& current)>;
    void SetColourChooser(ColourChooser chooser) { m_chooseColour = std::move(chooser); }

    // Handlers, named after their controls.
    void btnApplyChangesClick();
    void txtAppNameChange();
    void chkEnableThumbClick();
    void chkEnableMonitorClick();
    void txtMonitorDirButtonClick();
    void clColorClick();
    QColor SelectedColour() const { return m_colour; }
    void SetSelectedColour(const QColor& colour);

    // Left column.
    QPushButton* btnGeneralSettings = nullptr;
    QPushButton* btnUserSettings = nullptr;
    QPushButton* btnMediaSettings = nullptr;
    QPushButton* btnLibrarySettings = nullptr;
    QPushButton* btnApplyChanges = nullptr;
    QScrollBar* vscrollsettings = nullptr;
    QScrollArea* subPages[4] = {};

    // General Settings.
    QLineEdit* txtAppName = nullptr;
    QCheckBox* chkEnableThumb = nullptr;
    QComboBox* cboThumbSize = nullptr;
    QCheckBox* chkThumbDefault = nullptr;
    QCheckBox* chkScalePast100 = nullptr;
    QCheckBox* chbxAutoRepeatPL = nullptr;
    QCheckBox* chbxShufflePlaylist = nullptr;
    QCheckBox* chkCycle = nullptr;
    QCheckBox* chkRepeat = nullptr;
    QCheckBox* chkHideCtrls = nullptr;
    QSpinBox* txtDelayTime = nullptr;
    QPushButton* clColor = nullptr;
    // User Settings.
    QLabel* lmdChangePassword = nullptr;
    QCheckBox* chkRecoveryCopy = nullptr;
    QCheckBox* chkLockOnScreenLock = nullptr;
    // Player Settings.
    PlayerSettingsGroup* playerSettings = nullptr;
    // Library Settings.
    QCheckBox* chkDefDelete = nullptr;
    QCheckBox* chkDefDeleteCM = nullptr;
    QCheckBox* chkEnableShellExt = nullptr;
    QLineEdit* txtMenuText = nullptr;
    QCheckBox* chkEnableMonitor = nullptr;
    QLabel* lblMonitorDir = nullptr;
    QLineEdit* txtMonitorDir = nullptr;
    QToolButton* txtMonitorDirButton = nullptr;

signals:
    // "Click here to change your password".
    void ChangePasswordRequested();
    // After SaveSettings has written the values and the program has taken them over.
    void SettingsApplied();

private:
    // A check box kept in the registry part or in the options row: adding a switch to
    // a sub-page is one AddSwitch call (and a member of the part it is kept in).
    template <typename Part>
    struct Binding {
        QCheckBox* box;
        bool Part::*value;
    };
    QCheckBox* AddSwitch(QVBoxLayout* group, const char* name, const QString& caption, bool UserSettings::*value);
    QCheckBox* AddSwitch(QVBoxLayout* group, const char* name, const QString& caption, bool LibraryOptions::*value);
    QCheckBox* NewCheckBox(QVBoxLayout* group, const char* name, const QString& caption);

    QWidget* CreateGeneralPage();
    QWidget* CreateUserPage();
    QWidget* CreatePlayerPage();
    QWidget* CreateLibraryPage();
    void AttachScrollBar(QScrollArea* area);

    void ShowValues(const SettingsValues& values);
    SettingsValues ValuesShown() const;

    SettingsSeam& m_seam;
    MessageBoxes& m_boxes;
    FileDialogs& m_dialogs;
    std::unique_ptr<SettingsModel> m_model;
    ColourChooser m_chooseColour;
    QColor m_colour;
    bool m_settingsChanged = false;
    int m_shownPage = 0;
    std::vector<QMetaObject::Connection> m_scrollLinks;
    std::vector<Binding<UserSettings>> m_userSwitches;
    std::vector<Binding<LibraryOptions>> m_librarySwitches;
};

} // namespace velmora
