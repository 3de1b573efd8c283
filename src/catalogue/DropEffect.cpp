#include "catalogue/DropEffect.h"

namespace velmora {

DropEffect FileDropEffect(bool deleteByDefault, bool ctrlHeld, bool shiftHeld)
{
    if (deleteByDefault)
        return ctrlHeld ? DropEffect::Copy : DropEffect::Move;
    return shiftHeld ? DropEffect::Move : DropEffect::Copy;
}

} // namespace velmora
