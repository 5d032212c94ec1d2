#include "journal/JournalSink.h"

#include "journal/JournalEdits.h"
#include "journal/JournalHealth.h"
#include "platform/Clock.h"
#include "platform/InstanceGuard.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

JournalSink::JournalSink(const QString& path, const Clock& clock, Profile& profile)
    : m_journal(path), m_clock(clock), m_profile(profile) {}

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
    if (opened.bDamaged) {
        StartSalvage(true);
        return attached;
    }
    m_bRecording = opened.status.Ok();
    if (!m_bRecording) {
        return attached;
    }
    m_bCreated = opened.bCreated;
    return attached;
}

Sql::Status JournalSink::ForgetState() {
    return m_journal.Database().Exec("DELETE FROM profile_state");
}

void JournalSink::Tell(const QString& text) const {
    if (m_onProblem) {
        m_onProblem(text);
    }
}

void JournalSink::SalvageDamaged(const QString& finding) {
    if (!m_journal.IsOpen() || m_bSalvaging) {
        return;
    }
    m_journal.Close();
    m_bRecording = false;
    m_bFailed = false;
    Tell(QStringLiteral(
             "The history journal %1 is damaged (%2). Kelvra copies what can still be read into a new "
             "journal and keeps the damaged file beside it; meanwhile times are saved to the profile.")
             .arg(m_journal.Path(), finding.simplified()));
    StartSalvage(false);
}

void JournalSink::StartSalvage(bool bConfirm) {
    m_bSalvaging = true;
    // A journal salvaged after the board reconciled catches up at the next change; one salvaged as it
    // was opened is reconciled then (the periods a dead board left open are charged).
    const bool bReconciled = m_attached.has_value();
    const auto done = [this, bReconciled](const JournalHealth::Salvaged& salvaged) {
        m_bSalvaging = false;
        Sql::Status status = salvaged.status;
        Journal::Opened opened;
        if (status.Ok()) {
            opened = m_journal.OpenForWriting();
            status = opened.bDamaged ? Sql::Status{11, QStringLiteral("still damaged")} : opened.status;
        }
        if (status.Ok() && !salvaged.bWhole) {
            status = ForgetState();
        }
        if (!status.Ok()) {
            m_journal.Close();
            Tell(QStringLiteral(
                     "The history journal %1 could not be rebuilt: %2. Times are still saved to the "
                     "profile, but no history is recorded.")
                     .arg(m_journal.Path(), status.message));
            return;
        }
        m_bCreated = opened.bCreated || (!salvaged.bWhole && salvaged.periods + salvaged.events == 0);
        if (bReconciled) {
            m_bFailed = true; // recording starts again at the next change, which takes up the meanwhile
        } else {
            m_bRecording = true;
        }
        Tell(salvaged.bWhole
                 ? QStringLiteral("The history journal %1 was checked and found whole; it records again.")
                       .arg(m_journal.Path())
                 : QStringLiteral("The history journal %1 was rebuilt: %2 periods and %3 events were kept, "
                                  "at least %4 rows could not be read. The damaged file was kept as %5.")
                       .arg(m_journal.Path())
                       .arg(salvaged.periods)
                       .arg(salvaged.events)
                       .arg(salvaged.skipped)
                       .arg(salvaged.keptAs));
        if (m_onReopened) {
            m_onReopened();
        }
    };
    JournalHealth::SalvageAsync(m_journal.Path(), &m_context, done, bConfirm);
}

void JournalSink::Check(const Sql::Status& status) {
    if (status.Ok() || !m_bRecording) {
        return;
    }
    m_bRecording = false;
    m_bFailed = m_journal.IsOpen();
    // While opening, the failure is told with what Attach returns.
    if (m_attached && m_onProblem) {
        m_onProblem(
            QStringLiteral("The history journal %1 cannot be written (%2). Times are still saved to the "
                           "profile; the history takes them up again once the journal can be written.")
                .arg(m_journal.Path(), status.message));
    }
}

namespace {

QString EventName(PeriodSink::Event kind) {
    switch (kind) {
    case PeriodSink::Event::ResetAll:
        return QStringLiteral("reset_all");
    case PeriodSink::Event::Reset:
        return QStringLiteral("reset");
    case PeriodSink::Event::FirstRun:
        return QStringLiteral("first_run");
    case PeriodSink::Event::Adjust:
        return QStringLiteral("adjust");
    case PeriodSink::Event::Undo:
        return QStringLiteral("undo");
    case PeriodSink::Event::AwayKept:
        return QStringLiteral("away_kept");
    case PeriodSink::Event::AwayDiscarded:
        return QStringLiteral("away_discarded");
    case PeriodSink::Event::Balance:
        return QStringLiteral("balance");
    case PeriodSink::Event::Recovery:
        break;
    }
    return QStringLiteral("recovery");
}

} // namespace

