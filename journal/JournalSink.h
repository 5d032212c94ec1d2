#pragma once

#include "board/PeriodSink.h"
#include "journal/Journal.h"
#include "journal/JournalQuery.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class Clock;
class InstanceGuard;
class Profile;

// Records what the board does into the journal, which is the record of the timers' seconds: each change
// is one transaction, committed before the ledger writes the profile. At start it reconciles the two: a
// committed change the profile never got is handed back to the ledger to write; any other difference
// (a hand edit of the profile, time charged while the journal could not be written) is recorded as a
// dated balance and told once.
//
// A journal that cannot be opened or written never stops the board: the first failure is reported once
// and the board carries on with the profile alone. A journal that fails while open is tried again at the
// next change; once it takes it, the time charged meanwhile is recorded as a balance.
class JournalSink final : public PeriodSink {
public:
    struct Attached {
        QString problem; // to tell the user; empty if none
    };

    JournalSink(const QString& path, const Clock& clock, Profile& profile);
    ~JournalSink() override;
    Q_DISABLE_COPY_MOVE(JournalSink)

    // `<profile>.journal` beside an explicit profile file; for the user's own profile `Kelvra.journal` in
    // the Kelvra folder of the user's data location.
    static QString PathFor(const QString& profileFile);

    // Opens the journal, once: the board calls it after its first paint, and the first thing it records
    // calls it if that comes earlier. A new journal takes the profile's seconds as its starting balance.
    const Attached& Attach();
    bool IsRecording() const { return m_bRecording; }
    const QString& Path() const { return m_journal.Path(); }
    // Called with the message of the first failure after Attach.
    void SetProblemHandler(std::function<void(const QString&)> handler) { m_onProblem = std::move(handler); }

    // Called once a journal that was being repaired is open again: the board reconciles then.
    void SetReopenedHandler(std::function<void()> handler) { m_onReopened = std::move(handler); }
    // The health check found damage: the board's connection is closed, what can be read goes into a
    // fresh journal on a thread of its own (the board charges the profile alone meanwhile), then the
    // fresh journal is opened and takes up the time charged meanwhile at the next change. What to say
    // goes to the problem handler, now and when it is done.
    void SalvageDamaged(const QString& finding);

    Found Reconcile(const Seconds& profile) override;
    void Record(const Change& change) override;
    void PeriodSeen(qint64 seen) override;
    void NameCommitted(int index, const QString& name, qint64 at) override;

    Corrected Correct(const Correction& correction, const Seconds& before, qint64 now) override;

    // What Edit > Undo (or Redo, with `bRedo`) would take back: the words after "Undo "; nothing while the
    // journal does not record or there is nothing to undo.
    std::optional<QString> UndoLabel(bool bRedo = false);
    std::optional<JournalQuery::LastPeriod> LastClosedPeriod();

private:
    Attached Open();
    bool Ready(); // attached and recording
    void Check(const Sql::Status& status);
    Sql::Status Apply(const Change& change);
    // After a failure: periods the board charged to the profile alone are closed at their last sighting,
    // and what the profile holds beyond the journal becomes a balance.
    Sql::Status CatchUp(const Change& change);
    Sql::Status AddDated(const Dated& event);
    // A journal rebuilt from a damaged one: what it asked of the profile is forgotten, so that its sums
    // stand for it and what it lost becomes a balance.
    Sql::Status ForgetState();
    // Copies what can be read into a fresh journal off the window thread, then opens it. `bConfirm`: a
    // full check first, and a journal it finds whole is only opened again.
    void StartSalvage(bool bConfirm);
    void Tell(const QString& text) const;

    std::unique_ptr<InstanceGuard> m_guard; // taken when the journal is opened, let go after it is closed
    Journal m_journal;
    const Clock& m_clock;
    Profile& m_profile;
    std::optional<Attached> m_attached;
    bool m_bRecording = false;
    bool m_bCreated = false;   // this session made the journal: its first balances are no news
    bool m_bFailed = false;    // a write failed on the open journal: retried at the next change
    bool m_bSalvaging = false; // the file is closed while a thread rebuilds it
    std::function<void(const QString&)> m_onProblem;
    std::function<void()> m_onReopened;
    QObject m_context; // last, so gone first: a repair that ends later reaches nothing
};
