#pragma once

#include <string>
#include <string_view>

namespace velmora::tool {

// Names and descriptions come from other people's archives: written raw, an escape
// sequence would drive the user's terminal, a bell ring, a line break fake further
// lines of a listing. These write every control character escaped ("\n", "\t",
// "\x1b", "\u009b" for the 8-bit controls) and every byte that is not UTF-8 as "\xHH";
// the rest of the text, letters of every script included, stays as it is.

// One field of a listing or a progress line: line breaks and tabs are escaped too.
std::string ForTerminal(std::string_view text);

// A message of several lines: its line breaks (LF, CR) stay, every other control is
// escaped.
std::string MessageForTerminal(std::string_view text);

} // namespace velmora::tool