PeriodSink::Found JournalSink::Reconcile(const Seconds& profile) {
    Found found;
    if (!Ready()) {
        found.bLater = m_bSalvaging;
        return found;
    }
    std::array<Journal::State, Journal::kTimers> state{};
    bool present = false;
    Sql::Transaction transaction(m_journal.Database());
    Sql::Status status = transaction.Begun();
    if (status.Ok()) {
        status = m_journal.ReadState(state, present);
    }
    if (status.Ok() && !present && !m_bCreated) {
        // A journal from before the profile's state was kept: its sums are what it asked for.
        std::array<qint64, JournalQuery::kTimers> sums{};
        status = JournalQuery(m_journal).SecondsSinceReset(sums);
        for (size_t i = 0; i < state.size(); ++i) {
            state[i] = {sums[i], sums[i]};
        }
    }
    const qint64 now = m_clock.Now();
    for (int i = 0; i < Journal::kTimers && status.Ok(); ++i) {
        Journal::State& timer = state[static_cast<size_t>(i)];
        const qint64 held = profile[static_cast<size_t>(i)];
        if (held != timer.asked && held == timer.disk) {
            // Recorded, and the board died before the profile had it: the ledger writes it now.
            found.unwritten.emplace_back(i, static_cast<int>(timer.asked));
        } else if (held != timer.asked) {
            // Nothing recorded explains it: the profile is kept as it is, and the journal follows it.
            const Dated balance{Event::Balance, now, i, {}, held - timer.asked, {}};
            status = AddDated(balance);
            if (!m_bCreated) {
                found.balances.push_back(balance);
            }
            timer = {held, held};
        } else {
            timer.disk = held;
        }
        if (status.Ok()) {
            status = m_journal.WriteState(i, timer);
        }
    }
    std::vector<Journal::OpenPeriod> open;
    if (status.Ok()) {
        status = m_journal.FindOpenPeriods(open);
    }
    if (status.Ok()) {
        status = transaction.Commit();
    }
    Check(status);
    if (!m_bRecording) {
        // Not caught up at the next change: that would turn what this start failed to write or recover
        // into balances. The next start reconciles instead.
        m_bFailed = false;
        return {};
    }
    for (const Journal::OpenPeriod& period : open) {
        found.leftOpen.push_back(Period{period.id, period.index, period.name, period.start, period.lastSeen});
    }
    return found;
}

Sql::Status JournalSink::AddDated(const Dated& event) {
    // Resets and balances name no one: the timer's index says which.
    const bool named = event.kind != Event::ResetAll && event.kind != Event::FirstRun &&
                       event.kind != Event::Reset && event.kind != Event::Balance;
    return m_journal.AddEvent(EventName(event.kind), event.at, event.index, named ? event.name : QString(),
                              event.kind == Event::Reset ? 0 : event.seconds, event.day);
}

Sql::Status JournalSink::Apply(const Change& change) {
    Sql::Status status;
    // The profile's last write landed: whatever was asked of it before this change is on disk.
    if (!m_profile.SavesFail()) {
        status = m_journal.MarkWritten();
    }
    JournalEdits edits(m_journal);
    qint64 action = 0;
    qint64 lastEvent = 0;
    if (status.Ok() && change.undoable) {
        status = edits.BeginAction(*change.undoable, m_clock.Now(), action);
    }
    if (status.Ok() && change.undoable) {
        status = edits.LastEvent(lastEvent);
    }
    if (status.Ok() && change.closed) {
        const Period& p = *change.closed;
        status = p.id != 0 ? m_journal.CloseLeftOpen({p.id, p.index, p.name, p.start, p.end}, p.end)
                           : m_journal.EndPeriod(p.index, p.name, p.start, p.end);
    }
    for (const Dated& event : change.events) {
        if (status.Ok()) {
            status = AddDated(event);
        }
        // A first run starts the timers afresh: nothing before it can be undone from the board.
        if (status.Ok() && event.kind == Event::FirstRun) {
            status = m_journal.Database().Exec("UPDATE actions SET state = -1 WHERE state >= 0");
        }
    }
    if (status.Ok() && change.opened) {
        const Period& p = *change.opened;
        status = m_journal.BeginPeriod(p.index, p.name, p.start, std::max(p.start, p.end));
    }
    if (status.Ok() && change.undoable) {
        status = edits.OwnEvents(action, lastEvent);
    }
    // Undone, a switch made earlier than it was chosen moves back to when it was chosen.
    if (status.Ok() && change.undoable && change.undoable->kind == QStringLiteral("switched_here") &&
        change.closed && change.opened) {
        status = edits.KeepSwitchUndo(action, change.closed->index, change.closed->end, change.opened->index,
                                      change.opened->end);
    }
    for (int i = 0; i < Journal::kTimers && status.Ok(); ++i) {
        const size_t at = static_cast<size_t>(i);
        if (change.after[at] != change.before[at]) {
            status = m_journal.SetAsked(i, change.after[at]);
        }
    }
    return status;
}

