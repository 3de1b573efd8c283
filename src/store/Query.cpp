#include "store/Query.h"

#include "store/AsciiText.h"
#include "store/BlobReadStream.h"
#include "store/BlobSpool.h"
#include "store/BlobWriteStream.h"
#include "store/Connection.h"
#include "store/DatabaseError.h"
#include "store/SelectParser.h"
#include "store/Statement.h"
#include "store/ValueReadStream.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace velmora::db {

Date Today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    using namespace std::chrono;
    return sys_days(year(local.tm_year + 1900) / month(static_cast<unsigned>(local.tm_mon + 1)) /
                    day(static_cast<unsigned>(local.tm_mday)));
}

namespace {

// Pieces in which a spooled long value is copied into its row.
constexpr std::int64_t kBlobPiece = 1024 * 1024;

using Value = std::variant<std::monostate, std::int64_t, std::string, std::shared_ptr<BlobSpool>>;

bool IsLongBinaryType(std::string_view declared)
{
    std::string upper(declared);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper.find("BLOB") != std::string::npos || upper.find("BINARY") != std::string::npos
        || upper.find("OLE") != std::string::npos || upper.find("IMAGE") != std::string::npos;
}

std::string FormatDate(Date date)
{
    const std::chrono::year_month_day ymd{date};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return text;
}

std::optional<Date> ParseDate(const std::string& text)
{
    int y = 0;
    unsigned m = 0, d = 0;
    if (std::sscanf(text.c_str(), "%d-%u-%u", &y, &m, &d) != 3)
        return std::nullopt;
    const std::chrono::year_month_day ymd{std::chrono::year{y}, std::chrono::month{m}, std::chrono::day{d}};
    if (!ymd.ok())
        return std::nullopt;
    return Date{ymd};
}

std::string SpoolBytes(const BlobSpool& spool)
{
    std::string bytes(static_cast<std::size_t>(spool.Size()), '\0');
    spool.Read(0, bytes.data(), spool.Size());
    return bytes;
}

std::string ValueText(const Value& v)
{
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return std::to_string(*i);
    if (const auto* s = std::get_if<std::string>(&v))
        return *s;
    if (const auto* b = std::get_if<std::shared_ptr<BlobSpool>>(&v))
        return SpoolBytes(**b);
    return {};
}

std::int64_t TextInteger(const std::string& text)
{
    return std::strtoll(text.c_str(), nullptr, 10);
}

bool TextBoolean(std::string_view value)
{
    const std::string text = AsciiLower(value);
    if (text == "true" || text == "yes" || text == "on")
        return true;
    return std::strtod(text.c_str(), nullptr) != 0;
}

std::string TrimStatement(std::string sql)
{
    while (!sql.empty() && (std::isspace(static_cast<unsigned char>(sql.back())) || sql.back() == ';'))
        sql.pop_back();
    return sql;
}

} // namespace

struct Query::Impl {
    struct Column {
        std::string name;      // as the statement names it
        std::string source;    // the table column behind it; empty for an expression
        bool deferred = false; // a long binary selected as its type only
    };
    struct TableColumn {
        std::string name;
        bool longBinary = false;
    };
    enum class State { Browse, Append, Edit };

    sqlite3* db = nullptr;
    std::string path;
    std::string sql;

    bool updatable = false;   // the rows have an identity: rowid in column 0
    bool readOnly = false;    // ... but the connection cannot change them
    std::string table;
    std::string tableRef;
    std::string selectList;
    std::vector<TableColumn> tableColumns;
    std::vector<Column> columns;
    int firstColumn = 0;   // 1 when column 0 is the row id

    Statement main;
    bool mainOnRow = false;
    // The current row re-read after Post: the cursor's own row no longer shows the
    // posted values, and an appended row is not in the cursor at all.
    Statement reread;
    bool rereadActive = false;

    State state = State::Browse;
    std::int64_t editRowid = 0;
    std::vector<std::pair<std::string, Value>> pending;   // by table column name

