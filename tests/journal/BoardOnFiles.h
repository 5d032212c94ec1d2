#pragma once

#include "../board/RecordingDisplay.h"
#include "board/TimerLedger.h"
#include "board/TimerStore.h"
#include "journal/JournalQuery.h"
#include "journal/JournalSink.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <array>
#include <optional>

// A board's ledger on real files (`folder`/p.conf and its journal) and a settable clock, recording into a
// real journal, started as the program starts it.
struct BoardOnFiles {
    explicit BoardOnFiles(const QString& folder, qint64 now = 1'700'000'000)
        : profileFile(folder + QStringLiteral("/p.conf")),
          journalFile(profileFile + QStringLiteral(".journal")), clock(now), profile(profileFile),
          sink(journalFile, clock, profile), ledger(profile, clock, display, sink) {}

    struct Started {};
    // Started at once.
    BoardOnFiles(const QString& folder, Started) : BoardOnFiles(folder) { Start(); }

    void Start() {
        sink.Attach();
        TimerStore::InitProfile(profile, clock, ledger);
        ledger.StartStopped();
        ledger.LoadTimers();
        ledger.ShowTimers();
        reconciled = ledger.Reconcile();
    }
    void Switch(int selector) {
        display.m_checkedRadio = selector;
        ledger.SwitchTimer();
    }
    // Picks the row, then lets `seconds` pass.
    void Charge(int selector, qint64 seconds) {
        Switch(selector);
        clock.Advance(seconds);
    }
    // Edit > Undo, or Redo.
    PeriodSink::Corrected Undo(bool bRedo = false) {
        PeriodSink::Correction correction;
        correction.kind = bRedo ? PeriodSink::Correction::Kind::Redo : PeriodSink::Correction::Kind::Undo;
        return ledger.Correct(correction);
    }
    // `count` periods of a minute, through the first three timers in turn; the last one is left running.
    void RunPeriods(int count) {
        for (int i = 0; i < count; ++i) {
            Charge(1 + i % 3, 60);
        }
    }

    QString profileFile, journalFile;
    SettableClock clock;
    Profile profile;
    RecordingDisplay display;
    JournalSink sink;
    CTimerLedger ledger;
    std::optional<CTimerLedger::Reconciled> reconciled;
};

// Each timer's seconds since its last reset, read through a connection of its own: what is on disk.
inline std::array<qint64, 10> JournalSeconds(const QString& journal) {
    std::array<qint64, 10> seconds{};
    Journal reader(journal);
    if (reader.OpenForReading().Ok()) {
        JournalQuery(reader).SecondsSinceReset(seconds);
    }
    return seconds;
}

inline std::array<qint64, 10> ProfileSeconds(const QString& profileFile) {
    Profile profile(profileFile, Profile::Access::ReadOnly);
    std::array<qint64, 10> seconds{};
    for (int i = 0; i < 10; ++i) {
        seconds[i] = profile.GetProfileInt(ProfileLayout::kTimerSec, ProfileLayout::IndexEntry(i), 0);
    }
    return seconds;
}
