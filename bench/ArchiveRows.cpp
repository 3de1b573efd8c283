// archive_rows ARCHIVE COUNT: copies the first row of a transfer archive until the archive
// holds COUNT rows, in one transaction. An archive of many small items is made in seconds
// this way, where exporting them one by one would take minutes (bench/empty-rows-import.sh).
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/LibraryFiles.h"
#include "store/SqlText.h"
#include "store/Transaction.h"

#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    using namespace velmora;
    if (argc != 3) {
        std::cerr << "usage: archive_rows ARCHIVE COUNT\n";
        return 2;
    }
    try {
        const long long count = std::stoll(argv[2]);
        db::Connection archive(db::ConnectionString::Build(argv[1], db::kShareDenyNone, GetDatabasePassword()));
        archive.Open();
        db::Transaction transaction(archive);
        archive.Execute(SqlFormat(
            "WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < %lld) "
            "INSERT INTO record (rec_size, rec_tnorigname, rec_description, rec_notes, rec_date_added, rec_object) "
            "SELECT r.rec_size, r.rec_tnorigname, r.rec_description, r.rec_notes, r.rec_date_added, r.rec_object "
            "FROM n, (SELECT * FROM record LIMIT 1) AS r",
            count));
        transaction.Commit();
        archive.Close();
    } catch (const std::exception& failure) {
        std::cerr << "archive_rows: " << failure.what() << '\n';
        return 1;
    }
    return 0;
}
