#include "catalogue/LibraryRecovery.h"

#include "dialogs/MessageBoxes.h"
#include "store/Library.h"

namespace velmora {

void RecoverLibrary(Library& library, ProgressRoutines& progress, MessageBoxes& messages)
{
    const RecoveryReport report = library.RecoverInterruptedWork(progress);
    for (const std::string& waiting : report.postponed)
        messages.ShowMessageBox(waiting, mb::kIconWarning);
}

} // namespace velmora
