#include "support/XDesktop.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QThread>

namespace velmora::test {

namespace {

// A hang guard, never a timing check.
constexpr int kGuardMs = 60000;
constexpr int kPollMs = 50;

} // namespace

XDesktop::XDesktop()
{
    // -displayfd 1: the server writes the display number it took to its standard output.
    // -noreset: by default the server starts over when its last client goes, and a
    // program started just then cannot connect.
    m_server.setProcessChannelMode(QProcess::SeparateChannels);
    m_server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                            QStringLiteral("0"), QStringLiteral("1280x800x24"),
                                            QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                            QStringLiteral("-noreset")});
    if (!m_server.waitForStarted(kGuardMs))
        return;
    QByteArray number;
    const QDeadlineTimer guard(kGuardMs);
    while (!number.contains('\n') && !guard.hasExpired() && m_server.state() == QProcess::Running) {
        m_server.waitForReadyRead(kPollMs);
        number += m_server.readAllStandardOutput();
    }
    if (number.contains('\n'))
        m_display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
}

XDesktop::~XDesktop()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(kGuardMs))
            m_server.kill();
        m_server.waitForFinished(kGuardMs);
    }
}

QProcessEnvironment XDesktop::Environment(QProcessEnvironment env) const
{
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

QString XDesktop::Run(const QString& program, const QStringList& arguments, int* exitCode) const
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    process.waitForFinished(kGuardMs);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList XDesktop::VisibleWindows(const QString& captionPattern) const
{
    const QString out = Run(QStringLiteral("xdotool"),
                            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                             captionPattern});
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList XDesktop::VisibleWindowsOf(qint64 pid) const
{
    const QString out = Run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                        QStringLiteral("--pid"), QString::number(pid)});
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString XDesktop::RootWindow() const
{
    // "xwininfo: Window id: 0x... (the root window) ..."
    const QString out = Run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-int")});
    static const QRegularExpression id(QStringLiteral("Window id: (\\d+)"));
    return id.match(out).captured(1);
}

std::optional<QString> XDesktop::WaitForWindow(const QString& captionPattern) const
{
    const QDeadlineTimer guard(kGuardMs);
    while (!guard.hasExpired()) {
        const QStringList found = VisibleWindows(captionPattern);
        if (!found.isEmpty())
            return found.front();
        QThread::msleep(kPollMs);
    }
    return std::nullopt;
}

bool XDesktop::WaitUntilGone(const QString& captionPattern) const
{
    const QDeadlineTimer guard(kGuardMs);
    while (!guard.hasExpired()) {
        if (VisibleWindows(captionPattern).isEmpty())
            return true;
        QThread::msleep(kPollMs);
    }
    return false;
}

std::optional<QString> XDesktop::TextProperty(const QString& window, const QString& property) const
{
    // xprop prints: NAME(TYPE) = "value"
    const QString out = Run(QStringLiteral("xprop"), {QStringLiteral("-id"), window, property});
    static const QRegularExpression value(QStringLiteral("= \"(.*)\"\\s*$"));
    const QRegularExpressionMatch match = value.match(out);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1);
}

XDesktop::Geometry XDesktop::WindowGeometry(const QString& window) const
{
    // X=..., Y=..., WIDTH=..., HEIGHT=... lines.
    const QString out = Run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    Geometry geometry;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString key = line.section(QLatin1Char('='), 0, 0);
        const int number = line.section(QLatin1Char('='), 1).toInt();
        if (key == QLatin1String("X"))
            geometry.x = number;
        else if (key == QLatin1String("Y"))
            geometry.y = number;
        else if (key == QLatin1String("WIDTH"))
            geometry.width = number;
        else if (key == QLatin1String("HEIGHT"))
            geometry.height = number;
    }
    return geometry;
}

QString XDesktop::FocusedWindow() const
{
    return Run(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus"), QStringLiteral("-f")}).trimmed();
}

QStringList XDesktop::StackingOrder() const
{
    // xwininfo lists the root's children top-most first, one per line: "     ID ...".
    const QString out = Run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-children"),
                                                         QStringLiteral("-int")});
    static const QRegularExpression child(QStringLiteral("^\\s+(\\d+) "), QRegularExpression::MultilineOption);
    QStringList order;
    for (auto it = child.globalMatch(out); it.hasNext();)
        order << it.next().captured(1);
    return order;
}

void XDesktop::Focus(const QString& window) const
{
    Run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
}

void XDesktop::Key(const QString& keys) const
{
    Run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys});
}

void XDesktop::Type(const QString& text) const
{
    Run(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), text});
}

void XDesktop::Click(const QString& window, int x, int y) const
{
    Run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                                    QString::number(x), QString::number(y), QStringLiteral("click"),
                                    QStringLiteral("1")});
}

} // namespace velmora::test
