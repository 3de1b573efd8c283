// Transfer archives from the main window over a real library in a temporary folder:
// the two password dialogs, export of selected items and of a category, import from
// the menu, at the first activation and through a hand-over.
#include "app/HandOverTarget.h"
#include "app/ItemListView.h"
#include "app/MainWindow.h"
#include "dialogs/EnterPassDialog.h"
#include "dialogs/GetPassDialog.h"
#include "archive/TransferArchive.h"
#include "catalogue/CategoryTreeView.h"
#include "catalogue/Categories.h"
#include "catalogue/ItemContent.h"
#include "catalogue/ItemRows.h"
#include "dialogs/ProgressForm.h"
#include "store/CheckValue.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/LibraryFiles.h"
#include "store/MemoryStream.h"
#include "store/Query.h"
#include "store/TableRow.h"
#include "ui/ProgressRoutines.h"

#include "app/MainWindowSession.h"
#include "dialogs/DialogTestDoubles.h"
#include "support/CraftedArchives.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest/QtTest>

#include <filesystem>
#include <functional>
#include <memory>

using namespace velmora;
using velmora::test::FindNode;
using velmora::test::RecordingMessageBoxes;
using velmora::test::PatternBytes;
using velmora::test::ReadFile;
using velmora::test::Session;
using velmora::test::WriteFile;

namespace {

constexpr const char* kArchivePassword = "transfer pw";

// Runs action on the modal dialog of type T once one is open (polling until this object
// goes) and tells whether it ran; a dialog the action leaves open is cancelled.
template <typename T>
class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(T&)> action) : m_action(std::move(action))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start();
    }
    ModalAnswer(const ModalAnswer&) = delete;
    ModalAnswer& operator=(const ModalAnswer&) = delete;

    bool Ran() const { return m_ran; }

private:
    void Poll()
    {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        m_timer.stop();
        m_ran = true;
        m_action(*dialog);
        if (dialog->isVisible())
            dialog->done(QDialog::Rejected);
    }

    std::function<void(T&)> m_action;
    QTimer m_timer;
    bool m_ran = false;
};

ModalAnswer<TdlgGetPass> EnterNewPassword(const QString& password)
{
    return ModalAnswer<TdlgGetPass>([password](TdlgGetPass& dialog) {
        dialog.txtPassword->setText(password);
        dialog.txtConfirmPass->setText(password);
        QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    });
}

ModalAnswer<TdlgEnterPass> EnterArchivePassword(const QString& password)
{
    return ModalAnswer<TdlgEnterPass>([password](TdlgEnterPass& dialog) {
        dialog.txtPass->setText(password);
        QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    });
}

bool ProgressShown()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (qobject_cast<TfrmProgress*>(window) && window->isVisible())
            return true;
    return false;
}

// Watches for the progress window; notes whether it offered Cancel and, when asked
// to, presses Cancel as soon as it shows (the confirmation is answered by the message
// boxes' default, OK).
class ProgressWatcher {
public:
    explicit ProgressWatcher(bool pressCancel) : m_pressCancel(pressCancel)
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start();
    }
    bool seen = false;
    bool cancelOffered = false;

private:
    void Poll()
    {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* progress = qobject_cast<TfrmProgress*>(window);
            if (progress == nullptr || !progress->isVisible() || seen)
                continue;
            seen = true;
            cancelOffered = !progress->btnCancel->isHidden();
            if (m_pressCancel)
                QTest::mouseClick(progress->btnCancel, Qt::LeftButton);
        }
    }
    bool m_pressCancel;
    QTimer m_timer;
};

int ArchiveRows(const QString& path)
{
    TransferArchive archive(path.toStdString());
    return archive.RowCount();
}

// Message boxes that also note whether a progress window was on the screen.
class WatchingMessageBoxes : public RecordingMessageBoxes {
public:
    int ShowMessageBox(const std::string& text, int flags) override
    {
        progressShownAtMessage.push_back(ProgressShown());
        return RecordingMessageBoxes::ShowMessageBox(text, flags);
    }
    std::vector<bool> progressShownAtMessage;
};

std::vector<ItemRow> AllItems(TfrmMain& main)
{
    return ReadItemRows(main.MainLibrary().MainConnection(), "Select * from Record order by rec_ident").rows;
}

std::vector<ItemRow> ItemsOf(TfrmMain& main, int categoryId)
{
    return ReadItemRows(main.MainLibrary().MainConnection(), ItemsQueryForNode(categoryId)).rows;
}

std::string Content(TfrmMain& main, int recIdent)
{
    MemoryStream content;
    NullProgress progress;
    ReadItemToStream(main.MainLibrary().MainConnection(), recIdent, content, progress);
    return content.Bytes();
}

QStringList FileNames(const std::vector<ItemRow>& rows)
{
    QStringList names;
    for (const ItemRow& row : rows)
        names << QString::fromStdString(row.fileName);
    names.sort();
    return names;
}

void AddItemWith(const std::string& fileName, const std::string& bytes, std::optional<int> category = std::nullopt)
{
    MemoryStream source{bytes};
    if (!AddItemOnThread(category, source, fileName, -1, "about " + fileName))
        qFatal("item not added");
}

// The window shown on its Library page over "<Unclassified>" with every row selected.
void ShowWithAllSelected(Session& session)
{
    session.ShowAndActivate();
    session.main->SelectPage(2);
    session.main->mainList->SelectAll();
    session.main->UpdateActions();
}

void SelectNode(TfrmMain& main, const QString& text)
{
    QTreeWidgetItem* node = FindNode(main.mainTree, text);
    QVERIFY2(node, qPrintable(text));
    main.mainTree->setCurrentItem(node);
    main.UpdateActions();
}

