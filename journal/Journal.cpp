#include "journal/Journal.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>

namespace {

// "KLVR": marks the file as ours, so that another program's database is never taken for a journal.
constexpr qint64 kApplicationId = 0x4B4C5652;

const char* const kSchema = R"(
CREATE TABLE periods(
    id INTEGER PRIMARY KEY,
    timer INTEGER NOT NULL,
    name TEXT NOT NULL,
    start_utc INTEGER NOT NULL,
    end_utc INTEGER,
    seen_utc INTEGER NOT NULL,
    utc_offset INTEGER NOT NULL,
    close_seq INTEGER
);
CREATE INDEX periods_by_start ON periods(start_utc);
CREATE INDEX periods_open ON periods(timer) WHERE end_utc IS NULL;
CREATE TABLE events(
    id INTEGER PRIMARY KEY,
    at_utc INTEGER NOT NULL,
    utc_offset INTEGER NOT NULL,
    kind TEXT NOT NULL,
    timer INTEGER,
    name TEXT,
    seconds INTEGER NOT NULL DEFAULT 0
);
)";

// Version 2: the longest period is one index step away, so that the periods of a week are read from a
// bounded stretch of the start index (JournalQuery::Periods) instead of every period before it; and a
// timer's closed periods are found by when they were charged, with their lengths, so that undoing a
// reset sums a timer's stretch of this index instead of reading every period once per timer.
const char* const kVersion2Indexes =
    "CREATE INDEX periods_by_length ON periods(coalesce(end_utc, seen_utc) - start_utc);"
    "CREATE INDEX periods_charged ON periods(timer, close_seq, end_utc - start_utc) "
    "WHERE end_utc IS NOT NULL;";

// Version 3: per timer, the seconds the journal last asked the profile to hold (`asked`) and those the
// profile file held for certain when it was last known (`disk`). They differ only while a change is
// recorded and its profile write not known to have landed; at start a profile that still holds `disk`
// gets `asked` written, and any other difference is recorded as a balance.
const char* const kVersion3State =
    "CREATE TABLE profile_state(timer INTEGER PRIMARY KEY, asked INTEGER NOT NULL, disk INTEGER NOT NULL);";

// Version 4, first: the zone each period was lived in (its IANA id), so that reports cut its days at that
// zone's midnights and show that zone's offsets, wherever they are made. NULL for a period recorded before.
const char* const kVersion4Zone = "ALTER TABLE periods ADD COLUMN zone TEXT;";

// Version 4, then: the past can be corrected. A correction never rewrites a row: the rows it replaces stop
// being `live` and name it in `gone_by`, the rows it writes name it in `made_by`, so that undoing it (and
// doing it again) only turns rows off and on. Every sum counts live rows alone. `actions` is the list of the
// user's changes that Edit > Undo can take back (state 1 done, 0 undone, -1 beyond redo); a period has a
// note, and an adjustment the day it counts on (`day`, NULL: the day it was made).
const char* const kVersion4Edits =
    "ALTER TABLE periods ADD COLUMN note TEXT;"
    "ALTER TABLE periods ADD COLUMN live INTEGER NOT NULL DEFAULT 1;"
    "ALTER TABLE periods ADD COLUMN made_by INTEGER;"
    "ALTER TABLE periods ADD COLUMN gone_by INTEGER;"
    "ALTER TABLE events ADD COLUMN live INTEGER NOT NULL DEFAULT 1;"
    "ALTER TABLE events ADD COLUMN made_by INTEGER;"
    "ALTER TABLE events ADD COLUMN gone_by INTEGER;"
    "ALTER TABLE events ADD COLUMN day TEXT;"
    "CREATE TABLE actions(id INTEGER PRIMARY KEY, at_utc INTEGER NOT NULL, kind TEXT NOT NULL, "
    "  label TEXT NOT NULL, state INTEGER NOT NULL);"
    "CREATE INDEX actions_by_state ON actions(state, id);"
    "CREATE INDEX periods_made ON periods(made_by) WHERE made_by IS NOT NULL;"
    "CREATE INDEX periods_gone ON periods(gone_by) WHERE gone_by IS NOT NULL;"
    "CREATE INDEX events_made ON events(made_by) WHERE made_by IS NOT NULL;"
    "CREATE INDEX events_gone ON events(gone_by) WHERE gone_by IS NOT NULL;"
    "DROP INDEX periods_charged;"
    "CREATE INDEX periods_charged ON periods(timer, close_seq, end_utc - start_utc) "
    "WHERE end_utc IS NOT NULL AND live = 1;";

