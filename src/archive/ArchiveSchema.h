#pragma once

#include <string>

namespace velmora {

namespace db {
class Connection;
}

// The two forms an archive comes in (ArchivePieces.h).
enum class ArchiveForm {
    Plain,   // the template's objects exactly: every item in one value
    Pieced,  // those and the piece table: items longer than one value in pieces
};

// What every reader of archives checks: the archive's objects are exactly those of the
// template at templatePath, the same tables with the same columns and nothing else (no
// view, trigger or index, whose parsing or running could hold a trap). Raises
// ArchiveError (MissingSchema) naming what the archive has or lacks beyond them.
void CheckTemplateSchema(db::Connection& archive, const std::string& templatePath);

// CheckTemplateSchema, or else exactly the template's objects and the piece table; the
// form found. Raises as CheckTemplateSchema does, measured against the form nearer to
// the archive.
ArchiveForm CheckArchiveSchema(db::Connection& archive, const std::string& templatePath);

} // namespace velmora
