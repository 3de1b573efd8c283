#include "settings/SettingsPage.h"

#include "dialogs/FileDialogs.h"
#include "ui/MessageBoxes.h"
#include "settings/PlayerSettingsGroup.h"
#include "settings/SettingsSeam.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <string_view>

namespace velmora {

namespace {

constexpr const char* kSaveQuestion = "You have changed the application setup\r\nWould you like to save the changes?";
constexpr const char* kApplyQuestion = "Are you sure that you wish to apply the changes?";
constexpr const char* kSettingsFileError = "The settings could not be saved: ";

constexpr const char* kPasswordText =
    "You can change your Velmora password by clicking below.\r\nChanging your password will cause your library to be "
    "re-encrypted with the new password.  This may take some time depending on the size of your library";
constexpr const char* kRecoveryCopyText =
    "With a recovery copy, files can be added without asking for the password (from the command line, another "
    "program or the file manager); anyone holding the library files and Velmora can then read your library.";
constexpr const char* kSecureDeleteText =
    "Imported media files can be securely deleted once they have been added to your library.  Securely deleted "
    "files can only be recovered from your library";
constexpr const char* kShellText =
    "The shell extension allows you to right click on any media file and add it directly to your media library.";
constexpr const char* kMonitorText =
    "Files placed in the Monitor Directory will automatically be imported into your media library";

// Message boxes and Windows-style texts break lines with "\r\n"; a label wants "\n".
QString LabelText(const char* text)
{
    return QString::fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QColor ColourFromValue(std::uint32_t value)
{
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

std::uint32_t ValueFromColour(const QColor& colour)
{
    return static_cast<std::uint32_t>(colour.red()) | static_cast<std::uint32_t>(colour.green()) << 8 |
           static_cast<std::uint32_t>(colour.blue()) << 16;
}

QLabel* NewText(QWidget* parent, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QVBoxLayout* NewGroup(QVBoxLayout* page, const char* name, const QString& heading)
{
    auto* group = new QGroupBox(heading);
    group->setObjectName(QString::fromLatin1(name));
    page->addWidget(group);
    return new QVBoxLayout(group);
}

QPushButton* NewPageButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setCheckable(true);
    button->setAutoExclusive(true);
    return button;
}

} // namespace

SettingsPage::SettingsPage(SettingsSeam& seam, MessageBoxes& boxes, FileDialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_seam(seam), m_boxes(boxes), m_dialogs(dialogs),
      m_chooseColour([](QWidget* owner, const QColor& current) -> std::optional<QColor> {
          const QColor chosen = QColorDialog::getColor(current, owner);
          return chosen.isValid() ? std::optional<QColor>(chosen) : std::nullopt;
      }),
      m_colour(ColourFromValue(LibraryOptions::kWhite))
{
    setObjectName(QStringLiteral("settingsPage"));

    auto* left = new QVBoxLayout;
    btnGeneralSettings = NewPageButton(this, "btnGeneralSettings", QStringLiteral("General Settings"));
    btnUserSettings = NewPageButton(this, "btnUserSettings", QStringLiteral("User Settings"));
    btnMediaSettings = NewPageButton(this, "btnMediaSettings", QStringLiteral("Player Settings"));
    btnLibrarySettings = NewPageButton(this, "btnLibrarySettings", QStringLiteral("Library Settings"));
    btnApplyChanges = new QPushButton(QStringLiteral("Apply Changes"), this);
    btnApplyChanges->setObjectName(QStringLiteral("btnApplyChanges"));
    for (QPushButton* button : {btnGeneralSettings, btnUserSettings, btnMediaSettings, btnLibrarySettings})
        left->addWidget(button);
    left->addStretch(1);
    left->addWidget(btnApplyChanges);

    QWidget* const contents[4] = {CreateGeneralPage(), CreateUserPage(), CreatePlayerPage(), CreateLibraryPage()};
    const char* const areaNames[4] = {"sbGeneralSettings", "sbUserSettings", "sbMediaSettings", "sbLibrarySettings"};
    auto* right = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        subPages[i] = new QScrollArea(this);
        subPages[i]->setObjectName(QString::fromLatin1(areaNames[i]));
        subPages[i]->setWidgetResizable(true);
        subPages[i]->setFrameShape(QFrame::NoFrame);
        // The sub-pages share the one bar at the right.
        subPages[i]->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        subPages[i]->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        subPages[i]->setWidget(contents[i]);
        right->addWidget(subPages[i], 1);
    }
    vscrollsettings = new QScrollBar(Qt::Vertical, this);
    vscrollsettings->setObjectName(QStringLiteral("vscrollsettings"));
    right->addWidget(vscrollsettings);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(right, 1);

    connect(btnGeneralSettings, &QPushButton::clicked, this, [this] { ShowSettingsPage(General); });
    connect(btnUserSettings, &QPushButton::clicked, this, [this] { ShowSettingsPage(User); });
    connect(btnMediaSettings, &QPushButton::clicked, this, [this] { ShowSettingsPage(Player); });
    connect(btnLibrarySettings, &QPushButton::clicked, this, [this] { ShowSettingsPage(LibrarySettings); });
    connect(btnApplyChanges, &QPushButton::clicked, this, &SettingsPage::btnApplyChangesClick);

    ShowSettingsPage(General);
    SetSettingsChanged(false);
}

SettingsPage::~SettingsPage() = default;

// ---- building the sub-pages ----

QCheckBox* SettingsPage::NewCheckBox(QVBoxLayout* group, const char* name, const QString& caption)
{
    auto* box = new QCheckBox(caption);
    box->setObjectName(QString::fromLatin1(name));
    group->addWidget(box);
    connect(box, &QCheckBox::toggled, this, &SettingsPage::txtAppNameChange);
    return box;
}

QCheckBox* SettingsPage::AddSwitch(QVBoxLayout* group, const char* name, const QString& caption,
                                   bool UserSettings::*value)
{
    QCheckBox* box = NewCheckBox(group, name, caption);
    m_userSwitches.push_back({box, value});
    return box;
}

QCheckBox* SettingsPage::AddSwitch(QVBoxLayout* group, const char* name, const QString& caption,
                                   bool LibraryOptions::*value)
{
    QCheckBox* box = NewCheckBox(group, name, caption);
    m_librarySwitches.push_back({box, value});
    return box;
}

QWidget* SettingsPage::CreateGeneralPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    QVBoxLayout* application = NewGroup(layout, "grpApplicationSettings", QStringLiteral("Application Settings"));
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(QStringLiteral("Application Name:")));
    txtAppName = new QLineEdit;
    txtAppName->setObjectName(QStringLiteral("txtAppName"));
    nameRow->addWidget(txtAppName, 1);
    application->addLayout(nameRow);
    connect(txtAppName, &QLineEdit::textChanged, this, &SettingsPage::txtAppNameChange);

