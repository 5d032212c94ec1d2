#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

struct sqlite3;
struct sqlite3_stmt;

// A thin RAII layer over SQLite's C API: one connection, its prepared statements and transactions.
// Nothing throws; every operation returns a Status that says what failed.
namespace Sql {

struct Status {
    int code = 0;    // SQLite's primary result code; 0 (SQLITE_OK) on success
    QString message; // SQLite's text for it, empty on success

    bool Ok() const { return code == 0; }
    // The file is not a database, or its pages are damaged.
    bool IsDamage() const;
};

class Statement;

class Database final {
public:
    enum class Mode { ReadWrite, ReadOnly };

    Database() = default;
    ~Database();
    Q_DISABLE_COPY_MOVE(Database)

    // Opens (and for ReadWrite creates) the file. A failed open leaves the object closed.
    Status Open(const QString& path, Mode mode);
    void Close();
    bool IsOpen() const { return m_db != nullptr; }

    // Runs one or more statements that take no parameters and return no rows.
    Status Exec(const char* sql);
    // A statement whose first column of the first row is an integer (pragmas, counts).
    Status QueryInt(const char* sql, qint64& value);
    Status Prepare(const char* sql, Statement& statement);

    qint64 LastInsertId() const;
    // Rows changed by the last statement.
    int Changes() const;
    Status LastStatus(int code) const;
    // On the open connection: asked every few thousand steps of a running statement; true stops it
    // (SQLITE_INTERRUPT). Empty: never.
    void StopWhen(std::function<bool()> stop);

private:
    static int Progress(void* self);

    sqlite3* m_db = nullptr;
    std::function<bool()> m_stop;
};

// A prepared statement; binding counts from 1 as in SQLite.
class Statement final {
public:
    Statement() = default;
    ~Statement();
    Q_DISABLE_COPY_MOVE(Statement)

    bool IsPrepared() const { return m_stmt != nullptr; }
    // Releases the compiled statement, so that its connection can close at once.
    void Finalize();
    Statement& Bind(int index, qint64 value);
    Statement& Bind(int index, const QString& value); // whole text, NUL characters included
    Statement& BindNull(int index);
    // The value of `column` in the current row of `row`, whatever its type.
    Statement& Bind(int index, const Statement& row, int column);

    // Runs the statement to completion, then resets it for the next use.
    Status Run();
    // Steps once: true with a row ready, false at the end or on failure (see Finish).
    bool Next();
    // Resets after a query; returns the failure that ended Next early, if any.
    Status Finish();

    qint64 Int(int column) const;
    bool IsNull(int column) const;
    QString Text(int column) const;

private:
    friend class Database;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    int m_lastCode = 0;
};

// BEGIN IMMEDIATE ... COMMIT; rolled back unless committed.
class Transaction final {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Q_DISABLE_COPY_MOVE(Transaction)

    const Status& Begun() const { return m_begun; }
    Status Commit();

private:
    Database& m_db;
    Status m_begun;
    bool m_bOpen = false;
};

} // namespace Sql
