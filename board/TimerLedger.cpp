#include "board/TimerLedger.h"

#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

const QString kNoShare = QStringLiteral("0.0%");

// 32-bit seconds hold about 68 years; a charge beyond that stops at the limit rather than wrapping.
int Saturate(qint64 seconds) {
    if (seconds > std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    if (seconds < std::numeric_limits<int>::min()) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(seconds);
}

// A timer's seconds after a correction or an undo: never below 0 nor past the 32-bit limit.
int Corrected(int before, qint64 added) {
    return Saturate(std::max<qint64>(0, before + added));
}

// "%0.1f %%", always with a decimal point whatever the user's locale.
QString FormatShare(double percent) {
    return QString::number(percent, 'f', 1) + QStringLiteral(" %");
}

} // namespace

CTimerLedger::CTimerLedger(Profile& profile, const Clock& clock, BoardDisplay& display, PeriodSink& sink)
    : m_profile(profile), m_clock(clock), m_display(display), m_sink(sink) {}

int CTimerLedger::AddSeconds(int seconds, qint64 elapsed) {
    return Saturate(seconds + elapsed);
}

QString CTimerLedger::FormatSeconds(qint64 seconds) {
    // Hours right-aligned in at least three characters, then two-digit minutes and seconds. A negative
    // time (the clock went back) carries its minus in front of the hours.
    const bool negative = seconds < 0;
    const quint64 magnitude = negative ? 0 - static_cast<quint64>(seconds) : static_cast<quint64>(seconds);
    char hours[24];
    std::snprintf(hours, sizeof hours, "%s%llu", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 3600));
    char text[40];
    const int n =
        std::snprintf(text, sizeof text, "%3s:%02u:%02u", hours, static_cast<unsigned>(magnitude % 3600 / 60),
                      static_cast<unsigned>(magnitude % 60));
    return QString::fromLatin1(text, n);
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
        const int t = Saturate(m_nSeconds[i] + (i == runningIndex ? elapsed : 0));
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

qint64 CTimerLedger::ChargeOpenPeriod(std::optional<qint64> end) {
    const int index = m_nRunning - 1;
    const qint64 now = end ? *end : m_clock.Now();
    const qint64 elapsed = now - m_timeStart;
    m_nSeconds[index] = Saturate(m_nSeconds[index] + elapsed);
    m_profile.WriteProfileInt(ProfileLayout::kTimerSec, ProfileLayout::IndexEntry(index), m_nSeconds[index]);
    m_sink.PeriodCharged(index, m_timeStart, now);
    return now;
}

void CTimerLedger::SwitchTimer() {
    m_display.ReadFields();
    // The new period starts at the reading that closed the old one: no time falls between the two,
    // however long the synced write takes.
    qint64 now = 0;
    if (m_nRunning > 0 && m_nRunning <= kTimers) {
        now = ChargeOpenPeriod();
        LoadTimers();
        ShowTimers();
    } else {
        now = m_clock.Now();
    }
    m_timeStart = now;
    // A group with no checked button reads back as -1: that is Stop, never an index.
    const int selected = m_display.m_nSelected;
    m_nRunning = selected >= 0 && selected <= kTimers ? selected : 0;
    if (m_nRunning > 0) {
        m_sink.PeriodOpened(m_nRunning - 1, m_strName[m_nRunning - 1], m_timeStart);
    }
}

void CTimerLedger::RefreshRunningTimer() {
    if (m_nRunning <= 0 || m_nRunning > kTimers) {
        return;
    }
    const int index = m_nRunning - 1;
    const qint64 elapsed = m_clock.Now() - m_timeStart;
    m_display.m_strShowTime[index] = FormatSeconds(Saturate(m_nSeconds[index] + elapsed));
    ComputeShares(index, elapsed);
    for (int i = 0; i < kTimers; ++i) {
        m_display.m_strShowPercent[i] = m_strPercent[i];
    }
    m_display.m_strShowTotal = m_strTotal;
    m_display.PushFields();
}

void CTimerLedger::SaveRunningTimer() {
    if (m_nRunning > 0 && m_nRunning <= kTimers) {
        // The period is closed: a second save (a window closed twice over) charges nothing again.
        m_timeStart = ChargeOpenPeriod();
    }
}

void CTimerLedger::ClearAllSeconds() {
    for (int i = 0; i < kTimers; ++i) {
        m_profile.WriteProfileInt(ProfileLayout::kTimerSec, ProfileLayout::IndexEntry(i), 0);
    }
    m_sink.TimersReset(PeriodSink::Reset::All, -1, m_clock.Now());
}

