// Files dragged from another program onto the item list and the category tree over a
// real X server: the drag source is a process of its own (xdnd_drag_source, as a file
// manager would be), the mouse is driven by xdotool, and the two sides speak XDND.
// What the source is told decides whether it deletes its files itself, so a source
// must only ever hear "copy": the library deletes a moved file on its own, once stored.
// The names reach the library byte for byte, UTF-8 or not.
#include "MainWindowSession.h"

#include "app/ItemListView.h"
#include "catalogue/Categories.h"
#include "catalogue/CategoryTreeView.h"
#include "store/Query.h"

#include "support/VirtualDisplay.h"

#include <QAbstractItemView>
#include <QListView>
#include <QTreeView>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <cstdio>
#include <cstdlib>

using namespace velmora;
using namespace velmora::test;

namespace {

// A hang guard, never a timing check.
constexpr int kHangGuardMs = 20000;

// Where a drag last reached a widget (a widget that refuses a drag is asked again at
// every move).
class DragWatcher : public QObject {
public:
    explicit DragWatcher(QWidget* target) { target->installEventFilter(this); }
    QPoint lastMove{-1, -1};

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove)
            lastMove = static_cast<QDragMoveEvent*>(event)->position().toPoint();
        return false;
    }
};

// The drag source program, with what it has said so far.
class DragSource {
public:
    DragSource(const QString& actions, const QList<QByteArray>& uris)
    {
        QStringList arguments{actions};
        for (const QByteArray& uri : uris)
            arguments << QString::fromLatin1(uri);   // percent-encoded: plain ASCII
        m_process.start(QString::fromStdString((BinDir() / "xdnd_drag_source").string()), arguments);
    }
    ~DragSource()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // Lines said so far ("ready X Y", "answer ACTION", "result ACTION").
    QStringList Lines()
    {
        m_said += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_said.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QString LineStarting(const QString& word)
    {
        for (const QString& line : Lines())
            if (line.startsWith(word + QLatin1Char(' ')))
                return line.mid(word.size() + 1);
        return {};
    }
    bool Ended() const { return m_process.state() == QProcess::NotRunning; }
    // Closes its input, which ends it once it has served the drop.
    void Finish() { m_process.closeWriteChannel(); }
    QString Errors() { return QString::fromUtf8(m_process.readAllStandardError()); }

private:
    QProcess m_process;
    QString m_said;
};

bool Xdotool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    // Short commands; the event loop is not needed by anyone while they run.
    return tool.waitForFinished(kHangGuardMs) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

// Lets go of the mouse button however the test ends, so that a failed case leaves no
// drag behind for the next.
class ButtonHeld {
public:
    ButtonHeld() = default;
    ~ButtonHeld() { Release(); }
    ButtonHeld(const ButtonHeld&) = delete;
    ButtonHeld& operator=(const ButtonHeld&) = delete;
    bool Release()
    {
        if (m_released)
            return true;
        m_released = true;
        return Xdotool({"mouseup", "1"});
    }

private:
    bool m_released = false;
};

QByteArray FileUri(const QByteArray& path)
{
    return "file://" + path.toPercentEncoding("/");
}

void WriteBytes(const QByteArray& path, const QByteArray& bytes)
{
    std::FILE* file = std::fopen(path.constData(), "wb");
    QVERIFY(file != nullptr);
    QCOMPARE(std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), file),
             static_cast<std::size_t>(bytes.size()));
    QCOMPARE(std::fclose(file), 0);
}

bool Exists(const QByteArray& path)
{
    return ::access(path.constData(), F_OK) == 0;
}

std::int64_t Count(TfrmMain& main, const std::string& sql)
{
    db::Query query(main.MainLibrary().MainConnection(), sql);
    return query.AsInteger("n");
}

} // namespace

class XdndDropTest : public QObject {
    Q_OBJECT
private slots:
    void sourceIsToldCopyAndOnlyStoredFilesAreDeleted_data();
    void sourceIsToldCopyAndOnlyStoredFilesAreDeleted();
};

void XdndDropTest::sourceIsToldCopyAndOnlyStoredFilesAreDeleted_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QString>("told");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<bool>("storedFileDeleted");

    // "Delete source files by default" is on: a plain drop is a move, but only a source
    // that offers one has its files deleted, by the library. A source that will not
    // copy cannot be told "copy", so its drop is refused.
    for (const char* target : {"list", "tree"}) {
        const QString on = QString::fromLatin1(target);
        QTest::addRow("%s, copy only", target) << on << "copy" << "copy" << true << false;
        QTest::addRow("%s, copy or move", target) << on << "copy,move" << "copy" << true << true;
        QTest::addRow("%s, move only", target) << on << "move" << "none" << false << false;
    }
}

