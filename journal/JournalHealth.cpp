#include "journal/JournalHealth.h"

#include "journal/Journal.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QStringList>
#include <atomic>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace JournalHealth {

namespace {

constexpr int kInterrupted = 9; // SQLITE_INTERRUPT
constexpr int kConstraint = 19; // SQLITE_CONSTRAINT: a row whose damaged bytes still decode
constexpr int kMismatch = 20;   // SQLITE_MISMATCH
constexpr qint64 kMaxRowid = std::numeric_limits<qint64>::max();

const char* const kSuffixes[] = {"", "-wal", "-shm"};

Verdict Judge(const Sql::Status& failure) {
    if (failure.code == kInterrupted) {
        return {Verdict::State::Unchecked, QStringLiteral("stopped before it was done")};
    }
    return {failure.IsDamage() ? Verdict::State::Damaged : Verdict::State::Unchecked, failure.message};
}

Verdict CheckUntil(const QString& path, Depth depth, std::function<bool()> stop) {
    if (!QFileInfo::exists(path)) {
        return {Verdict::State::Unchecked, QStringLiteral("no such file")};
    }
    Sql::Database db;
    Sql::Status status = db.Open(path, Sql::Database::Mode::ReadOnly);
    if (!status.Ok()) {
        return Judge(status);
    }
    db.StopWhen(std::move(stop));
    // One finding is enough to call it damaged, and stops the walk there.
    Sql::Statement check;
    status = db.Prepare(depth == Depth::Quick ? "PRAGMA quick_check(1)" : "PRAGMA integrity_check(1)", check);
    if (!status.Ok()) {
        return Judge(status);
    }
    const QString finding = check.Next() ? check.Text(0) : QString();
    status = check.Finish();
    if (!status.Ok()) {
        return Judge(status);
    }
    if (finding == QStringLiteral("ok")) {
        return {Verdict::State::Healthy, {}};
    }
    return {Verdict::State::Damaged, finding};
}

QString Quoted(QString name) {
    return QLatin1Char('"') + name.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

Sql::Status Prepare(Sql::Database& db, const QString& sql, Sql::Statement& statement) {
    return db.Prepare(sql.toUtf8().constData(), statement);
}

Sql::Status Names(Sql::Database& db, const char* sql, const QString& table, QStringList& names) {
    Sql::Statement statement;
    Sql::Status status = db.Prepare(sql, statement);
    if (!status.Ok()) {
        return status;
    }
    if (!table.isNull()) {
        statement.Bind(1, table);
    }
    while (statement.Next()) {
        names << statement.Text(0);
    }
    return statement.Finish();
}

// One table's rows in rowid order. A read that fails ends the walk at the last row read; the copy then
// finds the nearest rowid past the damage from which a read works again, and walks on from there.
class TableCopy final {
public:
    TableCopy(Sql::Database& from, Sql::Database& into) : m_from(from), m_into(into) {}

    Sql::Status Run(const QString& table, const QStringList& columns, qint64& copied, qint64& skipped) {
        QStringList quoted;
        for (const QString& column : columns) {
            quoted << Quoted(column);
        }
        const QString list =
            quoted.isEmpty() ? QString() : QStringLiteral(", ") + quoted.join(QStringLiteral(", "));
        const QString select =
            QStringLiteral("SELECT rowid%1 FROM %2 WHERE rowid > ?1 ORDER BY rowid").arg(list, Quoted(table));
        QStringList places;
        for (int i = 0; i <= columns.size(); ++i) {
            places << QStringLiteral("?%1").arg(i + 1);
        }
        if (!Prepare(m_from, select, m_walk).Ok() ||
            !Prepare(m_from, select + QStringLiteral(" LIMIT 1"), m_probe).Ok()) {
            ++skipped; // no rowid, or a schema SQLite cannot read: the table is left behind
            return {};
        }
        Sql::Status status = Prepare(m_into,
                                     QStringLiteral("INSERT INTO %1(rowid%2) VALUES(%3)")
                                         .arg(Quoted(table), list, places.join(QStringLiteral(", "))),
                                     m_insert);
        if (!status.Ok()) {
            return status;
        }
        const int width = static_cast<int>(columns.size()) + 1;
        qint64 after = std::numeric_limits<qint64>::min(); // every row up to here is dealt with
        for (;;) {
            bool bBroken = false;
            m_walk.Bind(1, after);
            while (m_walk.Next()) {
                const qint64 rowid = m_walk.Int(0);
                if (rowid <= after) { // a damaged page can lead the walk backwards
                    bBroken = true;
                    break;
                }
                for (int i = 0; i < width; ++i) {
                    m_insert.Bind(i + 1, m_walk, i);
                }
                status = m_insert.Run();
                if (status.code == kConstraint || status.code == kMismatch) {
                    ++skipped;
                } else if (!status.Ok()) {
                    m_walk.Finish();
                    return status;
                } else {
                    ++copied;
                }
                after = rowid;
            }
            if (!m_walk.Finish().Ok()) {
                bBroken = true;
            }
            if (!bBroken) {
                return {};
            }
            const std::optional<Resume> resume = FindResume(after);
            if (!resume) {
                ++skipped; // the rest of the table cannot be reached
                return {};
            }
            const qint64 from = std::max<qint64>(after, 0);
            skipped += resume->next ? std::max<qint64>(1, *resume->next - from - 1) : 1;
            after = resume->at;
        }
    }

private:
    struct Resume {
        qint64 at = 0;              // reading rows after this rowid works
        std::optional<qint64> next; // the first of them, none at the table's end
    };

    // Whether reading the first row after `at` works, and which row that is.
    bool Readable(qint64 at, std::optional<qint64>& next) {
        m_probe.Bind(1, at);
        const bool bRow = m_probe.Next();
        const qint64 rowid = bRow ? m_probe.Int(0) : 0;
        if (!m_probe.Finish().Ok() || (bRow && rowid <= at)) {
            return false;
        }
        next = bRow ? std::optional<qint64>(rowid) : std::nullopt;
        return true;
    }

    // Steps past `after` in doubling strides to a readable place, then halves back to the first one:
    // a few dozen reads for any size of damage. Rowids below 1, which nothing here writes, are not
    // searched past damage.
    std::optional<Resume> FindResume(qint64 after) {
        Resume found;
        qint64 unreadable = std::max<qint64>(after, 0);
        for (qint64 stride = 1;; stride = stride > kMaxRowid / 2 ? kMaxRowid : stride * 2) {
            found.at = unreadable > kMaxRowid - stride ? kMaxRowid : unreadable + stride;
            if (Readable(found.at, found.next)) {
                break;
            }
            if (found.at == kMaxRowid) {
                return std::nullopt;
            }
            unreadable = found.at;
        }
        while (found.at - unreadable > 1) {
            const qint64 middle = unreadable + (found.at - unreadable) / 2;
            std::optional<qint64> next;
            if (Readable(middle, next)) {
                found = {middle, next};
            } else {
                unreadable = middle;
            }
        }
        return found;
    }

    Sql::Database& m_from;
    Sql::Database& m_into;
    Sql::Statement m_walk, m_probe, m_insert;
};

// A name beside `path` that names none of the three files of a journal yet.
QString FreeName(const QString& path) {
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("%1.salvage-%2").arg(path).arg(n);
        if (!QFileInfo::exists(name) && !QFileInfo::exists(name + QStringLiteral("-wal")) &&
            !QFileInfo::exists(name + QStringLiteral("-shm"))) {
            return name;
        }
    }
}

void RemoveAll(const QString& path) {
    for (const char* suffix : kSuffixes) {
        QFile::remove(path + QLatin1String(suffix));
    }
}

// Moves the three files of a journal as one; the main file first, which alone must move.
bool MoveAll(const QString& from, const QString& to) {
    if (!QFile::rename(from, to)) {
        return false;
    }
    for (const char* suffix : {"-wal", "-shm"}) {
        if (QFileInfo::exists(from + QLatin1String(suffix))) {
            QFile::rename(from + QLatin1String(suffix), to + QLatin1String(suffix));
        }
    }
    return true;
}

// Lives on the caller's thread as a child of its context: gone with it, which stops the check.
class Receiver final : public QObject {
public:
    struct Link {
        std::mutex mutex;
        Receiver* receiver = nullptr;
        std::atomic<bool> bStop = false;
    };