    [[noreturn]] void Fail(const std::string& what) const
    {
        throw DatabaseError(what + " (database \"" + path + "\", statement \"" + sql + "\")");
    }

    void Prepare();
    bool TryUpdatable(const SelectShape& shape);
    void StepMain();

    sqlite3_stmt* CurrentRow() const
    {
        if (rereadActive)
            return reread.Handle();
        if (mainOnRow)
            return main.Handle();
        return nullptr;
    }
    sqlite3_stmt* RequireRow() const
    {
        sqlite3_stmt* row = CurrentRow();
        if (!row)
            Fail("No current row");
        return row;
    }
    std::int64_t CurrentRowid() const
    {
        if (!updatable)
            Fail("The query cannot be updated");
        return sqlite3_column_int64(RequireRow(), 0);
    }

    int FindColumn(std::string_view field) const
    {
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (EqualsNoCase(columns[i].name, field))
                return static_cast<int>(i);
        return -1;
    }
    const TableColumn* FindTableColumn(std::string_view name) const
    {
        for (const auto& c : tableColumns)
            if (EqualsNoCase(c.name, name))
                return &c;
        return nullptr;
    }
    // The table column that a field of this query writes to.
    std::string TableColumnOf(std::string_view field) const
    {
        if (const int i = FindColumn(field); i >= 0 && !columns[static_cast<std::size_t>(i)].source.empty())
            return columns[static_cast<std::size_t>(i)].source;
        if (const TableColumn* c = FindTableColumn(field))
            return c->name;
        Fail("No column \"" + std::string(field) + "\" in table \"" + table + "\"");
    }
    int RequireColumn(std::string_view field) const
    {
        const int i = FindColumn(field);
        if (i < 0)
            Fail("No field \"" + std::string(field) + "\"");
        return i;
    }

    // The pending value of field while a row is being appended or edited: what was set,
    // or null for an appended row's untouched column.
    std::optional<Value> PendingValue(std::string_view field) const
    {
        if (state == State::Browse)
            return std::nullopt;
        const int i = FindColumn(field);
        std::string column;
        if (i >= 0 && !columns[static_cast<std::size_t>(i)].source.empty())
            column = columns[static_cast<std::size_t>(i)].source;
        else if (const TableColumn* c = FindTableColumn(field))
            column = c->name;
        else
            return std::nullopt;
        for (const auto& [name, value] : pending)
            if (EqualsNoCase(name, column))
                return value;
        if (state == State::Append)
            return Value{};
        return std::nullopt;
    }

    int StatementIndex(int column) const { return column + firstColumn; }

    bool RowIsNull(int column) const
    {
        sqlite3_stmt* row = RequireRow();
        const int index = StatementIndex(column);
        if (columns[static_cast<std::size_t>(column)].deferred)
            return std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(row, index))) == "null";
        return sqlite3_column_type(row, index) == SQLITE_NULL;
    }
    // The whole value of a long binary that the cursor selected by type only.
    std::string FetchDeferred(int column) const
    {
        Statement st(db, "SELECT " + QuoteIdentifier(columns[static_cast<std::size_t>(column)].source)
                             + " FROM " + QuoteIdentifier(table) + " WHERE _rowid_ = ?",
                     path);
        st.BindInt64(1, CurrentRowid());
        if (!st.Step())
            return {};
        const auto* data = static_cast<const char*>(sqlite3_column_blob(st.Handle(), 0));
        return data ? std::string(data, static_cast<std::size_t>(sqlite3_column_bytes(st.Handle(), 0))) : std::string();
    }
    std::string RowText(int column) const
    {
        if (columns[static_cast<std::size_t>(column)].deferred)
            return FetchDeferred(column);
        sqlite3_stmt* row = RequireRow();
        const int index = StatementIndex(column);
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, index));
        return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(row, index))) : std::string();
    }

    void SetPending(std::string_view field, Value value);
    void EnsureEditing();
    void RequireWritable() const
    {
        if (!updatable)
            Fail("The query cannot be updated");
        if (readOnly)
            Fail("The database is open read-only");
    }
    void PostPending();
    void BindValue(Statement& st, int index, const Value& value, std::vector<std::pair<std::string, std::shared_ptr<BlobSpool>>>& large,
                   const std::string& column);
    void Reread(std::int64_t rowid);
};

