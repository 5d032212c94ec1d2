#include "board/TimerLedger.h"

#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <QCoreApplication>
#include <algorithm>
#include <limits>

namespace {

const QString kNoShare = QStringLiteral("0.0%");

int Saturate(qint64 seconds) {
    return Kelvra::SaturatingAdd(0, seconds);
}

// A timer's seconds after a correction or an undo: never below 0 nor past the 32-bit limit.
int Corrected(int before, qint64 added) {
    return Saturate(std::max<qint64>(0, qint64{before} + added));
}

// "%0.1f %%", always with a decimal point whatever the user's locale.
QString FormatShare(double percent) {
    return QString::number(percent, 'f', 1) + QStringLiteral(" %");
}

} // namespace

CTimerLedger::CTimerLedger(Profile& profile, const Clock& clock, BoardDisplay& display, PeriodSink& sink)
    : m_profile(profile), m_clock(clock), m_display(display), m_sink(sink) {
    // Precise, so that the period is seen every 60 s and a kill loses at most that.
    m_heartbeat.setInterval(kHeartbeatSeconds * 1000);
    m_heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_heartbeat, &QTimer::timeout, [this] { Heartbeat(); });
}

void CTimerLedger::ComputeShares(int runningIndex, qint64 elapsed) {
    qint64 total = elapsed;
    for (int i = 0; i < kTimers; ++i) {
        total += m_nSeconds[i];
        m_dPercent[i] = 0.0;
        m_strPercent[i] = kNoShare;
    }
    // Shares are of the Total as shown, the saturated sum, and of each row's time as shown: a share
    // times the Total is that row's time also once the sum passes the limit.
    m_nTotalSeconds = Saturate(total);
    m_strTotal = FormatSeconds(m_nTotalSeconds);
    if (m_nTotalSeconds <= 0) {
        return;
    }
    for (int i = 0; i < kTimers; ++i) {
        const int t = Kelvra::SaturatingAdd(m_nSeconds[i], i == runningIndex ? elapsed : 0);
        m_dPercent[i] = static_cast<double>(t) / static_cast<double>(m_nTotalSeconds) * 100.0;
        m_strPercent[i] = FormatShare(m_dPercent[i]);
    }
}

void CTimerLedger::LoadTimers() {
    for (int i = 0; i < kTimers; ++i) {
        const QString entry = ProfileLayout::IndexEntry(i);
        m_nSeconds[i] = m_profile.GetProfileInt(ProfileLayout::kTimerSec, entry, 0);
        m_strName[i] = m_profile.GetProfileString(ProfileLayout::kTimerText, entry);
        m_strTime[i] = FormatSeconds(m_nSeconds[i]);
    }
    ComputeShares(-1, 0);
}

void CTimerLedger::ShowTimers() {
    m_display.m_strStopLabel = QStringLiteral("Stop");
    for (int i = 0; i < kTimers; ++i) {
        m_display.m_strShowName[i] = m_strName[i];
        m_display.m_strShowTime[i] = m_strTime[i];
        m_display.m_strShowPercent[i] = m_strPercent[i];
    }
    m_display.m_strShowTotal = m_strTotal;
    m_display.PushFields();
}

qint64 CTimerLedger::ElapsedAt(qint64 reading) const {
    // Never negative: a clock that cannot go back is trusted only that far.
    return std::max<qint64>(0, reading - m_elapsedStart);
}

qint64 CTimerLedger::ElapsedNow() const {
    return ElapsedAt(m_clock.Elapsed());
}

void CTimerLedger::StoreSeconds(int index, int seconds) {
    m_nSeconds[index] = seconds;
    m_profile.WriteProfileInt(ProfileLayout::kTimerSec, ProfileLayout::IndexEntry(index), seconds);
}

qint64 CTimerLedger::Now() const {
    return Running() > 0 ? m_timeStart + ElapsedNow() : m_clock.Now();
}

PeriodSink::Period CTimerLedger::Charged(qint64 elapsed) const {
    const int index = m_nRunning - 1;
    return {0, index, m_strName[index], m_timeStart, m_timeStart + elapsed};
}

