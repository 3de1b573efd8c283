#include "integration/ShellControlForm.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace velmora {

namespace {

constexpr int kPipeBufferSize = 65535;

} // namespace

TfrmControlForm::TfrmControlForm(std::function<std::string()> menuText)
    : m_menuText(std::move(menuText))
    , m_window(kShellControlCaption)
{
    m_window.SetAnswer([this](const WindowMessage& message) { return Handle(message); });
}

MessageResult TfrmControlForm::Handle(const WindowMessage& message) const
{
    switch (message.message) {
    case WM_SHELLEMPTY:
        return HandleEmptyRequest();
    case WM_SHELLMENUTEXT:
        return HandleMenuTextRequest();
    default:
        return {};   // what default handling answers
    }
}

MessageResult TfrmControlForm::HandleEmptyRequest()
{
    return {};
}

MessageResult TfrmControlForm::HandleMenuTextRequest() const
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return {};
    MessageResult answer;
    answer.descriptor.Reset(ends[0]);
    UniqueFd writeEnd(ends[1]);
    (void)::fcntl(writeEnd.Get(), F_SETPIPE_SZ, kPipeBufferSize);
    // Never wait on the user-interface thread for a reader: a text longer than the pipe
    // holds is cut at what fits.
    (void)::fcntl(writeEnd.Get(), F_SETFL, O_NONBLOCK);
    const std::string text = m_menuText ? m_menuText() : std::string();
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(writeEnd.Get(), text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    answer.result = answer.descriptor.Get();
    return answer;
}

} // namespace velmora
