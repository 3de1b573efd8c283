// velmora-mkdb OUTPUT SQLFILE: makes the encrypted database file OUTPUT from the
// statements in SQLFILE, keyed with the database password like every library file.
// Used by the build to make the shipped databases; replaces OUTPUT only once the
// new file is complete.
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/LibraryFiles.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: velmora-mkdb OUTPUT SQLFILE\n";
        return 2;
    }
    const fs::path output = argv[1];
    const fs::path partial = output.string() + ".partial";
    try {
        std::ifstream in(argv[2], std::ios::binary);
        if (!in)
            throw std::runtime_error(std::string("cannot read ") + argv[2]);
        std::ostringstream sql;
        sql << in.rdbuf();

        if (!output.parent_path().empty())
            fs::create_directories(output.parent_path());
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            fs::remove(partial.string() + suffix);
        {
            velmora::db::Connection conn(velmora::db::ConnectionString::Build(
                partial.string(), velmora::db::kShareDenyNone, velmora::GetDatabasePassword()));
            conn.Create();
            conn.Execute("BEGIN IMMEDIATE");
            conn.Execute(sql.str());
            conn.Execute("COMMIT");
            // Applies settings that only a rebuilt file takes (auto_vacuum).
            conn.Execute("VACUUM");
            // Shipped files carry no journal: a copy of the one file is the whole database.
            conn.Execute("PRAGMA journal_mode = DELETE");
        }
        for (const char* suffix : {"-journal", "-wal", "-shm"})
            if (fs::exists(partial.string() + suffix))
                throw std::runtime_error("journal left beside " + partial.string());
        fs::rename(partial, output);
    } catch (const std::exception& e) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        std::cerr << "velmora-mkdb: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
