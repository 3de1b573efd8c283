#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>

#include <string>
#include <vector>

namespace velmora {

class BusDisconnectWatch;
class ShellAutomationTarget;

inline constexpr const char* kAutomationService = "Tarnel.tnApp";
inline constexpr const char* kAutomationPath = "/tnApp";
inline constexpr const char* kAutomationInterface = "Tarnel.ItnApp";
// The names of the errors AddFiles answers with. Files that could not be added: the
// program has shown its messages about them.
inline constexpr const char* kNotAddedError = "Tarnel.ItnApp.Error.NotAdded";
// Refused, and nothing shown by the program: the caller is to tell the user.
inline constexpr const char* kDisabledError = "Tarnel.ItnApp.Error.Disabled";
inline constexpr const char* kLibraryUnavailableError = "Tarnel.ItnApp.Error.LibraryUnavailable";

// One path per line; CR LF, CR or LF end a line. Empty lines name nothing.
std::vector<std::string> SplitFileSpec(const QString& fileSpec);

// The automation object the file managers' entry calls on the session bus: service
// "Tarnel.tnApp", object "/tnApp", interface "Tarnel.ItnApp".
class TtnApp : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "Tarnel.ItnApp")
    Q_PROPERTY(QString MenuCaption READ MenuCaption)
public:
    // How long a call waits after its add before it is answered.
    static constexpr int kAnswerDelayMs = 1000;

    explicit TtnApp(ShellAutomationTarget& target, QObject* parent = nullptr);
    ~TtnApp() override;

    // Offers the object on the connection under its service name, and watches the
    // connection (BusLost). False when there is no bus or another process has the name.
    bool Register(QDBusConnection connection);
    // Gives the name and the object up (a call already on its way is still answered).
    void Unregister();

    // Reading it is a call like any other (CallTaken).
    QString MenuCaption();
    // Calls taken and not answered yet.
    int PendingCalls() const { return m_pending; }

public slots:
    // Adds the paths named in FileSpec; answered once the add is over and a further
    // second has passed, without holding up the event loop meanwhile. A failure is
    // answered at once.
    void AddFiles(const QString& FileSpec, const QDBusMessage& message);

signals:
    // A call came: an add, or a read of the menu text.
    void CallTaken();
    // The last call taken so far has been answered.
    void LastCallAnswered();
    // The connection the object was offered on has gone.
    void BusLost();

private:
    void Answer(const QDBusMessage& call, const std::optional<std::string>& failure);
    void Reply(const QDBusMessage& reply);

    ShellAutomationTarget& m_target;
    QDBusConnection m_connection;
    bool m_registered = false;
    int m_pending = 0;
    BusDisconnectWatch* m_busWatch = nullptr;
};

} // namespace velmora
