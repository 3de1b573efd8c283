#include "store/DatabaseTestSupport.h"

#include "store/BlobSpool.h"
#include "store/ColumnStream.h"
#include "store/DatabaseError.h"
#include "store/Query.h"
#include "store/TableRow.h"
#include "store/Transaction.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace velmora;
using namespace velmora::test;
using db::BlobSpool;
using db::Connection;
using db::OpenColumnStream;
using db::Query;
using db::TableRow;

namespace {

class BlobStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        conn.SetConnectionString(SharedConnectionString(CopyShippedFile(StoreTemplate(), dir / "tnstore1.mdb")));
        conn.Open();
    }

    // Writes bytes as chunk (record, chunk) through a write stream in pieces of piece
    // bytes; the stream is released before the row is written, as callers do. Returns
    // the row's id.
    std::int64_t WriteChunk(int record, int chunk, const std::string& bytes, std::size_t piece)
    {
        TableRow row("recobject");
        row.Set("ro_record", record).Set("ro_chunk", chunk).Set("ro_nextstore", -1);
        {
            auto out = row.OpenWriteStream("ro_data");
            for (std::size_t at = 0; at < bytes.size(); at += piece)
                out->WriteBuffer(bytes.data() + at, static_cast<std::int64_t>(std::min(piece, bytes.size() - at)));
        }
        return row.Insert(conn);
    }

    std::int64_t ChunkRow(int record, int chunk)
    {
        Query q(conn, "Select _rowid_ as chunk_row from recobject where ro_record = ? and ro_chunk = ?",
                {record, chunk});
        EXPECT_FALSE(q.Eof());
        return q.Eof() ? 0 : q.AsInteger("chunk_row");
    }

    std::string ReadChunk(int record, int chunk, std::size_t piece = 65536)
    {
        auto in = OpenColumnStream(conn, "recobject", "ro_data", ChunkRow(record, chunk));
        std::string out(static_cast<std::size_t>(in->Size()), '\0');
        for (std::size_t at = 0; at < out.size(); at += piece)
            in->ReadBuffer(out.data() + at, static_cast<std::int64_t>(std::min(piece, out.size() - at)));
        char extra;
        EXPECT_EQ(in->Read(&extra, 1), 0);
        return out;
    }

    TempDir dir;
    Connection conn;
};

} // namespace

TEST_F(BlobStreamTest, ValuesOfEverySizeReadBackByteForByte)
{
    struct Case {
        std::size_t size, piece;
    };
    int record = 1;
    // Empty, one odd byte, a chunk in one piece, a chunk in cipher-block pieces, and
    // values past the in-memory limit.
    for (const auto& c : {Case{0, 1}, Case{1, 1}, Case{500000, 500000}, Case{500000, 8},
                          Case{3 * 1024 * 1024 + 5, 65536}, Case{2 * 1024 * 1024, 2 * 1024 * 1024}}) {
        const std::string bytes = PatternBytes(c.size, static_cast<unsigned>(record));
        WriteChunk(record, 1, bytes, c.piece);
        EXPECT_EQ(ReadChunk(record, 1), bytes) << "size " << c.size << " piece " << c.piece;
        ++record;
    }
    Query empty(conn, "Select * from recobject where ro_record = 1");
    EXPECT_FALSE(empty.IsNull("ro_data"));
    EXPECT_EQ(empty.AsString("ro_data"), "");
}

TEST_F(BlobStreamTest, ReadStreamSeeksAnywhere)
{
    const std::string bytes = PatternBytes(3 * 1000 * 1000, 11);
    auto in = OpenColumnStream(conn, "recobject", "RO_DATA", WriteChunk(7, 1, bytes, 1 << 20));
    EXPECT_EQ(in->Size(), static_cast<std::int64_t>(bytes.size()));
    char buffer[1000];
    for (std::int64_t at : {std::int64_t{2999000}, std::int64_t{0}, std::int64_t{1234567}, std::int64_t{500000}}) {
        in->SetPosition(at);
        in->ReadBuffer(buffer, sizeof buffer);
        EXPECT_EQ(std::string(buffer, sizeof buffer), bytes.substr(static_cast<std::size_t>(at), sizeof buffer)) << at;
    }
    in->Seek(-10, SeekOrigin::End);
    EXPECT_EQ(in->Read(buffer, sizeof buffer), 10);
    EXPECT_EQ(std::string(buffer, 10), bytes.substr(bytes.size() - 10));
    EXPECT_THROW(in->Write(buffer, 1), StreamError);
}

TEST_F(BlobStreamTest, SelectedValuesReadWholeAndColumnStreamsReadEveryKind)
{
    const std::string bytes = PatternBytes(600000, 3);
    WriteChunk(1, 1, bytes, 600000);
    WriteChunk(1, 2, "", 1);
    Query q(conn, "Select ro_chunk, ro_data from recobject where ro_record = 1 order by ro_chunk");
    EXPECT_FALSE(q.IsNull("ro_data"));
    EXPECT_EQ(q.AsString("ro_data"), bytes);
    q.Next();
    EXPECT_EQ(q.AsInteger("ro_chunk"), 2);
    EXPECT_EQ(q.OpenReadStream("ro_data")->Size(), 0);

    // A value of another kind than a blob reads as its text; a row that is gone raises.
    const std::int64_t number = WriteChunk(1, 3, "", 1);
    conn.Execute("Update recobject set ro_data = 12345 where ro_chunk = 3");
    auto digits = OpenColumnStream(conn, "recobject", "ro_data", number);
    std::string text(static_cast<std::size_t>(digits->Size()), '\0');
    digits->ReadBuffer(text.data(), digits->Size());
    EXPECT_EQ(text, "12345");
    EXPECT_THROW(OpenColumnStream(conn, "recobject", "ro_data", number + 100), db::DatabaseError);

    // A value selected by a query comes as a copy of it.
    Query joined(conn, "Select a.ro_data from recobject a, recobject b where a.ro_chunk = 1 and b.ro_chunk = 2");
    auto copy = joined.OpenReadStream("ro_data");
    std::string back(bytes.size(), '\0');
    copy->ReadBuffer(back.data(), static_cast<std::int64_t>(back.size()));
    EXPECT_EQ(back, bytes);
}

