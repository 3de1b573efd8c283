#pragma once

// Helpers for tests of the platform stand-ins: environment variables set for one
// test, and an event loop for GUI-free code that talks over local sockets.

#include <QCoreApplication>
#include <QDeadlineTimer>

#include "support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <unistd.h>

namespace velmora::test {

// Sets (or, with nullopt, unsets) an environment variable until the object goes.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value)
        : m_name(std::move(name))
    {
        if (const char* old = std::getenv(m_name.c_str()))
            m_old = old;
        if (value)
            setenv(m_name.c_str(), value->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    ~ScopedEnv()
    {
        if (m_old)
            setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// No runtime folder in the environment and, in a temp folder of the test's own, the
// user's runtime folder made open to everyone, as someone else could have made it:
// it must be refused. Both last as long as the object.
class OpenRuntimeFolder {
public:
    OpenRuntimeFolder() : m_folder(m_tmp / ("velmora-" + std::to_string(geteuid())))
    {
        std::filesystem::create_directory(m_folder);
        std::filesystem::permissions(m_folder, std::filesystem::perms::all);
    }
    const std::filesystem::path& Path() const { return m_folder; }

private:
    TempDir m_tmp;
    std::filesystem::path m_folder;
    ScopedEnv m_noRuntime{"XDG_RUNTIME_DIR", std::nullopt};
    ScopedEnv m_tmpdir{"TMPDIR", m_tmp.str()};
};

// The process's QCoreApplication, made on first use.
inline QCoreApplication& CoreApplication()
{
    if (auto* app = QCoreApplication::instance())
        return *app;
    static int argc = 1;
    static char name[] = "velmora-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Runs the event loop until done() holds or a generous limit passes (a hang guard,
// not a timing check); returns done().
inline bool ProcessEventsUntil(const std::function<bool()>& done)
{
    CoreApplication();
    QDeadlineTimer limit(20000);
    while (!done() && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Runs the event loop for a little while, to let anything already sent arrive.
inline void DrainEvents()
{
    CoreApplication();
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace velmora::test
