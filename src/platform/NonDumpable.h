#pragma once

namespace velmora {

// Keeps what the process holds in memory (the library key, passwords typed or taken
// from the environment) out of core files and away from other programs of the same
// user: a crash writes no core file, no debugger of that user can attach, and the
// process's files under /proc (its memory, its environment) belong to root. Called
// first thing by every program; raises std::system_error when the system refuses.
void MakeProcessNonDumpable();

} // namespace velmora
