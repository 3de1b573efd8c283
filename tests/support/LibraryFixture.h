#pragma once

#include "support/TestSupport.h"

#include "store/Library.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace velmora::test {

// A fresh library (a copy of the shipped main database) in a temporary data folder,
// opened with a password; every thread starts with its own connections to it. QtTest
// cases use OpenFreshLibrary and CloseLibrary below in init() and cleanup().
class LibraryFixture : public ::testing::Test {
protected:
    static constexpr const char* kPassword = "correct horse";

    void SetUp() override;
    void TearDown() override;

    // Adds bytes as a new unclassified item; returns its rec_ident.
    int AddItem(const std::string& bytes, const std::string& name = "item.jpg");
    // The item's content as the object store reads it back.
    std::string ReadItem(int recordIdent);
    // A single number from a query on the main database.
    std::int64_t Scalar(const std::string& sql);
    std::int64_t StoreScalar(int store, const std::string& sql);
    void ExecuteMain(const std::string& sql);

    TempDir dir;
    std::unique_ptr<Library> library;
};

// Copies the shipped main database into folder.
void MakeEmptyLibrary(const std::filesystem::path& folder);

// A fresh library in folder, made this process's data folder with no password known
// yet: what a start finds before its password gate.
void UseFreshLibrary(const std::filesystem::path& folder);
// UseFreshLibrary, then the library opened with password as its first one; nullptr
// when the library refuses it.
std::unique_ptr<Library> OpenFreshLibrary(const std::filesystem::path& folder, const std::string& password);
// An item's content as this thread's object store reads it back.
std::string ReadStoredItem(int recordIdent);
// Closes the library and this thread's connections, and leaves the process with no
// data folder and no password, as the next test expects it.
void CloseLibrary(std::unique_ptr<Library>& library);

} // namespace velmora::test
