#include "integration/BrowserWindow.h"
#include "integration/WebPages.h"

#include "platform/SettingsStore.h"
#include "platform/VersionResource.h"
#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using namespace velmora;
using velmora::test::ReadFile;
using velmora::test::TempDir;
using velmora::test::WriteFile;

namespace {

// Sets an environment variable for one test; the old value comes back after it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value.empty())
            unsetenv(name);
        else
            setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (m_old.empty())
            unsetenv(m_name);
        else
            setenv(m_name, m_old.c_str(), 1);
    }

private:
    const char* m_name;
    std::string m_old;
};

TEST(WebPagesTest, PagesLieOnTheConfiguredSiteOrTheBuildsOwn)
{
    TempDir folder;
    SettingsStore store((folder / "Velmora.ini").string());
    const std::string builtIn = ProductWebSite();
    ASSERT_FALSE(builtIn.empty());
    ASSERT_NE(builtIn.back(), '/');
    EXPECT_EQ(WebSiteAddress(store), builtIn);
    EXPECT_EQ(OnlineHelpAddress(WebSiteAddress(store)), builtIn + "/onlinehelp.php");

    store.WriteString(SettingsStore::kSettings, kWebSiteValue, "http://mirror.test:8080/velmora/");
    EXPECT_EQ(OnlineHelpAddress(WebSiteAddress(store)), "http://mirror.test:8080/velmora/onlinehelp.php");
    // The program's version is 1.1: the page is told so.
    EXPECT_EQ(UpdatesAddress(WebSiteAddress(store)), "http://mirror.test:8080/velmora/updates.php?vmaj=1&vmin=1");

    store.WriteString(SettingsStore::kSettings, kWebSiteValue, "");
    EXPECT_EQ(WebSiteAddress(store), builtIn);
}

TEST(WebPagesTest, TheBrowserIsTheConfiguredCommandElseChromiumAsAWindowElseTheDesktopsBrowser)
{
    TempDir bin;
    TempDir cache;
    const ScopedEnv cacheHome("XDG_CACHE_HOME", cache.str());
    const std::string address = "http://site.test/onlinehelp.php";
    {
        const ScopedEnv configured("VELMORA_BROWSER", "  my-browser  --new-window ");
        EXPECT_EQ(BrowserCommand(address), (std::vector<std::string>{"my-browser", "--new-window", address}));
    }
    const ScopedEnv none("VELMORA_BROWSER", "");
    {
        // Neither Chromium nor anything else on the path.
        const ScopedEnv path("PATH", bin.str());
        EXPECT_EQ(BrowserCommand(address), (std::vector<std::string>{"xdg-open", address}));
    }
    for (const char* name : {"chromium", "chromium-browser"}) {
        TempDir withChromium;
        WriteFile(withChromium / name, "#!/bin/sh\n");
        fs::permissions(withChromium / name, fs::perms::owner_all);
        const ScopedEnv path("PATH", withChromium.str());
        EXPECT_EQ(BrowserCommand(address),
                  (std::vector<std::string>{(withChromium / name).string(),
                                            "--user-data-dir=" + cache.str() + "/Velmora/browser", "--no-first-run",
                                            "--window-position=0,0", "--window-size=800,600", "--app=" + address}))
            << name;
    }
}

// A stand-in browser: writes its pid and address to a file of its own and stays until
// it is ended, like a browser window.
class BrowserWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(folder / "browser", "#!/bin/sh\necho \"$$ $1\" > \"" + folder.str() +
                                          "/opened.$$\"\nexec sleep 600\n");
        fs::permissions(folder / "browser", fs::perms::owner_all);
    }

    // pid and address of each browser started, in no particular order.
    std::map<int, std::string> Opened(std::size_t count)
    {
        std::map<int, std::string> opened;
        const QDeadlineTimer guard(30000);
        while (!guard.hasExpired()) {
            opened.clear();
            for (const auto& entry : fs::directory_iterator(folder.path())) {
                if (!entry.path().filename().string().starts_with("opened."))
                    continue;
                std::istringstream line(ReadFile(entry.path()));
                int pid = 0;
                std::string address;
                if (line >> pid >> address)
                    opened[pid] = address;
            }
            if (opened.size() >= count)
                break;
            QThread::msleep(20);
        }
        return opened;
    }

    static bool Alive(int pid) { return ::kill(pid, 0) == 0; }

    TempDir folder;
};

TEST_F(BrowserWindowTest, EachPageEndsTheBrowserOpenedBefore)
{
    const ScopedEnv browser("VELMORA_BROWSER", (folder / "browser").string());
    BrowserWindow window;
    window.Navigate("http://site.test/onlinehelp.php");
    const auto first = Opened(1);
    ASSERT_EQ(first.size(), 1u);
    const int firstPid = first.begin()->first;
    EXPECT_EQ(first.begin()->second, "http://site.test/onlinehelp.php");
    EXPECT_TRUE(window.Running());

    window.Navigate("http://site.test/updates.php?vmaj=1&vmin=1");
    const auto both = Opened(2);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_FALSE(Alive(firstPid));   // ended and reaped: no such process any more
    for (const auto& [pid, address] : both)
        if (pid != firstPid) {
            EXPECT_EQ(address, "http://site.test/updates.php?vmaj=1&vmin=1");
            EXPECT_TRUE(Alive(pid));
        }
}

TEST_F(BrowserWindowTest, AWindowTheUserClosedOrABrowserThatIsMissingChangesNothing)
{
    const ScopedEnv browser("VELMORA_BROWSER", (folder / "browser").string());
    BrowserWindow window;
    window.Navigate("http://site.test/a");
    const auto first = Opened(1);
    ASSERT_EQ(first.size(), 1u);
    // The user closes it.
    ::kill(first.begin()->first, SIGTERM);
    const QDeadlineTimer guard(30000);
    while (window.Running() && !guard.hasExpired())
        QThread::msleep(20);
    EXPECT_FALSE(window.Running());

    window.Navigate("http://site.test/b");
    const auto second = Opened(2);
    ASSERT_EQ(second.size(), 2u);
    EXPECT_TRUE(window.Running());

    // No browser at all: no window, no error.
    const ScopedEnv missing("VELMORA_BROWSER", (folder / "no-such-browser").string());
    EXPECT_NO_THROW(window.Navigate("http://site.test/c"));
    EXPECT_FALSE(window.Running());
}

} // namespace