// Exports every item of "<Unclassified>" into path through the menu entry.
void ExportAllUnclassified(Session& session, const QString& path)
{
    ShowWithAllSelected(session);
    session.dialogs.files.push_back(path);
    const auto asked = EnterNewPassword(QString::fromLatin1(kArchivePassword));
    session.main->actFileExport->trigger();
    QVERIFY(asked.Ran());
    QVERIFY(QFile::exists(path));
}

} // namespace

class ArchiveHandlersTest : public QObject {
    Q_OBJECT
public:
    ArchiveHandlersTest()
    {
        // A modal dialog no answer reaches is cancelled after a while, so a faulty test
        // fails instead of waiting for ever.
        m_watchdog.setInterval(100);
        connect(&m_watchdog, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            m_modalTicks = modal != nullptr && modal == m_modal ? m_modalTicks + 1 : 0;
            m_modal = modal;
            if (m_modalTicks > 100)
                if (auto* dialog = qobject_cast<QDialog*>(modal))
                    dialog->done(QDialog::Rejected);
        });
    }

private slots:
    void init() { m_watchdog.start(); }
    void cleanup() { m_watchdog.stop(); }

    void getPassDialogRefusesAnEmptyOrUnconfirmedPassword();
    void getPassDialogKeys_data();
    void getPassDialogKeys();
    void getPassDialogIsCentredOnItsOwner();
    void enterPassDialogTriesBase64ThenRaw();
    void enterPassDialogKeysAndPlace();

    void exportSelectedThenImportThroughTheMenu();
    void exportNames_data();
    void exportNames();
    void templateIsRefusedInAnyLetterCase_data();
    void templateIsRefusedInAnyLetterCase();
    void emptyCategoryIsReportedAndNothingAsked();
    void cancelledNewPasswordWritesNothing();
    void exportErrorIsToldAfterTheProgressWindowCloses();
    void onlyTheExportOfSelectedItemsCanBeCancelled();

    void wrongArchivePasswordKeepsTheDialogOpen_data();
    void wrongArchivePasswordKeepsTheDialogOpen();
    void cancelAtThePasswordLeavesTheLibraryAndReloadsTheList();
    void cancelInTheProgressWindowKeepsWhatWasImported();
    void damagedArchivesAreToldAndOtherFilesIgnored();
    void craftedArchivesAreRefusedWithTheMessage();
    void pendingArchiveIsImportedAtTheFirstActivation();
    void pendingArchiveThatFailedIsTriedAgain();
    void handedOverArchiveIsImported();
    void handOverDuringAnImportWaitsForIt();

private:
    QTimer m_watchdog;
    QPointer<QWidget> m_modal;
    int m_modalTicks = 0;
};

// ---- TdlgGetPass ----

void ArchiveHandlersTest::getPassDialogRefusesAnEmptyOrUnconfirmedPassword()
{
    RecordingMessageBoxes boxes;
    TdlgGetPass dialog(boxes);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Enter Password"));
    QCOMPARE(dialog.lblInfo->text(), QStringLiteral("Please enter and confirm a password to use"));
    QCOMPARE(dialog.txtPassword->echoMode(), QLineEdit::Password);
    QCOMPARE(dialog.txtConfirmPass->echoMode(), QLineEdit::Password);

    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(boxes.messages.size(), std::size_t(1));
    QCOMPARE(boxes.messages[0].text, std::string("You must enter a password."));
    QCOMPARE(boxes.messages[0].flags, 64);
    QCOMPARE(dialog.focusWidget(), dialog.txtPassword);

    // Only the confirmation typed: still empty.
    dialog.txtConfirmPass->setText(QStringLiteral("secret"));
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    QCOMPARE(boxes.messages.size(), std::size_t(2));
    QCOMPARE(boxes.messages[1].text, std::string("You must enter a password."));

    // The comparison is exact: letter case counts, and both edits keep what was typed.
    dialog.txtPassword->setText(QStringLiteral("Secret"));
    dialog.txtConfirmPass->setFocus();
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(boxes.messages.size(), std::size_t(3));
    QCOMPARE(boxes.messages[2].text, std::string("Password does not match confirmation. Please re-enter."));
    QCOMPARE(boxes.messages[2].flags, 64);
    QCOMPARE(dialog.txtPassword->text(), QStringLiteral("Secret"));
    QCOMPARE(dialog.txtConfirmPass->text(), QStringLiteral("secret"));
    QCOMPARE(dialog.focusWidget(), dialog.txtPassword);

    dialog.txtConfirmPass->setText(QStringLiteral("Secret"));
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.Password(), std::string("Secret"));
    QCOMPARE(boxes.messages.size(), std::size_t(3));
}

void ArchiveHandlersTest::getPassDialogKeys_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("confirmation");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("open");       // the dialog stays open
    QTest::addColumn<int>("result");      // when closed
    QTest::addColumn<QString>("message");

    QTest::newRow("Enter, confirmed") << "pw" << "pw" << int(Qt::Key_Return) << false << int(QDialog::Accepted) << "";
    QTest::newRow("keypad Enter, confirmed") << "pw" << "pw" << int(Qt::Key_Enter) << false << int(QDialog::Accepted)
                                             << "";
    QTest::newRow("Enter, empty") << "" << "" << int(Qt::Key_Return) << true << 0 << "You must enter a password.";
    QTest::newRow("Enter, mismatch") << "pw" << "wp" << int(Qt::Key_Return) << true << 0
                                     << "Password does not match confirmation. Please re-enter.";
    QTest::newRow("Escape") << "pw" << "pw" << int(Qt::Key_Escape) << false << int(QDialog::Rejected) << "";
}