    QVBoxLayout* preview = NewGroup(layout, "grpMediaPreviewSettings", QStringLiteral("Media Preview Settings"));
    chkEnableThumb = AddSwitch(preview, "chkEnableThumb", QStringLiteral("Enable thumbnail view"),
                               &LibraryOptions::enableThumb);
    connect(chkEnableThumb, &QCheckBox::toggled, this, &SettingsPage::chkEnableThumbClick);
    // Thumbnails are always 64 x 64; the size choice only keeps the stored index.
    cboThumbSize = new QComboBox;
    cboThumbSize->setObjectName(QStringLiteral("cboThumbSize"));
    cboThumbSize->addItems({QStringLiteral("Small (32 x 32)"), QStringLiteral("Medium (64 x 64)"),
                            QStringLiteral("Large (96 x 96)"), QStringLiteral("Very Large (128 x 128)")});
    cboThumbSize->setVisible(false);
    preview->addWidget(cboThumbSize);
    connect(cboThumbSize, &QComboBox::activated, this, &SettingsPage::txtAppNameChange);
    chkThumbDefault = AddSwitch(preview, "chkThumbDefault", QStringLiteral("Start in Thumbnail view"),
                                &LibraryOptions::thumbDefault);
    chkScalePast100 = AddSwitch(preview, "chkScalePast100", QStringLiteral("Scale thumbnail pictures past 100%"),
                                &LibraryOptions::scalePast100);

    QVBoxLayout* playlist = NewGroup(layout, "grpPlaylistSettings", QStringLiteral("Playlist Settings"));
    chbxAutoRepeatPL = AddSwitch(playlist, "chbxAutoRepeatPL", QStringLiteral("Auto repeat playlist"),
                                 &UserSettings::playlistRepeat);
    chbxShufflePlaylist = AddSwitch(playlist, "chbxShufflePlaylist", QStringLiteral("Shuffle playlist"),
                                    &UserSettings::playlistShuffle);