    explicit Receiver(QObject* context) : QObject(context), m_link(std::make_shared<Link>()) {
        m_link->receiver = this;
    }
    ~Receiver() override {
        const std::lock_guard lock(m_link->mutex);
        m_link->receiver = nullptr;
        m_link->bStop = true;
    }
    Q_DISABLE_COPY_MOVE(Receiver)

    const std::shared_ptr<Link>& Shared() const { return m_link; }

    // From any thread: posted, so `done` runs on the receiver's thread, and never once it is gone.
    static void Post(const std::shared_ptr<Link>& link, std::function<void()> done) {
        const std::lock_guard lock(link->mutex);
        if (Receiver* receiver = link->receiver) {
            QMetaObject::invokeMethod(
                receiver,
                [receiver, done = std::move(done)] {
                    // `done` may delete the context, and with it the receiver.
                    receiver->deleteLater();
                    done();
                },
                Qt::QueuedConnection);
        }
    }

private:
    std::shared_ptr<Link> m_link;
};

// Runs `job` on a thread of its own, which owns what it uses, and hands its result to `done` on
// `context`'s thread, never once `context` is gone; `job` sees that through its flag. `failed` makes
// the result when no thread can be started.
template <typename Result>
void OffThread(QObject* context, std::function<Result(const std::atomic<bool>& stop)> job,
               std::function<void(const Result&)> done, const std::function<Result(const QString&)>& failed) {
    const std::shared_ptr<Receiver::Link> link = (new Receiver(context))->Shared(); // owned by `context`
    const auto post = [link, done = std::move(done)](const Result& result) {
        Receiver::Post(link, [done, result] { done(result); });
    };
    try {
        std::thread([link, job = std::move(job), post] { post(job(link->bStop)); }).detach();
    } catch (const std::system_error& error) {
        post(failed(QString::fromLocal8Bit(error.what())));
    }
}

} // namespace

