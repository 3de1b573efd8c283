#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

namespace db {
class Connection;
}
class ProgressRoutines;

// The pictures the print command takes: every picture but metafiles (".WMF").
bool IsPrintableFile(std::string_view fileName);

// Called while a print command runs, so that the window stays responsive and Cancel
// can be pressed.
using ProcessMessages = std::function<void()>;

// What the printer is given for a picture whose upper-case extension and bytes are
// these: the picture turned upright, or in a format the printer reads, under its own
// upper-case extension; nullopt to print the picture as stored. Supplied by the
// program, which decodes pictures.
struct PrintCopy {
    std::string extension;
    std::string bytes;
};
using PrintCopyMaker = std::function<std::optional<PrintCopy>(const std::string& extension, const std::string& bytes)>;

// Prints one item: a decrypted copy in the temporary folder (tnXXXXXX plus the item's
// upper-case extension, readable by its owner only; what makeCopy gives instead, when it
// gives something) is handed to the print command, which is waited for, or terminated
// when Cancel is pressed; the copy is removed afterwards in every case. Errors are not
// reported.
void PrintItem(db::Connection& connection, int recIdent, ProgressRoutines& progress,
               const ProcessMessages& processMessages = {}, const PrintCopyMaker& makeCopy = {});

// "Print...": prints the printable items among those given, under the progress window
// "Printing Files, Please Wait", one overall step per item given; Cancel stops the walk.
void PrintItems(db::Connection& connection, const std::vector<int>& items, ProgressRoutines& progress,
                const ProcessMessages& processMessages = {}, const PrintCopyMaker& makeCopy = {});

} // namespace velmora
