#pragma once

#include "catalogue/CatalogueDoubles.h"
#include "catalogue/CatalogueFixture.h"

#include "archive/ArchiveExport.h"
#include "archive/TransferArchive.h"
#include "catalogue/FileImport.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/ObjectStore.h"
#include "store/Query.h"

#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace velmora::test {

// Two libraries with different passwords: items are exported from the source (the
// fixture's library) and imported into the target. Only one of them is the data folder
// at a time, as in a run of the program.
class ArchiveFixture : public CatalogueFixture {
protected:
    static constexpr const char* kArchivePassword = "archive pass";
    static constexpr const char* kTargetPassword = "a different one";

    void TearDown() override
    {
        import.reset();
        target.reset();
        CatalogueFixture::TearDown();
    }

    std::string ArchivePath(const std::string& name = "out.eta") const { return (files / name).string(); }

    ExportResult Export(const std::vector<int>& items, const std::string& path, bool cancellable = false)
    {
        return ExportToArchive(mainConn(), path, kArchivePassword, items, exportProgress, cancellable);
    }

    // Makes the target library the data folder, with its own password.
    void UseTarget()
    {
        ObjectStore::ForThisThread().Close();
        target = OpenFreshLibrary(targetDir.path(), kTargetPassword);
        ASSERT_NE(target, nullptr);
        import = std::make_unique<FileImport>(*target, importProgress, messages);
    }

    int Import(const std::string& path, int categoryId = 0)
    {
        TransferArchive archive(path);
        EXPECT_TRUE(archive.AcceptsPassword(kArchivePassword));
        return ImportArchiveItems(archive, kArchivePassword, *import, categoryId, importProgress);
    }

    int TargetCategory(const std::string& name) { return InsertCategory(target->MainConnection(), 0, name); }

    // A connection to an archive that may change it, as another program would.
    static std::unique_ptr<db::Connection> OpenForWriting(const std::string& path)
    {
        auto c = std::make_unique<db::Connection>(
            db::ConnectionString::Build(path, db::kShareDenyNone, GetDatabasePassword()));
        c->Open();
        return c;
    }
    static std::int64_t ArchiveScalar(const std::string& path, const std::string& sql)
    {
        auto c = OpenForWriting(path);
        db::Query q(*c, "Select (" + sql + ") as v");
        return q.AsInteger("v");
    }
    static void ArchiveExecute(const std::string& path, const std::string& sql) { OpenForWriting(path)->Execute(sql); }

    static std::string Today()
    {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char text[16];
        std::strftime(text, sizeof text, "%Y-%m-%d", &local);
        return text;
    }

    TempDir files;
    TempDir targetDir;
    std::unique_ptr<Library> target;
    std::unique_ptr<FileImport> import;
    RecordingProgress exportProgress;
    RecordingProgress importProgress;
    RecordingMessages messages;
};

} // namespace velmora::test
