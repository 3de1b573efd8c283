#pragma once

#include "store/Stream.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velmora::db {

class Connection;

using Date = std::chrono::sys_days;

// Today's date in local time, without a time of day: what "date added" records.
Date Today();

// A server-side cursor over one select statement: rows are fetched one at a time as
// the cursor moves, and long-binary columns are never loaded whole unless asked for.
// A select over one table (with optional where/order) is updatable: Append/Edit,
// Set..., Post, Delete. Field names are matched case-insensitively.
class Query {
public:
    // Executes sql and stands on its first row (Eof when there is none).
    Query(Connection& connection, std::string sql);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    bool Eof() const;
    void Next();
    void First();
    // Number of rows the statement returns (counted by the database, not fetched).
    int RecordCount();
    // True for a select over one table whose select list names only its columns.
    bool Updatable() const;

    bool HasField(std::string_view field) const;
    bool IsNull(std::string_view field) const;
    // Null reads as 0, "" and false; a Date column holds "YYYY-MM-DD".
    std::int64_t AsInteger(std::string_view field) const;
    std::string AsString(std::string_view field) const;   // bytes as stored
    bool AsBoolean(std::string_view field) const;
    Date AsDate(std::string_view field) const;

    // Append starts a new row, Edit changes the current row; Post writes either one
    // (an appended row then becomes the current row, with its AutoNumber readable),
    // Cancel drops the pending changes. Delete removes the current row and moves on.
    // As with ADO, setting a field of the current row starts Edit by itself, and
    // moving, Append or Edit post pending changes first; changes still pending when
    // the query is destroyed are dropped. Without an explicit Transaction each Post
    // and Delete commits at once.
    void Append();
    void Edit();
    void Post();
    void Cancel();
    void Delete();

    void SetInteger(std::string_view field, std::int64_t value);
    void SetString(std::string_view field, std::string_view value);
    void SetBoolean(std::string_view field, bool value);
    void SetDate(std::string_view field, Date value);
    void SetNull(std::string_view field);

    // Streams on a long-binary column of the current row. A write stream starts empty
    // (it replaces the value) and takes effect when the row is posted; it may be
    // released before Post. Memory stays bounded whatever the length.
    std::unique_ptr<Stream> OpenReadStream(std::string_view field);
    std::unique_ptr<Stream> OpenWriteStream(std::string_view field);

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

} // namespace velmora::db
