#pragma once

#include <memory>
#include <string>
#include <vector>

namespace velmora {

class PrintJob;

// The browser window the program opened last, as a browser process of its own (in a
// process group of its own), so that the next page replaces it rather than piling up
// windows. The process still running when the object goes is ended with it.
class BrowserWindow {
public:
    BrowserWindow();
    ~BrowserWindow();
    BrowserWindow(const BrowserWindow&) = delete;
    BrowserWindow& operator=(const BrowserWindow&) = delete;

    // Ends the browser opened before (one the user closed already is simply gone),
    // then opens address with BrowserCommand. A browser that cannot be started is
    // not reported: the user sees no window, as when the page cannot be reached.
    void Navigate(const std::string& address);

    // Whether the browser opened last still runs.
    bool Running() const;

private:
    std::unique_ptr<PrintJob> m_process;
};

// The browser's command line for address:
//  - $VELMORA_BROWSER split at blanks, when set and not empty, with the address last;
//  - else Chromium as an application window at 0,0 and 800 x 600 (its own profile in
//    the user's cache folder, so the window is a process of ours even while the user's
//    Chromium runs), when "chromium" or "chromium-browser" is installed;
//  - else "xdg-open" with the address, which hands it to the desktop's browser.
std::vector<std::string> BrowserCommand(const std::string& address);

} // namespace velmora
