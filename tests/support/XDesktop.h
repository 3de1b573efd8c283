#pragma once

// A private X server for a test, and the user's hands on it: Xvfb started by the test
// on a display it picks itself (-displayfd), with no window manager, and xdotool /
// xprop to find windows by their caption, read their names, click and type.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

namespace velmora::test {

class XDesktop {
public:
    // Starts the server; Display() is empty when it could not be started.
    XDesktop();
    ~XDesktop();
    XDesktop(const XDesktop&) = delete;
    XDesktop& operator=(const XDesktop&) = delete;

    // ":N"
    const QString& Display() const { return m_display; }
    // env with DISPLAY set to this server and the xcb platform for Qt programs.
    QProcessEnvironment Environment(QProcessEnvironment env) const;

    // Mapped windows whose caption matches the regular expression (xdotool's), as ids.
    QStringList VisibleWindows(const QString& captionPattern) const;
    // Mapped windows of the process with this id (named or not).
    QStringList VisibleWindowsOf(qint64 pid) const;
    // The root window's id.
    QString RootWindow() const;
    // Waits (up to the hang guard) for one such window; its id, or nothing.
    std::optional<QString> WaitForWindow(const QString& captionPattern) const;
    // Waits (up to the hang guard) until no such window is mapped.
    bool WaitUntilGone(const QString& captionPattern) const;

    // A text property ("WM_NAME", "_NET_WM_NAME") of the window, without the quotes;
    // nothing when it is not set.
    std::optional<QString> TextProperty(const QString& window, const QString& property) const;
    // The window's position and size on the screen.
    struct Geometry {
        int x = 0, y = 0, width = 0, height = 0;
    };
    Geometry WindowGeometry(const QString& window) const;
    // The window that has the keyboard focus.
    QString FocusedWindow() const;
    // The top-level windows, top-most first.
    QStringList StackingOrder() const;

    // The keyboard focus to the window (no window manager gives it), then keys or text.
    void Focus(const QString& window) const;
    void Key(const QString& keys) const;          // xdotool key names: "Return", "ctrl+b"
    void Type(const QString& text) const;
    // A left click at (x, y) inside the window.
    void Click(const QString& window, int x, int y) const;

    // Runs xdotool (or another X client) with arguments on this display; its output.
    QString Run(const QString& program, const QStringList& arguments, int* exitCode = nullptr) const;

private:
    QProcess m_server;
    QString m_display;
};

} // namespace velmora::test