void XdndDropTest::sourceIsToldCopyAndOnlyStoredFilesAreDeleted()
{
    QFETCH(QString, target);
    QFETCH(QString, offered);
    QFETCH(QString, told);
    QFETCH(bool, taken);
    QFETCH(bool, storedFileDeleted);

    QTemporaryDir sources;
    const QByteArray folder = QFile::encodeName(sources.path());
    const QByteArray stored = folder + "/stored.jpg";
    const QByteArray latin1 = folder + "/caf\xe9.jpg";   // a name that is not UTF-8
    const QByteArray skipped = folder + "/notes.txt";    // not a media file: never taken
    WriteBytes(stored, "picture bytes");
    WriteBytes(latin1, "more picture bytes");
    WriteBytes(skipped, "text the library does not take");

    Session session;
    TfrmMain& main = session.Open();
    const int drops = InsertCategory(main.MainLibrary().MainConnection(), kUnclassifiedId, "Drops");
    main.MainLibrary().MainConnection().Execute("update options set opt_defdelete = 1");
    main.show();
    main.setGeometry(200, 0, 900, 650);
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    main.SelectPage(2);

    QWidget* targetWidget = nullptr;
    QPoint local;
    if (target == QLatin1String("list")) {
        QAbstractItemView* view = main.mainList->IsThumbnailView()
                                      ? static_cast<QAbstractItemView*>(main.mainList->ThumbnailView())
                                      : main.mainList->DetailView();
        targetWidget = view->viewport();
        local = targetWidget->rect().center();
    } else {
        QTreeWidgetItem* node = FindNode(main.mainTree, QStringLiteral("Drops"));
        QVERIFY(node != nullptr);
        targetWidget = main.mainTree->viewport();
        local = main.mainTree->visualItemRect(node).center();
    }
    QTRY_VERIFY(targetWidget->isVisible());
    const QPoint global = targetWidget->mapToGlobal(local);
    DragWatcher watcher(targetWidget);

    DragSource source(offered, {FileUri(stored), FileUri(latin1), FileUri(skipped)});
    QTRY_VERIFY_WITH_TIMEOUT(!source.LineStarting(QStringLiteral("ready")).isEmpty() || source.Ended(), kHangGuardMs);
    const QStringList start = source.LineStarting(QStringLiteral("ready")).split(QLatin1Char(' '));
    QVERIFY2(start.size() == 2, qPrintable(source.Errors()));

    // Press on the source, then move across to the target in steps, as a hand would.
    ButtonHeld held;
    QVERIFY(Xdotool({"mousemove", "--sync", start[0], start[1], "mousedown", "1"}));
    for (int step = 1; step <= 4; ++step) {
        const int x = start[0].toInt() + (global.x() - start[0].toInt()) * step / 4;
        const int y = start[1].toInt() + (global.y() - start[1].toInt()) * step / 4;
        QVERIFY(Xdotool({"mousemove", "--sync", QString::number(x), QString::number(y)}));
        QTest::qWait(0);
    }
    // A source sends the next position only once the last one was answered: the hand
    // trembles on the drop point until the target has seen the drag there. A widget
    // that refuses the drag is not asked again inside it, so there the first time the
    // drag reached it is enough.
    const auto seen = [&] { return taken ? watcher.lastMove == local : watcher.lastMove != QPoint(-1, -1); };
    QDeadlineTimer guard(kHangGuardMs);
    for (int shake = 0; !seen() && !guard.hasExpired(); ++shake) {
        // --sync waits for the pointer to move: never to where it already is.
        const QPoint at = global + QPoint(shake % 2 == 0 ? 1 : 0, 0);
        QVERIFY(Xdotool({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y())}));
        QTest::qWait(at == global ? 50 : 0);
    }
    QVERIFY(seen());
    QVERIFY(held.Release());
    QTRY_VERIFY_WITH_TIMEOUT(!source.LineStarting(QStringLiteral("result")).isEmpty(), kHangGuardMs);

    // Every answer the source heard during the drag, and the last, was the same.
    const QStringList answers = source.Lines().filter(QStringLiteral("answer "));
    QCOMPARE(answers, taken ? QStringList{QStringLiteral("answer copy")} : QStringList());
    QCOMPARE(source.LineStarting(QStringLiteral("result")), told);

    // The pictures were stored, each under its name's own bytes (in the category dropped
    // on, for the tree); the text file was skipped and stays, whatever the source offered.
    if (taken) {
        QTRY_COMPARE_WITH_TIMEOUT(Count(main, "Select count(*) as n from Record"), std::int64_t{2}, kHangGuardMs);
        QCOMPARE(Count(main, "Select count(*) as n from Record where rec_tnorigname in ('stored.jpg', 'caf\xe9.jpg')"),
                 std::int64_t{2});
    } else {
        QTest::qWait(0);
        QCOMPARE(Count(main, "Select count(*) as n from Record"), std::int64_t{0});
    }
    if (taken && target == QLatin1String("tree")) {
        QCOMPARE(Count(main, "Select count(*) as n from RecordCategory where reccat_category = " +
                                 std::to_string(drops)),
                 std::int64_t{2});
    }
    // The import, deletion included, ran to its end before the items were counted.
    QCOMPARE(Exists(stored), !storedFileDeleted);
    QCOMPARE(Exists(latin1), !storedFileDeleted);
    QVERIFY(Exists(skipped));
    QVERIFY(session.boxes.messages.empty());
    source.Finish();
    QTRY_VERIFY_WITH_TIMEOUT(source.Ended(), kHangGuardMs);
}

int main(int argc, char** argv)
{
    VirtualDisplay display(1280, 1024);
    if (display.Name().empty()) {
        std::fprintf(stderr, "the virtual X server (Xvfb) did not start\n");
        return 1;
    }
    qputenv("DISPLAY", QByteArray::fromStdString(display.Name()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    XdndDropTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "XdndDropTest.moc"
