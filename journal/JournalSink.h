#pragma once

#include "board/PeriodSink.h"
#include "journal/Journal.h"
#include "journal/JournalQuery.h"

#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class Clock;
class InstanceGuard;
class Profile;

// Records what the board does into the journal. While a period is open, a heartbeat marks it as seen
// once a minute, so a board that dies (a crash, a kill, a power cut) loses at most that minute: the
// next start closes the period at its last sighting and charges it.
//
// A journal that cannot be opened or written never stops the board: the first failure is reported once
// and the board carries on with the profile alone.
class JournalSink final : public PeriodSink {
public:
    static constexpr int kHeartbeatSeconds = 60;

    struct Recovered {
        int index = 0;
        QString name;
        qint64 start = 0;
        qint64 end = 0;
    };
    struct Attached {
        QString problem; // to tell the user; empty if none
        std::optional<Recovered> recovered;
    };

    JournalSink(const QString& path, const Clock& clock, Profile& profile);
    ~JournalSink() override;
    Q_DISABLE_COPY_MOVE(JournalSink)

    // `<profile>.journal` beside an explicit profile file; for the user's own profile `Kelvra.journal` in
    // the Kelvra folder of the user's data location.
    static QString PathFor(const QString& profileFile);

    // Opens the journal, once: the board calls it after its first paint, and the first thing it records
    // calls it if that comes earlier. A new journal takes the profile's seconds as its starting balance;
    // a period left open by a board that died is closed at its last sighting (never before its start nor
    // after now) and charged to its timer in the profile, which the board must then reload.
    const Attached& Attach();
    bool IsRecording() const { return m_bRecording; }
    const QString& Path() const { return m_journal.Path(); }
    // Called with the message of the first failure after Attach.
    void SetProblemHandler(std::function<void(const QString&)> handler) { m_onProblem = std::move(handler); }

    void PeriodOpened(int index, const QString& name, qint64 start) override;
    void PeriodCharged(int index, qint64 start, qint64 end) override;
    void TimersReset(Reset kind, int index, qint64 at) override;
    void NameCommitted(int index, const QString& name, qint64 at) override;
    void SecondsAdded(Added kind, const std::vector<Addition>& added, qint64 at) override;
    // An event "away_kept" or "away_discarded" at `left`, its seconds the span away.
    void AwayDecided(int index, qint64 left, qint64 back, bool kept) override;
    // Marks the open period as seen now; the heartbeat timer calls it.
    void Beat();

    // What the Edit menu offers; nothing while the journal does not record.
    std::optional<JournalQuery::ResetGroup> UndoableReset();
    // Undo Reset: each timer of the last undoable reset with the seconds that reset cleared; empty when
    // there is nothing to undo or the journal cannot say.
    std::vector<std::pair<int, qint64>> UndoPlan();
    std::optional<JournalQuery::LastPeriod> LastClosedPeriod();

private:
    Attached Open();
    bool Ready(); // attached and recording
    void Check(const Sql::Status& status);

    std::unique_ptr<InstanceGuard> m_guard; // taken when the journal is opened, let go after it is closed
    Journal m_journal;
    const Clock& m_clock;
    Profile& m_profile;
    QTimer m_heartbeat;
    std::optional<Attached> m_attached;
    bool m_bRecording = false;
    QString m_openName;
    std::function<void(const QString&)> m_onProblem;
};