void Query::Impl::Prepare()
{
    if (const auto shape = ParseUpdatableSelect(sql); shape && TryUpdatable(*shape))
        return;
    updatable = false;
    firstColumn = 0;
    main = Statement(db, sql, path);
    const int count = sqlite3_column_count(main.Handle());
    columns.clear();
    for (int i = 0; i < count; ++i) {
        const char* name = sqlite3_column_name(main.Handle(), i);
        columns.push_back({name ? name : "", {}, false});
    }
}

bool Query::Impl::TryUpdatable(const SelectShape& shape)
{
    {
        Statement find(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE", path);
        find.BindText(1, shape.table);
        if (!find.Step())
            return false;
        table = reinterpret_cast<const char*>(sqlite3_column_text(find.Handle(), 0));
    }
    tableColumns.clear();
    {
        Statement info(db, "PRAGMA table_info(" + QuoteIdentifier(table) + ")", path);
        while (info.Step()) {
            const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(info.Handle(), 1));
            const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(info.Handle(), 2));
            tableColumns.push_back({name ? name : "", IsLongBinaryType(type ? type : "")});
        }
    }
    // Long binaries are selected by their type only: stepping the cursor would
    // otherwise load each of them whole. Their content is read in place, on demand.
    std::string list;
    std::vector<Column> sources;
    auto add = [&](const std::string& text, const std::string& source, bool deferred) {
        if (!list.empty())
            list += ", ";
        list += text;
        sources.push_back({{}, source, deferred});
    };
    for (const auto& item : shape.items) {
        if (item.star) {
            for (const auto& c : tableColumns) {
                const std::string q = QuoteIdentifier(c.name);
                add(c.longBinary ? "typeof(" + q + ") AS " + q : q, c.name, c.longBinary);
            }
            continue;
        }
        const TableColumn* c = FindTableColumn(item.column);
        if (!c)
            return false;
        const std::string name = QuoteIdentifier(item.alias.empty() ? c->name : item.alias);
        if (c->longBinary)
            add("typeof(" + item.text + ") AS " + name, c->name, true);
        else
            add(item.text + (item.alias.empty() ? std::string() : " AS " + name), c->name, false);
    }
    const std::string rewritten = sql.substr(0, shape.listBegin) + "_rowid_ AS vm_rowid_, " + list + " "
        + sql.substr(shape.listEnd);
    sqlite3_stmt* probe = nullptr;
    if (sqlite3_prepare_v2(db, rewritten.c_str(), -1, &probe, nullptr) != SQLITE_OK) {
        sqlite3_finalize(probe);
        return false;
    }
    sqlite3_finalize(probe);
    main = Statement(db, rewritten, path);
    updatable = true;
    firstColumn = 1;
    tableRef = shape.tableRef;
    selectList = "_rowid_ AS vm_rowid_, " + list;
    columns = std::move(sources);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const char* name = sqlite3_column_name(main.Handle(), static_cast<int>(i) + 1);
        columns[i].name = name ? name : "";
    }
    return true;
}

void Query::Impl::StepMain()
{
    mainOnRow = main.Step();
    // A finished cursor lets go of its read snapshot at once, so that it does not
    // hold back other connections' writes or this connection's next transaction.
    if (!mainOnRow)
        main.Reset();
}

void Query::Impl::EnsureEditing()
{
    if (state != State::Browse)
        return;
    RequireWritable();
    if (!CurrentRow())
        Fail("No current row to change");
    editRowid = CurrentRowid();
    state = State::Edit;
}

