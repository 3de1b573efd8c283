#pragma once

namespace velmora {

// The program: decides from a running instance and the command line what this start
// does (hand over and end, add files without a window, serve automation, or open the
// library behind the password), does it, and returns the exit code (always 0).
int RunVelmora(int argc, char** argv);

} // namespace velmora
