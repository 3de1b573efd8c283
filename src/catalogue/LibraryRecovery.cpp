#include "catalogue/LibraryRecovery.h"

#include "store/Library.h"
#include "ui/MessageBoxes.h"

namespace velmora {

namespace {

constexpr const char* kPasswordChangeCompleted =
    "A change of the library's password was interrupted and has now been completed. "
    "From now on only the new password opens the library.";

} // namespace

void RecoverLibrary(Library& library, ProgressRoutines& progress, MessageBoxes& messages)
{
    const RecoveryReport report = library.RecoverInterruptedWork(progress);
    // Either password opened the library until now: whoever typed the old one must
    // learn that it no longer does.
    if (report.passwordChangeFinished)
        messages.ShowMessageBox(kPasswordChangeCompleted, mb::kIconInformation);
    for (const std::string& waiting : report.postponed)
        messages.ShowMessageBox(waiting, mb::kIconWarning);
}

} // namespace velmora