void Query::Impl::SetPending(std::string_view field, Value value)
{
    EnsureEditing();
    const std::string column = TableColumnOf(field);
    for (auto& [name, v] : pending) {
        if (EqualsNoCase(name, column)) {
            v = std::move(value);
            return;
        }
    }
    pending.emplace_back(column, std::move(value));
}

void Query::Impl::BindValue(Statement& st, int index, const Value& value,
                            std::vector<std::pair<std::string, std::shared_ptr<BlobSpool>>>& large,
                            const std::string& column)
{
    if (const auto* i = std::get_if<std::int64_t>(&value)) {
        st.BindInt64(index, *i);
    } else if (const auto* s = std::get_if<std::string>(&value)) {
        st.BindText(index, *s);
    } else if (const auto* b = std::get_if<std::shared_ptr<BlobSpool>>(&value)) {
        const BlobSpool& spool = **b;
        if (spool.InMemory()) {
            st.BindBlob(index, spool.Data(), spool.Size());
        } else {
            // Room now, content piece by piece once the row exists.
            st.BindZeroBlob(index, spool.Size());
            large.emplace_back(column, *b);
        }
    } else {
        st.BindNull(index);
    }
}

void Query::Impl::Reread(std::int64_t rowid)
{
    reread = Statement(db, "SELECT " + selectList + " FROM " + tableRef + " WHERE _rowid_ = ?", path);
    reread.BindInt64(1, rowid);
    rereadActive = reread.Step();
}

void Query::Impl::PostPending()
{
    if (state == State::Browse)
        return;
    std::vector<std::pair<std::string, std::shared_ptr<BlobSpool>>> large;
    Statement st;
    if (state == State::Append) {
        std::string names, marks;
        for (const auto& [name, value] : pending) {
            names += (names.empty() ? "" : ", ") + QuoteIdentifier(name);
            marks += marks.empty() ? "?" : ", ?";
        }
        st = Statement(db,
                       pending.empty() ? "INSERT INTO " + QuoteIdentifier(table) + " DEFAULT VALUES"
                                       : "INSERT INTO " + QuoteIdentifier(table) + " (" + names
                                             + ") VALUES (" + marks + ")",
                       path);
    } else {
        if (pending.empty()) {
            state = State::Browse;
            return;
        }
        std::string sets;
        for (const auto& [name, value] : pending)
            sets += (sets.empty() ? "" : ", ") + QuoteIdentifier(name) + " = ?";
        st = Statement(db, "UPDATE " + QuoteIdentifier(table) + " SET " + sets + " WHERE _rowid_ = ?", path);
        st.BindInt64(static_cast<int>(pending.size()) + 1, editRowid);
    }
    for (std::size_t i = 0; i < pending.size(); ++i)
        BindValue(st, static_cast<int>(i) + 1, pending[i].second, large, pending[i].first);

    // A long value takes several statements; they commit together or not at all.
    const bool wrap = !large.empty();
    const bool outer = sqlite3_get_autocommit(db) == 0;
    auto exec = [&](const char* text) {
        Statement(db, text, path).Run();
    };
    if (wrap)
        exec(outer ? "SAVEPOINT vm_post" : "BEGIN IMMEDIATE");
    std::optional<std::int64_t> rowid;
    try {
        st.Run();
        if (state == State::Append) {
            // A row refused by an ON CONFLICT IGNORE constraint adds nothing.
            if (sqlite3_changes(db) > 0)
                rowid = sqlite3_last_insert_rowid(db);
        } else {
            rowid = editRowid;
        }
        st = Statement();   // the bound memory may go now
        for (const auto& [column, spool] : large) {
            if (!rowid)
                break;
            sqlite3_blob* blob = nullptr;
            int rc = sqlite3_blob_open(db, "main", table.c_str(), column.c_str(), *rowid, 1, &blob);
            if (rc != SQLITE_OK) {
                const std::string message = DescribeError(db, rc, path, "write " + table + "." + column);
                sqlite3_blob_close(blob);
                RaiseError(rc, message);
            }
            try {
                spool->ForEachPiece(kBlobPiece, [&](const char* data, std::int64_t n, std::int64_t offset) {
                    const int wrc = sqlite3_blob_write(blob, data, static_cast<int>(n), static_cast<int>(offset));
                    if (wrc != SQLITE_OK)
                        RaiseError(wrc, DescribeError(db, wrc, path, "write " + table + "." + column));
                });
            } catch (...) {
                sqlite3_blob_close(blob);
                throw;
            }
            rc = sqlite3_blob_close(blob);
            if (rc != SQLITE_OK)
                RaiseError(rc, DescribeError(db, rc, path, "write " + table + "." + column));
        }
        if (wrap)
            exec(outer ? "RELEASE vm_post" : "COMMIT");
    } catch (...) {
        if (wrap) {
            if (outer) {
                sqlite3_exec(db, "ROLLBACK TO vm_post; RELEASE vm_post", nullptr, nullptr, nullptr);
            } else if (sqlite3_get_autocommit(db) == 0) {
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            }
        }
        throw;
    }
    pending.clear();
    state = State::Browse;
    if (rowid)
        Reread(*rowid);
}

