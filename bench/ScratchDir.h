#pragma once

#include "store/Library.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/ObjectStore.h"

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <unistd.h>

namespace velmora::bench {

// A fresh folder under the temp folder for one benchmark, removed with its content.
class ScratchDir {
public:
    ScratchDir()
    {
        std::string templ = (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX").string();
        if (!mkdtemp(templ.data()))
            throw std::runtime_error("cannot create a temporary folder");
        m_path = templ;
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// A fresh library with a password in a scratch folder, as the program holds it after
// the gate; the process's data folder while it lives.
struct ScratchLibrary {
    ScratchLibrary()
    {
        std::filesystem::copy_file(std::filesystem::path(GetShippedDir()) / kMainDatabaseName,
                                   dir.path() / kMainDatabaseName);
        SetDataDir(dir.path().string());
        SetLibraryPassword({}, 0);
        library = std::make_unique<Library>();
        library->Open();
        if (!library->VerifyPassword("bench password", true))
            throw std::runtime_error("the bench library refused its password");
    }
    ~ScratchLibrary()
    {
        library.reset();
        ObjectStore::ForThisThread().Close();
        SetDataDir({});
    }
    ScratchLibrary(const ScratchLibrary&) = delete;
    ScratchLibrary& operator=(const ScratchLibrary&) = delete;

    ScratchDir dir;
    std::unique_ptr<Library> library;
};

} // namespace velmora::bench
