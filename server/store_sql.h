// What the SQLite and PostgreSQL stores share: the schema with its
// migrations, and the queries the figures are read with. Both stores run the
// same statements; only the few words the two dialects spell differently
// (the row id column, the integer type, parameter markers) are filled in
// per dialect.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "server/store.h"

namespace distd {

enum class SqlDialect { Sqlite, Postgresql };

// The number of migrations, which is the current schema version.
int MigrationCount();

// Migration `index` (0-based): the statements that bring a store from
// schema version `index` to `index + 1`, in the dialect's words.
std::string MigrationSql(SqlDialect dialect, int index);

// "?1" parameter markers as the dialect writes them ("$1" for PostgreSQL).
std::string DialectSql(SqlDialect dialect, const std::string& sql);

// A result row of a query.
class SqlRow {
public:
    virtual ~SqlRow() = default;
    virtual std::string Text(int column) const = 0;
    virtual int64_t Int(int column) const = 0;
};

// Runs `sql` (written with "?N" markers) with integer parameters and calls
// `row` for each result row. False with a reason when the query fails.
using SqlQuery =
    std::function<bool(const std::string& sql, std::initializer_list<int64_t> params,
                       std::string& error, const std::function<void(const SqlRow&)>& row)>;

// Reads the figures through `query`; the caller holds one read transaction
// around it so that every figure comes from the same moment.
bool ReadFiguresWith(const SqlQuery& query, int64_t now, int days, int recent, Figures& out,
                     std::string& error);

// The message for a store whose schema version is not one this build uses.
std::string SchemaVersionProblem(int version);

} // namespace distd