void ArchiveHandlersTest::getPassDialogKeys()
{
    QFETCH(QString, password);
    QFETCH(QString, confirmation);
    QFETCH(int, key);
    QFETCH(bool, open);
    QFETCH(int, result);
    QFETCH(QString, message);

    RecordingMessageBoxes boxes;
    TdlgGetPass dialog(boxes);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.txtPassword->setText(password);
    dialog.txtConfirmPass->setText(confirmation);
    // The form sees the key first, also with a button focused.
    dialog.CancelBtn->setFocus();
    QTest::keyClick(dialog.CancelBtn, Qt::Key(key));
    QCOMPARE(dialog.isVisible(), open);
    if (!open)
        QCOMPARE(dialog.result(), result);
    if (message.isEmpty()) {
        QVERIFY(boxes.messages.empty());
    } else {
        QCOMPARE(boxes.messages.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(boxes.messages[0].text), message);
    }
}

void ArchiveHandlersTest::getPassDialogIsCentredOnItsOwner()
{
    RecordingMessageBoxes boxes;
    QWidget owner;
    owner.setGeometry(40, 60, 900, 500);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    TdlgGetPass dialog(boxes, &owner);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QPoint ownerCentre = owner.frameGeometry().center();
    const QPoint centre = dialog.frameGeometry().center();
    QVERIFY2(qAbs(centre.x() - ownerCentre.x()) <= 1 && qAbs(centre.y() - ownerCentre.y()) <= 1,
             qPrintable(QStringLiteral("%1,%2").arg(centre.x()).arg(centre.y())));
    QCOMPARE(dialog.focusWidget(), dialog.txtPassword);
}

// ---- TdlgEnterPass ----

void ArchiveHandlersTest::enterPassDialogTriesBase64ThenRaw()
{
    // An archive whose check value only the raw form of "pw" opens.
    std::vector<std::pair<std::string, bool>> asked;
    const auto check = [&asked](const std::string& candidate, bool base64) {
        asked.emplace_back(candidate, base64);
        if (candidate == "broken")
            throw std::runtime_error("unreadable");
        return candidate == "pw" && !base64;
    };
    RecordingMessageBoxes boxes;
    TdlgEnterPass dialog(check, boxes);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Enter Password"));
    QCOMPARE(dialog.lblInfo->text(), QStringLiteral("This file is password protected. Please enter the password "
                                                    "and click \"OK\" to continue"));
    QVERIFY(dialog.lblInfo->wordWrap());
    QCOMPARE(dialog.txtPass->echoMode(), QLineEdit::Password);

    for (const char* wrong : {"nope", "broken"}) {
        asked.clear();
        dialog.txtPass->setText(QString::fromLatin1(wrong));
        dialog.btnOK->setFocus();
        QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QCOMPARE(asked, (std::vector<std::pair<std::string, bool>>{{wrong, true}, {wrong, false}}));
        QCOMPARE(boxes.messages.back().text, std::string("Invalid Password, please try again"));
        QCOMPARE(boxes.messages.back().flags, 16);
        QCOMPARE(dialog.focusWidget(), dialog.txtPass);
    }
    QCOMPARE(boxes.messages.size(), std::size_t(2));

    asked.clear();
    dialog.txtPass->setText(QStringLiteral("pw"));
    QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.Password(), std::string("pw"));
    QCOMPARE(asked.size(), std::size_t(2));
    QCOMPARE(boxes.messages.size(), std::size_t(2));
}

