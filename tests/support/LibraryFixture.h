#pragma once

#include "support/TestSupport.h"

#include "store/Library.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace velmora::test {

// A fresh library (a copy of the shipped main database) in a temporary data folder,
// opened with a password; every thread starts with its own connections to it.
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

} // namespace velmora::test