Verdict Check(const QString& path, Depth depth) {
    if (depth == Depth::Full) {
        return CheckUntil(path, depth, {});
    }
    QElapsedTimer clock;
    clock.start();
    return CheckUntil(path, depth, [clock] { return clock.hasExpired(kQuickBudgetSeconds * 1000); });
}

void CheckAsync(const QString& path, QObject* context, std::function<void(const Verdict&)> done) {
    OffThread<Verdict>(
        context,
        [path](const std::atomic<bool>& stop) {
            QElapsedTimer clock;
            clock.start();
            return CheckUntil(path, Depth::Quick, [&stop, clock] {
                return stop || clock.hasExpired(kQuickBudgetSeconds * 1000);
            });
        },
        std::move(done),
        [](const QString& failure) {
            return Verdict{Verdict::State::Unchecked, failure};
        });
}

void SalvageAsync(const QString& path, QObject* context, std::function<void(const Salvaged&)> done,
                  bool bConfirm) {
    // Runs to its end even when nobody waits any more: the damaged file stays in place until the fresh
    // one is complete, so a process that ends meanwhile leaves either whole.
    OffThread<Salvaged>(
        context,
        [path, bConfirm](const std::atomic<bool>&) {
            Salvaged whole;
            whole.bWhole = bConfirm && Check(path, Depth::Full).state != Verdict::State::Damaged;
            return whole.bWhole ? whole : Salvage(path);
        },
        std::move(done),
        [](const QString& failure) {
            Salvaged failed;
            failed.status = {1, failure};
            return failed;
        });
}

Copied CopyReadable(const QString& damaged, Sql::Database& into) {
    Copied copied;
    Sql::Database from;
    copied.status = from.Open(damaged, Sql::Database::Mode::ReadOnly);
    if (!copied.status.Ok()) {
        copied.status = copied.status.IsDamage() ? Sql::Status() : copied.status;
        return copied;
    }
    // Lets a file shorter than its header says open: the pages that exist are read, the rest is damage.
    from.Exec("PRAGMA writable_schema=ON");
    const char* const tables =
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'";
    QStringList oldTables, newTables;
    if (!Names(from, tables, {}, oldTables).Ok()) {
        return copied;
    }
    copied.status = Names(into, tables, {}, newTables);
    Sql::Transaction transaction(into);
    if (copied.status.Ok()) {
        copied.status = transaction.Begun();
    }
    TableCopy copy(from, into);
    for (const QString& table : oldTables) {
        if (!copied.status.Ok() || !newTables.contains(table)) {
            continue;
        }
        // The columns both schemas have: an older file lacks the newer columns, which take their defaults.
        QStringList oldColumns, columns;
        const char* const info = "SELECT name FROM pragma_table_info(?1)";
        copied.status = Names(from, info, table, oldColumns);
        if (copied.status.Ok()) {
            copied.status = Names(into, info, table, columns);
        }
        if (!copied.status.Ok()) {
            break;
        }
        columns.removeIf([&](const QString& column) { return !oldColumns.contains(column); });
        copied.status = copy.Run(table, columns, copied.rows[table], copied.skipped[table]);
    }
    if (copied.status.Ok()) {
        copied.status = transaction.Commit();
    }
    return copied;
}

Salvaged Salvage(const QString& path) {
    Salvaged salvaged;
    const QString fresh = FreeName(path);
    {
        Journal journal(fresh);
        salvaged.status = journal.OpenForWriting().status;
        Copied copied;
        if (salvaged.status.Ok()) {
            copied = CopyReadable(path, journal.Database());
            salvaged.status = copied.status;
        }
        salvaged.periods = copied.rows.value(QStringLiteral("periods"));
        salvaged.events = copied.rows.value(QStringLiteral("events"));
        for (const qint64 skipped : std::as_const(copied.skipped)) {
            salvaged.skipped += skipped;
        }
    } // closed here: its WAL is checkpointed into the main file and removed
    if (!salvaged.status.Ok()) {
        RemoveAll(fresh);
        return salvaged;
    }
    salvaged.keptAs = Journal::AsideName(path);
    if (!MoveAll(path, salvaged.keptAs)) {
        RemoveAll(fresh);
        salvaged.keptAs.clear();
        salvaged.status = {10 /* SQLITE_IOERR */, QStringLiteral("the damaged file cannot be moved aside")};
        return salvaged;
    }
    if (!MoveAll(fresh, path)) {
        MoveAll(salvaged.keptAs, path);
        RemoveAll(fresh);
        salvaged.keptAs.clear();
        salvaged.status = {10, QStringLiteral("the new journal cannot take the damaged one's place")};
    }
    return salvaged;
}

} // namespace JournalHealth
