#pragma once

#include "common/Vocabulary.h"
#include "journal/Sqlite.h"

#include <QDate>
#include <QString>
#include <array>
#include <optional>
#include <vector>

// The journal of periods: every period a timer ran (timer index, its name then, start, end, last seen,
// the local UTC offset at its start, the zone it was lived in) and every event that changed the totals,
// in one SQLite file in WAL mode with synchronous=FULL, so each call that returns success is on disk.
//
// One writer: the board that holds the profile's instance lock. Reports open it read-only, also while
// a board writes. A file that SQLite finds damaged (JournalHealth) is salvaged: its readable rows go into
// a fresh journal and the damaged file is kept beside it. One from a newer version of the program or
// another program's database is left untouched, and so is any file that SQLite finds whole.
class Journal final {
public:
    static constexpr int kSchemaVersion = 4;
    static constexpr int kTimers = Kelvra::kTimers;

    struct Opened {
        Sql::Status status;    // failure: the journal is closed and must not be used
        bool bCreated = false; // a new, empty journal
        bool bDamaged =
            false;       // damage-looking: left closed and untouched, for the caller to judge and repair
        QString problem; // what to tell the user, empty if nothing
    };

    struct OpenPeriod {
        qint64 id = 0;
        int index = 0;
        QString name;
        qint64 start = 0;
        qint64 lastSeen = 0;
    };

    explicit Journal(QString path);
    ~Journal();
    Q_DISABLE_COPY_MOVE(Journal)

    const QString& Path() const { return m_path; }
    Opened OpenForWriting();
    // Fails for a missing file; accepts a newer schema, whose tables it only reads.
    Sql::Status OpenForReading();
    bool IsOpen() const { return m_db.IsOpen(); }
    // Closes the file for good, statements and all: afterwards no handle of this object holds it.
    void Close();
    Sql::Database& Database() { return m_db; }

    // A period that began at `start` and was last known running at `seen`.
    Sql::Status BeginPeriod(int index, const QString& name, qint64 start, qint64 seen);
    // Closes the open period of `index` at `end`; records a closed one when none was open.
    Sql::Status EndPeriod(int index, const QString& name, qint64 start, qint64 end);
    Sql::Status Touch(qint64 now);
    // Kinds: "reset_all", "reset", "first_run", "rename", "recovery", "balance", "adjust" (time added or
    // removed by hand), "undo" (what a reset cleared, given back), "away_kept" and "away_discarded" (the
    // span away and the answer; counted in no sum). Balance, adjust and undo carry seconds the sums count.
    // `day`: the day an adjustment counts on, when it is not the day it was made.
    Sql::Status AddEvent(const QString& kind, qint64 at, int index, const QString& name, qint64 seconds,
                         QDate day = {});
    Sql::Status RenameOpenPeriod(int index, const QString& name);
    // The open period's note (empty: none).
    Sql::Status SetOpenNote(const QString& note);

    // Periods left open, oldest first: only a board that died leaves one.
    Sql::Status FindOpenPeriods(std::vector<OpenPeriod>& open);
    // Closes a period left open by a board that died.
    Sql::Status CloseLeftOpen(const OpenPeriod& period, qint64 end);

    // Per timer, the seconds last asked of the profile, and those its file held when last known.
    struct State {
        qint64 asked = 0;
        qint64 disk = 0;
    };
    // `present` false: the journal has no such record yet (new, or written by an older version).
    Sql::Status ReadState(std::array<State, kTimers>& state, bool& present);
    Sql::Status WriteState(int index, const State& state);
    Sql::Status SetAsked(int index, qint64 seconds);
    // The profile's last write landed: it holds every value asked of it.
    Sql::Status MarkWritten();

    // Seconds east of UTC in the local zone at `utc`.
    static int LocalOffset(qint64 utc);
    // The local zone's id as Qt knows it (the IANA name, or TZ's rule), empty if Qt cannot use it.
    static QString LocalZone();
    // `file.corrupt-<UTC time>-<n>` with the first n that names no file yet.
    static QString AsideName(const QString& file);

private:
    // The schema version, the application id, and how many objects the schema has.
    Sql::Status ReadIdentity(qint64& version, qint64& applicationId, qint64& objects);
    Sql::Status Migrate(bool& created);
    Sql::Status Prepare();
    // Leaves the connection closed on failure.
    Sql::Status OpenAndPrepare(bool& created);

    const QString m_path;
    Sql::Database m_db;
    Sql::Statement m_begin, m_end, m_endMissing, m_touch, m_event, m_rename, m_findOpen, m_closeLeft;
    Sql::Statement m_readState, m_writeState, m_setAsked, m_markWritten, m_note;
};