void ArchiveHandlersTest::enterPassDialogKeysAndPlace()
{
    RecordingMessageBoxes boxes;
    int checks = 0;
    const auto check = [&checks](const std::string& candidate, bool base64) {
        ++checks;
        return candidate == "pw" && base64;
    };
    {
        TdlgEnterPass dialog(check, boxes);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.focusWidget(), dialog.txtPass);
        const QRect screen = dialog.screen()->availableGeometry();
        QVERIFY(qAbs(dialog.frameGeometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(dialog.frameGeometry().center().y() - screen.center().y()) <= 1);

        dialog.txtPass->setText(QStringLiteral("pw"));
        QTest::keyClick(dialog.txtPass, Qt::Key_Return);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(checks, 1);   // the Base64 form opened it
    }
    {
        TdlgEnterPass dialog(check, boxes);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.txtPass->setText(QStringLiteral("pw"));
        dialog.btnOK->setFocus();
        QTest::keyClick(dialog.btnOK, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(checks, 1);   // Escape tests nothing
    }
    QVERIFY(boxes.messages.empty());
}

// ---- export ----

void ArchiveHandlersTest::exportSelectedThenImportThroughTheMenu()
{
    Session session;
    TfrmMain& main = session.Open();
    const int imported = InsertCategory(main.MainLibrary().MainConnection(), 0, "Imported");
    const std::string big = PatternBytes(1000001, 7);
    AddItemWith("empty.jpg", "");
    AddItemWith("ten.mp3", "0123456789");
    AddItemWith("big.avi", big);
    const std::vector<ItemRow> before = AllItems(main);
    QCOMPARE(before.size(), std::size_t(3));

    QTemporaryDir archives;
    ShowWithAllSelected(session);
    main.SelectPage(1);   // the export switches to the Library page itself
    session.dialogs.files.push_back(archives.filePath(QStringLiteral("photos")));
    const auto asked = EnterNewPassword(QString::fromLatin1(kArchivePassword));
    main.actFileExport->trigger();
    QVERIFY(asked.Ran());
    QCOMPARE(main.CurrentPage(), 2);
    QCOMPARE(session.dialogs.asked, (QStringList{QStringLiteral("Select File To Save file"),
                                                 QStringLiteral("Encrypted Transfer Archive (*.eta)"),
                                                 QStringLiteral("*.eta")}));
    QVERIFY(session.boxes.messages.empty());
    const QString archive = archives.filePath(QStringLiteral("photos.eta"));
    QVERIFY(QFile::exists(archive));
    QVERIFY(!QFile::exists(archives.filePath(QStringLiteral("photos"))));
    QVERIFY(!ProgressShown());

    // Into the selected category, through the menu entry.
    SelectNode(main, QStringLiteral("Imported"));
    session.dialogs.asked.clear();
    session.dialogs.files.push_back(archive);
    const auto entered = EnterArchivePassword(QString::fromLatin1(kArchivePassword));
    main.SelectPage(1);
    main.actFileImport->trigger();
    QVERIFY(entered.Ran());
    QCOMPARE(main.CurrentPage(), 2);
    QCOMPARE(session.dialogs.asked,
             (QStringList{QStringLiteral("Open file"), QStringLiteral("Encrypted Transfer Archive (*.eta)"),
                          QStringLiteral("*.eta")}));
    QVERIFY(session.boxes.messages.empty());

    const std::vector<ItemRow> filed = ItemsOf(main, imported);
    QCOMPARE(FileNames(filed), (QStringList{"big.avi", "empty.jpg", "ten.mp3"}));
    QCOMPARE(AllItems(main).size(), std::size_t(6));
    QCOMPARE(ItemsOf(main, kUnclassifiedId).size(), std::size_t(3));   // none of them unfiled
    for (const ItemRow& row : filed) {
        const auto original = std::find_if(before.begin(), before.end(),
                                           [&row](const ItemRow& old) { return old.fileName == row.fileName; });
        QVERIFY(original != before.end());
        QCOMPARE(row.size, original->size);
        QCOMPARE(row.description, original->description);
        QVERIFY(row.notes.empty());
        QVERIFY(row.dateAdded.has_value());
        QCOMPARE(*row.dateAdded, db::Today());
        const std::string content = Content(main, row.recIdent);
        // The last cipher block's zero fill is stored too; rec_size keeps the true length.
        QVERIFY(content.size() >= static_cast<std::size_t>(row.size));
        const std::string expected = row.fileName == "big.avi" ? big : row.fileName == "ten.mp3" ? "0123456789" : "";
        QVERIFY(content.compare(0, expected.size(), expected) == 0);
    }

    // The list shows the category's new items, none selected.
    QCOMPARE(main.mainList->RowCount(), 3);
    QCOMPARE(main.mainList->SelectedCount(), 0);
}

void ArchiveHandlersTest::exportNames_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("category");
    QTest::addColumn<QString>("written");

    QTest::newRow("items: no extension") << "photos" << false << "photos.eta";
    QTest::newRow("items: capitals kept") << "X.ETA" << false << "X.ETA";
    QTest::newRow("items: four characters") << "a.et" << false << "a.et.eta";
    QTest::newRow("items: other extension") << "photos.zip" << false << "photos.zip.eta";
    QTest::newRow("category: as typed") << "photos" << true << "photos";
    QTest::newRow("category: other extension") << "photos.zip" << true << "photos.zip";
}

void ArchiveHandlersTest::exportNames()
{
    QFETCH(QString, typed);
    QFETCH(bool, category);
    QFETCH(QString, written);

    Session session;
    TfrmMain& main = session.Open();
    session.AddItem("one.jpg");
    QTemporaryDir archives;
    ShowWithAllSelected(session);
    session.dialogs.files.push_back(archives.filePath(typed));
    const auto asked = EnterNewPassword(QString::fromLatin1(kArchivePassword));
    (category ? main.actExportCategory : main.actFileExport)->trigger();
    QVERIFY(asked.Ran());
    QVERIFY(session.boxes.messages.empty());
    QCOMPARE(QDir(archives.path()).entryList(QDir::Files), QStringList{written});

    // What was written is an archive of that item.
    session.dialogs.files.push_back(archives.filePath(written));
    const auto entered = EnterArchivePassword(QString::fromLatin1(kArchivePassword));
    main.actFileImport->trigger();
    QVERIFY(entered.Ran());
    QCOMPARE(FileNames(AllItems(main)), (QStringList{"one.jpg", "one.jpg"}));
}

void ArchiveHandlersTest::templateIsRefusedInAnyLetterCase_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("category");
    QTest::newRow("items, as shipped") << "template.tnt" << false;
    QTest::newRow("items, capitals") << "TEMPLATE.TNT" << false;
    QTest::newRow("category, mixed case") << "Template.Tnt" << true;
}

void ArchiveHandlersTest::templateIsRefusedInAnyLetterCase()
{
    QFETCH(QString, name);
    QFETCH(bool, category);

    const std::filesystem::path templateFile = std::filesystem::path(GetAppDir()) / kArchiveTemplateName;
    const std::string shipped = ReadFile(templateFile);
    const auto shippedTime = std::filesystem::last_write_time(templateFile);

    Session session;
    TfrmMain& main = session.Open();
    session.AddItem("one.jpg");
    ShowWithAllSelected(session);
    session.dialogs.files.push_back(QString::fromStdString(GetAppDir()) + QLatin1Char('/') + name);
    const auto asked = EnterNewPassword(QString::fromLatin1(kArchivePassword));
    (category ? main.actExportCategory : main.actFileExport)->trigger();
    QCoreApplication::processEvents();

    QVERIFY(!asked.Ran());   // no password asked
    QCOMPARE(session.boxes.messages.size(), std::size_t(1));
    QCOMPARE(session.boxes.messages[0].text,
             std::string("Template.tnt is required by the application, and cannot be overwritten"));
    QCOMPARE(session.boxes.messages[0].flags, 16);
    QCOMPARE(ReadFile(templateFile), shipped);
    QCOMPARE(std::filesystem::last_write_time(templateFile), shippedTime);
    // Nothing was written beside it either, under the typed name or with ".eta".
    for (const QString& written : {name, name + QStringLiteral(".eta")})
        if (written != QLatin1String(kArchiveTemplateName))
            QVERIFY2(!QFile::exists(QString::fromStdString(GetAppDir()) + QLatin1Char('/') + written),
                     qPrintable(written));
}

