#pragma once

#include "app/KelvraDoc.h"
#include "app/MainFrame.h"
#include "away/AwayPrompt.h"
#include "away/SuspendWatch.h"
#include "board/KelvraView.h"
#include "journal/Journal.h"
#include "journal/JournalQuery.h"
#include "journal/JournalSink.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"
#include "res/resource.h"

#include <QtTest>
#include <QtWidgets>

// A suspend watch whose clock that stops in a suspend stands still: the other one's moves are sleeps.
inline std::unique_ptr<SuspendWatch> Watch(const qint64& slept) {
    return std::make_unique<ClockPairSuspendWatch>([] { return qint64{0}; },
                                                   [&] { return slept * 1'000'000'000; });
}

// A board on real profile and journal files with a settable clock, and its away prompt.
struct Board {
    explicit Board(const QString& folder)
        : profile(std::make_shared<Profile>(folder + QStringLiteral("/p.conf"))),
          journalFile(folder + QStringLiteral("/p.conf.journal")), sink(journalFile, clock, *profile),
          frame(profile, clock, document, &sink) {
        View().OnInitialUpdate();
        sink.Attach();
        away = new AwayPrompt(View(), *profile, Watch(slept));
    }
    CKelvraView& View() { return *frame.View(); }
    void Tick() { View().OnTimer(ID_TIMER_TICK); }
    void Away(qint64 seconds) { // suspended, then the first tick after waking
        slept += seconds;
        clock.Advance(seconds);
        Tick();
    }
    int Seconds(int index) const {
        return profile->GetProfileInt(ProfileLayout::kTimerSec, ProfileLayout::IndexEntry(index), 0);
    }
    qint64 Query(const char* sql) {
        Journal reader(journalFile);
        qint64 value = -1;
        return reader.OpenForReading().Ok() && reader.Database().QueryInt(sql, value).Ok() ? value : -1;
    }
    void Answer(const QString& button) {
        QVERIFY(away->Question());
        for (QAbstractButton* b : away->Question()->buttons()) {
            b->text() == button ? b->click() : void();
        }
    }
    // Each timer's seconds in the journal since its last reset are the profile's.
    void CheckInvariant() {
        std::array<qint64, 10> journal{};
        Journal reader(journalFile);
        QVERIFY(reader.OpenForReading().Ok() && JournalQuery(reader).SecondsSinceReset(journal).Ok());
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(journal[i], Seconds(i));
        }
    }

    SettableClock clock;
    qint64 slept = 0;
    std::shared_ptr<Profile> profile;
    QString journalFile;
    JournalSink sink;
    CKelvraDoc document;
    CMainFrame frame;
    AwayPrompt* away = nullptr; // a child of the view
};

inline QString Asked(qint64 left, qint64 back, const QString& time, const QString& name,
                     const QString& how = QStringLiteral("away")) {
    const auto local = [](qint64 t) {
        return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("HH:mm"));
    };
    return QStringLiteral("You were %5 from %1 to %2 (%3) while %4 ran.")
        .arg(local(left), local(back), time, name, how);
}