Query::Query(Connection& connection, std::string sql) : d(std::make_unique<Impl>())
{
    d->db = connection.Handle();
    d->path = connection.DataSource();
    d->sql = TrimStatement(std::move(sql));
    if (!d->db)
        d->Fail("Database is not open");
    d->readOnly = sqlite3_db_readonly(d->db, "main") == 1;
    d->Prepare();
    d->StepMain();
}

Query::~Query() = default;

bool Query::Eof() const
{
    return !d->rereadActive && !d->mainOnRow;
}

void Query::Next()
{
    d->PostPending();
    if (d->rereadActive) {
        d->rereadActive = false;
        d->reread = Statement();
    }
    if (d->mainOnRow)
        d->StepMain();
}

void Query::First()
{
    d->PostPending();
    d->rereadActive = false;
    d->reread = Statement();
    d->main.Reset();
    d->StepMain();
}

int Query::RecordCount()
{
    Statement count(d->db, "SELECT count(*) FROM (" + d->sql + ")", d->path);
    return count.Step() ? sqlite3_column_int(count.Handle(), 0) : 0;
}

bool Query::Updatable() const
{
    return d->updatable && !d->readOnly;
}

bool Query::HasField(std::string_view field) const
{
    return d->FindColumn(field) >= 0;
}

bool Query::IsNull(std::string_view field) const
{
    if (const auto v = d->PendingValue(field))
        return std::holds_alternative<std::monostate>(*v);
    return d->RowIsNull(d->RequireColumn(field));
}

std::int64_t Query::AsInteger(std::string_view field) const
{
    if (const auto v = d->PendingValue(field)) {
        if (const auto* i = std::get_if<std::int64_t>(&*v))
            return *i;
        return TextInteger(ValueText(*v));
    }
    const int column = d->RequireColumn(field);
    if (d->columns[static_cast<std::size_t>(column)].deferred)
        return TextInteger(d->RowText(column));
    return sqlite3_column_int64(d->RequireRow(), d->StatementIndex(column));
}

std::string Query::AsString(std::string_view field) const
{
    if (const auto v = d->PendingValue(field))
        return ValueText(*v);
    return d->RowText(d->RequireColumn(field));
}

bool Query::AsBoolean(std::string_view field) const
{
    if (const auto v = d->PendingValue(field)) {
        if (const auto* i = std::get_if<std::int64_t>(&*v))
            return *i != 0;
        return !std::holds_alternative<std::monostate>(*v) && TextBoolean(ValueText(*v));
    }
    const int column = d->RequireColumn(field);
    sqlite3_stmt* row = d->RequireRow();
    const int index = d->StatementIndex(column);
    if (d->columns[static_cast<std::size_t>(column)].deferred || sqlite3_column_type(row, index) == SQLITE_TEXT)
        return !d->RowIsNull(column) && TextBoolean(d->RowText(column));
    return sqlite3_column_int64(row, index) != 0;
}

