#include "store/StoredKey.h"

#include "store/Base64.h"
#include "store/CheckValue.h"
#include "store/LibraryFiles.h"
#include "store/Query.h"

#include <stdexcept>

namespace velmora {

std::string Sealed(const std::string& key, const std::string& plain)
{
    return StrToBase64(EncryptToBytes(key, plain));
}

std::string Unsealed(const std::string& key, const std::string& base64)
{
    return TrimBlanks(DecryptBytes(key, Base64ToStr(base64)));
}

std::optional<PendingChange> ReadPendingChange(db::Connection& main)
{
    db::Query change(main, "Select * from keychange");
    if (change.Eof())
        return std::nullopt;
    return PendingChange{static_cast<int>(change.AsInteger("kc_generation")), change.AsString("kc_newpass"),
                         change.AsString("kc_oldpass"), change.AsString("kc_check")};
}

StoredKey ReadStoredKey(db::Connection& main)
{
    StoredKey stored;
    std::string password;
    int generation = 0;
    {
        db::Query options(main, "Select * from options");
        if (options.Eof())
            throw std::runtime_error("The library has no options row");
        password = Unsealed(GetDatabasePassword(), options.AsString("opt_serial"));
        stored.passes = PassesCheckTest(password, Base64ToStr(options.AsString("opt_pass")));
        generation = static_cast<int>(options.AsInteger("opt_keygen"));
        stored.caption = options.AsString("opt_caption");
    }
    const std::optional<PendingChange> change = ReadPendingChange(main);
    if (stored.passes && change)
        stored.key = LibraryKey{Unsealed(password, change->newUnderOld), change->generation, true, password,
                                generation};
    else
        stored.key = LibraryKey{password, generation, false, {}, 0};
    return stored;
}

bool IsCurrentKey(const LibraryKey& key, db::Connection& main)
{
    int generation = 0;
    {
        db::Query options(main, "Select opt_keygen from options");
        if (options.Eof())
            return false;
        generation = static_cast<int>(options.AsInteger("opt_keygen"));
    }
    if (const std::optional<PendingChange> change = ReadPendingChange(main))
        return key.changing && key.generation == change->generation && key.previousGeneration == generation;
    return key.generation == generation;
}

void RefreshLibraryKey(db::Connection& main)
{
    if (CurrentLibraryKey().password.empty() || IsCurrentKey(CurrentLibraryKey(), main))
        return;
    const StoredKey stored = ReadStoredKey(main);
    if (!stored.passes)
        throw std::runtime_error("The library password was changed meanwhile and cannot be had from the library");
    SetLibraryKey(stored.key);
}

} // namespace velmora
