#pragma once

#include <string>
#include <vector>

namespace velmora {

// What shuts the archive reader in before the database engine parses a byte of the
// archive, so that a crafted archive that takes the reader over finds nothing to take:
//   - a file-system rule set (Landlock), where the kernel has one: only the files named
//     may be opened, for reading; nothing may be written, made or removed anywhere;
//   - a system-call filter (seccomp): files are opened read-only, written only on
//     standard output and error (its pipe and /dev/null), no socket, no new program,
//     no executable memory; any other call kills the process.
// Its parent has already set "no new privileges" and given it an empty environment.
// Sanitizer builds leave the filter out: their run-time makes calls no list foresees.
struct SandboxInForce {
    bool fileRules = false;   // the Landlock rule set
    bool callFilter = false;  // the seccomp filter
};

// Irreversible for the calling process and everything it starts. Raises
// std::system_error when a step the system offers fails; a kernel without Landlock is
// no failure (fileRules is then false).
SandboxInForce EnterReaderSandbox(const std::vector<std::string>& readableFiles);

} // namespace velmora
