#include "integration/UserRegistration.h"

#include "integration/AutomationRegistration.h"
#include "integration/FileAssociation.h"
#include "integration/FileManagerEntries.h"

#include <stdexcept>
#include <string>

namespace velmora {

void UnregisterForUser(bool serviceMenus)
{
    std::string failures;
    const auto attempt = [&failures](auto&& remove) {
        try {
            remove();
        } catch (const std::exception& failure) {
            failures += (failures.empty() ? "" : "; ") + std::string(failure.what());
        }
    };
    attempt([] { AutomationRegistration::UnregisterServer(); });
    attempt([] { UnregisterFileAssociation(FileAssociationPaths::ForUser()); });
    if (serviceMenus)
        attempt([] { RemoveServiceMenuCopies(FileManagerEntryPaths::ForUser()); });
    if (!failures.empty())
        throw std::runtime_error(failures);
}

} // namespace velmora
