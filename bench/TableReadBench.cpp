// The cost of reading one row of one table, as the catalogue does for every item it
// opens: through db::Query (which the callers use) and as a bare prepared statement with
// a bound parameter, on a library of 1,000 items. The gap between the two is what the
// query layer adds on top of SQLite.
#include "store/Connection.h"
#include "store/Query.h"
#include "store/Statement.h"
#include "store/Transaction.h"

#include <sqlite3.h>

#include "ScratchDir.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace velmora;

namespace {

constexpr int kItems = 1000;

struct ItemLibrary : bench::ScratchLibrary {
    ItemLibrary()
    {
        db::Connection& conn = library->MainConnection();
        db::Transaction transaction(conn);
        conn.Execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                     + std::to_string(kItems)
                     + ") INSERT INTO Record (rec_tnorigname, rec_description, rec_date_added, rec_size, "
                       "rec_rank, rec_objstore) SELECT 'IMG_' || i || '.jpg', 'Holiday ' || i, '2024-05-01', "
                       "i * 1000, 1, 1 FROM n");
        transaction.Commit();
    }
};

// The row an item's content is found by: its name, first store and size.
void BM_OneTableReadQuery(benchmark::State& state)
{
    ItemLibrary lib;
    db::Connection& conn = lib.library->MainConnection();
    int id = 0;
    for (auto _ : state) {
        id = id % kItems + 1;
        db::Query record(conn, "Select rec_tnorigname, rec_objstore, rec_size from Record where rec_ident = "
                                   + std::to_string(id));
        benchmark::DoNotOptimize(record.AsString("rec_tnorigname"));
        benchmark::DoNotOptimize(record.AsInteger("rec_objstore"));
        benchmark::DoNotOptimize(record.AsInteger("rec_size"));
    }
}

void BM_OneTableReadPrepared(benchmark::State& state)
{
    ItemLibrary lib;
    db::Connection& conn = lib.library->MainConnection();
    int id = 0;
    for (auto _ : state) {
        id = id % kItems + 1;
        db::Statement record(conn.Handle(),
                             "Select rec_tnorigname, rec_objstore, rec_size from Record where rec_ident = ?",
                             conn.DataSource());
        record.BindInt64(1, id);
        if (!record.Step())
            state.SkipWithError("row missing");
        benchmark::DoNotOptimize(std::string(reinterpret_cast<const char*>(sqlite3_column_text(record.Handle(), 0))));
        benchmark::DoNotOptimize(sqlite3_column_int64(record.Handle(), 1));
        benchmark::DoNotOptimize(sqlite3_column_int64(record.Handle(), 2));
    }
}

} // namespace

BENCHMARK(BM_OneTableReadQuery)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_OneTableReadPrepared)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

BENCHMARK_MAIN();