quint32 BigEndian32(const QByteArray& bytes, int at) {
    quint32 value = 0;
    for (int i = 0; i < 4; ++i) {
        value = value << 8 | static_cast<quint8>(bytes[at + i]);
    }
    return value;
}

// The schema version in the main file's header, before SQLite opens it: a newer version's journal is not
// even opened for writing. Nothing else is judged from it (the WAL may hold newer pages than the main file).
quint32 HeaderVersion(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QByteArray bytes = file.read(100);
    if (bytes.size() < 100 || !bytes.startsWith(QByteArrayLiteral("SQLite format 3\0"))) {
        return 0;
    }
    return BigEndian32(bytes, 60);
}

// Another program's database at the journal's path is never taken for a journal, nor written.
bool Foreign(qint64 version, qint64 applicationId, qint64 objects) {
    return (version == 0 && objects > 0) || (version > 0 && applicationId != kApplicationId);
}

// A journal folder that cannot be made because a part of its path is a file: that part, else empty.
QString FileInFolderPath(const QString& path) {
    QString folder = QFileInfo(path).absolutePath();
    for (;;) {
        const QFileInfo info(folder);
        if (info.exists()) {
            return info.isDir() ? QString() : folder;
        }
        const QString parent = info.absolutePath();
        if (parent == folder) {
            return {};
        }
        folder = parent;
    }
}

} // namespace

Journal::Journal(QString path) : m_path(std::move(path)) {}

Journal::~Journal() = default;

int Journal::LocalOffset(qint64 utc) {
    return QDateTime::fromSecsSinceEpoch(utc).offsetFromUtc();
}

QString Journal::LocalZone() {
    const QByteArray id = QTimeZone::systemTimeZoneId();
    return QTimeZone(id).isValid() ? QString::fromUtf8(id) : QString();
}

QString Journal::AsideName(const QString& file) {
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("%1.corrupt-%2-%3").arg(file, stamp).arg(n);
        if (!QFileInfo::exists(name) && !QFileInfo::exists(name + QStringLiteral("-wal")) &&
            !QFileInfo::exists(name + QStringLiteral("-shm"))) {
            return name;
        }
    }
}

void Journal::Close() {
    for (Sql::Statement* statement :
         {&m_begin, &m_end, &m_endMissing, &m_touch, &m_event, &m_rename, &m_findOpen, &m_closeLeft,
          &m_readState, &m_writeState, &m_setAsked, &m_markWritten, &m_note}) {
        statement->Finalize();
    }
    m_db.Close();
}

Sql::Status Journal::OpenAndPrepare(bool& created) {
    Sql::Status status = m_db.Open(m_path, Sql::Database::Mode::ReadWrite);
    if (status.Ok()) {
        status = Migrate(created);
    }
    if (status.Ok()) {
        status = Prepare();
    }
    if (!status.Ok()) {
        Close();
    }
    return status;
}

Journal::Opened Journal::OpenForWriting() {
    Opened opened;
    if (HeaderVersion(m_path) > kSchemaVersion) {
        opened.status = {1, QStringLiteral("written by a newer version of Kelvra")};
        opened.problem = QStringLiteral("The history journal %1 was written by a newer version of Kelvra and "
                                        "is left as it is. Times are still saved to the profile, but no "
                                        "history is recorded.")
                             .arg(m_path);
        return opened;
    }
    opened.status = OpenAndPrepare(opened.bCreated);
    // Judging the damage (after the WAL is replayed) and salvaging are the caller's: the board does both
    // off its window thread (JournalHealth).
    if (opened.status.IsDamage()) {
        opened.bDamaged = true;
        opened.problem =
            QStringLiteral("The history journal %1 looks damaged (%2). Kelvra checks it and copies what "
                           "can still be read into a new journal, keeping the damaged file beside "
                           "it; meanwhile times are saved to the profile.")
                .arg(m_path, opened.status.message);
        return opened;
    }
    if (!opened.status.Ok()) {
        if (const QString file = FileInFolderPath(m_path); !file.isEmpty()) {
            opened.status.message = QStringLiteral("its folder cannot be made, %1 is a file").arg(file);
        }
        opened.problem = QStringLiteral("The history journal %1 cannot be used: %2. Times are still saved to "
                                        "the profile, but no history is recorded.")
                             .arg(m_path, opened.status.message);
    }
    return opened;
}

