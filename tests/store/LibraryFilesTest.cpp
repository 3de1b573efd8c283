#include "support/TestSupport.h"

#include "store/ConnectionString.h"
#include "store/LibraryFiles.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

using namespace velmora;
using velmora::db::ConnectionString;

namespace {

// Restores the data-folder override whatever a test does with it.
class DataDirGuard {
public:
    ~DataDirGuard() { SetDataDir({}); }
};

} // namespace

TEST(ConnectionStringTest, BuildGivesEveryKeyInOrderWithoutTrailingSeparator)
{
    EXPECT_EQ(ConnectionString::Build("/lib/tndb.mdb", db::kShareDenyNone, "Pw123"),
              "Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=/lib/tndb.mdb;"
              "Mode=Share Deny None;Extended Properties=\"\";Persist Security Info=False;"
              "Jet OLEDB:System database=\"\";Jet OLEDB:Registry Path=\"\";"
              "Jet OLEDB:Database Password=Pw123;Jet OLEDB:Engine Type=5;"
              "Jet OLEDB:Database Locking Mode=1;Jet OLEDB:Global Partial Bulk Ops=2;"
              "Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:New Database Password=\"\";"
              "Jet OLEDB:Create System Database=False;Jet OLEDB:Encrypt Database=False;"
              "Jet OLEDB:Don't Copy Locale on Compact=False;"
              "Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False");
}

TEST(ConnectionStringTest, ValueReadsKeysCaseInsensitivelyAndUnquotes)
{
    const std::string s = ConnectionString::Build("/a/b.eta", db::kReadShareDenyReadWrite, "Secret9");
    EXPECT_EQ(ConnectionString::Value(s, "Data Source"), "/a/b.eta");
    EXPECT_EQ(ConnectionString::Value(s, "data source"), "/a/b.eta");
    EXPECT_EQ(ConnectionString::Value(s, "MODE"), "Read|Share Deny Read|Share Deny Write");
    EXPECT_EQ(ConnectionString::Value(s, ConnectionString::kPassword), "Secret9");
    EXPECT_EQ(ConnectionString::Value(s, "Extended Properties"), "");
    EXPECT_EQ(ConnectionString::Value(s, "Jet OLEDB:SFP"), "False");
    EXPECT_EQ(ConnectionString::Value(s, "No Such Key"), "");
}

TEST(ConnectionStringTest, PathsWithSeparatorsOrQuotesSurviveTheRoundTrip)
{
    for (const std::string path : {"/data/a;b/tndb.mdb", "/data/say \"hi\"/tndb.mdb", "/data/ lead/x.mdb ",
                                   "/data/it's/tndb.mdb"}) {
        const std::string s = ConnectionString::Build(path, db::kShareDenyNone, "pw");
        EXPECT_EQ(ConnectionString::Value(s, "Data Source"), path) << s;
        EXPECT_EQ(ConnectionString::Value(s, "Mode"), "Share Deny None") << s;
        EXPECT_EQ(ConnectionString::Value(s, "Jet OLEDB:Database Password"), "pw") << s;
    }
}

TEST(LibraryFilesTest, JoinPathUsesOneSeparator)
{
    struct Case {
        std::string folder, name, expected;
    };
    for (const auto& c : {Case{"/lib", "tndb.mdb", "/lib/tndb.mdb"}, Case{"/lib/", "tndb.mdb", "/lib/tndb.mdb"},
                          Case{"/lib//", "tndb.mdb", "/lib/tndb.mdb"}, Case{"", "tndb.mdb", "/tndb.mdb"}}) {
        EXPECT_EQ(JoinPath(c.folder, c.name), c.expected) << c.folder;
    }
}

TEST(LibraryFilesTest, AppDirIsTheProgramFolderWithoutTrailingSeparator)
{
    const std::string dir = GetAppDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::equivalent(dir, velmora::test::BinDir()));
    EXPECT_EQ(GetShippedDir(), dir + "/shipped");
}

TEST(LibraryFilesTest, DataDirOverrideAndLibraryConnectionStrings)
{
    DataDirGuard guard;
    EXPECT_EQ(GetDataDir(), GetAppDir());
    EXPECT_EQ(ConnectionString::Value(LibraryConnectionString(0), "Data Source"), GetAppDir() + "/tndb.mdb");

    SetDataDir("/srv/lib/");
    EXPECT_EQ(GetDataDir(), "/srv/lib");
    EXPECT_EQ(ConnectionString::Value(LibraryConnectionString(0), "Data Source"), "/srv/lib/tndb.mdb");
    EXPECT_EQ(ConnectionString::Value(LibraryConnectionString(3), "Data Source"), "/srv/lib/tnstore3.mdb");
    EXPECT_EQ(ConnectionString::Value(LibraryConnectionString(3), "Mode"), "Share Deny None");
    EXPECT_EQ(ConnectionString::Value(LibraryConnectionString(3), "Jet OLEDB:Database Password"),
              GetDatabasePassword());

    SetDataDir({});
    EXPECT_EQ(GetDataDir(), GetAppDir());
}

TEST(LibraryFilesTest, StoreFileNames)
{
    EXPECT_EQ(StoreFileName(1), "tnstore1.mdb");
    EXPECT_EQ(StoreFileName(12), "tnstore12.mdb");
}

TEST(LibraryFilesTest, DatabasePasswordIsFifteenLettersAndDigits)
{
    const std::string password = GetDatabasePassword();
    EXPECT_EQ(password.size(), 15u);
    for (char c : password)
        EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << password;
    EXPECT_EQ(GetDatabasePassword(), password);
}