Date Query::AsDate(std::string_view field) const
{
    if (IsNull(field))
        return Date{};
    const std::string text = AsString(field);
    const auto date = ParseDate(text);
    if (!date)
        d->Fail("Field \"" + std::string(field) + "\" holds \"" + text + "\", not a date");
    return *date;
}

void Query::Append()
{
    d->PostPending();
    d->RequireWritable();
    d->state = Impl::State::Append;
    d->pending.clear();
}

void Query::Edit()
{
    d->PostPending();
    d->EnsureEditing();
}

void Query::Post()
{
    d->PostPending();
}

void Query::Cancel()
{
    d->pending.clear();
    d->state = Impl::State::Browse;
}

void Query::Delete()
{
    Cancel();
    d->RequireWritable();
    Statement st(d->db, "DELETE FROM " + QuoteIdentifier(d->table) + " WHERE _rowid_ = ?", d->path);
    st.BindInt64(1, d->CurrentRowid());
    st.Run();
    Next();
}

void Query::SetInteger(std::string_view field, std::int64_t value)
{
    d->SetPending(field, value);
}

void Query::SetString(std::string_view field, std::string_view value)
{
    d->SetPending(field, std::string(value));
}

void Query::SetBoolean(std::string_view field, bool value)
{
    d->SetPending(field, std::int64_t{value ? 1 : 0});
}

void Query::SetDate(std::string_view field, Date value)
{
    d->SetPending(field, FormatDate(value));
}

void Query::SetNull(std::string_view field)
{
    d->SetPending(field, Value{});
}

std::unique_ptr<Stream> Query::OpenReadStream(std::string_view field)
{
    const int column = d->FindColumn(field);
    if (!d->updatable) {
        if (column < 0)
            d->Fail("No field \"" + std::string(field) + "\"");
        sqlite3_stmt* row = d->RequireRow();
        const auto* data = static_cast<const char*>(sqlite3_column_blob(row, column));
        return std::make_unique<ValueReadStream>(
            data ? std::string(data, static_cast<std::size_t>(sqlite3_column_bytes(row, column))) : std::string());
    }
    const std::string source = d->TableColumnOf(field);
    const std::int64_t rowid = d->CurrentRowid();
    // The value's kind decides how it can be read: text and blobs in place, null as
    // nothing, numbers as their text.
    Statement kind(d->db, "SELECT typeof(" + QuoteIdentifier(source) + ") FROM " + QuoteIdentifier(d->table)
                       + " WHERE _rowid_ = ?",
                   d->path);
    kind.BindInt64(1, rowid);
    if (!kind.Step())
        d->Fail("The current row no longer exists");
    const std::string type = reinterpret_cast<const char*>(sqlite3_column_text(kind.Handle(), 0));
    kind = Statement();
    if (type == "null")
        return std::make_unique<ValueReadStream>(std::string());
    if (type == "blob" || type == "text")
        return std::make_unique<BlobReadStream>(d->db, d->table, source, rowid, d->path);
    Statement value(d->db, "SELECT " + QuoteIdentifier(source) + " FROM " + QuoteIdentifier(d->table)
                        + " WHERE _rowid_ = ?",
                    d->path);
    value.BindInt64(1, rowid);
    value.Step();
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(value.Handle(), 0));
    return std::make_unique<ValueReadStream>(text ? std::string(text) : std::string());
}

std::unique_ptr<Stream> Query::OpenWriteStream(std::string_view field)
{
    auto spool = std::make_shared<BlobSpool>();
    d->SetPending(field, spool);
    return std::make_unique<BlobWriteStream>(std::move(spool));
}

} // namespace velmora::db