void CTimerLedger::OpenPeriod(int index, qint64 start, qint64 elapsedStart) {
    m_nRunning = index + 1;
    m_timeStart = start;
    m_elapsedStart = elapsedStart;
    // Without an event loop (a report, a benchmark) nothing would ever fire it.
    if (QCoreApplication::instance() != nullptr) {
        m_heartbeat.start();
    }
}

void CTimerLedger::EnsureReconciled() {
    if (!m_bReconciled) {
        m_reconciled = Reconcile();
    }
}

void CTimerLedger::Commit(PeriodSink::Change change, const std::vector<std::pair<int, int>>& writes) {
    EnsureReconciled();
    std::copy_n(m_nSeconds.begin(), kTimers, change.before.begin());
    change.after = change.before;
    for (const auto& [index, seconds] : writes) {
        change.after[static_cast<size_t>(index)] = seconds;
    }
    // The record first: a kill before the profile's write leaves a change that the next start finds and
    // writes; the other way round, the next start would charge it again.
    m_sink.Record(change);
    for (const auto& [index, seconds] : writes) {
        StoreSeconds(index, seconds);
    }
}

std::optional<CTimerLedger::Reconciled> CTimerLedger::Reconcile() {
    if (m_bReconciled) {
        return std::exchange(m_reconciled, std::nullopt);
    }
    m_bReconciled = true;
    PeriodSink::Seconds profile{};
    for (int i = 0; i < kTimers; ++i) {
        profile[static_cast<size_t>(i)] =
            m_profile.GetProfileInt(ProfileLayout::kTimerSec, ProfileLayout::IndexEntry(i), 0);
        m_nSeconds[i] = profile[static_cast<size_t>(i)];
    }
    PeriodSink::Found found = m_sink.Reconcile(profile);
    if (found.bLater) {
        m_bReconciled = false;
        return std::nullopt;
    }
    Reconciled result;
    result.balances = std::move(found.balances);
    for (const auto& [index, seconds] : found.unwritten) {
        if (index >= 0 && index < kTimers) {
            StoreSeconds(index, seconds);
        }
    }
    // Only a board that died leaves a period open: charged up to its last sighting, never more.
    for (PeriodSink::Period& period : found.leftOpen) {
        if (period.index < 0 || period.index >= kTimers) {
            continue;
        }
        period.end = std::max(period.end, period.start);
        const qint64 length = period.end - period.start;
        PeriodSink::Change change;
        change.closed = period;
        change.events.push_back(
            {PeriodSink::Event::Recovery, m_clock.Now(), period.index, period.name, length, {}});
        Commit(std::move(change), {{period.index, Kelvra::SaturatingAdd(m_nSeconds[period.index], length)}});
        result.recovered.push_back(period);
    }
    if (result.recovered.empty() && result.balances.empty()) {
        return std::nullopt;
    }
    return result;
}

void CTimerLedger::SwitchTimer() {
    EnsureReconciled();
    m_display.ReadFields();
    // The new period starts at the reading that closed the old one: no time falls between the two,
    // however long the synced writes take. Its label follows the calendar clock as it is now.
    const int selected = m_display.m_nSelected;
    // A group with no checked button reads back as -1: that is Stop, never an index.
    const int next = selected >= 0 && selected <= kTimers ? selected : 0;
    const qint64 wall = m_clock.Now();
    const qint64 elapsedNow = m_clock.Elapsed();
    PeriodSink::Change change;
    if (next > 0) {
        change.opened = PeriodSink::Period{0, next - 1, m_strName[next - 1], wall, wall};
    }
    if (Running() > 0) {
        const int index = m_nRunning - 1;
        const qint64 elapsed = ElapsedAt(elapsedNow);
        change.closed = Charged(elapsed);
        Commit(std::move(change), {{index, Kelvra::SaturatingAdd(m_nSeconds[index], elapsed)}});
        LoadTimers();
        ShowTimers();
    } else if (change.opened) {
        Commit(std::move(change), {});
    }
    m_heartbeat.stop();
    m_nRunning = 0;
    m_timeStart = wall;
    m_elapsedStart = elapsedNow;
    if (next > 0) {
        OpenPeriod(next - 1, wall, elapsedNow);
    }
}

