#pragma once

namespace velmora {

class Library;
class MessageBoxes;
class ProgressRoutines;

// The program's side of Library::RecoverInterruptedWork, run at every opening of the
// library (the gate, a windowless add, the first add of an automation start) before
// anything else: what has to be finished shows the progress window, a finished password
// change is told once, and work that has to wait for disk space is told as a warning,
// one message each.
void RecoverLibrary(Library& library, ProgressRoutines& progress, MessageBoxes& messages);

} // namespace velmora