    QVBoxLayout* slideshow = NewGroup(layout, "grpSlideshowSettings", QStringLiteral("Slideshow Settings"));
    chkCycle = AddSwitch(slideshow, "chkCycle", QStringLiteral("Start in cycle mode"), &UserSettings::slideshowCycle);
    chkRepeat = NewCheckBox(slideshow, "chkRepeat", QStringLiteral("Auto repeat preview slide show"));
    chkHideCtrls = AddSwitch(slideshow, "chkHideCtrls", QStringLiteral("Auto hide controls"),
                             &UserSettings::slideshowHideControls);
    auto* delayRow = new QHBoxLayout;
    delayRow->addWidget(new QLabel(QStringLiteral("Display Each Item for")));
    txtDelayTime = new QSpinBox;
    txtDelayTime->setObjectName(QStringLiteral("txtDelayTime"));
    txtDelayTime->setRange(SlideshowTiming::kMinDelay, SlideshowTiming::kMaxDelay);
    txtDelayTime->setSingleStep(1);
    delayRow->addWidget(txtDelayTime);
    delayRow->addWidget(new QLabel(QStringLiteral("seconds")));
    delayRow->addStretch(1);
    slideshow->addLayout(delayRow);
    connect(txtDelayTime, &QSpinBox::valueChanged, this, &SettingsPage::txtAppNameChange);
    auto* colourRow = new QHBoxLayout;
    clColor = new QPushButton;
    clColor->setObjectName(QStringLiteral("clColor"));
    clColor->setFixedWidth(48);
    colourRow->addWidget(clColor);
    colourRow->addWidget(new QLabel(QStringLiteral("Preview slide show background colour")));
    colourRow->addStretch(1);
    slideshow->addLayout(colourRow);
    connect(clColor, &QPushButton::clicked, this, &SettingsPage::clColorClick);

    layout->addStretch(1);
    return page;
}

QWidget* SettingsPage::CreateUserPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    QVBoxLayout* password = NewGroup(layout, "grpUserPassword", QStringLiteral("User Password"));
    password->addWidget(NewText(page, LabelText(kPasswordText)));
    lmdChangePassword = new QLabel(QStringLiteral("<a href=\"#\">Click here to change your password</a>"));
    lmdChangePassword->setObjectName(QStringLiteral("lmdChangePassword"));
    lmdChangePassword->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    password->addWidget(lmdChangePassword);
    connect(lmdChangePassword, &QLabel::linkActivated, this, &SettingsPage::ChangePasswordRequested);
    password->addSpacing(8);
    password->addWidget(NewText(page, LabelText(kRecoveryCopyText)));
    chkRecoveryCopy = AddSwitch(
        password, "chkRecoveryCopy",
        QStringLiteral("Keep a recovery copy of the password in the library (lets files be added without asking)"),
        &LibraryOptions::keepRecoveryCopy);

    QVBoxLayout* lock = NewGroup(layout, "grpLockSettings", QStringLiteral("Lock Settings"));
    chkLockOnScreenLock = AddSwitch(lock, "chkLockOnScreenLock",
                                    QStringLiteral("Lock Velmora when the screen locks or the computer sleeps"),
                                    &UserSettings::lockOnScreenLock);

    layout->addStretch(1);
    return page;
}

QWidget* SettingsPage::CreatePlayerPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    playerSettings = new PlayerSettingsGroup(m_boxes, page);
    layout->addWidget(playerSettings);
    layout->addStretch(1);
    return page;
}

