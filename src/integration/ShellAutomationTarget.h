#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

// An add refused before anything was done; the caller hears why by the error's name
// (see TnApp.h), and the program itself shows nothing of it.
class ShellAddRefused : public std::runtime_error {
public:
    enum class Reason {
        Disabled,             // the user has switched the file managers' entry off
        LibraryUnavailable,   // the library cannot be opened
    };
    ShellAddRefused(Reason reason, const std::string& text) : std::runtime_error(text), m_reason(reason) {}
    Reason reason() const { return m_reason; }

private:
    Reason m_reason;
};

// What the automation object asks of the program: the menu text, and the add itself.
class ShellAutomationTarget {
public:
    // Told once when an add is over: nothing on success, else the text of what went
    // wrong, which the program has shown the user.
    using AddDone = std::function<void(const std::optional<std::string>& failure)>;

    virtual ~ShellAutomationTarget() = default;

    virtual std::string MenuCaption() = 0;
    // Adds the files and folders to the library as a shell extension's add (its
    // delete default applies) and calls done when that is over, possibly later, from
    // the event loop. May throw instead of calling done: ShellAddRefused when the
    // shell extension is disabled while the library is open, or there is no library.
    virtual void AddShellFiles(const std::vector<std::string>& paths, AddDone done) = 0;
};

} // namespace velmora
