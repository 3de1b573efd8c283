// The Library page's operations on items, over a real library in a temporary folder:
// adding through the file dialog, paste, deleting, removing from a category, search,
// saving to disk and printing.
#include "app/ItemListView.h"
#include "app/MainWindow.h"
#include "catalogue/Categories.h"
#include "catalogue/CategoryTreeView.h"
#include "catalogue/FileImport.h"
#include "catalogue/ItemContent.h"
#include "catalogue/ItemRows.h"
#include "dialogs/GuiProgress.h"
#include "dialogs/ProgressForm.h"
#include "playback/ImageAspect.h"
#include "store/MemoryStream.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "store/SqlText.h"

#include "app/MainWindowSession.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QBuffer>
#include <QImage>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QtTest/QtTest>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

using namespace velmora;
using velmora::test::FindNode;
using velmora::test::PatternBytes;
using velmora::test::ReadFile;
using velmora::test::Session;
using velmora::test::WriteFile;

namespace fs = std::filesystem;

namespace {

constexpr int kQuestion = mb::kYesNo | mb::kIconQuestion;

const QString kOpenPictureFilter = QStringLiteral(
    "All (*.jpg *.jpeg *.bmp *.emf *.wmf *.mp3 *.gif *.wma *.wmv *.asf *.mpg *.mpeg *.avi *.m1v *.mp2 *.mpa *.mpe "
    "*.ifo *.vob *.mid *.rmi *.midi *.wav *.snd *.au *.aif *.aifc *.aiff *.png *.webp *.tif *.tiff *.heic *.heif "
    "*.flac *.ogg *.oga *.opus *.m4a *.aac *.mp4 *.m4v *.mov *.mkv *.webm *.3gp *.mts *.m2ts)"
    ";;JPEG Image File (*.jpg)"
    ";;JPEG Image File (*.jpeg)"
    ";;Bitmaps (*.bmp)"
    ";;Enhanced Metafiles (*.emf)"
    ";;Metafiles (*.wmf)"
    ";;Midi Files (*.mid *.rmi *.midi)"
    ";;Music (*.wav *.snd *.au *.aif *.aifc *.aiff *.mp3 *.wma *.asf *.flac *.ogg *.oga *.opus *.m4a *.aac)"
    ";;Movies (*.mpeg *.mpg *.m1v *.mp2 *.mpa *.mpe *.ifo *.vob *.avi *.wmv *.mp4 *.m4v *.mov *.mkv *.webm *.3gp "
    "*.mts *.m2ts)"
    ";;GIF Files (*.gif)"
    ";;Pictures (*.gif *.jpg *.bmp *.jpeg *.wmf *.png *.webp *.tif *.tiff *.heic *.heif)");

db::Connection& Db(TfrmMain& main)
{
    return main.MainLibrary().MainConnection();
}

// Stores bytes as a new item, as the add pipeline does; returns its rec_ident.
int AddBytes(TfrmMain& main, const std::string& fileName, const std::string& bytes, int category = kUnclassifiedId)
{
    MemoryStream source(bytes);
    main.Import().AddItemFromStream(category, source, fileName, fileName, -1);
    // Taken here, so that no later list fill selects it.
    return main.Import().TakeLastAddedItem().value();
}

void Link(TfrmMain& main, int category, int item)
{
    Db(main).Execute(SqlFormat("Insert into RecordCategory (reccat_category, reccat_record) values (%d,%d)", category,
                               item));
}

std::int64_t Scalar(TfrmMain& main, const std::string& sql)
{
    db::Query query(Db(main), "Select (" + sql + ") as v");
    return query.AsInteger("v");
}

// The item's content, or nothing when it can no longer be read.
std::optional<std::string> ItemContent(TfrmMain& main, int item)
{
    MemoryStream content;
    NullProgress progress;
    try {
        ReadItemToStream(Db(main), item, content, progress);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return content.Bytes();
}

// Chunks of the item left in the first store file.
std::int64_t StoredChunks(int item)
{
    db::Query query(ObjectStore::ForThisThread().StoreConnection(1),
                    SqlFormat("Select count(*) as v from recobject where ro_record = %d", item));
    return query.AsInteger("v");
}

// rec_ident of the rows listed, top to bottom.
std::vector<int> Listed(TfrmMain& main)
{
    std::vector<int> idents;
    QAbstractItemModel* model = main.mainList->DetailView()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        idents.push_back(model->index(row, ItemListView::ColDescription).data(ItemListView::kIdentRole).toInt());
    return idents;
}

// The stored file names of the rows listed, top to bottom.
QStringList ListedNames(TfrmMain& main)
{
    QStringList names;
    for (int item : Listed(main)) {
        db::Query query(Db(main), SqlFormat("Select rec_tnorigname from Record where rec_ident = %d", item));
        names << QString::fromStdString(query.AsString("rec_tnorigname"));
    }
    return names;
}

std::set<int> ItemsOf(TfrmMain& main, int node)
{
    std::set<int> items;
    for (const ItemRow& row : ReadItemRows(Db(main), ItemsQueryForNode(node)).rows)
        items.insert(row.recIdent);
    return items;
}

// Selects exactly these rows of the list.
void Select(TfrmMain& main, const std::vector<int>& items)
{
    QItemSelectionModel* selection = main.mainList->DetailView()->selectionModel();
    QAbstractItemModel* model = main.mainList->DetailView()->model();
    selection->clearSelection();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (std::find(items.begin(), items.end(), index.data(ItemListView::kIdentRole).toInt()) != items.end())
            selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QCOMPARE(main.mainList->SelectedCount(), static_cast<int>(items.size()));
    main.UpdateActions();
}

void SelectNode(TfrmMain& main, const QString& text)
{
    QTreeWidgetItem* node = FindNode(main.mainTree, text);
    QVERIFY2(node != nullptr, qPrintable(text));
    main.SelectPage(2);
    main.mainTree->setCurrentItem(node);
    QVERIFY(node->isSelected());
    main.UpdateActions();
}

std::string FileName(const QTemporaryDir& dir, const char* name)
{
    return dir.filePath(QLatin1String(name)).toStdString();
}

// Sets an environment variable for the scope and puts the old value back.
class EnvironmentValue {
public:
    EnvironmentValue(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        setenv(name, value.c_str(), 1);
    }
    ~EnvironmentValue()
    {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }
    EnvironmentValue(const EnvironmentValue&) = delete;
    EnvironmentValue& operator=(const EnvironmentValue&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

} // namespace

class LibraryOperationsTest : public QObject {
    Q_OBJECT
private slots:
    void addFilesThroughTheDialog();
    void sourcesThatCannotBeReadAreToldAndTheImportGoesOn();
    void pasteAddsAndNeverDeletesTheSources_data();
    void pasteAddsAndNeverDeletesTheSources();
    void namesThatAreNotUtf8ComeInByteForByte_data();
    void namesThatAreNotUtf8ComeInByteForByte();
    void deleteItems_data();
    void deleteItems();
    void deleteFilesLeavesItemsAloneWhileTheTreeHasTheFocus();
    void removeFromCategory_data();
    void removeFromCategory();
    void search_data();
    void search();
    void searchWithoutTextOrWithARejectedText();
    void saveToDiskWritesTheItemsBytes();
    void printHandsATemporaryCopyToThePrintCommand();
    void cancelWhilePrintingEndsThePrintCommand();
};

void LibraryOperationsTest::addFilesThroughTheDialog()
{
    Session session;
    TfrmMain& main = session.Open();
    const int holidays = InsertCategory(Db(main), 0, "Holidays");
    session.ShowAndActivate();
    SelectNode(main, QStringLiteral("Holidays"));

    QTemporaryDir sources;
    const std::string photo = PatternBytes(1'000'001, 4);   // more than one chunk
    WriteFile(FileName(sources, "Holiday.JPG"), photo);
    WriteFile(FileName(sources, "song.mp3"), "la la la");
    WriteFile(FileName(sources, "notes.txt"), "not media");
    session.dialogs.ChooseFiles({sources.filePath(QStringLiteral("Holiday.JPG")),
                                 sources.filePath(QStringLiteral("notes.txt")),
                                 sources.filePath(QStringLiteral("song.mp3"))});
    QVERIFY(main.actEditAddToCategory->isEnabled());
    main.actEditAddToCategory->trigger();

    QCOMPARE(session.dialogs.asked, (QStringList{QStringLiteral("Open picture"), kOpenPictureFilter}));
    QVERIFY(session.boxes.messages.empty());   // the text file is passed over silently
    QCOMPARE(main.CurrentPage(), 2);
    // Listed at once, under the selected category.
    QCOMPARE(ListedNames(main), (QStringList{QStringLiteral("Holiday.JPG"), QStringLiteral("song.mp3")}));
    QCOMPARE(ItemsOf(main, holidays).size(), std::size_t(2));
    const std::vector<int> listed = Listed(main);
    QVERIFY(ItemContent(main, listed[0]) == photo);
    QVERIFY(ItemContent(main, listed[1]) == std::string("la la la"));
    // The dialog never deletes its sources.
    QVERIFY(fs::exists(FileName(sources, "Holiday.JPG")) && fs::exists(FileName(sources, "song.mp3")));

    // Cancel adds nothing.
    main.actEditAddToCategory->trigger();
    QCOMPARE(session.dialogs.asked.size(), qsizetype(4));
    QCOMPARE(Scalar(main, "Select count(*) from Record"), std::int64_t(2));
}

void LibraryOperationsTest::sourcesThatCannotBeReadAreToldAndTheImportGoesOn()
{
    Session session;
    TfrmMain& main = session.Open();
    session.ShowAndActivate();   // "<Unclassified>" is selected

    QTemporaryDir sources;
    const QString vanished = sources.filePath(QStringLiteral("vanished.jpg"));
    const QString pipe = sources.filePath(QStringLiteral("pipe.jpg"));   // reading would never end
    const QString locked = sources.filePath(QStringLiteral("locked.jpg"));
    const QString good = sources.filePath(QStringLiteral("good.gif"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    WriteFile(locked.toStdString(), "secret");
    ::chmod(QFile::encodeName(locked).constData(), 0);
    // Permissions do not keep the superuser out.
    const bool lockedIsUnreadable = ::access(QFile::encodeName(locked).constData(), R_OK) != 0;
    WriteFile(good.toStdString(), "GIF89a");

    QStringList chosen{vanished, pipe};
    if (lockedIsUnreadable)
        chosen << locked;
    chosen << good;
    session.dialogs.ChooseFiles(chosen);
    main.actEditAddToCategory->trigger();

    const std::size_t bad = static_cast<std::size_t>(chosen.size() - 1);
    QCOMPARE(session.boxes.messages.size(), bad);
    for (std::size_t i = 0; i < bad; ++i) {
        const std::string prefix = "There was an error whilst attempting to open the file: " +
                                   chosen[static_cast<int>(i)].toStdString() + "\n\r\n\rException: ";
        const auto& message = session.boxes.messages[i];
        QVERIFY2(message.text.rfind(prefix, 0) == 0, message.text.c_str());
        QVERIFY2(message.text.size() > prefix.size(), "the error's text follows");
        QCOMPARE(message.flags, mb::kOk);
    }
    QCOMPARE(ListedNames(main), QStringList{QStringLiteral("good.gif")});
    QCOMPARE(Scalar(main, "Select count(*) from Record"), std::int64_t(1));   // nothing of the failed ones stays
    QVERIFY(fs::exists(pipe.toStdString()));
    if (lockedIsUnreadable)
        QVERIFY(fs::exists(locked.toStdString()));
}

void LibraryOperationsTest::pasteAddsAndNeverDeletesTheSources_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("verb");   // of the desktop's copied-files format
    QTest::newRow("uri list") << QStringLiteral("text/uri-list") << QString();
    QTest::newRow("copied files, copy") << QStringLiteral("x-special/gnome-copied-files") << QStringLiteral("copy");
    QTest::newRow("copied files, cut") << QStringLiteral("x-special/gnome-copied-files") << QStringLiteral("cut");
}

void LibraryOperationsTest::pasteAddsAndNeverDeletesTheSources()
{
    QFETCH(QString, format);
    QFETCH(QString, verb);

    Session session;
    TfrmMain& main = session.Open();
    // Every option that deletes sources elsewhere is on.
    Db(main).Execute("Update options set opt_defdelete = 1, opt_condelete = 1");
    QVERIFY(main.DeleteSourceByDefault());
    const int holidays = InsertCategory(Db(main), 0, "Holidays");
    session.ShowAndActivate();
    SelectNode(main, QStringLiteral("Holidays"));

    QTemporaryDir sources;
    WriteFile(FileName(sources, "beach.jpg"), "sand");
    WriteFile(FileName(sources, "waves.wav"), "whoosh");
    const QList<QUrl> urls{QUrl::fromLocalFile(sources.filePath(QStringLiteral("beach.jpg"))),
                           QUrl::fromLocalFile(sources.filePath(QStringLiteral("waves.wav")))};
    auto* data = new QMimeData;
    if (verb.isEmpty()) {
        data->setUrls(urls);
    } else {
        QByteArray text = verb.toUtf8();
        for (const QUrl& url : urls)
            text += '\n' + url.toEncoded();
        data->setData(format, text);
    }
    QGuiApplication::clipboard()->setMimeData(data);
    QTRY_VERIFY(main.actEditPaste->isEnabled());
    main.actEditPaste->trigger();

    QCOMPARE(ListedNames(main), (QStringList{QStringLiteral("beach.jpg"), QStringLiteral("waves.wav")}));
    QCOMPARE(ItemsOf(main, holidays).size(), std::size_t(2));
    QVERIFY(fs::exists(FileName(sources, "beach.jpg")) && fs::exists(FileName(sources, "waves.wav")));
    QCOMPARE(ReadFile(FileName(sources, "beach.jpg")), std::string("sand"));
    QCOMPARE(ReadFile(FileName(sources, "waves.wav")), std::string("whoosh"));
    QVERIFY(session.boxes.messages.empty());
    QGuiApplication::clipboard()->clear();
}

void LibraryOperationsTest::namesThatAreNotUtf8ComeInByteForByte_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("paste, uri list") << QStringLiteral("text/uri-list");
    QTest::newRow("paste, copied files") << QStringLiteral("x-special/gnome-copied-files");
    // The desktop's chooser answers with URLs; Qt's own lists no such names.
    QTest::newRow("file dialog") << QStringLiteral("dialog");
}

// A Latin-1 file and folder name, as an older system or a copied memory card has them:
// stored as the command line and a folder walk store them, byte for byte.
void LibraryOperationsTest::namesThatAreNotUtf8ComeInByteForByte()
{
    QFETCH(QString, way);

    Session session;
    TfrmMain& main = session.Open();
    session.ShowAndActivate();   // "<Unclassified>" is selected

    QTemporaryDir sources;
    const std::string root = QFile::encodeName(sources.path()).toStdString();
    const std::string file = root + "/caf\xe9.jpg";
    const std::string folder = root + "/F\xf6lder";
    WriteFile(file, "espresso");
    fs::create_directory(folder);
    WriteFile(folder + "/inside.gif", "GIF89a");
    const bool withFolder = way != QLatin1String("dialog");
    QList<QByteArray> uris{"file://" + QByteArray::fromStdString(file).toPercentEncoding("/")};
    if (withFolder)
        uris << "file://" + QByteArray::fromStdString(folder).toPercentEncoding("/");

    if (way == QLatin1String("dialog")) {
        QList<QUrl> chosen;
        for (const QByteArray& uri : uris)
            chosen << QUrl::fromEncoded(uri);
        session.dialogs.openFiles.push_back(chosen);
        main.actEditAddToCategory->trigger();
    } else {
        auto* data = new QMimeData;
        data->setData(way, (way == QLatin1String("text/uri-list") ? QByteArray() : QByteArray("copy\n")) +
                               uris.join(way == QLatin1String("text/uri-list") ? "\r\n" : "\n"));
        QGuiApplication::clipboard()->setMimeData(data);
        QTRY_VERIFY(main.actEditPaste->isEnabled());
        main.actEditPaste->trigger();
        QGuiApplication::clipboard()->clear();
    }

    QVERIFY2(session.boxes.messages.empty(), session.boxes.messages.empty() ? "" : session.boxes.messages[0].text.c_str());
    const int item = static_cast<int>(Scalar(main, "Select rec_ident from Record where rec_tnorigname = 'caf\xe9.jpg'"));
    QVERIFY(item != 0);
    QCOMPARE(ItemContent(main, item), std::optional<std::string>("espresso"));
    if (withFolder) {
        QCOMPARE(Scalar(main, "Select count(*) from Category where cat_description = 'F\xf6lder'"), std::int64_t(1));
        QCOMPARE(Scalar(main, "Select count(*) from Record where rec_tnorigname = 'inside.gif'"), std::int64_t(1));
    }
    QCOMPARE(Scalar(main, "Select count(*) from Record"), std::int64_t(withFolder ? 2 : 1));
}

void LibraryOperationsTest::deleteItems_data()
{
    QTest::addColumn<QList<int>>("selected");   // positions among the five items
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("question");

    QTest::newRow("one") << QList<int>{2} << mb::kResultYes << QStringLiteral("Are you sure you want to delete this file?");
    QTest::newRow("three of five") << QList<int>{0, 2, 4} << mb::kResultYes
                                   << QStringLiteral("Are you sure you want to delete these 3 files?");
    QTest::newRow("closed without an answer") << QList<int>{1} << mb::kResultCancel
                                              << QStringLiteral("Are you sure you want to delete this file?");
    QTest::newRow("No keeps them") << QList<int>{1, 3} << mb::kResultNo
                                   << QStringLiteral("Are you sure you want to delete these 2 files?");
}

void LibraryOperationsTest::deleteItems()
{
    QFETCH(QList<int>, selected);
    QFETCH(int, answer);
    QFETCH(QString, question);

    Session session;
    TfrmMain& main = session.Open();
    const int holidays = InsertCategory(Db(main), 0, "Holidays");
    std::vector<int> items;
    std::vector<std::string> contents;
    for (int i = 0; i < 5; ++i) {
        contents.push_back(PatternBytes(i == 2 ? 1'200'000 : 1000 + i, static_cast<unsigned>(i)));
        items.push_back(AddBytes(main, "item" + std::to_string(i) + ".jpg", contents.back(), holidays));
    }
    session.ShowAndActivate();
    SelectNode(main, QStringLiteral("Holidays"));
    std::vector<int> chosen;
    for (int position : selected)
        chosen.push_back(items[static_cast<std::size_t>(position)]);
    Select(main, chosen);
    main.mainList->DetailView()->setFocus();
    QTRY_VERIFY(main.mainList->HasKeyboardFocus());

    session.boxes.answers.push_back(answer);
    QVERIFY(main.actEditDeleteFiles->isEnabled());
    main.actEditDeleteFiles->trigger();

    QCOMPARE(session.boxes.messages.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(session.boxes.messages.front().text), question);
    QCOMPARE(session.boxes.messages.front().flags, kQuestion);
    const bool deleted = answer != mb::kResultNo;
    std::vector<int> remaining;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const bool gone = deleted && std::find(chosen.begin(), chosen.end(), items[i]) != chosen.end();
        if (gone) {
            QVERIFY(!ItemContent(main, items[i]));
            QCOMPARE(StoredChunks(items[i]), std::int64_t(0));
            QCOMPARE(Scalar(main, SqlFormat("Select count(*) from Record where rec_ident = %d", items[i])),
                     std::int64_t(0));
        } else {
            QVERIFY(ItemContent(main, items[i]) == contents[i]);
            QVERIFY(StoredChunks(items[i]) > 0);
            remaining.push_back(items[i]);
        }
    }
    // The list is filled again for the selected category.
    std::vector<int> listed = Listed(main);
    std::sort(listed.begin(), listed.end());
    QCOMPARE(listed, remaining);
    QCOMPARE(ItemsOf(main, holidays), std::set<int>(remaining.begin(), remaining.end()));
    // The progress window has gone and the keys reach the list again.
    QVERIFY(main.isEnabled());
    QTRY_VERIFY(main.isActiveWindow());
    QTRY_VERIFY(main.mainList->HasKeyboardFocus());
}

void LibraryOperationsTest::deleteFilesLeavesItemsAloneWhileTheTreeHasTheFocus()
{
    Session session;
    TfrmMain& main = session.Open();
    const int item = AddBytes(main, "one.jpg", "one");
    session.ShowAndActivate();
    Select(main, {item});
    main.mainTree->setFocus();
    QTRY_VERIFY(main.mainTree->hasFocus());
    main.actEditDeleteFiles->trigger();
    QVERIFY(session.boxes.messages.empty());
    QVERIFY(ItemContent(main, item) == std::string("one"));
}

void LibraryOperationsTest::removeFromCategory_data()
{
    QTest::addColumn<int>("count");   // the first rows listed
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("question");

    QTest::newRow("one") << 1 << mb::kResultYes
                         << QStringLiteral("Are you sure you want to remove this file from the category?");
    QTest::newRow("two") << 2 << mb::kResultYes
                         << QStringLiteral("Are you sure you want to remove these 2 files from the category?");
    QTest::newRow("No keeps them") << 2 << mb::kResultNo
                                   << QStringLiteral("Are you sure you want to remove these 2 files from the category?");
}

void LibraryOperationsTest::removeFromCategory()
{
    QFETCH(int, count);
    QFETCH(int, answer);
    QFETCH(QString, question);

    Session session;
    TfrmMain& main = session.Open();
    const int holidays = InsertCategory(Db(main), 0, "Holidays");
    const int beach = InsertCategory(Db(main), holidays, "Beach");
    // Listed by description: a, b, c. "a" is also on the beach.
    const int a = AddBytes(main, "a.jpg", "A", holidays);
    const int b = AddBytes(main, "b.jpg", "B", holidays);
    const int c = AddBytes(main, "c.jpg", "C", holidays);
    Link(main, beach, a);
    session.ShowAndActivate();
    SelectNode(main, QStringLiteral("Holidays"));
    const std::vector<int> all{a, b, c};
    QCOMPARE(Listed(main), all);
    const std::vector<int> chosen(all.begin(), all.begin() + count);
    Select(main, chosen);

    session.boxes.answers.push_back(answer);
    QVERIFY(main.actEditRemoveFromCategory->isEnabled());
    main.actEditRemoveFromCategory->trigger();

    QCOMPARE(session.boxes.messages.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(session.boxes.messages.front().text), question);
    QCOMPARE(session.boxes.messages.front().flags, kQuestion);
    if (answer == mb::kResultNo) {
        QCOMPARE(Listed(main), all);
        QCOMPARE(ItemsOf(main, holidays), (std::set<int>{a, b, c}));
        return;
    }
    const std::vector<int> kept(all.begin() + count, all.end());
    QCOMPARE(Listed(main), kept);
    QCOMPARE(ItemsOf(main, holidays), std::set<int>(kept.begin(), kept.end()));
    // The items stay in the library: "a" on the beach, "b" unclassified once it has
    // lost its only category.
    QCOMPARE(ItemsOf(main, beach), std::set<int>{a});
    QCOMPARE(ItemsOf(main, kUnclassifiedId), count == 2 ? std::set<int>{b} : std::set<int>{});
    for (int item : {a, b, c})
        QVERIFY(ItemContent(main, item).has_value());
}

void LibraryOperationsTest::search_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enter");   // Enter in the box rather than the button
    QTest::addColumn<QStringList>("found");

    QTest::newRow("apostrophe") << QStringLiteral("O'Neil") << false << QStringList{QStringLiteral("portrait.bmp")};
    QTest::newRow("apostrophe, Enter") << QStringLiteral("O'Neil") << true
                                       << QStringList{QStringLiteral("portrait.bmp")};
    QTest::newRow("star") << QStringLiteral("*.jpg") << false
                          << QStringList{QStringLiteral("beach.jpg"), QStringLiteral("photo.JPG.wmv")};
    QTest::newRow("question mark") << QStringLiteral("a?c") << true
                                   << QStringList{QStringLiteral("a1c.wav"), QStringLiteral("abc.mp3")};
    QTest::newRow("nothing") << QStringLiteral("zebra") << false << QStringList{};
}

void LibraryOperationsTest::search()
{
    QFETCH(QString, text);
    QFETCH(bool, enter);
    QFETCH(QStringList, found);

    Session session;
    TfrmMain& main = session.Open();
    const int holidays = InsertCategory(Db(main), 0, "Holidays");
    const int portrait = AddBytes(main, "portrait.bmp", "p", holidays);
    RenameItemDescription(Db(main), portrait, "Mr O'Neil at home");
    AddBytes(main, "photo.JPG.wmv", "w", holidays);
    AddBytes(main, "beach.jpg", "b");
    AddBytes(main, "abc.mp3", "m", holidays);
    AddBytes(main, "a1c.wav", "1");
    AddBytes(main, "ac.wav", "2");
    AddBytes(main, "xyz.gif", "3");
    session.ShowAndActivate();
    SelectNode(main, QStringLiteral("Holidays"));

    main.txtTextToFind->setText(text);
    if (enter) {
        main.txtTextToFind->setFocus();
        QTRY_VERIFY(main.txtTextToFind->hasFocus());
        QTest::keyClick(main.txtTextToFind, Qt::Key_Return);
    } else {
        QTest::mouseClick(main.btnFind, Qt::LeftButton);
    }

    QCOMPARE(ListedNames(main), found);
    QVERIFY(session.boxes.messages.empty());
    QCOMPARE(main.txtTextToFind->text(), text);
    // No category is selected while the finds are shown, and nothing refills the list.
    QVERIFY(main.mainTree->selectedItems().isEmpty());
    main.actViewRefresh->trigger();
    QCOMPARE(ListedNames(main), found);
}

void LibraryOperationsTest::searchWithoutTextOrWithARejectedText()
{
    Session session;
    TfrmMain& main = session.Open();
    AddBytes(main, "one.jpg", "1");
    AddBytes(main, "two.jpg", "2");
    session.ShowAndActivate();
    SelectNode(main, QStringLiteral("<Unclassified>"));
    QCOMPARE(main.mainList->RowCount(), 2);
    const QString counts = main.lblFileInfo1->text();

    main.txtTextToFind->clear();
    QTest::mouseClick(main.btnFind, Qt::LeftButton);
    QCOMPARE(session.boxes.messages.size(), std::size_t(1));
    QCOMPARE(session.boxes.messages[0].text, std::string("Please enter some text to find."));
    QCOMPARE(session.boxes.messages[0].flags, mb::kIconInformation);
    QCOMPARE(main.mainList->RowCount(), 2);   // unchanged
    QTRY_VERIFY(main.txtTextToFind->hasFocus());

    // The database refuses a pattern longer than its limit in bytes (the box itself
    // holds at most 32767 characters).
    main.txtTextToFind->setText(QString(20000, QChar(0x20AC)));
    QTest::keyClick(main.txtTextToFind, Qt::Key_Return);
    QCOMPARE(session.boxes.messages.size(), std::size_t(2));
    QCOMPARE(session.boxes.messages[1].text, std::string("Invalid Search Criteria Entered"));
    QCOMPARE(session.boxes.messages[1].flags, mb::kIconError);
    QCOMPARE(main.mainList->RowCount(), 0);
    QCOMPARE(main.lblFileInfo1->text(), counts);
}

void LibraryOperationsTest::saveToDiskWritesTheItemsBytes()
{
    Session session;
    TfrmMain& main = session.Open();
    const std::string big = PatternBytes(1'000'001, 9);
    const int one = AddBytes(main, "one.jpg", big);
    const int two = AddBytes(main, "two.mp3", "second");
    const int three = AddBytes(main, "three.avi", "not chosen");
    session.ShowAndActivate();
    QTemporaryDir target;
    WriteFile(FileName(target, "two.mp3"), "an older file of that name, longer than the item");

    Select(main, {one, two});
    QVERIFY(main.actFileSaveToDisk->isEnabled());
    main.actFileSaveToDisk->trigger();   // cancelled
    QCOMPARE(session.dialogs.asked, (QStringList{QStringLiteral("Select Directory"), QString()}));
    QCOMPARE(ReadFile(FileName(target, "two.mp3")), std::string("an older file of that name, longer than the item"));

    session.dialogs.files.push_back(target.path());
    main.actFileSaveToDisk->trigger();
    QCOMPARE(session.dialogs.asked.size(), qsizetype(4));
    QVERIFY(session.boxes.messages.empty());
    QCOMPARE(ReadFile(FileName(target, "one.jpg")), big);
    QCOMPARE(ReadFile(FileName(target, "two.mp3")), std::string("second"));
    QVERIFY(!fs::exists(FileName(target, "three.avi")));
    Q_UNUSED(three);
    QVERIFY(main.isEnabled());
}

void LibraryOperationsTest::printHandsATemporaryCopyToThePrintCommand()
{
    Session session;
    QTemporaryDir tools;
    QTemporaryDir temporary;   // made before it becomes the temporary folder
    const EnvironmentValue tmp("TMPDIR", temporary.path().toStdString());
    const std::string log = FileName(tools, "log");
    const std::string stub = FileName(tools, "print-stub");
    // Records its argument and keeps what the file held while it ran.
    WriteFile(stub, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + log + "'\ncp \"$1\" '" + tools.path().toStdString() +
                        "/printed'\n");
    fs::permissions(stub, fs::perms::owner_all);
    const EnvironmentValue command("VELMORA_PRINT_COMMAND", stub);

    TfrmMain& main = session.Open();
    // A picture the preview shows, longer than one chunk (what follows its end marker
    // is not part of the picture).
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(image.save(&buffer, "JPG"));
    const std::string picture = encoded.toStdString() + PatternBytes(600'001, 5);
    const int jpeg = AddBytes(main, "pic.jpg", picture);
    const int movie = AddBytes(main, "clip.mpg", "frames");
    session.ShowAndActivate();

    // The previewed picture, printed from the preview pane's button: hidden afterwards.
    main.SelectPage(2);
    Select(main, {jpeg});
    QTRY_VERIFY2(main.picture->isVisible() && main.btnPrint->isVisible(), qPrintable(main.lblErrMessage1->text()));
    main.btnPrint->click();
    QVERIFY(!main.picture->isVisible());
    QVERIFY(!main.actViewSlideshow->isEnabled());
    QCOMPARE(QString::fromStdString(ReadFile(log)).count(QLatin1Char('\n')), qsizetype(1));
    WriteFile(log, "");

    Select(main, {jpeg, movie});
    QVERIFY(main.actFilePrint->isEnabled());
    main.actFilePrint->trigger();

    // The movie is passed over; the picture went to the command as a copy named tn….JPG.
    const QStringList lines = QString::fromStdString(ReadFile(log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), qsizetype(1));
    const QFileInfo printed(lines.front());
    QCOMPARE(printed.absolutePath(), QDir(temporary.path()).absolutePath());
    QVERIFY2(printed.fileName().startsWith(QLatin1String("tn")), qPrintable(printed.fileName()));
    QVERIFY2(printed.fileName().endsWith(QLatin1String(".JPG")), qPrintable(printed.fileName()));
    QCOMPARE(ReadFile(FileName(tools, "printed")), picture);
    // No temporary copy is left behind.
    QCOMPARE(QDir(temporary.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{});
    QVERIFY(session.boxes.messages.empty());
    QVERIFY(main.isEnabled());
}

void LibraryOperationsTest::cancelWhilePrintingEndsThePrintCommand()
{
    Session session;
    QTemporaryDir tools;
    QTemporaryDir temporary;
    const EnvironmentValue tmp("TMPDIR", temporary.path().toStdString());
    const std::string pidFile = FileName(tools, "pid");
    const std::string finished = FileName(tools, "finished");
    const std::string stub = FileName(tools, "print-stub");
    const std::string log = FileName(tools, "log");
    // Tells its process id, then takes far longer than the test waits for anything.
    WriteFile(stub, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + log + "'\necho $$ > '" + pidFile + ".new'\nmv '" +
                        pidFile + ".new' '" + pidFile + "'\nsleep 30\ntouch '" + finished + "'\n");
    fs::permissions(stub, fs::perms::owner_all);
    const EnvironmentValue command("VELMORA_PRINT_COMMAND", stub);

    TfrmMain& main = session.Open();
    const int first = AddBytes(main, "first.gif", "GIF89a one");
    const int second = AddBytes(main, "second.gif", "GIF89a two");
    session.ShowAndActivate();
    Select(main, {first, second});

    // The user presses Cancel once the command runs; this can only happen while the
    // window keeps handling events during the wait.
    bool pressed = false;
    QTimer cancel;
    cancel.setInterval(10);
    connect(&cancel, &QTimer::timeout, this, [&] {
        auto* progress = dynamic_cast<GuiProgress*>(&main.Progress());
        if (pressed || progress == nullptr || progress->Window() == nullptr || !fs::exists(pidFile))
            return;
        pressed = true;
        progress->Window()->btnCancel->click();
    });
    cancel.start();
    main.actFilePrint->trigger();
    cancel.stop();

    QVERIFY(pressed);
    QCOMPARE(session.boxes.messages.size(), std::size_t(1));
    QCOMPARE(session.boxes.messages[0].text, std::string("Cancel this operation?"));
    const pid_t pid = std::stoi(ReadFile(pidFile));
    QCOMPARE(::kill(pid, 0), -1);   // ended and reaped
    QCOMPARE(errno, ESRCH);
    QVERIFY(!fs::exists(finished));
    // The walk stopped: the second picture never reached the command.
    QCOMPARE(QString::fromStdString(ReadFile(log)).count(QLatin1Char('\n')), qsizetype(1));
    QCOMPARE(QDir(temporary.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{});
    QVERIFY(main.isEnabled());
}

QTEST_MAIN(LibraryOperationsTest)
#include "LibraryOperationsTest.moc"