void CTimerLedger::Refresh(qint64 elapsed) {
    const int index = m_nRunning - 1;
    m_display.m_strShowTime[index] = FormatSeconds(Kelvra::SaturatingAdd(m_nSeconds[index], elapsed));
    ComputeShares(index, elapsed);
    for (int i = 0; i < kTimers; ++i) {
        m_display.m_strShowPercent[i] = m_strPercent[i];
    }
    m_display.m_strShowTotal = m_strTotal;
    m_display.PushFields();
}

void CTimerLedger::RefreshRunningTimer() {
    if (Running() > 0) {
        Refresh(ElapsedNow());
    }
}

void CTimerLedger::ShowLive(const Kelvra::LivePeriod& live) {
    if (live.index < 0 || live.index >= kTimers) {
        return;
    }
    m_nRunning = live.index + 1;
    m_timeStart = live.start;
    const qint64 elapsed = live.now - live.start;
    Refresh(elapsed);
    m_strTime[live.index] = m_display.m_strShowTime[live.index];
    m_nSeconds[live.index] = Kelvra::SaturatingAdd(m_nSeconds[live.index], elapsed);
    m_nRunning = 0;
}

void CTimerLedger::SaveRunningTimer() {
    EnsureReconciled();
    if (Running() == 0) {
        return;
    }
    const int index = m_nRunning - 1;
    const qint64 elapsedNow = m_clock.Elapsed();
    const qint64 elapsed = ElapsedAt(elapsedNow);
    PeriodSink::Change change;
    change.closed = Charged(elapsed);
    Commit(std::move(change), {{index, Kelvra::SaturatingAdd(m_nSeconds[index], elapsed)}});
    m_heartbeat.stop();
    // The period is closed: a second save (a window closed twice over) charges nothing again, and a
    // period opened again by nobody records nothing.
    m_nRunning = 0;
    m_timeStart += elapsed;
    m_elapsedStart = elapsedNow;
}

void CTimerLedger::Heartbeat() {
    if (Running() > 0) {
        m_sink.PeriodSeen(Now());
    }
}

void CTimerLedger::ClearAllSeconds() {
    EnsureReconciled();
    PeriodSink::Change change;
    change.events.push_back({PeriodSink::Event::ResetAll, m_clock.Now(), -1, {}, 0, {}});
    change.undoable = {QStringLiteral("reset_all"), QStringLiteral("Reset All Timers")};
    std::vector<std::pair<int, int>> writes;
    for (int i = 0; i < kTimers; ++i) {
        writes.emplace_back(i, 0);
    }
    // The seconds held here follow the profile at once: a change recorded before the caller's
    // LoadTimers (an undo) must start from what the profile now holds.
    Commit(std::move(change), writes);
}

void CTimerLedger::ClearSeconds(const std::vector<int>& indexes) {
    EnsureReconciled();
    const qint64 at = m_clock.Now();
    PeriodSink::Change change;
    std::vector<std::pair<int, int>> writes;
    for (int index : indexes) {
        if (index >= 0 && index < kTimers) {
            change.events.push_back({PeriodSink::Event::Reset, at, index, m_strName[index], 0, {}});
            writes.emplace_back(index, 0);
        }
    }
    change.undoable = {QStringLiteral("reset"),
                       writes.size() == 1
                           ? QStringLiteral("Reset of %1").arg(Kelvra::QuotedName(m_strName[writes[0].first]))
                           : QStringLiteral("Reset of %1 timers").arg(writes.size())};
    if (!writes.empty()) {
        Commit(std::move(change), writes);
    }
}

void CTimerLedger::StartStopped() {
    m_heartbeat.stop();
    m_nRunning = 0;
    m_timeStart = m_clock.Now();
    m_elapsedStart = m_clock.Elapsed();
}

