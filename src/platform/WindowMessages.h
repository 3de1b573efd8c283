#pragma once

#include "platform/UniqueFd.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

// Window messages between the program's processes, carried by per-user local sockets.
//
// A "window" found by its caption is a local server listening under the endpoint name
// made from the caption (see MessageEndpointName); finding the window is connecting to
// it. A posted message is one fixed 20-byte record written to the connection:
//   message (uint32), wParam (uint64), lParam (int64), each big-endian (QDataStream order).
// A connection may carry any number of records; the poster closes it after writing.
//
// A window that answers its messages (MessageWindow::SetAnswer) writes, for each record,
// an 8-byte result (int64, big-endian) back on the same connection; a descriptor handed
// over with the answer travels beside the result as SCM_RIGHTS ancillary data. Having
// answered what the connection held, it closes its end: a sender asks one question per
// connection, and the answering side keeps nothing open until the sender's close reaches
// its event loop.

struct WindowMessage {
    std::uint32_t message = 0;
    std::uint64_t wParam = 0;
    std::int64_t lParam = 0;

    bool operator==(const WindowMessage&) const = default;
};

inline constexpr int kWindowMessageRecordSize = 20;
inline constexpr int kMessageResultSize = 8;

// The answer to a sent message: the handler's result and, when it hands one over, a
// descriptor (the receiver's own copy).
struct MessageResult {
    std::int64_t result = 0;
    UniqueFd descriptor;
};

// The endpoint of the window with this caption for the current user: the caption with
// every character outside [A-Za-z0-9._-] made "_", then "." and the user id, as a
// socket file in the user's private runtime folder (PrivateRuntimeFolder), so no other
// user can take or reach it. Throws RuntimeFolderRefused when there is no such folder
// or the path is too long for a socket.
std::string MessageEndpointName(const std::string& caption);

// The number of a registered message: the same for every process that registers the
// name, in the range 0xC000..0xFFFF.
std::uint32_t RegisterWindowMessage(const std::string& name);

// True when a window with this caption exists (something listens on its endpoint);
// false also when the runtime folder is refused.
bool FindWindow(const std::string& caption);

// Posts the message to the window with this caption: connects, writes the record,
// closes. Returns false when no such window was found or the record could not be
// written. Never waits for the receiver to handle the message.
bool PostMessage(const std::string& caption, const WindowMessage& message);

// Sends the message to the window with this caption and waits for its answer (at
// most timeoutMs). Nothing when no such window was found, it did not answer in time,
// or it closed the connection instead.
std::optional<MessageResult> SendMessage(const std::string& caption, const WindowMessage& message,
                                         int timeoutMs = 5000);

} // namespace velmora
