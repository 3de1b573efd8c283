#include "support/LibraryFixture.h"

#include "store/AddItemOnThread.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/MemoryStream.h"
#include "store/ObjectStore.h"
#include "store/Query.h"

namespace velmora::test {

void MakeEmptyLibrary(const std::filesystem::path& folder)
{
    std::filesystem::copy_file(BinDir() / "shipped" / kMainDatabaseName, folder / kMainDatabaseName);
}

void UseFreshLibrary(const std::filesystem::path& folder)
{
    MakeEmptyLibrary(folder);
    SetDataDir(folder.string());
    SetLibraryPassword({}, 0);
}

std::unique_ptr<Library> OpenFreshLibrary(const std::filesystem::path& folder, const std::string& password)
{
    UseFreshLibrary(folder);
    auto library = std::make_unique<Library>();
    library->Open();
    if (!library->VerifyPassword(password, true))
        return nullptr;
    return library;
}

void CloseLibrary(std::unique_ptr<Library>& library)
{
    library.reset();
    ObjectStore::ForThisThread().Close();
    SetLibraryPassword({}, 0);
    SetDataDir({});
}

void LibraryFixture::SetUp()
{
    library = OpenFreshLibrary(dir.path(), kPassword);
    ASSERT_NE(library, nullptr);
}

void LibraryFixture::TearDown()
{
    CloseLibrary(library);
}

int LibraryFixture::AddItem(const std::string& bytes, const std::string& name)
{
    MemoryStream source;
    source.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    source.SetPosition(0);
    EXPECT_TRUE(AddItemOnThread(std::nullopt, source, name, -1, name));
    return static_cast<int>(Scalar("Select max(rec_ident) from Record"));
}

std::string ReadStoredItem(int recordIdent)
{
    MemoryStream out;
    ObjectStore::ForThisThread().ReadItem(out, recordIdent);
    std::string bytes(static_cast<std::size_t>(out.Size()), '\0');
    out.SetPosition(0);
    out.ReadBuffer(bytes.data(), out.Size());
    return bytes;
}

std::string LibraryFixture::ReadItem(int recordIdent)
{
    return ReadStoredItem(recordIdent);
}

std::int64_t LibraryFixture::Scalar(const std::string& sql)
{
    db::Query q(ObjectStore::ForThisThread().MainConnection(), "Select (" + sql + ") as v");
    return q.AsInteger("v");
}

std::int64_t LibraryFixture::StoreScalar(int store, const std::string& sql)
{
    db::Query q(ObjectStore::ForThisThread().StoreConnection(store), "Select (" + sql + ") as v");
    return q.AsInteger("v");
}

void LibraryFixture::ExecuteMain(const std::string& sql)
{
    ObjectStore::ForThisThread().MainConnection().Execute(sql);
}

} // namespace velmora::test
