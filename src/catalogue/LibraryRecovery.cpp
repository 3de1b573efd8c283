#include "catalogue/LibraryRecovery.h"

#include "store/Library.h"
#include "ui/MessageBoxes.h"

namespace velmora {

void RecoverLibrary(Library& library, ProgressRoutines& progress, MessageBoxes& messages)
{
    const RecoveryReport report = library.RecoverInterruptedWork(progress);
    for (const std::string& waiting : report.postponed)
        messages.ShowMessageBox(waiting, mb::kIconWarning);
}

} // namespace velmora
