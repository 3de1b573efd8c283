#include "ui/MessageFlags.h"

#include "ui/MessageBoxes.h"

namespace velmora {

MessageButtons ButtonsForFlags(int flags)
{
    MessageButtons buttons;
    switch (flags & 0x0F) {
    case mb::kOk:
        buttons.ok = true;
        break;
    case mb::kOkCancel:
        buttons.ok = buttons.cancel = true;
        break;
    case mb::kYesNoCancel:
        buttons.yes = buttons.no = buttons.cancel = true;
        break;
    case mb::kYesNo:
        buttons.yes = buttons.no = true;
        break;
    default:
        break;   // other button sets are not offered
    }
    return buttons;
}

MessageIcon IconForFlags(int flags)
{
    if (flags >= 16 && flags <= 31)
        return MessageIcon::Error;
    if (flags >= 32 && flags <= 47)
        return MessageIcon::Question;
    if (flags >= 48 && flags <= 63)
        return MessageIcon::Warning;
    return MessageIcon::Information;
}

int EscapeResult(int flags)
{
    return ButtonsForFlags(flags).no ? mb::kResultNo : mb::kResultCancel;
}

} // namespace velmora
