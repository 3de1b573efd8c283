#include "archive/ArchiveSchema.h"

#include "archive/ArchiveError.h"
#include "archive/ArchivePieces.h"
#include "store/AsciiText.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/LibraryFiles.h"
#include "store/TableRow.h"
#include "store/Statement.h"

#include <sqlite3.h>

#include <set>
#include <vector>

namespace velmora {

namespace {

std::string Text(sqlite3_stmt* st, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
    return text ? text : "(null)";
}

// Every object of the database as one line each: "table record", and for a table each
// of its columns as "table record column rec_size INTEGER notnull 0 default (null) key 0".
// Names compare without case, as the engine does.
std::set<std::string> SchemaObjects(sqlite3* db, const std::string& path)
{
    std::set<std::string> objects;
    std::vector<std::string> tables;
    {
        db::Statement master(db, "SELECT type, name FROM sqlite_master", path);
        while (master.Step()) {
            const std::string type = Text(master.Handle(), 0);
            const std::string name = AsciiLower(Text(master.Handle(), 1));
            objects.insert(type + " " + name);
            if (type == "table")
                tables.push_back(name);
        }
    }
    for (const auto& table : tables) {
        db::Statement columns(db, "PRAGMA table_info(" + db::QuoteIdentifier(table) + ")", path);
        while (columns.Step())
            objects.insert("table " + table + " column " + AsciiLower(Text(columns.Handle(), 1)) + " " +
                           AsciiLower(Text(columns.Handle(), 2)) + " notnull " + Text(columns.Handle(), 3) +
                           " default " + Text(columns.Handle(), 4) + " key " + Text(columns.Handle(), 5));
    }
    return objects;
}

std::set<std::string> TemplateObjects(const std::string& templatePath)
{
    db::Connection templ(db::ConnectionString::Build(templatePath, db::kReadShareDenyReadWrite, GetDatabasePassword()));
    templ.SetImmutable(true);
    templ.Open();
    return SchemaObjects(templ.Handle(), templatePath);
}

// "a, b" of the lines in one set and not in the other.
std::string Difference(const std::set<std::string>& have, const std::set<std::string>& lack)
{
    std::string text;
    for (const auto& line : have)
        if (!lack.count(line))
            text += (text.empty() ? "" : ", ") + line;
    return text;
}

[[noreturn]] void Refuse(const std::string& path, const std::set<std::string>& found,
                         const std::set<std::string>& expected)
{
    std::string what;
    if (const std::string extra = Difference(found, expected); !extra.empty())
        what += "it has " + extra;
    if (const std::string missing = Difference(expected, found); !missing.empty())
        what += (what.empty() ? "it lacks " : "; it lacks ") + missing;
    throw ArchiveError(ArchiveError::Reason::MissingSchema, "\"" + path + "\" is not a transfer archive: " + what);
}

} // namespace

void CheckTemplateSchema(db::Connection& archive, const std::string& templatePath)
{
    // Only what the template has is read: a view in place of a table can run without
    // end, and anything else the engine would parse or run is not needed.
    const std::set<std::string> expected = TemplateObjects(templatePath);
    const std::set<std::string> found = SchemaObjects(archive.Handle(), archive.DataSource());
    if (found != expected)
        Refuse(archive.DataSource(), found, expected);
}

ArchiveForm CheckArchiveSchema(db::Connection& archive, const std::string& templatePath)
{
    const std::set<std::string> found = SchemaObjects(archive.Handle(), archive.DataSource());
    if (!found.count("table " + AsciiLower(kPieceTable))) {
        CheckTemplateSchema(archive, templatePath);
        return ArchiveForm::Plain;
    }
    std::set<std::string> pieced = TemplateObjects(templatePath);
    pieced.merge(PieceTableObjects());
    if (found != pieced)
        Refuse(archive.DataSource(), found, pieced);
    return ArchiveForm::Pieced;
}

} // namespace velmora
