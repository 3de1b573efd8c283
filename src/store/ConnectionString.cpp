#include "store/ConnectionString.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace velmora::db {

namespace {

bool EqualsIgnoreCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x))
                   == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

// A value that would end its pair early or lose blanks is written in double quotes,
// the quotes inside doubled; every other value is written as it is.
std::string Quoted(std::string_view value)
{
    const bool needsQuotes = value.find_first_of(";\"") != std::string_view::npos
        || (!value.empty() && (std::isspace(static_cast<unsigned char>(value.front()))
                               || std::isspace(static_cast<unsigned char>(value.back()))));
    if (!needsQuotes)
        return std::string(value);
    std::string out = "\"";
    for (char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

} // namespace

std::string ConnectionString::Build(std::string_view dataSource, std::string_view mode,
                                    std::string_view databasePassword)
{
    const std::array<std::pair<std::string_view, std::string>, 19> pairs{{
        {"Provider", "Microsoft.Jet.OLEDB.4.0"},
        {"User ID", "Admin"},
        {kDataSource, Quoted(dataSource)},
        {kMode, Quoted(mode)},
        {"Extended Properties", "\"\""},
        {"Persist Security Info", "False"},
        {"Jet OLEDB:System database", "\"\""},
        {"Jet OLEDB:Registry Path", "\"\""},
        {kPassword, Quoted(databasePassword)},
        {"Jet OLEDB:Engine Type", "5"},
        {"Jet OLEDB:Database Locking Mode", "1"},
        {"Jet OLEDB:Global Partial Bulk Ops", "2"},
        {"Jet OLEDB:Global Bulk Transactions", "1"},
        {"Jet OLEDB:New Database Password", "\"\""},
        {"Jet OLEDB:Create System Database", "False"},
        {"Jet OLEDB:Encrypt Database", "False"},
        {"Jet OLEDB:Don't Copy Locale on Compact", "False"},
        {"Jet OLEDB:Compact Without Replica Repair", "False"},
        {"Jet OLEDB:SFP", "False"},
    }};
    std::string out;
    for (const auto& [key, value] : pairs) {
        if (!out.empty())
            out += ';';
        out += key;
        out += '=';
        out += value;
    }
    return out;
}

std::string ConnectionString::Value(std::string_view connectionString, std::string_view key)
{
    std::size_t pos = 0;
    const std::size_t n = connectionString.size();
    while (pos < n) {
        const std::size_t eq = connectionString.find('=', pos);
        const std::size_t semi = connectionString.find(';', pos);
        if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
            // A piece without "=" (an empty pair, say): skip it.
            if (semi == std::string_view::npos)
                break;
            pos = semi + 1;
            continue;
        }
        const std::string_view name = Trim(connectionString.substr(pos, eq - pos));
        std::size_t i = eq + 1;
        while (i < n && connectionString[i] == ' ')
            ++i;
        std::string value;
        if (i < n && (connectionString[i] == '"' || connectionString[i] == '\'')) {
            const char quote = connectionString[i++];
            for (; i < n; ++i) {
                if (connectionString[i] == quote) {
                    if (i + 1 < n && connectionString[i + 1] == quote) {
                        value += quote;
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += connectionString[i];
            }
            const std::size_t end = connectionString.find(';', i);
            pos = end == std::string_view::npos ? n : end + 1;
        } else {
            const std::size_t end = connectionString.find(';', i);
            const std::size_t stop = end == std::string_view::npos ? n : end;
            value = std::string(Trim(connectionString.substr(i, stop - i)));
            pos = end == std::string_view::npos ? n : end + 1;
        }
        if (EqualsIgnoreCase(name, key))
            return value;
    }
    return {};
}

} // namespace velmora::db