void CTimerLedger::InitTimers(const std::function<QString(int)>& name) {
    PeriodSink::Change change;
    EnsureReconciled();
    change.events.push_back({PeriodSink::Event::FirstRun, m_clock.Now(), -1, {}, 0, {}});
    std::copy_n(m_nSeconds.begin(), kTimers, change.before.begin());
    change.after.fill(0);
    m_sink.Record(change);
    // Seconds and names entry by entry, as a first run has always written them.
    for (int i = 0; i < kTimers; ++i) {
        StoreSeconds(i, 0);
        m_profile.WriteProfileString(ProfileLayout::kTimerText, ProfileLayout::IndexEntry(i), name(i));
    }
}

qint64 CTimerLedger::ShownSeconds(int index) const {
    return m_nSeconds[index] + (m_nRunning == index + 1 ? ElapsedNow() : 0);
}

std::vector<int> CTimerLedger::MatchName(const QString& wanted) const {
    std::vector<int> exact;
    std::vector<int> anyCase;
    std::vector<int> prefix;
    for (int i = 0; i < kTimers; ++i) {
        const QString& name = m_strName[i];
        if (name == wanted) {
            exact.push_back(i);
        }
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
            anyCase.push_back(i);
        }
        if (name.startsWith(wanted, Qt::CaseInsensitive)) {
            prefix.push_back(i);
        }
    }
    // "mail" is "Mail", not also "Mailing".
    return !exact.empty() ? exact : !anyCase.empty() ? anyCase : prefix;
}

qint64 CTimerLedger::SwitchableMinutes(int index) const {
    if (Running() == 0 || m_nRunning == index + 1 || index < 0 || index >= kTimers) {
        return 0;
    }
    return ElapsedNow() / 60;
}

bool CTimerLedger::SwitchedEarlier(int index, qint64 minutes) {
    EnsureReconciled();
    if (minutes < 1 || minutes > SwitchableMinutes(index)) {
        return false;
    }
    // A switch that happened `minutes` ago: the running timer is charged up to then, and the new
    // period starts at that same reading. It has been seen running now: a crash in the next minute
    // must not lose those minutes.
    const int ran = m_nRunning - 1;
    const qint64 elapsed = ElapsedNow() - minutes * 60;
    PeriodSink::Change change;
    change.closed = Charged(elapsed);
    change.opened = PeriodSink::Period{0, index, m_strName[index], change.closed->end, Now()};
    change.undoable = {QStringLiteral("switched_here"),
                       QStringLiteral("Switched here to %1").arg(Kelvra::QuotedName(m_strName[index]))};
    const qint64 start = change.closed->end;
    Commit(std::move(change), {{ran, Kelvra::SaturatingAdd(m_nSeconds[ran], elapsed)}});
    OpenPeriod(index, start, m_elapsedStart + elapsed);
    m_display.m_nSelected = m_nRunning;
    LoadTimers();
    ShowTimers();
    RefreshRunningTimer();
    return true;
}

std::pair<qint64, qint64> CTimerLedger::AddTimeRange(int index) const {
    const qint64 shown = ShownSeconds(index);
    return {-shown, std::numeric_limits<int>::max() - shown};
}

bool CTimerLedger::AddTime(int index, qint64 seconds, QDate day) {
    if (index < 0 || index >= kTimers || seconds == 0) {
        return false;
    }
    const auto [lowest, highest] = AddTimeRange(index);
    if (seconds < lowest || seconds > highest) {
        return false;
    }
    EnsureReconciled();
    PeriodSink::Change change;
    int before = m_nSeconds[index];
    if (m_nRunning == index + 1) {
        // The running period is closed at now and goes on from the same reading, in the same change, so
        // that what is added is stored with the time as shown.
        const qint64 elapsedNow = m_clock.Elapsed();
        const qint64 elapsed = ElapsedAt(elapsedNow);
        change.closed = Charged(elapsed);
        change.opened =
            PeriodSink::Period{0, index, m_strName[index], change.closed->end, change.closed->end};
        before = Kelvra::SaturatingAdd(before, elapsed);
        m_timeStart = change.closed->end;
        m_elapsedStart = elapsedNow;
    }
    // The journal gets what the profile gained, which the limits may have cut.
    const int after = Corrected(before, seconds);
    change.events.push_back(
        {PeriodSink::Event::Adjust, Now(), index, m_strName[index], qint64{after} - before, day});
    change.undoable = {QStringLiteral("adjust"),
                       QStringLiteral("Adjustment of %1").arg(Kelvra::QuotedName(m_strName[index]))};
    Commit(std::move(change), {{index, after}});
    LoadTimers();
    ShowTimers();
    RefreshRunningTimer();
    return true;
}

