#pragma once

#include <optional>

namespace velmora {

namespace db {
class Connection;
}

// The two options of the library's options row that decide whether added files are
// deleted at their source.
class SourceDeletionOptions {
public:
    explicit SourceDeletionOptions(db::Connection& connection) : m_connection(connection) {}

    // opt_defdelete ("Delete source files by default when adding ... via drag and
    // drop"): read at the first use and kept until Forget.
    bool DeleteSourceByDefault();
    // The Settings page applied changes: the next use reads the option again.
    void Forget() { m_deleteSourceByDefault.reset(); }
    // opt_condelete (files added through the shell extension): read at every use.
    bool DeleteShellSourceByDefault();

private:
    bool ReadOption(const char* column);

    db::Connection& m_connection;
    std::optional<bool> m_deleteSourceByDefault;
};

} // namespace velmora
