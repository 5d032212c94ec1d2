#pragma once

#include "journal/Sqlite.h"

#include <QHash>
#include <QString>
#include <functional>

class QObject;

// Whether a journal file is whole, and what to do when it is not. Damage is judged only by SQLite on a
// connection of its own, after it has replayed the WAL: never from the file's size or header, which a
// WAL journal may rightly contradict (after a full disk the WAL holds pages the main file lacks).
//
// Salvage copies every row that can still be read into a fresh journal with the current schema and
// puts it in the damaged one's place; the damaged file is kept beside it, with its -wal and -shm.
namespace JournalHealth {

struct Verdict {
    enum class State {
        Healthy,
        Damaged,
        Unchecked, // missing, busy, unreadable for another reason, or stopped before it was done
    };
    State state = State::Unchecked;
    QString detail; // SQLite's first finding or failure; empty when healthy
};

enum class Depth {
    Quick, // PRAGMA quick_check: every page's structure, no index against its table; stops after a budget
    Full,  // PRAGMA integrity_check, to the end: the test before a journal is ever salvaged
};

// Seconds a quick check may run before it gives up as Unchecked. Ten years of heavy use (200,000
// periods) take 47 ms here with the file in the page cache (BM_QuickCheck), so only a far larger journal,
// a cold slow disk or a starved machine reaches it; the board then simply learns nothing this time.
constexpr int kQuickBudgetSeconds = 5;

// Checks on a read-only connection of its own; blocks for as long as SQLite reads (see Depth).
Verdict Check(const QString& path, Depth depth = Depth::Quick);

// The board's check after its first paint: a quick Check on a thread of its own, which owns what it
// uses. `done` runs later on `context`'s thread, and not at all once `context` is gone, which also stops
// the check at once, so quitting never waits for it. Call it on `context`'s thread.
void CheckAsync(const QString& path, QObject* context, std::function<void(const Verdict&)> done);

struct Copied {
    QHash<QString, qint64> rows;    // by table: rows copied; no entry for a table not found in both
    QHash<QString, qint64> skipped; // by table: rows that could not be read; an unreadable stretch at a
                                    // table's end counts one, so this is a lower bound
    Sql::Status status;             // a failure to write `into` (disk full, ...); damage is no failure
};

// Copies every row that can be read from the journal at `damaged` into `into` (an open journal with the
// current schema and empty tables), in one transaction: for each table both have, the columns both have
// and the rowid. One unreadable page costs only the rows on it.
Copied CopyReadable(const QString& damaged, Sql::Database& into);

struct Salvaged {
    QString keptAs;     // the damaged file's new name (Journal::AsideName); empty if it was not moved
    qint64 periods = 0; // rows copied into the new journal
    qint64 events = 0;
    qint64 skipped = 0;  // rows of all tables that could not be read (a lower bound)
    Sql::Status status;  // failure: nothing at `path` was changed
    bool bWhole = false; // asked to confirm first, the full check found the journal whole: nothing done
};

// Rebuilds the journal at `path` from its readable rows: a fresh journal is made beside it under a free
// name (the current schema, through Journal::OpenForWriting), filled, closed, then the damaged file
// with its -wal and -shm goes to `keptAs` and the fresh one takes `path`.
//
// Every connection that writes `path` must be closed first (the board's JournalSink included), and the
// caller must hold the journal's instance lock. Readers may stay open: they go on reading the old file.
// Afterwards open the journal again with Journal::OpenForWriting; its sums may differ from the profile
// by what could not be read.
Salvaged Salvage(const QString& path);

// Salvage on a thread of its own; `done` runs later on `context`'s thread, not at all once it is gone.
// With `bConfirm`, a full check comes first and a journal it finds whole is left alone. The same
// preconditions hold until `done` runs. Call it on `context`'s thread.
void SalvageAsync(const QString& path, QObject* context, std::function<void(const Salvaged&)> done,
                  bool bConfirm = false);

} // namespace JournalHealth
