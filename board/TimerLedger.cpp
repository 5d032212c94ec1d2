#include "board/TimerLedger.h"

#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

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

qint64 CTimerLedger::ChargeOpenPeriod() {
    const qint64 now = m_clock.Now();
    ChargeUntil(now);
    return now;
}

void CTimerLedger::ChargeUntil(qint64 end) {
    const int index = m_nRunning - 1;
    m_nSeconds[index] = Saturate(m_nSeconds[index] + (end - m_timeStart));
    m_profile.WriteProfileInt(ProfileLayout::kTimerSec, ProfileLayout::IndexEntry(index), m_nSeconds[index]);
    m_sink.PeriodCharged(index, m_timeStart, end);
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

void CTimerLedger::ClearSeconds(int index) {
    m_profile.WriteProfileInt(ProfileLayout::kTimerSec, ProfileLayout::IndexEntry(index), 0);
    m_sink.TimersReset(PeriodSink::Reset::One, index, m_clock.Now());
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
        ChargeUntil(left);
        m_timeStart = back;
        m_sink.PeriodOpened(index, m_strName[index], back);
    }
    m_sink.AwayDecided(index, left, back, keep);
}
