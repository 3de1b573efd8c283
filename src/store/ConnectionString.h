#pragma once

#include <string>
#include <string_view>

namespace velmora::db {

// Share modes as the connection string names them.
inline constexpr std::string_view kShareDenyNone = "Share Deny None";
inline constexpr std::string_view kReadShareDenyReadWrite = "Read|Share Deny Read|Share Deny Write";

// The library's key=value connection string: the full list of keys, in order, of which
// the database layer reads Data Source, Mode and the database password.
struct ConnectionString {
    static std::string Build(std::string_view dataSource, std::string_view mode,
                             std::string_view databasePassword);

    // The value of key (case-insensitive), unquoted; empty when the key is absent.
    static std::string Value(std::string_view connectionString, std::string_view key);

    static constexpr std::string_view kDataSource = "Data Source";
    static constexpr std::string_view kMode = "Mode";
    static constexpr std::string_view kPassword = "Jet OLEDB:Database Password";
};

} // namespace velmora::db
