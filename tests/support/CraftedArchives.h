#pragma once

#include <filesystem>
#include <string>

namespace velmora::test {

// Transfer archives made to attack an importer, from the shipped template.tnt as anyone
// can make them (the database key is a constant of the program). Both carry the check
// value of archivePassword, so that nothing but their trap is wrong with them. They are
// made without the test process ever loading their schema.

// The schema row of the record table rewritten to "CREATE TABLE zz AS SELECT 1":
// loading that schema makes this engine version dereference a null pointer.
void MakeSchemaCrashArchive(const std::filesystem::path& path, const std::string& archivePassword);

// The record table replaced by a view, with every column an import reads, over an
// endless recursive query: counting or checking its rows never ends.
void MakeEndlessViewArchive(const std::filesystem::path& path, const std::string& archivePassword);

} // namespace velmora::test
