#include "integration/PackageRegistration.h"

#include "integration/TnApp.h"
#include "platform/BaseFolders.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace velmora {

namespace fs = std::filesystem;

namespace {

std::string ExecValue(const std::string& activationFile)
{
    std::istringstream lines(activationFile);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Exec=", 0) == 0)
            return line.substr(5);
    return {};
}

// The key file's escapes: \s \n \t \r and \\.
std::string Unescaped(const std::string& value)
{
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        switch (const char next = value[++i]) {
        case 's': text += ' '; break;
        case 'n': text += '\n'; break;
        case 't': text += '\t'; break;
        case 'r': text += '\r'; break;
        default: text += next; break;
        }
    }
    return text;
}

// The first word of a command line split as a shell splits it.
std::string FirstWord(const std::string& line)
{
    std::string word;
    bool started = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t') {
            if (started)
                break;
            continue;
        }
        started = true;
        if (c == '\'') {
            const std::size_t end = line.find('\'', i + 1);
            if (end == std::string::npos)
                return {};   // unbalanced: the bus refuses the line
            word += line.substr(i + 1, end - i - 1);
            i = end;
        } else if (c == '"') {
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size() && std::string("$`\"\\\n").find(line[i + 1]) != std::string::npos)
                    ++i;
                word += line[i];
            }
            if (i == line.size())
                return {};
        } else if (c == '\\' && i + 1 < line.size()) {
            word += line[++i];
        } else {
            word += c;
        }
    }
    return word;
}

bool SameFile(const fs::path& a, const fs::path& b)
{
    std::error_code error;
    const bool same = fs::equivalent(a, b, error);
    return !error && same;
}

std::string ReadText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

std::string ActivationProgram(const std::string& activationFile)
{
    return FirstWord(Unescaped(ExecValue(activationFile)));
}

bool RegisteredByPackage(const std::string& program, const std::string& dataHome,
                         const std::vector<std::string>& dataDirs)
{
    const std::string name = std::string(kAutomationService) + ".service";
    for (const std::string& folder : dataDirs) {
        if (SameFile(folder, dataHome))
            continue;
        const fs::path file = fs::path(folder) / "dbus-1" / "services" / name;
        std::error_code error;
        if (!fs::is_regular_file(file, error))
            continue;
        // The bus starts what the first folder's file names.
        const std::string started = ActivationProgram(ReadText(file));
        return !started.empty() && SameFile(started, program);
    }
    return false;
}

bool RegisteredByPackage(const std::string& program)
{
    return RegisteredByPackage(program, XdgBaseFolder("XDG_DATA_HOME", ".local/share"), XdgDataDirs());
}

} // namespace velmora