QWidget* SettingsPage::CreateLibraryPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    QVBoxLayout* secure = NewGroup(layout, "grpSecureDeleteSettings", QStringLiteral("Secure Delete Settings"));
    secure->addWidget(NewText(page, LabelText(kSecureDeleteText)));
    chkDefDelete = AddSwitch(secure, "chkDefDelete",
                             QStringLiteral("Delete source files by default when adding to  program via drag and drop"),
                             &LibraryOptions::deleteDropped);
    chkDefDeleteCM = AddSwitch(secure, "chkDefDeleteCM",
                               QStringLiteral("Delete files by default when adding to library via shell extension"),
                               &LibraryOptions::deleteFromShell);

    QVBoxLayout* shell = NewGroup(layout, "grpShellExtensionSettings", QStringLiteral("Shell Extension Settings"));
    shell->addWidget(NewText(page, LabelText(kShellText)));
    chkEnableShellExt =
        AddSwitch(shell, "chkEnableShellExt",
                  QStringLiteral("Enable Velmora shell extension whilst program is running"),
                  &UserSettings::shellExtensionEnabled);
    auto* menuRow = new QHBoxLayout;
    menuRow->addWidget(new QLabel(QStringLiteral("Shell Menu Text:")));
    txtMenuText = new QLineEdit;
    txtMenuText->setObjectName(QStringLiteral("txtMenuText"));
    menuRow->addWidget(txtMenuText, 1);
    shell->addLayout(menuRow);
    connect(txtMenuText, &QLineEdit::textChanged, this, &SettingsPage::txtAppNameChange);

    QVBoxLayout* monitor = NewGroup(layout, "grpMonitorDirectorySettings", QStringLiteral("Monitor Directory Settings"));
    monitor->addWidget(NewText(page, LabelText(kMonitorText)));
    chkEnableMonitor = AddSwitch(monitor, "chkEnableMonitor",
                                 QStringLiteral("Enable automatic additions whilst program is running"),
                                 &UserSettings::monitorEnabled);
    connect(chkEnableMonitor, &QCheckBox::toggled, this, &SettingsPage::chkEnableMonitorClick);
    lblMonitorDir = new QLabel(QStringLiteral("Monitor Directory"));
    lblMonitorDir->setObjectName(QStringLiteral("lblMonitorDir"));
    monitor->addWidget(lblMonitorDir);
    auto* folderRow = new QHBoxLayout;
    txtMonitorDir = new QLineEdit;
    txtMonitorDir->setObjectName(QStringLiteral("txtMonitorDir"));
    txtMonitorDirButton = new QToolButton;
    txtMonitorDirButton->setObjectName(QStringLiteral("txtMonitorDirButton"));
    txtMonitorDirButton->setText(QStringLiteral("..."));
    folderRow->addWidget(txtMonitorDir, 1);
    folderRow->addWidget(txtMonitorDirButton);
    monitor->addLayout(folderRow);
    connect(txtMonitorDir, &QLineEdit::textChanged, this, &SettingsPage::txtAppNameChange);
    connect(txtMonitorDirButton, &QToolButton::clicked, this, &SettingsPage::txtMonitorDirButtonClick);

    layout->addStretch(1);
    return page;
}

// ---- sub-pages and the shared scroll bar ----

void SettingsPage::ShowSettingsPage(int page)
{
    if (page < General || page > LibrarySettings)
        return;
    for (int i = 0; i < 4; ++i)
        subPages[i]->setVisible(i == page - 1);
    QPushButton* const buttons[4] = {btnGeneralSettings, btnUserSettings, btnMediaSettings, btnLibrarySettings};
    buttons[page - 1]->setChecked(true);
    m_shownPage = page;
    AttachScrollBar(subPages[page - 1]);
}

void SettingsPage::AttachScrollBar(QScrollArea* area)
{
    for (const QMetaObject::Connection& link : m_scrollLinks)
        disconnect(link);
    m_scrollLinks.clear();
    QScrollBar* own = area->verticalScrollBar();
    own->setValue(0);
    vscrollsettings->setRange(own->minimum(), own->maximum());
    vscrollsettings->setPageStep(own->pageStep());
    vscrollsettings->setSingleStep(own->singleStep());
    vscrollsettings->setValue(0);
    m_scrollLinks.push_back(connect(own, &QScrollBar::rangeChanged, vscrollsettings, &QScrollBar::setRange));
    m_scrollLinks.push_back(connect(own, &QScrollBar::valueChanged, vscrollsettings, &QScrollBar::setValue));
    m_scrollLinks.push_back(connect(vscrollsettings, &QScrollBar::valueChanged, own, &QScrollBar::setValue));
}

// ---- the values ----

void SettingsPage::ShowValues(const SettingsValues& values)
{
    for (const auto& binding : m_userSwitches)
        binding.box->setChecked(values.user.*binding.value);
    for (const auto& binding : m_librarySwitches)
        binding.box->setChecked(values.library.*binding.value);
    txtMonitorDir->setText(QString::fromStdString(values.user.monitorDir));
    txtMenuText->setText(QString::fromStdString(values.user.shellMenuText));
    txtAppName->setText(QString::fromStdString(values.library.caption));
    cboThumbSize->setCurrentIndex(values.library.thumbSize >= 0 && values.library.thumbSize < cboThumbSize->count()
                                      ? values.library.thumbSize
                                      : -1);
    chkRepeat->setChecked(values.library.slideshow.repeat);
    txtDelayTime->setValue(values.library.slideshow.delaySeconds);
    SetSelectedColour(ColourFromValue(values.library.slideshowColour));
    // A box ticked by the program is handled like a user's click, also when its state
    // did not change.
    chkEnableThumbClick();
    chkEnableMonitorClick();
}

