#pragma once

#include <stdexcept>
#include <string>

namespace velmora {

// Registering the automation object with the desktop: a D-Bus activation file in the
// user's data folder ($XDG_DATA_HOME/dbus-1/services, else ~/.local/share/...), so that
// a call to "Tarnel.tnApp" while no program runs starts the program with "-embedding".
class AutomationRegistration {
public:
    class Failed : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    // Where the activation file goes, as of now.
    static std::string ActivationFile();
    // The file's text for this program.
    static std::string ActivationFileText(const std::string& program);

    // Writes the file naming program (the file is only rewritten when it differs, so
    // a second copy of the program elsewhere takes the registration over at its next
    // start). Throws Failed when it cannot be written.
    static void RegisterServer(const std::string& program);
    // Removes the file; one that is not there is no failure. Throws Failed when it
    // cannot be removed.
    static void UnregisterServer();
};

} // namespace velmora
