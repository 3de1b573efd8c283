#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// What the automation object asks of the program: the menu text, and the add itself.
class ShellAutomationTarget {
public:
    // Told once when an add is over: nothing on success, else the failure's text.
    using AddDone = std::function<void(const std::optional<std::string>& failure)>;

    virtual ~ShellAutomationTarget() = default;

    virtual std::string MenuCaption() = 0;
    // Adds the files and folders to the library as a shell extension's add (its
    // delete default applies; a disabled shell extension adds nothing while the
    // library is open) and calls done when that is over, possibly later, from the
    // event loop. May throw instead of calling done.
    virtual void AddShellFiles(const std::vector<std::string>& paths, AddDone done) = 0;
};

} // namespace velmora