void ArchiveHandlersTest::emptyCategoryIsReportedAndNothingAsked()
{
    Session session;
    TfrmMain& main = session.Open();
    InsertCategory(main.MainLibrary().MainConnection(), 0, "Nothing here");
    session.AddItem("elsewhere.jpg");
    session.ShowAndActivate();
    SelectNode(main, QStringLiteral("Nothing here"));
    QTRY_VERIFY(main.actExportCategory->isEnabled());
    QCOMPARE(main.mainList->RowCount(), 0);

    main.actExportCategory->trigger();
    QCOMPARE(main.CurrentPage(), 2);
    QCOMPARE(session.boxes.messages.size(), std::size_t(1));
    QCOMPARE(session.boxes.messages[0].text, std::string("There are no items in this category."));
    QCOMPARE(session.boxes.messages[0].flags, 64);
    QVERIFY(session.dialogs.asked.isEmpty());   // no file asked for, so none created
}

void ArchiveHandlersTest::cancelledNewPasswordWritesNothing()
{
    Session session;
    TfrmMain& main = session.Open();
    session.AddItem("one.jpg");
    QTemporaryDir archives;
    ShowWithAllSelected(session);
    session.dialogs.files.push_back(archives.filePath(QStringLiteral("kept.eta")));
    WriteFile(archives.filePath(QStringLiteral("kept.eta")).toStdString(), "earlier content");
    const ModalAnswer<TdlgGetPass> asked([](TdlgGetPass& dialog) {
        dialog.txtPassword->setText(QStringLiteral("pw"));
        dialog.txtConfirmPass->setText(QStringLiteral("pw"));
        QTest::mouseClick(dialog.CancelBtn, Qt::LeftButton);
    });
    main.actFileExport->trigger();
    QVERIFY(asked.Ran());
    QVERIFY(session.boxes.messages.empty());
    QCOMPARE(ReadFile(archives.filePath(QStringLiteral("kept.eta")).toStdString()), std::string("earlier content"));
    QCOMPARE(QDir(archives.path()).entryList(QDir::Files), QStringList{"kept.eta"});
}

void ArchiveHandlersTest::exportErrorIsToldAfterTheProgressWindowCloses()
{
    WatchingMessageBoxes boxes;
    Session session;
    MainWindowOptions options;
    options.streamPort = 0;
    options.boxes = &boxes;
    options.fileDialogs = &session.dialogs;
    session.main = std::make_unique<TfrmMain>(options);
    TfrmMain& main = *session.main;
    QVERIFY(main.VerifyPassword(velmora::test::kPassword));
    AddItemWith("whole.jpg", "all of it");
    AddItemWith("short.jpg", "stored");
    // The library promises more than the store holds: reading it fails part way.
    main.MainLibrary().MainConnection().Execute(
        "Update Record set rec_size = 2000000 where rec_tnorigname = 'short.jpg'");
    ShowWithAllSelected(session);
    QTemporaryDir archives;

    const QString prefix = QStringLiteral("Unable to export for the following reason: ");
    struct Case {
        QString target;
        QAction* action;
    };
    const Case cases[] = {
        // Fails while the progress window shows.
        {archives.filePath(QStringLiteral("broken.eta")), main.actExportCategory},
        {archives.filePath(QStringLiteral("broken items.eta")), main.actFileExport},
        // Fails before it: the folder is not there.
        {archives.filePath(QStringLiteral("no such folder/out.eta")), main.actExportCategory},
    };
    for (const Case& c : cases) {
        boxes.messages.clear();
        boxes.progressShownAtMessage.clear();
        session.dialogs.files.push_back(c.target);
        const auto asked = EnterNewPassword(QString::fromLatin1(kArchivePassword));
        c.action->trigger();
        QVERIFY(asked.Ran());
        QCOMPARE(boxes.messages.size(), std::size_t(1));
        const QString text = QString::fromStdString(boxes.messages[0].text);
        QVERIFY2(text.startsWith(prefix) && text.size() > prefix.size(), qPrintable(text));
        QCOMPARE(boxes.messages[0].flags, 16);
        QCOMPARE(boxes.progressShownAtMessage, std::vector<bool>{false});
        QVERIFY(main.isEnabled());   // the progress window gave the window back
    }
    QVERIFY(!QFile::exists(cases[2].target));
}

