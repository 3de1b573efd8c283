#include "archive/ArchiveNames.h"

#include "store/LibraryFiles.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace velmora {

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

std::string TemplateArchivePath()
{
    return JoinPath(GetAppDir(), kArchiveTemplateName);
}

bool IsTemplateArchivePath(const std::string& chosen)
{
    const std::string templatePath = TemplateArchivePath();
    if (Lower(chosen) == Lower(templatePath))
        return true;
    // The same file reached another way would be overwritten just the same.
    std::error_code error;
    return !chosen.empty() && std::filesystem::equivalent(chosen, templatePath, error) && !error;
}

std::string ExportArchiveName(const std::string& chosen)
{
    if (chosen.size() > 4 && Lower(chosen.substr(chosen.size() - 4)) == kArchiveExtension)
        return chosen;
    return chosen + kArchiveExtension;
}

} // namespace velmora
