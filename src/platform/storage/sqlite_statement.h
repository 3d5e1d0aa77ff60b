#pragma once
// The few SQLite steps the records file is read and written with: a failure that keeps its result
// code, a prepared statement that binds and reads plain values, and a transaction rolled back
// unless committed. For the storage adapters' own sources; one thread at a time per connection.

#include "platform/storage/sqlite_messages.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

namespace cantorix::platform::sqlite_steps {

class SqliteFailure : public std::runtime_error {
public:
    SqliteFailure(int code, const std::string& message) : runtime_error(message), m_code(code) {}
    int code() const { return m_code; }
    bool damaged() const {
        return (m_code & 0xFF) == SQLITE_CORRUPT || (m_code & 0xFF) == SQLITE_NOTADB;
    }
    bool busy() const { return sqliteBusy(m_code); }

private:
    int m_code;
};

[[noreturn]] inline void throwFailure(sqlite3* db) {
    throw SqliteFailure(sqlite3_extended_errcode(db), sqliteMessage(db));
}

inline void exec(sqlite3* db, const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throwFailure(db);
}

template <class T> constexpr bool kIsOptional = false;
template <class T> constexpr bool kIsOptional<std::optional<T>> = true;

class Statement {
public:
    Statement(sqlite3* db, const char* sql) : m_db(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            throwFailure(db);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // True for a row, false when done.
    bool step() {
        const int code = sqlite3_step(m_stmt);
        if (code != SQLITE_ROW && code != SQLITE_DONE)
            throwFailure(m_db);
        return code == SQLITE_ROW;
    }
    // Binds the values to the parameters from 1 on.
    template <class... Values> void bindAll(const Values&... values) {
        sqlite3_reset(m_stmt);
        int index = 0;
        (bind(++index, values), ...);
    }
    // Reads the columns from `first` on into the values.
    template <class... Values> void readAll(int first, Values&... values) const {
        (read(first++, values), ...);
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(m_stmt, column); }

private:
    template <class T> void bind(int index, const T& value) {
        if constexpr (std::is_convertible_v<T, std::string_view>) {
            const std::string_view text = value;
            sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()),
                              SQLITE_TRANSIENT);
        } else if constexpr (std::is_floating_point_v<T>) {
            // SQLite stores NaN as NULL, which the column refuses: the session would be lost.
            sqlite3_bind_double(m_stmt, index, std::isnan(value) ? 0.0 : value);
        } else if constexpr (kIsOptional<T>) {
            value ? bind(index, *value) : void(sqlite3_bind_null(m_stmt, index));
        } else {
            sqlite3_bind_int64(m_stmt, index, static_cast<std::int64_t>(value));
        }
    }
    template <class T> void read(int column, T& value) const {
        if constexpr (std::is_same_v<T, std::string>) {
            const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
            value.assign(data ? data : "",
                         static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column)));
        } else if constexpr (std::is_floating_point_v<T>) {
            value = sqlite3_column_double(m_stmt, column);
        } else if constexpr (kIsOptional<T>) {
            if (sqlite3_column_type(m_stmt, column) != SQLITE_NULL)
                read(column, value.emplace());
        } else {
            value = static_cast<T>(integer(column));
        }
    }

    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// Rolled back unless committed, also when an exception leaves the scope.
class Transaction {
public:
    Transaction(sqlite3* db, const char* begin) : m_db(db) { exec(db, begin); }
    ~Transaction() {
        if (m_db)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit() {
        exec(m_db, "COMMIT");
        m_db = nullptr;
    }

private:
    sqlite3* m_db;
};

} // namespace cantorix::platform::sqlite_steps