void CTimerLedger::ClearSeconds(int index, qint64 at) {
    m_profile.WriteProfileInt(ProfileLayout::kTimerSec, ProfileLayout::IndexEntry(index), 0);
    m_sink.TimersReset(PeriodSink::Reset::One, index, at);
}

qint64 CTimerLedger::Now() const {
    return m_clock.Now();
}

qint64 CTimerLedger::ShownSeconds(int index) const {
    return m_nSeconds[index] + (m_nRunning == index + 1 ? m_clock.Now() - m_timeStart : 0);
}

qint64 CTimerLedger::SwitchableMinutes(int index) const {
    if (m_nRunning <= 0 || m_nRunning > kTimers || m_nRunning == index + 1 || index < 0 || index >= kTimers) {
        return 0;
    }
    return std::max<qint64>(0, (m_clock.Now() - m_timeStart) / 60);
}

bool CTimerLedger::SwitchedEarlier(int index, qint64 minutes) {
    if (minutes < 1 || minutes > SwitchableMinutes(index)) {
        return false;
    }
    // A switch that happened `minutes` ago: the running timer is charged up to then, and the new
    // period starts at that same reading.
    const qint64 at = m_clock.Now() - minutes * 60;
    ChargeOpenPeriod(at);
    m_nRunning = index + 1;
    m_timeStart = at;
    m_display.m_nSelected = m_nRunning;
    LoadTimers();
    ShowTimers();
    m_sink.PeriodOpened(index, m_strName[index], m_timeStart);
    RefreshRunningTimer();
    return true;
}

std::pair<qint64, qint64> CTimerLedger::AddTimeRange(int index) const {
    const qint64 shown = ShownSeconds(index);
    return {-shown, std::numeric_limits<int>::max() - shown};
}

bool CTimerLedger::AddTime(int index, qint64 seconds) {
    if (index < 0 || index >= kTimers || seconds == 0) {
        return false;
    }
    const auto [lowest, highest] = AddTimeRange(index);
    if (seconds < lowest || seconds > highest) {
        return false;
    }
    if (m_nRunning == index + 1) {
        // The running period is closed at now and goes on from the same reading, so that what is added
        // is stored with the time as shown.
        m_timeStart = ChargeOpenPeriod();
        m_sink.PeriodOpened(index, m_strName[index], m_timeStart);
    }
    // The clock may have moved on since the range was checked: the journal gets what the profile
    // gained, which the limits may have cut.
    const qint64 at = m_clock.Now();
    const int before = m_nSeconds[index];
    const int after = Corrected(before, seconds);
    m_nSeconds[index] = after;
    m_profile.WriteProfileInt(ProfileLayout::kTimerSec, ProfileLayout::IndexEntry(index), after);
    if (after != before) {
        m_sink.SecondsAdded(PeriodSink::Added::Adjustment,
                            {{index, m_strName[index], qint64{after} - before}}, at);
    }
    LoadTimers();
    ShowTimers();
    RefreshRunningTimer();
    return true;
}

void CTimerLedger::RestoreSeconds(const std::vector<std::pair<int, qint64>>& cleared) {
    const qint64 at = m_clock.Now();
    std::vector<PeriodSink::Addition> restored;
    for (const auto& [index, seconds] : cleared) {
        if (index < 0 || index >= kTimers) {
            continue;
        }
        const QString entry = ProfileLayout::IndexEntry(index);
        const int before = m_profile.GetProfileInt(ProfileLayout::kTimerSec, entry, 0);
        const int after = Corrected(before, seconds);
        m_profile.WriteProfileInt(ProfileLayout::kTimerSec, entry, after);
        // Recorded also when nothing changed: it marks the reset as undone.
        restored.push_back({index, m_strName[index], qint64{after} - before});
    }
    m_sink.SecondsAdded(PeriodSink::Added::Undo, restored, at);
    LoadTimers();
    ShowTimers();
    RefreshRunningTimer();
}

void CTimerLedger::CommitName(int index, const QString& name) {
    m_sink.NameCommitted(index, name, m_clock.Now());
}

void CTimerLedger::SettleAway(qint64 left, qint64 back, bool keep) {
    if (m_nRunning <= 0 || m_nRunning > kTimers) {
        return;
    }
    const int index = m_nRunning - 1;
    if (!keep) {
        ChargeOpenPeriod(std::max(left, m_timeStart));
        m_timeStart = std::max(back, m_timeStart);
        m_sink.PeriodOpened(index, m_strName[index], back);
    }
    m_sink.AwayDecided(index, left, back, keep);
}
