#pragma once

#include "catalogue/DropEffect.h"

#include <Qt>

namespace velmora {

class FileImport;

// What a drop of files from outside does on the tree or the list, by the keys held and
// the library's "delete the sources" option.
DropEffect FileDropEffectFor(FileImport& import, Qt::KeyboardModifiers keys);

} // namespace velmora