Sql::Status JournalSink::CatchUp(const Change& change) {
    std::vector<Journal::OpenPeriod> open;
    Sql::Status status = m_journal.FindOpenPeriods(open);
    for (const Journal::OpenPeriod& period : open) {
        // The period this change closes is closed by the change itself.
        const bool current = change.closed && change.closed->id == 0 &&
                             change.closed->index == period.index && change.closed->start == period.start;
        if (status.Ok() && !current) {
            status = m_journal.CloseLeftOpen(period, std::max(period.start, period.lastSeen));
        }
    }
    // What each timer gathered since the journal last took a change, periods just closed included.
    std::array<qint64, JournalQuery::kTimers> sums{};
    if (status.Ok()) {
        status = JournalQuery(m_journal).SecondsSinceReset(sums);
    }
    const qint64 now = m_clock.Now();
    for (int i = 0; i < Journal::kTimers && status.Ok(); ++i) {
        const qint64 held = change.before[static_cast<size_t>(i)];
        if (held != sums[static_cast<size_t>(i)]) {
            status = AddDated({Event::Balance, now, i, {}, held - sums[static_cast<size_t>(i)], {}});
        }
        if (status.Ok()) {
            status = m_journal.WriteState(i, {held, held});
        }
    }
    return status;
}

void JournalSink::Record(const Change& change) {
    const bool retry = m_attached && !m_bRecording && m_bFailed;
    if (!retry && !Ready()) {
        return;
    }
    Sql::Transaction transaction(m_journal.Database());
    Sql::Status status = transaction.Begun();
    if (status.Ok() && retry) {
        status = CatchUp(change);
    }
    if (status.Ok()) {
        status = Apply(change);
    }
    if (status.Ok()) {
        status = transaction.Commit();
    }
    if (retry) {
        // Still failing: told already, nothing more to say.
        if (status.Ok()) {
            m_bRecording = true;
            m_bFailed = false;
        }
        return;
    }
    Check(status);
}

void JournalSink::PeriodSeen(qint64 seen) {
    if (!m_bRecording) {
        return;
    }
    Sql::Transaction transaction(m_journal.Database());
    Sql::Status status = transaction.Begun();
    if (status.Ok() && !m_profile.SavesFail()) {
        status = m_journal.MarkWritten();
    }
    if (status.Ok()) {
        status = m_journal.Touch(seen);
    }
    Check(status.Ok() ? transaction.Commit() : status);
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

PeriodSink::Corrected JournalSink::Correct(const Correction& correction, const Seconds& before, qint64 now) {
    Corrected result;
    if (!Ready()) {
        result.problem = QStringLiteral("The history journal cannot be written now, so the past cannot be "
                                        "corrected. Nothing was changed.");
        return result;
    }
    Sql::Transaction transaction(m_journal.Database());
    Sql::Status status = transaction.Begun();
    if (status.Ok() && !m_profile.SavesFail()) {
        status = m_journal.MarkWritten();
    }
    if (status.Ok()) {
        status = JournalEdits(m_journal).Apply(correction, before, now, result);
    }
    for (int i = 0; i < Journal::kTimers && status.Ok() && result.outcome == Corrected::Outcome::Done; ++i) {
        const size_t at = static_cast<size_t>(i);
        if (result.after[at] != before[at]) {
            status = m_journal.SetAsked(i, result.after[at]);
        }
    }
    // A refusal changes nothing: rolled back with the transaction.
    if (status.Ok() && result.outcome == Corrected::Outcome::Done) {
        status = transaction.Commit();
    }
    if (!status.Ok()) {
        result = {};
        result.problem = QStringLiteral("The history journal %1 cannot be written (%2). Nothing was changed.")
                             .arg(m_journal.Path(), status.message);
        Check(status);
    }
    return result;
}

std::optional<QString> JournalSink::UndoLabel(bool bRedo) {
    std::optional<JournalEdits::Action> action;
    if (Ready()) {
        JournalEdits edits(m_journal);
        Check(bRedo ? edits.NextRedoable(action) : edits.LastUndoable(action));
    }
    if (!m_bRecording || !action) {
        return std::nullopt;
    }
    return action->label;
}

std::optional<JournalQuery::LastPeriod> JournalSink::LastClosedPeriod() {
    std::optional<JournalQuery::LastPeriod> period;
    if (Ready()) {
        Check(JournalQuery(m_journal).LastClosedPeriod(period));
    }
    return m_bRecording ? period : std::nullopt;
}