void ArchiveHandlersTest::onlyTheExportOfSelectedItemsCanBeCancelled()
{
    Session session;
    TfrmMain& main = session.Open();
    for (int item = 0; item < 5; ++item)
        AddItemWith("clip" + std::to_string(item) + ".mpg", PatternBytes(1200000, unsigned(item)));
    QTemporaryDir archives;
    ShowWithAllSelected(session);

    const QString items = archives.filePath(QStringLiteral("items.eta"));
    {
        ProgressWatcher watcher(true);
        session.dialogs.files.push_back(items);
        const auto asked = EnterNewPassword(QString::fromLatin1(kArchivePassword));
        main.actFileExport->trigger();
        QVERIFY(asked.Ran());
        QVERIFY(watcher.seen && watcher.cancelOffered);
    }
    // Stopped before the next item, without a word beyond the question.
    QVERIFY(ArchiveRows(items) < 5);
    QCOMPARE(session.boxes.messages.size(), std::size_t(1));
    QCOMPARE(session.boxes.messages[0].text, std::string("Cancel this operation?"));

    const QString category = archives.filePath(QStringLiteral("category.eta"));
    {
        ProgressWatcher watcher(false);
        session.dialogs.files.push_back(category);
        const auto asked = EnterNewPassword(QString::fromLatin1(kArchivePassword));
        main.actExportCategory->trigger();
        QVERIFY(asked.Ran());
        QVERIFY(watcher.seen && !watcher.cancelOffered);
    }
    QCOMPARE(ArchiveRows(category), 5);
    QCOMPARE(session.boxes.messages.size(), std::size_t(1));
    QVERIFY(main.isEnabled());
}

// ---- import ----

void ArchiveHandlersTest::wrongArchivePasswordKeepsTheDialogOpen_data()
{
    QTest::addColumn<bool>("rawCheckValue");
    QTest::newRow("check value in Base64") << false;
    QTest::newRow("check value as raw cipher bytes") << true;
}

void ArchiveHandlersTest::wrongArchivePasswordKeepsTheDialogOpen()
{
    QFETCH(bool, rawCheckValue);

    Session session;
    TfrmMain& main = session.Open();
    session.AddItem("one.jpg");
    QTemporaryDir archives;
    const QString archive = archives.filePath(QStringLiteral("one.eta"));
    ExportAllUnclassified(session, archive);
    if (rawCheckValue) {
        db::Connection connection(
            db::ConnectionString::Build(archive.toStdString(), db::kShareDenyNone, GetDatabasePassword()));
        connection.Open();
        db::TableRow("Options")
            .Set("opt_pass", EncryptToBytes(std::string(kArchivePassword), kCheckText))
            .Update(connection, "1 = 1");
    }

    session.dialogs.files.push_back(archive);
    bool stayedOpen = false;
    std::size_t messagesAtWrong = 0;
    const ModalAnswer<TdlgEnterPass> entered([&](TdlgEnterPass& dialog) {
        dialog.txtPass->setText(QStringLiteral("Transfer PW"));   // the letter case counts
        QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
        stayedOpen = dialog.isVisible();
        messagesAtWrong = session.boxes.messages.size();
        dialog.txtPass->setText(QString::fromLatin1(kArchivePassword));
        QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    });
    main.actFileImport->trigger();
    QVERIFY(entered.Ran());
    QVERIFY(stayedOpen);
    QCOMPARE(messagesAtWrong, std::size_t(1));
    QCOMPARE(session.boxes.messages.size(), std::size_t(1));
    QCOMPARE(session.boxes.messages[0].text, std::string("Invalid Password, please try again"));
    QCOMPARE(session.boxes.messages[0].flags, 16);
    QCOMPARE(FileNames(AllItems(main)), (QStringList{"one.jpg", "one.jpg"}));
    QCOMPARE(Content(main, AllItems(main).back().recIdent).substr(0, 18), std::string("content of one.jpg"));
    // "<Unclassified>" was selected: the copy is filed nowhere and listed there.
    QCOMPARE(main.mainList->RowCount(), 2);
}

void ArchiveHandlersTest::cancelAtThePasswordLeavesTheLibraryAndReloadsTheList()
{
    Session session;
    TfrmMain& main = session.Open();
    session.AddItem("one.jpg");
    QTemporaryDir archives;
    const QString archive = archives.filePath(QStringLiteral("one.eta"));
    ExportAllUnclassified(session, archive);
    QCOMPARE(main.mainList->SelectedCount(), 1);

    // An item the list has not seen yet: only a reload shows it.
    session.AddItem("two.jpg");
    QCOMPARE(main.mainList->RowCount(), 1);

    session.dialogs.files.push_back(archive);
    const ModalAnswer<TdlgEnterPass> entered([](TdlgEnterPass& dialog) {
        dialog.txtPass->setText(QString::fromLatin1(kArchivePassword));
        QTest::mouseClick(dialog.btnCancel, Qt::LeftButton);
    });
    main.actFileImport->trigger();
    QVERIFY(entered.Ran());
    QVERIFY(session.boxes.messages.empty());
    QCOMPARE(FileNames(AllItems(main)), (QStringList{"one.jpg", "two.jpg"}));
    QCOMPARE(main.mainList->RowCount(), 2);
    QCOMPARE(main.mainList->SelectedCount(), 0);

    // The archive was let go: it can be replaced at once.
    QVERIFY(QFile::remove(archive));
}

void ArchiveHandlersTest::cancelInTheProgressWindowKeepsWhatWasImported()
{
    Session session;
    TfrmMain& main = session.Open();
    for (int item = 0; item < 5; ++item)
        AddItemWith("clip" + std::to_string(item) + ".mpg", PatternBytes(1200000, unsigned(item)));
    QTemporaryDir archives;
    const QString archive = archives.filePath(QStringLiteral("clips.eta"));
    ExportAllUnclassified(session, archive);
    QCOMPARE(ArchiveRows(archive), 5);

    ProgressWatcher watcher(true);
    session.dialogs.files.push_back(archive);
    const auto entered = EnterArchivePassword(QString::fromLatin1(kArchivePassword));
    main.actFileImport->trigger();
    QVERIFY(entered.Ran());
    QVERIFY(watcher.seen && watcher.cancelOffered);
    const std::size_t added = AllItems(main).size() - 5;
    QVERIFY2(added < 5, qPrintable(QString::number(added)));
    QCOMPARE(session.boxes.messages.size(), std::size_t(1));
    QCOMPARE(session.boxes.messages[0].text, std::string("Cancel this operation?"));
    // Whatever was added is whole, and listed.
    for (const ItemRow& row : AllItems(main)) {
        const unsigned seed = unsigned(row.fileName[4] - '0');   // clipN.mpg
        QVERIFY(Content(main, row.recIdent).compare(0, 1200000, PatternBytes(1200000, seed)) == 0);
    }
    QCOMPARE(main.mainList->RowCount(), static_cast<int>(5 + added));
    QCOMPARE(main.mainList->SelectedCount(), 0);
    QVERIFY(!ProgressShown());
}