PeriodSink::Corrected CTimerLedger::Correct(const PeriodSink::Correction& correction) {
    EnsureReconciled();
    PeriodSink::Seconds before{};
    std::copy_n(m_nSeconds.begin(), kTimers, before.begin());
    PeriodSink::Corrected result = m_sink.Correct(correction, before, Now());
    if (result.outcome != PeriodSink::Corrected::Outcome::Done) {
        return result;
    }
    // Recorded already: the profile follows, entry by entry.
    for (int i = 0; i < kTimers; ++i) {
        if (result.after[static_cast<size_t>(i)] != m_nSeconds[i]) {
            StoreSeconds(i, result.after[static_cast<size_t>(i)]);
        }
    }
    if (result.runningStart && Running() > 0) {
        // The open period now starts elsewhere; what it has run follows, so that Now() stays put.
        m_elapsedStart += *result.runningStart - m_timeStart;
        m_timeStart = *result.runningStart;
    }
    LoadTimers();
    ShowTimers();
    RefreshRunningTimer();
    return result;
}

void CTimerLedger::CommitName(int index, const QString& name) {
    EnsureReconciled();
    if (m_nRunning != index + 1) {
        m_sink.NameCommitted(index, name, m_clock.Now());
        m_strName[index] = name;
        return;
    }
    // A running timer's period is cut at the rename, so that each part keeps the name it had then: the
    // part before is charged, the rest runs on under the new name from the same reading.
    const qint64 elapsedNow = m_clock.Elapsed();
    const qint64 elapsed = ElapsedAt(elapsedNow);
    PeriodSink::Change change;
    change.closed = Charged(elapsed);
    change.opened = PeriodSink::Period{0, index, name, change.closed->end, change.closed->end};
    const qint64 start = change.closed->end;
    Commit(std::move(change), {{index, Kelvra::SaturatingAdd(m_nSeconds[index], elapsed)}});
    m_sink.NameCommitted(index, name, start);
    m_strName[index] = name;
    m_timeStart = start;
    m_elapsedStart = elapsedNow;
}

void CTimerLedger::SettleAway(qint64 left, qint64 back, bool keep) {
    EnsureReconciled();
    if (Running() == 0) {
        return;
    }
    const int index = m_nRunning - 1;
    PeriodSink::Change change;
    const PeriodSink::Dated away{keep ? PeriodSink::Event::AwayKept : PeriodSink::Event::AwayDiscarded,
                                 left,
                                 index,
                                 m_strName[index],
                                 back - left,
                                 {}};
    if (keep) {
        change.events.push_back(away);
        Commit(std::move(change), {});
        return;
    }
    // In the board's readings: the open period's start plus elapsed time.
    const qint64 chargedTo = std::clamp(left, m_timeStart, Now());
    const qint64 resumed = std::clamp(back, chargedTo, Now());
    change.closed = Charged(chargedTo - m_timeStart);
    change.events.push_back(away);
    // Opened again in the past, and seen now: a crash in the next minute loses no more than that.
    change.opened = PeriodSink::Period{0, index, m_strName[index], resumed, Now()};
    const qint64 elapsedStart = m_elapsedStart + (resumed - m_timeStart);
    Commit(std::move(change), {{index, Kelvra::SaturatingAdd(m_nSeconds[index], chargedTo - m_timeStart)}});
    OpenPeriod(index, resumed, elapsedStart);
}
