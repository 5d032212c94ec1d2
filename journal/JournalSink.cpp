#include "journal/JournalSink.h"

#include "board/TimerLedger.h"
#include "platform/Clock.h"
#include "platform/InstanceGuard.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

JournalSink::JournalSink(const QString& path, const Clock& clock, Profile& profile)
    : m_journal(path), m_clock(clock), m_profile(profile) {
    m_heartbeat.setInterval(kHeartbeatSeconds * 1000);
    // Precise, so that the period is seen every 60 s and a kill loses at most that.
    m_heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_heartbeat, &QTimer::timeout, [this] { Beat(); });
}

JournalSink::~JournalSink() = default;

QString JournalSink::PathFor(const QString& profileFile) {
    // Beside the file itself: a profile reached through a symbolic link keeps one history.
    if (!profileFile.isEmpty()) {
        return InstanceGuard::CanonicalPath(profileFile) + QStringLiteral(".journal");
    }
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Kelvra/Kelvra.journal");
}

const JournalSink::Attached& JournalSink::Attach() {
    if (!m_attached) {
        m_attached = Open();
    }
    return *m_attached;
}

bool JournalSink::Ready() {
    Attach();
    return m_bRecording;
}

JournalSink::Attached JournalSink::Open() {
    using namespace ProfileLayout;
    Attached attached;
    QDir().mkpath(QFileInfo(m_journal.Path()).absolutePath());
    // One writer per journal, also when two profiles name the same one.
    m_guard = std::make_unique<InstanceGuard>(m_journal.Path());
    if (m_guard->TryAcquire() == InstanceGuard::Result::Held) {
        attached.problem =
            QStringLiteral("The history journal %1 is in use by another Kelvra board. Times are "
                           "still saved to the profile, but no history is recorded.")
                .arg(m_journal.Path());
        return attached;
    }
    const Journal::Opened opened = m_journal.OpenForWriting();
    attached.problem = opened.problem;
    m_bRecording = opened.status.Ok();
    if (!m_bRecording) {
        return attached;
    }
    const qint64 now = m_clock.Now();
    if (opened.bCreated) {
        // Totals from before the journal existed, so that its sums agree with the profile from the start.
        for (int i = 0; i < CTimerLedger::kTimers && m_bRecording; ++i) {
            const int seconds = m_profile.GetProfileInt(kTimerSec, IndexEntry(i), 0);
            if (seconds != 0) {
                Check(m_journal.AddEvent(QStringLiteral("balance"), now, i, {}, seconds));
            }
        }
    }
    // Only a board that died leaves a period open: we hold the instance lock.
    while (m_bRecording) {
        const std::optional<Journal::OpenPeriod> open = m_journal.FindOpenPeriod();
        if (!open || open->index < 0 || open->index >= CTimerLedger::kTimers) {
            break;
        }
        const qint64 end = std::max(open->start, std::min(open->lastSeen, now));
        Check(m_journal.CloseLeftOpen(*open, end, now));
        if (!m_bRecording) {
            break;
        }
        const QString entry = IndexEntry(open->index);
        m_profile.WriteProfileInt(
            kTimerSec, entry,
            CTimerLedger::AddSeconds(m_profile.GetProfileInt(kTimerSec, entry, 0), end - open->start));
        attached.recovered = Recovered{open->index, open->name, open->start, end};
    }
    if (!m_bRecording && attached.problem.isEmpty()) {
        attached.problem =
            QStringLiteral("The history journal %1 cannot be written. Times are still saved to "
                           "the profile, but no history is recorded.")
                .arg(m_journal.Path());
    }
    return attached;
}

void JournalSink::Check(const Sql::Status& status) {
    if (status.Ok() || !m_bRecording) {
        return;
    }
    m_bRecording = false;
    m_heartbeat.stop();
    // While opening, the failure is told with what Attach returns.
    if (m_attached && m_onProblem) {
        m_onProblem(
            QStringLiteral("The history journal %1 cannot be written (%2). Times are still saved to the "
                           "profile, but no more history is recorded in this session.")
                .arg(m_journal.Path(), status.message));
    }
}

