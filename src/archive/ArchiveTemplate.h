#pragma once

#include <string>

namespace velmora {

// Makes target a byte copy of templatePath (the empty archive). The template is opened
// first, so a missing template leaves the target untouched. The copy is written beside
// the target and then moved over it: an existing file is replaced whole, and a program
// still reading the old file keeps its content. Raises ArchiveError (Locked) when
// another connection is writing the existing target, std::runtime_error or StreamError
// naming the file when it cannot be read, written or moved.
void CopyArchiveTemplate(const std::string& templatePath, const std::string& target);

} // namespace velmora
