#include "integration/TnApp.h"

#include "integration/ShellAutomationTarget.h"

#include <QDBusConnectionInterface>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>

#include <exception>

namespace velmora {

std::vector<std::string> SplitFileSpec(const QString& fileSpec)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    std::vector<std::string> paths;
    for (const QString& line : fileSpec.split(lineEnd, Qt::SkipEmptyParts))
        paths.push_back(QFile::encodeName(line).toStdString());
    return paths;
}

TtnApp::TtnApp(ShellAutomationTarget& target, QObject* parent)
    : QObject(parent)
    , m_target(target)
    , m_connection(QString())
{
}

TtnApp::~TtnApp()
{
    Unregister();
}

bool TtnApp::Register(QDBusConnection connection)
{
    Unregister();
    if (!connection.isConnected())
        return false;
    if (!connection.registerObject(QString::fromLatin1(kAutomationPath), this,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties))
        return false;
    if (!connection.registerService(QString::fromLatin1(kAutomationService))) {
        connection.unregisterObject(QString::fromLatin1(kAutomationPath));
        return false;
    }
    m_connection = connection;
    m_registered = true;
    return true;
}

void TtnApp::Unregister()
{
    if (!m_registered)
        return;
    m_registered = false;
    m_connection.unregisterService(QString::fromLatin1(kAutomationService));
    m_connection.unregisterObject(QString::fromLatin1(kAutomationPath));
}

QString TtnApp::MenuCaption() const
{
    return QString::fromStdString(m_target.MenuCaption());
}

void TtnApp::AddFiles(const QString& FileSpec, const QDBusMessage& message)
{
    message.setDelayedReply(true);
    ++m_pending;
    const QDBusMessage call = message;
    const std::vector<std::string> paths = SplitFileSpec(FileSpec);
    // From the event loop, not inside the bus's dispatch: the add runs the progress
    // window, which processes events (further calls among them).
    QMetaObject::invokeMethod(
        this,
        [this, call, paths] {
            QPointer<TtnApp> self(this);
            try {
                m_target.AddShellFiles(paths, [self, call](const std::optional<std::string>& failure) {
                    if (self)
                        self->Answer(call, failure);
                });
            } catch (const std::exception& failure) {
                Answer(call, std::string(failure.what()));
            }
        },
        Qt::QueuedConnection);
}

void TtnApp::Answer(const QDBusMessage& call, const std::optional<std::string>& failure)
{
    // The caller hears back a second after the add, as it always has; the window keeps
    // working in that second.
    QTimer::singleShot(kAnswerDelayMs, this, [this, call, failure] {
        const QDBusMessage reply =
            failure ? call.createErrorReply(QDBusError::Failed, QString::fromStdString(*failure)) : call.createReply();
        // The answer goes back on the connection the call came on, even after Unregister.
        m_connection.send(reply);
        if (--m_pending == 0)
            emit LastCallAnswered();
    });
}

} // namespace velmora
