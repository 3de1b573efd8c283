#include "app/FileDropRule.h"

#include "catalogue/FileImport.h"

#include <exception>

namespace velmora {

DropEffect FileDropEffectFor(FileImport& import, Qt::KeyboardModifiers keys)
{
    bool deleteByDefault = false;
    try {
        deleteByDefault = import.DeleteSourceByDefault();
    } catch (const std::exception&) {
        // An option that cannot be read counts as off: the sources are kept.
    }
    return FileDropEffect(deleteByDefault, keys.testFlag(Qt::ControlModifier), keys.testFlag(Qt::ShiftModifier));
}

} // namespace velmora