TEST_F(BlobStreamTest, EditReplacesTheValueAndNullReadsAsEmpty)
{
    WriteChunk(1, 1, PatternBytes(2 * 1024 * 1024, 1), 1 << 20);
    WriteChunk(2, 1, PatternBytes(100, 7), 100);
    // A short value and one past the in-memory limit, each replacing a long one.
    for (const std::size_t size : {std::size_t{1500}, std::size_t{3 * 1024 * 1024 + 1}}) {
        const std::string replacement = PatternBytes(size, 2);
        TableRow change("recobject");
        auto out = change.OpenWriteStream("ro_data");
        out->WriteBuffer(replacement.data(), static_cast<std::int64_t>(replacement.size()));
        out.reset();
        change.Set("ro_nextstore", 4);
        EXPECT_EQ(change.Update(conn, "ro_record = ?", {1}), 1);
        EXPECT_EQ(Query(conn, "Select ro_nextstore from recobject where ro_record = 1").AsInteger("ro_nextstore"), 4);
        EXPECT_EQ(ReadChunk(1, 1), replacement) << size;
        EXPECT_EQ(ReadChunk(2, 1), PatternBytes(100, 7)) << "the other row stays";
    }
    {
        TableRow change("recobject");
        change.Set("ro_data", nullptr);
        change.Update(conn, "ro_record = ?", {1});
        Query q(conn, "Select * from recobject where ro_record = 1");
        EXPECT_TRUE(q.IsNull("ro_data"));
        EXPECT_EQ(OpenColumnStream(conn, "recobject", "ro_data", ChunkRow(1, 1))->Size(), 0);
    }
}

TEST_F(BlobStreamTest, LongValueIsAllOrNothingInsideATransaction)
{
    {
        db::Transaction t(conn);
        WriteChunk(5, 1, PatternBytes(1500000, 5), 1 << 16);
        EXPECT_EQ(ReadChunk(5, 1), PatternBytes(1500000, 5));
    }
    EXPECT_EQ(Query(conn, "Select * from recobject").RecordCount(), 0);
}

TEST_F(BlobStreamTest, ArchiveRowsCarryTheirBlob)
{
    Connection archive(SharedConnectionString(CopyShippedFile(ArchiveTemplate(), dir / "a.eta")));
    archive.Open();
    const std::string content = PatternBytes(1200000, 9);
    {
        TableRow row("record");
        row.Set("rec_size", 1199999).Set("rec_tnorigname", "movie.mpg");
        auto out = row.OpenWriteStream("rec_object");
        out->WriteBuffer(content.data(), static_cast<std::int64_t>(content.size()));
        row.Insert(archive);
    }
    archive.Close();
    Connection import(ImportConnectionString(dir / "a.eta"));
    import.Open();
    Query rows(import, "Select _rowid_ as record_row, rec_tnorigname From record");
    ASSERT_FALSE(rows.Eof());
    EXPECT_EQ(rows.AsString("rec_tnorigname"), "movie.mpg");
    auto in = OpenColumnStream(import, "record", "rec_object", rows.AsInteger("record_row"));
    std::string back(content.size(), '\0');
    in->ReadBuffer(back.data(), static_cast<std::int64_t>(back.size()));
    EXPECT_EQ(back, content);
}

TEST(BlobSpoolTest, MovesToAFilePastItsThresholdAndKeepsEveryByte)
{
    BlobSpool spool(100);
    const std::string a = PatternBytes(60, 1);
    const std::string b = PatternBytes(90, 2);
    spool.Write(0, a.data(), 60);
    EXPECT_TRUE(spool.InMemory());
    spool.Write(60, b.data(), 90);
    EXPECT_FALSE(spool.InMemory());
    spool.Write(200, "xy", 2);   // past the end: the gap reads as zeros
    EXPECT_EQ(spool.Size(), 202);
    std::string all(202, '\0');
    EXPECT_EQ(spool.Read(0, all.data(), 500), 202);
    EXPECT_EQ(all, a + b + std::string(50, '\0') + "xy");

    std::string pieces;
    spool.ForEachPiece(64, [&](const char* data, std::int64_t n, std::int64_t offset) {
        EXPECT_EQ(offset, static_cast<std::int64_t>(pieces.size()));
        pieces.append(data, static_cast<std::size_t>(n));
    });
    EXPECT_EQ(pieces, all);

    spool.Truncate(10);
    EXPECT_EQ(spool.Size(), 10);
    char c[20];
    EXPECT_EQ(spool.Read(0, c, 20), 10);
    EXPECT_EQ(std::string(c, 10), a.substr(0, 10));
}