void JournalSink::PeriodOpened(int index, const QString& name, qint64 start) {
    if (!Ready()) {
        return;
    }
    m_openName = name;
    Check(m_journal.BeginPeriod(index, name, start));
    // A period that began in the past ("switched here ... minutes ago") has been seen now: a crash in
    // the next minute must not lose those minutes.
    const qint64 now = m_clock.Now();
    if (start < now) {
        Check(m_journal.Touch(now));
    }
    m_heartbeat.start();
}

void JournalSink::PeriodCharged(int index, qint64 start, qint64 end) {
    m_heartbeat.stop();
    if (Ready()) {
        Check(m_journal.EndPeriod(index, m_openName, start, end));
    }
}

void JournalSink::TimersReset(Reset kind, int index, qint64 at) {
    if (!Ready()) {
        return;
    }
    const QString names[] = {QStringLiteral("reset_all"), QStringLiteral("reset"),
                             QStringLiteral("first_run")};
    Check(m_journal.AddEvent(names[static_cast<int>(kind)], at, kind == Reset::One ? index : -1, {}, 0));
}

void JournalSink::NameCommitted(int index, const QString& name, qint64 at) {
    if (!Ready()) {
        return;
    }
    // The open period takes the new name: a timer renamed while it runs is reported under that name.
    Sql::Transaction transaction(m_journal.Database());
    Sql::Status status = transaction.Begun();
    if (status.Ok()) {
        status = m_journal.AddEvent(QStringLiteral("rename"), at, index, name, 0);
    }
    if (status.Ok()) {
        status = m_journal.RenameOpenPeriod(index, name);
    }
    Check(status.Ok() ? transaction.Commit() : status);
}

void JournalSink::SecondsAdded(Added kind, const std::vector<Addition>& added, qint64 at) {
    if (!Ready()) {
        return;
    }
    const QString event = kind == Added::Undo ? QStringLiteral("undo") : QStringLiteral("adjust");
    Sql::Transaction transaction(m_journal.Database());
    Sql::Status status = transaction.Begun();
    for (const Addition& addition : added) {
        if (status.Ok()) {
            status = m_journal.AddEvent(event, at, addition.index, addition.name, addition.seconds);
        }
    }
    Check(status.Ok() ? transaction.Commit() : status);
}

std::optional<JournalQuery::ResetGroup> JournalSink::UndoableReset() {
    std::optional<JournalQuery::ResetGroup> group;
    if (Ready()) {
        Check(JournalQuery(m_journal).LastReset(group));
    }
    return m_bRecording ? group : std::nullopt;
}

std::vector<std::pair<int, qint64>> JournalSink::UndoPlan() {
    std::vector<std::pair<int, qint64>> plan;
    const std::optional<JournalQuery::ResetGroup> group = UndoableReset();
    std::array<qint64, JournalQuery::kTimers> cleared{};
    if (!group) {
        return plan;
    }
    // What each timer held just before the reset was recorded.
    Check(JournalQuery(m_journal).SecondsSinceReset(cleared, group->firstEvent));
    for (int index : group->timers) {
        if (m_bRecording && index >= 0 && index < JournalQuery::kTimers) {
            plan.emplace_back(index, cleared[static_cast<size_t>(index)]);
        }
    }
    return plan;
}

std::optional<JournalQuery::LastPeriod> JournalSink::LastClosedPeriod() {
    std::optional<JournalQuery::LastPeriod> period;
    if (Ready()) {
        Check(JournalQuery(m_journal).LastClosedPeriod(period));
    }
    return m_bRecording ? period : std::nullopt;
}

void JournalSink::AwayDecided(int index, qint64 left, qint64 back, bool kept) {
    if (!Ready()) {
        return;
    }
    Check(m_journal.AddEvent(kept ? QStringLiteral("away_kept") : QStringLiteral("away_discarded"), left,
                             index, m_openName, back - left));
    // A period opened again in the past is seen now: a crash in the next minute loses no more than that.
    if (!kept) {
        Beat();
    }
}

void JournalSink::Beat() {
    if (m_bRecording) {
        Check(m_journal.Touch(m_clock.Now()));
    }
}
