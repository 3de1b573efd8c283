#include "archive/ArchiveNames.h"

#include "store/AsciiText.h"
#include "store/LibraryFiles.h"

#include <filesystem>
#include <system_error>

namespace velmora {

std::string ImportFailedMessage(const std::exception& error)
{
    const auto* refusal = dynamic_cast<const ArchiveError*>(&error);
    const bool notValid = refusal && (refusal->reason() == ArchiveError::Reason::Unreadable ||
                                      refusal->reason() == ArchiveError::Reason::MissingSchema);
    return std::string(kImportFailedPrefix) + "\r\n" + (notValid ? kNotValidArchiveReason : error.what());
}

bool IsToldWhenOpening(ArchiveError::Reason reason)
{
    switch (reason) {
    case ArchiveError::Reason::MissingSchema:
    case ArchiveError::Reason::Damaged:
    case ArchiveError::Reason::BadContent:
    case ArchiveError::Reason::Unreadable:
        return true;
    default:
        return false;
    }
}

std::string TemplateArchivePath()
{
    return JoinPath(GetAppDir(), kArchiveTemplateName);
}

bool IsTemplateArchivePath(const std::string& chosen)
{
    const std::string templatePath = TemplateArchivePath();
    if (AsciiLower(chosen) == AsciiLower(templatePath))
        return true;
    // The same file reached another way would be overwritten just the same.
    std::error_code error;
    return !chosen.empty() && std::filesystem::equivalent(chosen, templatePath, error) && !error;
}

std::string ExportArchiveName(const std::string& chosen)
{
    if (chosen.size() > 4 && AsciiLower(chosen.substr(chosen.size() - 4)) == kArchiveExtension)
        return chosen;
    return chosen + kArchiveExtension;
}

} // namespace velmora
