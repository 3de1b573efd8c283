#pragma once

#include "platform/MessageWindow.h"

#include <cstdint>
#include <functional>
#include <string>

namespace velmora {

// The window a file manager's "Add To Velmora" entry looks for: while it can be found,
// the program runs with its library open and the entry may be offered.
inline constexpr const char* kShellControlCaption = "Velmora Shell Extension Control Form";
inline constexpr std::uint32_t WM_SHELLEMPTY = 0x81A9;      // WM_APP + 425: answered with 0
inline constexpr std::uint32_t WM_SHELLMENUTEXT = 0x81AA;   // WM_APP + 426: the menu text through a pipe

// The control window. It is never shown; it answers the two messages above, and every
// other message with 0.
class TfrmControlForm {
public:
    // menuText gives the menu text as it is when asked.
    explicit TfrmControlForm(std::function<std::string()> menuText);

    // Makes the window findable; false when it cannot be (another live window of the
    // caption, or no private runtime folder).
    bool Create() { return m_window.Create(); }
    bool Exists() const { return m_window.IsCreated(); }

    static MessageResult HandleEmptyRequest();
    // A pipe whose read end holds the menu text (its bytes, no terminating zero) and
    // then its end; the result is the read end's number in this process, and the read
    // end itself is handed over with the answer.
    MessageResult HandleMenuTextRequest() const;

private:
    MessageResult Handle(const WindowMessage& message) const;

    std::function<std::string()> m_menuText;
    MessageWindow m_window;
};

} // namespace velmora