void ArchiveHandlersTest::damagedArchivesAreToldAndOtherFilesIgnored()
{
    Session session;
    TfrmMain& main = session.Open();
    session.AddItem("one.jpg");
    QTemporaryDir archives;
    const QString good = archives.filePath(QStringLiteral("good.eta"));
    ExportAllUnclassified(session, good);
    const std::string bytes = ReadFile(good.toStdString());

    // Without its record table.
    const QString noTable = archives.filePath(QStringLiteral("no table.eta"));
    WriteFile(noTable.toStdString(), bytes);
    {
        db::Connection connection(
            db::ConnectionString::Build(noTable.toStdString(), db::kShareDenyNone, GetDatabasePassword()));
        connection.Open();
        connection.Execute("drop table record");
    }
    // Cut short.
    const QString truncated = archives.filePath(QStringLiteral("truncated.eta"));
    WriteFile(truncated.toStdString(), bytes.substr(0, bytes.size() / 2));
    // Not an archive at all, and a file that is not there.
    const QString text = archives.filePath(QStringLiteral("notes.eta"));
    WriteFile(text.toStdString(), "just some text, not a database");
    const QString missing = archives.filePath(QStringLiteral("missing.eta"));

    struct Case {
        QString path;
        bool told;
    };
    for (const Case& c : {Case{noTable, true}, Case{truncated, true}, Case{text, false}, Case{missing, false}}) {
        session.boxes.messages.clear();
        session.dialogs.files.push_back(c.path);
        const auto asked = EnterArchivePassword(QString::fromLatin1(kArchivePassword));
        main.actFileImport->trigger();
        QCoreApplication::processEvents();
        QVERIFY2(!asked.Ran(), qPrintable(c.path));   // no password asked of a file that cannot be imported
        QCOMPARE(AllItems(main).size(), std::size_t(1));
        if (c.told) {
            QCOMPARE(session.boxes.messages.size(), std::size_t(1));
            const QString message = QString::fromStdString(session.boxes.messages[0].text);
            QVERIFY2(message.startsWith(QStringLiteral("Unable to import the archive for the following reason: ")),
                     qPrintable(message));
            QCOMPARE(session.boxes.messages[0].flags, 16);
        } else {
            QVERIFY2(session.boxes.messages.empty(), qPrintable(c.path));
        }
    }
}

void ArchiveHandlersTest::craftedArchivesAreRefusedWithTheMessage()
{
    Session session;
    TfrmMain& main = session.Open();
    QTemporaryDir archives;
    const std::string crashing = archives.filePath(QStringLiteral("crash.eta")).toStdString();
    const std::string endless = archives.filePath(QStringLiteral("endless.eta")).toStdString();
    velmora::test::MakeSchemaCrashArchive(crashing, kArchivePassword);
    velmora::test::MakeEndlessViewArchive(endless, kArchivePassword);

    for (const std::string& path : {crashing, endless}) {
        session.boxes.messages.clear();
        session.dialogs.files.push_back(QString::fromStdString(path));
        const auto asked = EnterArchivePassword(QString::fromLatin1(kArchivePassword));
        main.actFileImport->trigger();   // returns: neither crashed nor hung
        QCoreApplication::processEvents();
        QVERIFY2(!asked.Ran(), path.c_str());
        QCOMPARE(session.boxes.messages.size(), std::size_t(1));
        QCOMPARE(session.boxes.messages[0].text,
                 std::string("Unable to import the archive for the following reason: \r\n"
                             "the file is not a valid transfer archive"));
        QCOMPARE(session.boxes.messages[0].flags, 16);
        QVERIFY(AllItems(main).empty());
        QVERIFY(!ProgressShown());
    }
}

void ArchiveHandlersTest::pendingArchiveIsImportedAtTheFirstActivation()
{
    QTemporaryDir archives;
    const QString archive = archives.filePath(QStringLiteral("from the command line.eta"));
    {
        Session exporting;
        exporting.Open();
        exporting.AddItem("one.jpg");
        ExportAllUnclassified(exporting, archive);
    }

    Session session;
    TfrmMain& main = session.Open();
    main.SetPendingArchive(archive.toStdString());
    const auto entered = EnterArchivePassword(QString::fromLatin1(kArchivePassword));
    QCOMPARE(main.CurrentPage(), 1);
    session.ShowAndActivate();
    QTRY_VERIFY(entered.Ran());
    QTRY_COMPARE(FileNames(AllItems(main)), QStringList{"one.jpg"});
    // Shown where they went, as after an import from the menu.
    QTRY_COMPARE(main.mainList->RowCount(), 1);
    QCOMPARE(main.CurrentPage(), 2);
    QVERIFY(main.tab2->isVisible());
    QVERIFY(main.findChild<QAbstractButton*>(QStringLiteral("tab2"))->isChecked());

    // Imported once: later activations ask for nothing.
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    const auto again = EnterArchivePassword(QString::fromLatin1(kArchivePassword));
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QTest::qWait(50);
    QVERIFY(!again.Ran());
    QCOMPARE(AllItems(main).size(), std::size_t(1));
}

