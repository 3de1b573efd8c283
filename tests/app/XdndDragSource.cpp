// A drag source in a program of its own, as a file manager is: tests drop files from
// it onto a window of another process over a real X server.
//
//   xdnd_drag_source copy|copy,move|move URI...
//
// Shows a small window at the top left of the screen and prints "ready X Y", the
// global point to press. A press there drags the URIs as a text/uri-list, byte for
// byte as given, offering the actions given, move proposed when offered. While dragging it prints "answer ACTION" whenever
// the target's answer changes, and when the drag ends "result ACTION" (what the
// target was last heard to answer: copy, move, link or none); then it exits.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

const char* ActionName(Qt::DropAction action)
{
    switch (action) {
    case Qt::CopyAction:
        return "copy";
    case Qt::MoveAction:
        return "move";
    case Qt::LinkAction:
        return "link";
    default:
        return "none";
    }
}

void Say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

class DragSource : public QWidget {
public:
    DragSource(Qt::DropActions offered, std::vector<QByteArray> uris) : m_offered(offered), m_uris(std::move(uris))
    {
        setWindowTitle(QStringLiteral("drag source"));
        setGeometry(0, 0, 120, 120);
    }

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        QByteArray uris;
        for (const QByteArray& uri : m_uris)
            uris += uri + "\r\n";
        auto* data = new QMimeData;
        data->setData(QStringLiteral("text/uri-list"), uris);
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        connect(drag, &QDrag::actionChanged, this,
                [](Qt::DropAction action) { Say(std::string("answer ") + ActionName(action)); });
        const Qt::DropAction proposed = m_offered.testFlag(Qt::MoveAction) ? Qt::MoveAction : Qt::CopyAction;
        const Qt::DropAction result = drag->exec(m_offered, proposed);
        Say(std::string("result ") + ActionName(result));
    }

private:
    Qt::DropActions m_offered;
    std::vector<QByteArray> m_uris;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: xdnd_drag_source copy|copy,move|move URI...\n");
        return 2;
    }
    const std::string actions = argv[1];
    Qt::DropActions offered;
    if (actions == "copy" || actions == "copy,move")
        offered |= Qt::CopyAction;
    if (actions == "move" || actions == "copy,move")
        offered |= Qt::MoveAction;
    if (!offered) {
        std::fprintf(stderr, "unknown actions %s\n", argv[1]);
        return 2;
    }
    DragSource source(offered, std::vector<QByteArray>(argv + 2, argv + argc));
    source.show();
    while (source.windowHandle() == nullptr || !source.windowHandle()->isExposed())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const QPoint centre = source.mapToGlobal(source.rect().center());
    Say("ready " + std::to_string(centre.x()) + " " + std::to_string(centre.y()));
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&input] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input.setEnabled(false);
            QApplication::exit(0);
        }
    });
    return QApplication::exec();
}
