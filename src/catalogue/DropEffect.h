#pragma once

#include <QtCore/qnamespace.h>

#include <functional>

namespace velmora {

// The effect of files dragged in from outside, which is also the import's delete mode:
// a copy keeps the sources, a move securely deletes each one once it is stored.
enum class DropEffect { None = 0, Copy = 1, Move = 2 };

// Delete modes carried through an import: 0 and 1 keep the sources, 2 deletes them.
inline constexpr int kKeepSources = 0;
inline constexpr int kDeleteSources = 2;

// With "delete source files by default" on, Ctrl makes a drop a copy; with it off,
// Shift makes it a move.
DropEffect FileDropEffect(bool deleteByDefault, bool ctrlHeld, bool shiftHeld);

// What a drop of files from outside does, by the keys held: the rule above with the
// option as the library holds it now. The tree and the list share one.
using DropEffectRule = std::function<DropEffect(Qt::KeyboardModifiers)>;

// What a drop of files from outside may do: what the rule (a copy without one) asks
// for with the keys held, within the actions the source of the drag offers. The
// source is only ever answered "copy": told "move", it would delete its files itself,
// the ones the library skipped or failed to store among them. So a source that offers
// no copy is refused (None), and the library deletes the sources itself, each once it
// is stored, and only when the source offers a move.
DropEffect OfferedDropEffect(const DropEffectRule& rule, Qt::KeyboardModifiers keys, Qt::DropActions offered);

} // namespace velmora
