#include "catalogue/SourceDeletionOptions.h"

#include "store/Query.h"

namespace velmora {

bool SourceDeletionOptions::ReadOption(const char* column)
{
    db::Query options(m_connection, "Select * from options");
    return !options.Eof() && options.AsBoolean(column);
}

bool SourceDeletionOptions::DeleteSourceByDefault()
{
    if (!m_deleteSourceByDefault)
        m_deleteSourceByDefault = ReadOption("opt_defdelete");
    return *m_deleteSourceByDefault;
}

bool SourceDeletionOptions::DeleteShellSourceByDefault()
{
    return ReadOption("opt_condelete");
}

} // namespace velmora
