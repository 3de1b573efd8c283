#include "store/RecoveryCopy.h"

#include "store/Base64.h"
#include "store/CheckValue.h"
#include "store/Connection.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/Query.h"
#include "store/StoredKey.h"
#include "store/TableRow.h"

#include <stdexcept>

namespace velmora {

namespace {

bool PassesStoredCheck(const std::string& password, const std::string& checkValue)
{
    try {
        return PassesCheckTest(password, Base64ToStr(checkValue));
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

void AddRecoveryCopyColumn(db::Connection& main)
{
    {
        db::Query options(main, "Select * from options where 0 = 1");
        if (options.HasField(kRecoveryCopyColumn))
            return;
    }
    main.Execute(std::string("ALTER TABLE options ADD COLUMN ") + kRecoveryCopyColumn + " INTEGER");
}

bool KeepsRecoveryCopy(const db::Query& options)
{
    return !options.HasField(kRecoveryCopyColumn) || options.IsNull(kRecoveryCopyColumn) ||
           options.AsBoolean(kRecoveryCopyColumn);
}

bool KeepsRecoveryCopy(db::Connection& main)
{
    db::Query options(main, "Select * from options");
    return options.Eof() || KeepsRecoveryCopy(options);
}

void StoreRecoveryCopy(const db::Query& options, db::TableRow& change, const std::string& password)
{
    if (KeepsRecoveryCopy(options))
        change.Set("opt_serial", Sealed(GetDatabasePassword(), password));
    else
        change.Set("opt_serial", nullptr);
}

void SwitchRecoveryCopy(const db::Query& options, db::TableRow& change, bool keep)
{
    if (!options.HasField(kRecoveryCopyColumn)) {
        // Without the column the copy is kept: nothing to switch unless asked to drop it.
        if (!keep)
            throw std::runtime_error("The library has no place for the recovery copy switch");
        return;
    }
    change.Set(kRecoveryCopyColumn, keep);
    if (!keep) {
        change.Set("opt_serial", nullptr);
        return;
    }
    if (!options.AsString("opt_serial").empty())
        return;
    const LibraryKey key = CurrentLibraryKey();
    if (!key.changing && !key.password.empty() && PassesStoredCheck(key.password, options.AsString("opt_pass")))
        change.Set("opt_serial", Sealed(GetDatabasePassword(), key.password));
}

} // namespace velmora