SettingsValues SettingsPage::ValuesShown() const
{
    SettingsValues values;
    for (const auto& binding : m_userSwitches)
        values.user.*binding.value = binding.box->isChecked();
    for (const auto& binding : m_librarySwitches)
        values.library.*binding.value = binding.box->isChecked();
    values.user.monitorDir = txtMonitorDir->text().toStdString();
    values.user.shellMenuText = txtMenuText->text().toStdString();
    values.library.caption = txtAppName->text().toStdString();
    values.library.thumbSize = std::max(cboThumbSize->currentIndex(), 0);
    values.library.slideshow.repeat = chkRepeat->isChecked();
    values.library.slideshow.delaySeconds = txtDelayTime->value();
    values.library.slideshowColour = ValueFromColour(m_colour);
    return values;
}

void SettingsPage::LoadSettings()
{
    if (m_model) {
        const SettingsValues values = m_model->Load();
        m_seam.ApplyUserSettings(values.user);
        ShowValues(values);
    }
    SetSettingsChanged(false);
}

void SettingsPage::SaveSettings()
{
    if (!m_model)
        return;
    const SettingsValues values = ValuesShown();
    const SettingsModel::SaveOutcome outcome = m_model->Save(
        values, [&] { m_seam.ApplyUserSettings(values.user); }, [&] { m_seam.ApplyLibraryOptions(values.library); });
    // What the monitor runs with now.
    txtMonitorDir->setText(QString::fromStdString(values.user.monitorDir));
    SetSettingsChanged(false);
    if (!outcome.settingsFileError.empty())
        m_boxes.ShowMessageBox(kSettingsFileError + outcome.settingsFileError, mb::kIconError);
    emit SettingsApplied();
}

void SettingsPage::SetSettingsChanged(bool changed)
{
    m_settingsChanged = changed;
    btnApplyChanges->setEnabled(changed);
}

void SettingsPage::ConfirmSaveSettings()
{
    if (!m_settingsChanged)
        return;
    if (m_boxes.ShowMessageBox(kSaveQuestion, mb::kYesNo | mb::kIconQuestion) == mb::kResultYes)
        SaveSettings();
    else
        LoadSettings();
}

void SettingsPage::StoreSwitchNow(const SwitchValue& value, bool on)
{
    try {
        SettingsStore store;
        value.Write(store, on);
        store.Flush();
    } catch (const std::exception& failure) {
        m_boxes.ShowMessageBox(kSettingsFileError + std::string(failure.what()), mb::kIconError);
    }
    for (const UserSettings::Switch& entry : UserSettings::Switches()) {
        if (std::string_view(entry.stored->section) != value.section ||
            std::string_view(entry.stored->name) != value.name)
            continue;
        for (const auto& binding : m_userSwitches)
            if (binding.value == entry.value)
                binding.box->setChecked(on);
    }
    SetSettingsChanged(false);
}

// ---- handlers ----

void SettingsPage::btnApplyChangesClick()
{
    if (m_boxes.ShowMessageBox(kApplyQuestion, mb::kYesNo | mb::kIconQuestion) == mb::kResultYes)
        SaveSettings();
}

void SettingsPage::txtAppNameChange()
{
    SetSettingsChanged(true);
}

void SettingsPage::chkEnableThumbClick()
{
    const bool on = chkEnableThumb->isChecked();
    cboThumbSize->setEnabled(on);
    chkThumbDefault->setEnabled(on);
    SetSettingsChanged(true);
}

void SettingsPage::chkEnableMonitorClick()
{
    const bool on = chkEnableMonitor->isChecked();
    lblMonitorDir->setEnabled(on);
    txtMonitorDir->setEnabled(on);
    txtMonitorDirButton->setEnabled(on);
    SetSettingsChanged(true);
}

void SettingsPage::txtMonitorDirButtonClick()
{
    const QString folder =
        m_dialogs.ChooseFolder(this, QString::fromLatin1(kSelectDirectoryTitle), txtMonitorDir->text());
    if (!folder.isEmpty())
        txtMonitorDir->setText(folder);
}

void SettingsPage::clColorClick()
{
    if (const std::optional<QColor> chosen = m_chooseColour(this, m_colour)) {
        SetSelectedColour(*chosen);
        SetSettingsChanged(true);
    }
}

void SettingsPage::SetSelectedColour(const QColor& colour)
{
    m_colour = colour;
    clColor->setStyleSheet(QStringLiteral("background-color: %1;").arg(colour.name()));
}

} // namespace velmora
