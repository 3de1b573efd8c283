#include "catalogue/DropEffect.h"

namespace velmora {

DropEffect FileDropEffect(bool deleteByDefault, bool ctrlHeld, bool shiftHeld)
{
    if (deleteByDefault)
        return ctrlHeld ? DropEffect::Copy : DropEffect::Move;
    return shiftHeld ? DropEffect::Move : DropEffect::Copy;
}

DropEffect OfferedDropEffect(const DropEffectRule& rule, Qt::KeyboardModifiers keys, Qt::DropActions offered)
{
    if (!offered.testFlag(Qt::CopyAction))
        return DropEffect::None;
    const bool move = rule && rule(keys) == DropEffect::Move;
    return move && offered.testFlag(Qt::MoveAction) ? DropEffect::Move : DropEffect::Copy;
}

} // namespace velmora
