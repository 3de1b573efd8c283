#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace velmora {

// The application title: the caption of every message box, and what the taskbar shows
// for the program's windows that have no caption of their own (the main window, the
// stand-in of the locked program). The start sets it, an accepted password makes it
// the library's caption, the lock makes it "Password Protected Program".
//
// It is kept here rather than as the toolkit's application display name, which the
// window system would append to every other window's caption.
class ApplicationTitle : public QObject {
    Q_OBJECT
public:
    static ApplicationTitle& Instance();

    static QString Text();
    static void Set(const QString& title);
    // Gives window the application title as its caption, now and whenever it changes.
    static void Follow(QWidget& window);

signals:
    void Changed(const QString& title);

private:
    ApplicationTitle() = default;

    QString m_text = QStringLiteral("Velmora");
};

} // namespace velmora