Sql::Status Journal::OpenForReading() {
    if (!QFileInfo::exists(m_path)) {
        return {14 /* SQLITE_CANTOPEN */, QStringLiteral("no such file")};
    }
    Sql::Status status = m_db.Open(m_path, Sql::Database::Mode::ReadOnly);
    qint64 version = 0;
    qint64 applicationId = 0;
    qint64 objects = 0;
    if (status.Ok()) {
        status = ReadIdentity(version, applicationId, objects);
    }
    if (status.Ok() && Foreign(version, applicationId, objects)) {
        status = {1, QStringLiteral("not a Kelvra journal")};
    } else if (status.Ok() && version == 0) {
        status = {1, QStringLiteral("an empty file, no history recorded yet")};
    }
    if (!status.Ok()) {
        m_db.Close();
    }
    return status;
}

Sql::Status Journal::ReadIdentity(qint64& version, qint64& applicationId, qint64& objects) {
    Sql::Status status = m_db.QueryInt("PRAGMA user_version", version);
    if (status.Ok()) {
        status = m_db.QueryInt("PRAGMA application_id", applicationId);
    }
    if (status.Ok()) {
        status = m_db.QueryInt("SELECT count(*) FROM sqlite_master", objects);
    }
    return status;
}

Sql::Status Journal::Migrate(bool& created) {
    qint64 version = 0;
    qint64 applicationId = 0;
    qint64 objects = 0;
    Sql::Status status = ReadIdentity(version, applicationId, objects);
    if (!status.Ok()) {
        return status;
    }
    if (version > kSchemaVersion) {
        return {1, QStringLiteral("written by a newer version of Kelvra")};
    }
    if (Foreign(version, applicationId, objects)) {
        return {1, QStringLiteral("not a Kelvra journal")};
    }
    status = m_db.Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
    if (!status.Ok() || version == kSchemaVersion) {
        return status;
    }
    // Each step takes the schema one version further; later versions add theirs below.
    Sql::Transaction transaction(m_db);
    if (!transaction.Begun().Ok()) {
        return transaction.Begun();
    }
    if (version < 1) {
        status = m_db.Exec(kSchema);
        created = true;
    }
    if (status.Ok() && version < 2) {
        status = m_db.Exec(kVersion2Indexes);
    }
    if (status.Ok() && version < 3) {
        status = m_db.Exec(kVersion3State);
    }
    if (status.Ok() && version < 4) {
        status = m_db.Exec(kVersion4Zone);
    }
    if (status.Ok() && version < 4) {
        status = m_db.Exec(kVersion4Edits);
    }
    if (status.Ok()) {
        status = m_db.Exec(QStringLiteral("PRAGMA application_id=%1; PRAGMA user_version=%2;")
                               .arg(kApplicationId)
                               .arg(kSchemaVersion)
                               .toUtf8()
                               .constData());
    }
    return status.Ok() ? transaction.Commit() : status;
}

Sql::Status Journal::Prepare() {
    const std::pair<Sql::Statement*, const char*> statements[] = {
        {&m_begin, "INSERT INTO periods(timer, name, start_utc, seen_utc, utc_offset, zone) "
                   "VALUES(?1, ?2, ?3, ?5, ?4, ?6)"},
        {&m_end,
         "UPDATE periods SET end_utc = ?2, seen_utc = ?2, "
         "close_seq = (SELECT coalesce(max(id), 0) FROM events) WHERE end_utc IS NULL AND timer = ?1"},
        {&m_endMissing,
         "INSERT INTO periods(timer, name, start_utc, end_utc, seen_utc, utc_offset, close_seq, zone) "
         "VALUES(?1, ?2, ?3, ?4, ?4, ?5, (SELECT coalesce(max(id), 0) FROM events), ?6)"},
        {&m_touch, "UPDATE periods SET seen_utc = ?1 WHERE end_utc IS NULL"},
        {&m_event, "INSERT INTO events(at_utc, utc_offset, kind, timer, name, seconds, day) "
                   "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)"},
        {&m_rename, "UPDATE periods SET name = ?2 WHERE end_utc IS NULL AND timer = ?1"},
        // Through the open-period index: ordered by id alone, the planner would walk every period.
        {&m_findOpen, "SELECT id, timer, name, start_utc, seen_utc FROM periods INDEXED BY periods_open "
                      "WHERE end_utc IS NULL AND live = 1 ORDER BY id"},
        // The rows a correction turned off close with it, so that undoing it finds them closed too.
        {&m_closeLeft, "UPDATE periods SET end_utc = ?2, seen_utc = ?2, "
                       "close_seq = (SELECT coalesce(max(id), 0) FROM events) "
                       "WHERE end_utc IS NULL AND timer = (SELECT timer FROM periods WHERE id = ?1)"},
        {&m_readState, "SELECT timer, asked, disk FROM profile_state"},
        {&m_writeState, "INSERT INTO profile_state(timer, asked, disk) VALUES(?1, ?2, ?3) "
                        "ON CONFLICT(timer) DO UPDATE SET asked = ?2, disk = ?3"},
        {&m_setAsked, "UPDATE profile_state SET asked = ?2 WHERE timer = ?1"},
        {&m_markWritten, "UPDATE profile_state SET disk = asked WHERE disk != asked"},
        {&m_note, "UPDATE periods SET note = nullif(?1, '') WHERE end_utc IS NULL"},
    };
    for (const auto& [statement, sql] : statements) {
        Sql::Status status = m_db.Prepare(sql, *statement);
        if (!status.Ok()) {
            return status;
        }
    }
    // Reads the pages that the next writes touch (the newest rows and the open-period index): damage
    // there shows now, while the file can still be moved aside, rather than at the first switch.
    qint64 unused = 0;
    for (const char* probe : {"SELECT max(id) FROM periods", "SELECT max(id) FROM events",
                              "SELECT count(*) FROM periods WHERE end_utc IS NULL"}) {
        Sql::Status status = m_db.QueryInt(probe, unused);
        if (!status.Ok()) {
            return status;
        }
    }
    return {};
}

