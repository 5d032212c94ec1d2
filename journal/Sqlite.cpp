#include "journal/Sqlite.h"

#include <QFile>
#include <sqlite3.h>

namespace Sql {

namespace {

// SQLite's own text for a full disk ("database or disk is full") blames the database first.
QString Message(int code, const char* text) {
    return (code & 0xff) == SQLITE_FULL ? QStringLiteral("disk full") : QString::fromUtf8(text);
}

} // namespace

bool Status::IsDamage() const {
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

Database::~Database() {
    Close();
}

Status Database::Open(const QString& path, Mode mode) {
    Close();
    const int flags =
        mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    // SQLite takes the name as the file system's bytes on Unix, but as UTF-8 on Windows, where the
    // local 8-bit code page cannot spell every user's folder.
#ifdef _WIN32
    const QByteArray name = path.toUtf8();
#else
    const QByteArray name = QFile::encodeName(path);
#endif
    const int code = sqlite3_open_v2(name.constData(), &m_db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) {
        Status status{code & 0xff, Message(code, sqlite3_errstr(code))};
        Close();
        return status;
    }
    sqlite3_extended_result_codes(m_db, 0);
    // A board that checkpoints while a report reads waits briefly instead of failing.
    sqlite3_busy_timeout(m_db, 2000);
    return {};
}

void Database::Close() {
    if (m_db != nullptr) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

Status Database::LastStatus(int code) const {
    if (code == SQLITE_OK || code == SQLITE_DONE || code == SQLITE_ROW) {
        return {};
    }
    return {code & 0xff, Message(code, m_db != nullptr ? sqlite3_errmsg(m_db) : sqlite3_errstr(code))};
}

Status Database::Exec(const char* sql) {
    if (m_db == nullptr) {
        return {SQLITE_MISUSE, QStringLiteral("not open")};
    }
    return LastStatus(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr));
}

Status Database::QueryInt(const char* sql, qint64& value) {
    Statement statement;
    Status status = Prepare(sql, statement);
    if (!status.Ok()) {
        return status;
    }
    value = statement.Next() ? statement.Int(0) : 0;
    return statement.Finish();
}

Status Database::Prepare(const char* sql, Statement& statement) {
    if (m_db == nullptr) {
        return {SQLITE_MISUSE, QStringLiteral("not open")};
    }
    sqlite3_finalize(statement.m_stmt);
    statement.m_stmt = nullptr;
    statement.m_db = m_db;
    return LastStatus(
        sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement.m_stmt, nullptr));
}

qint64 Database::LastInsertId() const {
    return m_db != nullptr ? sqlite3_last_insert_rowid(m_db) : 0;
}

int Database::Changes() const {
    return m_db != nullptr ? sqlite3_changes(m_db) : 0;
}

void Database::StopWhen(std::function<bool()> stop) {
    m_stop = std::move(stop);
    if (m_db != nullptr) {
        sqlite3_progress_handler(m_db, m_stop ? 10000 : 0, m_stop ? &Database::Progress : nullptr, this);
    }
}

int Database::Progress(void* self) {
    return static_cast<Database*>(self)->m_stop() ? 1 : 0;
}

Statement::~Statement() {
    sqlite3_finalize(m_stmt);
}

void Statement::Finalize() {
    sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
}

Statement& Statement::Bind(int index, qint64 value) {
    sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

Statement& Statement::Bind(int index, const QString& value) {
    // UTF-16 with its byte length: a NUL inside a name is kept, not taken as the end.
    sqlite3_bind_text16(m_stmt, index, value.utf16(), static_cast<int>(value.size() * 2), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::BindNull(int index) {
    sqlite3_bind_null(m_stmt, index);
    return *this;
}

Statement& Statement::Bind(int index, const Statement& row, int column) {
    sqlite3_bind_value(m_stmt, index, sqlite3_column_value(row.m_stmt, column));
    return *this;
}

Status Statement::Run() {
    if (m_stmt == nullptr) {
        return {SQLITE_MISUSE, QStringLiteral("not prepared")};
    }
    int code = SQLITE_ROW;
    while (code == SQLITE_ROW) {
        code = sqlite3_step(m_stmt);
    }
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    if (code == SQLITE_DONE) {
        return {};
    }
    return {code & 0xff, Message(code, sqlite3_errmsg(m_db))};
}

bool Statement::Next() {
    if (m_stmt == nullptr) {
        m_lastCode = SQLITE_MISUSE;
        return false;
    }
    m_lastCode = sqlite3_step(m_stmt);
    return m_lastCode == SQLITE_ROW;
}

Status Statement::Finish() {
    const int code = m_lastCode;
    m_lastCode = SQLITE_OK;
    if (m_stmt == nullptr) {
        return {SQLITE_MISUSE, QStringLiteral("not prepared")};
    }
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    if (code == SQLITE_OK || code == SQLITE_DONE || code == SQLITE_ROW) {
        return {};
    }
    return {code & 0xff, Message(code, sqlite3_errstr(code))};
}

qint64 Statement::Int(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

bool Statement::IsNull(int column) const {
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

QString Statement::Text(int column) const {
    const void* text = sqlite3_column_text16(m_stmt, column);
    const int bytes = sqlite3_column_bytes16(m_stmt, column);
    return text == nullptr ? QString() : QString(static_cast<const QChar*>(text), bytes / 2);
}

Transaction::Transaction(Database& db) : m_db(db), m_begun(db.Exec("BEGIN IMMEDIATE")) {
    m_bOpen = m_begun.Ok();
}

Transaction::~Transaction() {
    if (m_bOpen) {
        m_db.Exec("ROLLBACK");
    }
}

Status Transaction::Commit() {
    if (!m_bOpen) {
        return m_begun.Ok() ? Status{SQLITE_MISUSE, QStringLiteral("already ended")} : m_begun;
    }
    Status status = m_db.Exec("COMMIT");
    if (status.Ok()) {
        m_bOpen = false;
    }
    return status;
}

} // namespace Sql
