#pragma once

#include <cstdint>
#include <optional>
#include <string>

class QTime;

namespace velmora {

// The caption of the hidden hand-over window a second instance looks for.
inline constexpr const char* kOpenEtaCaption = "Velmora Open ETA Form";
// The message that tells the running instance a list file is waiting.
inline constexpr std::uint32_t WM_OPENETA = 0x81AB;
// The list file's first line when the second start named a data folder: this prefix,
// then the folder's absolute path. Paths to add are absolute, so no path begins so.
inline constexpr const char* kDataFolderLine = "DataFolder=";

// The folder of the list files: the program folder, unless the program cannot write
// there (an installed program); then the user's private runtime folder, which every
// instance of the user finds as well. Empty when there is none.
std::string HandOverFolder();

// The list file's name for a local time: "hhmmss", 24-hour, leading zeros ("093015").
std::string ListFileName(const QTime& time);
// The name travelling as lParam: "093015" -> 93015.
std::int64_t ListFileNumber(const std::string& listFileName);
// lParam back to the name: 7 -> "000007". Nothing for numbers that no list file name
// can have (below 0 or above 999999), so a stray message never names another file.
std::optional<std::string> ListFileNameFromNumber(std::int64_t lParam);

} // namespace velmora
