#include "integration/TnApp.h"

#include "integration/BusDisconnectWatch.h"
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

namespace {

QString RefusalName(ShellAddRefused::Reason reason)
{
    switch (reason) {
    case ShellAddRefused::Reason::Disabled:
        return QString::fromLatin1(kDisabledError);
    case ShellAddRefused::Reason::LibraryUnavailable:
        break;
    }
    return QString::fromLatin1(kLibraryUnavailableError);
}

} // namespace

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
    // A new watch per connection: the old one may still be connected to another bus.
    delete m_busWatch;
    m_busWatch = new BusDisconnectWatch(this);
    connect(m_busWatch, &BusDisconnectWatch::Lost, this, &TtnApp::BusLost);
    m_busWatch->Watch(connection);
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

QString TtnApp::MenuCaption()
{
    emit CallTaken();
    return QString::fromStdString(m_target.MenuCaption());
}

void TtnApp::AddFiles(const QString& FileSpec, const QDBusMessage& message)
{
    message.setDelayedReply(true);
    ++m_pending;
    emit CallTaken();
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
            } catch (const ShellAddRefused& refused) {
                Reply(call.createErrorReply(RefusalName(refused.reason()), QString::fromStdString(refused.what())));
            } catch (const std::exception& failure) {
                Reply(call.createErrorReply(QDBusError::Failed, QString::fromStdString(failure.what())));
            }
        },
        Qt::QueuedConnection);
}

void TtnApp::Answer(const QDBusMessage& call, const std::optional<std::string>& failure)
{
    // A failure is heard at once: the caller tells its user, and nothing waits behind it.
    if (failure) {
        Reply(call.createErrorReply(QString::fromLatin1(kNotAddedError), QString::fromStdString(*failure)));
        return;
    }
    // The caller hears back a second after the add, as it always has; the window keeps
    // working in that second.
    QTimer::singleShot(kAnswerDelayMs, this, [this, call] { Reply(call.createReply()); });
}

void TtnApp::Reply(const QDBusMessage& reply)
{
    // The answer goes back on the connection the call came on, even after Unregister.
    m_connection.send(reply);
    if (--m_pending == 0)
        emit LastCallAnswered();
}

} // namespace velmora