void ArchiveHandlersTest::pendingArchiveThatFailedIsTriedAgain()
{
    QTemporaryDir archives;
    const QString made = archives.filePath(QStringLiteral("made.eta"));
    {
        Session exporting;
        exporting.Open();
        exporting.AddItem("one.jpg");
        ExportAllUnclassified(exporting, made);
    }

    Session session;
    TfrmMain& main = session.Open();
    const QString archive = archives.filePath(QStringLiteral("later.eta"));
    main.SetPendingArchive(archive.toStdString());   // not there yet: nothing happens
    {
        const auto entered = EnterArchivePassword(QString::fromLatin1(kArchivePassword));
        session.ShowAndActivate();
        QTest::qWait(50);
        QVERIFY(!entered.Ran());
    }
    QVERIFY(session.boxes.messages.empty());
    QCOMPARE(main.CurrentPage(), 1);   // nothing to show yet

    // The archive appears while the window is in the background; the next activation
    // imports it.
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(QFile::copy(made, archive));
    const auto entered = EnterArchivePassword(QString::fromLatin1(kArchivePassword));
    main.activateWindow();
    QTRY_VERIFY(entered.Ran());
    QTRY_COMPARE(FileNames(AllItems(main)), QStringList{"one.jpg"});
}

void ArchiveHandlersTest::handedOverArchiveIsImported()
{
    Session session;
    TfrmMain& main = session.Open();
    const int holidays = InsertCategory(main.MainLibrary().MainConnection(), 0, "Holidays");
    AddItemWith("a.jpg", "first");
    AddItemWith("b.jpg", "second");
    QTemporaryDir archives;
    const QString first = archives.filePath(QStringLiteral("first.eta"));
    const QString second = archives.filePath(QStringLiteral("second.eta"));
    ShowWithAllSelected(session);
    main.mainList->SelectIdent(1);
    session.dialogs.files.push_back(first);
    {
        const auto asked = EnterNewPassword(QString::fromLatin1(kArchivePassword));
        main.actFileExport->trigger();
        QVERIFY(asked.Ran());
    }
    main.mainList->SelectIdent(2);
    session.dialogs.files.push_back(second);
    {
        const auto asked = EnterNewPassword(QStringLiteral("other pw"));
        main.actFileExport->trigger();
        QVERIFY(asked.Ran());
    }
    QVERIFY(QFile::exists(first) && QFile::exists(second));
    SelectNode(main, QStringLiteral("Holidays"));

    // Two archives handed over at once: one after the other, in the order received.
    QStringList order;
    std::optional<ModalAnswer<TdlgEnterPass>> answerSecond;
    const ModalAnswer<TdlgEnterPass> answerFirst([&](TdlgEnterPass& dialog) {
        order << QStringLiteral("first");
        // The second one's dialog comes after this import has finished.
        answerSecond.emplace([&](TdlgEnterPass& next) {
            order << QStringLiteral("second");
            next.txtPass->setText(QStringLiteral("other pw"));
            QTest::mouseClick(next.btnOK, Qt::LeftButton);
        });
        dialog.txtPass->setText(QString::fromLatin1(kArchivePassword));
        QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    });
    HandOverTarget& target = main;
    target.ImportArchive(first.toStdString());
    target.ImportArchive(second.toStdString());
    QTRY_COMPARE(order, (QStringList{"first", "second"}));
    QTRY_COMPARE(FileNames(ItemsOf(main, holidays)), (QStringList{"a.jpg", "b.jpg"}));
    QCOMPARE(ItemsOf(main, holidays).front().fileName, std::string("a.jpg"));   // first added first
    QTRY_COMPARE(main.mainList->RowCount(), 2);
    QVERIFY(session.boxes.messages.empty());
}

void ArchiveHandlersTest::handOverDuringAnImportWaitsForIt()
{
    Session session;
    TfrmMain& main = session.Open();
    session.AddItem("one.jpg");
    QTemporaryDir archives;
    const QString archive = archives.filePath(QStringLiteral("one.eta"));
    ExportAllUnclassified(session, archive);

    // A second start hands the same archive over while the menu's import asks for its
    // password: no second dialog opens on top of the first.
    session.dialogs.files.push_back(archive);
    int dialogsOpenTogether = 0;
    bool handedOverDialog = false;
    std::optional<ModalAnswer<TdlgEnterPass>> answerHandedOver;
    const ModalAnswer<TdlgEnterPass> answerMenu([&](TdlgEnterPass& dialog) {
        HandOverTarget& target = main;
        target.ImportArchive(archive.toStdString());
        QTest::qWait(50);   // the hand-over's turn in the event loop comes and goes
        for (QWidget* window : QApplication::topLevelWidgets())
            if (qobject_cast<TdlgEnterPass*>(window) && window->isVisible())
                ++dialogsOpenTogether;
        answerHandedOver.emplace([&](TdlgEnterPass& next) {
            handedOverDialog = true;
            next.txtPass->setText(QString::fromLatin1(kArchivePassword));
            QTest::mouseClick(next.btnOK, Qt::LeftButton);
        });
        dialog.txtPass->setText(QString::fromLatin1(kArchivePassword));
        QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    });
    main.actFileImport->trigger();
    QVERIFY(answerMenu.Ran());
    QCOMPARE(dialogsOpenTogether, 1);
    QTRY_VERIFY(handedOverDialog);
    QTRY_COMPARE(AllItems(main).size(), std::size_t(3));
}

QTEST_MAIN(ArchiveHandlersTest)
#include "ArchiveHandlersTest.moc"
