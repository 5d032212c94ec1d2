#pragma once

#include "board/BoardDisplay.h"

// Stands in for the board form: "controls" are plain copies that a push writes and a read-back reads.
// A test clicks a radio button by setting m_checkedRadio.
class RecordingDisplay final : public BoardDisplay {
public:
    void PushFields() override {
        ++m_nPushes;
        m_shownTime = m_strShowTime;
        m_shownPercent = m_strShowPercent;
        m_shownName = m_strShowName;
        m_shownTotal = m_strShowTotal;
        m_shownStop = m_strStopLabel;
        m_checkedRadio = m_nSelected;
    }
    void ReadFields() override {
        ++m_nReads;
        m_nSelected = m_checkedRadio;
    }

    int m_nPushes = 0;
    int m_nReads = 0;
    int m_checkedRadio = 0;
    std::array<QString, kTimers> m_shownTime, m_shownPercent, m_shownName;
    QString m_shownTotal, m_shownStop;
};