// A zone Qt cannot use is left NULL: the period's offset alone then places it, as before version 4.
Sql::Status Journal::BeginPeriod(int index, const QString& name, qint64 start, qint64 seen) {
    if (const QString zone = LocalZone(); !zone.isEmpty()) {
        m_begin.Bind(6, zone);
    }
    return m_begin.Bind(1, index)
        .Bind(2, name)
        .Bind(3, start)
        .Bind(4, LocalOffset(start))
        .Bind(5, seen)
        .Run();
}

Sql::Status Journal::EndPeriod(int index, const QString& name, qint64 start, qint64 end) {
    Sql::Status status = m_end.Bind(1, index).Bind(2, end).Run();
    if (status.Ok() && m_db.Changes() == 0) {
        if (const QString zone = LocalZone(); !zone.isEmpty()) {
            m_endMissing.Bind(6, zone);
        }
        status = m_endMissing.Bind(1, index)
                     .Bind(2, name)
                     .Bind(3, start)
                     .Bind(4, end)
                     .Bind(5, LocalOffset(start))
                     .Run();
    }
    return status;
}

Sql::Status Journal::Touch(qint64 now) {
    return m_touch.Bind(1, now).Run();
}

Sql::Status Journal::AddEvent(const QString& kind, qint64 at, int index, const QString& name, qint64 seconds,
                              QDate day) {
    m_event.Bind(1, at).Bind(2, LocalOffset(at)).Bind(3, kind).Bind(6, seconds);
    if (day.isValid()) {
        m_event.Bind(7, day.toString(Qt::ISODate));
    }
    if (index >= 0) {
        m_event.Bind(4, index);
    }
    if (!name.isNull()) {
        m_event.Bind(5, name);
    }
    return m_event.Run();
}

Sql::Status Journal::RenameOpenPeriod(int index, const QString& name) {
    return m_rename.Bind(1, index).Bind(2, name).Run();
}

Sql::Status Journal::SetOpenNote(const QString& note) {
    return m_note.Bind(1, note).Run();
}

Sql::Status Journal::FindOpenPeriods(std::vector<OpenPeriod>& open) {
    open.clear();
    while (m_findOpen.Next()) {
        open.push_back(OpenPeriod{m_findOpen.Int(0), static_cast<int>(m_findOpen.Int(1)), m_findOpen.Text(2),
                                  m_findOpen.Int(3), m_findOpen.Int(4)});
    }
    return m_findOpen.Finish();
}

Sql::Status Journal::ReadState(std::array<State, kTimers>& state, bool& present) {
    present = false;
    while (m_readState.Next()) {
        const qint64 timer = m_readState.Int(0);
        if (timer >= 0 && timer < kTimers) {
            state[static_cast<size_t>(timer)] = {m_readState.Int(1), m_readState.Int(2)};
            present = true;
        }
    }
    return m_readState.Finish();
}

Sql::Status Journal::WriteState(int index, const State& state) {
    return m_writeState.Bind(1, index).Bind(2, state.asked).Bind(3, state.disk).Run();
}

Sql::Status Journal::SetAsked(int index, qint64 seconds) {
    return m_setAsked.Bind(1, index).Bind(2, seconds).Run();
}

Sql::Status Journal::MarkWritten() {
    return m_markWritten.Run();
}

Sql::Status Journal::CloseLeftOpen(const OpenPeriod& period, qint64 end) {
    return m_closeLeft.Bind(1, period.id).Bind(2, end).Run();
}
