#pragma once

namespace velmora {

// Which buttons a message box shows: the low four bits of its flags decide.
struct MessageButtons {
    bool ok = false;
    bool yes = false;
    bool no = false;
    bool cancel = false;
};

// The icon, decided by the whole flags value.
enum class MessageIcon { Error, Question, Warning, Information };

MessageButtons ButtonsForFlags(int flags);
MessageIcon IconForFlags(int flags);
// What Escape answers: No when the box offers No, else Cancel.
int EscapeResult(int flags);

} // namespace velmora
