#pragma once

#include "common/Vocabulary.h"

#include <QString>
#include <array>

// The board's display fields, one per text the form shows, and the data exchange that moves them
// between the fields and the form's controls. The board view implements the exchange; the ledger only
// writes the fields and asks for a push or a read-back.
class BoardDisplay {
public:
    static constexpr int kTimers = Kelvra::kTimers;

    virtual ~BoardDisplay() = default;

    // Fields to controls; also checks the radio button that m_nSelected names.
    virtual void PushFields() = 0;
    // Controls to fields; m_nSelected becomes the checked radio button (0 = Stop, k = timer index k-1).
    virtual void ReadFields() = 0;

    std::array<QString, kTimers> m_strShowName;
    QString m_strStopLabel;
    int m_nSelected = 0;
    std::array<QString, kTimers> m_strShowTime;
    std::array<QString, kTimers> m_strShowPercent;
    QString m_strShowTotal;
};

// For a ledger that shows nothing on a form: a report, a command without a board.
class NoBoardDisplay final : public BoardDisplay {
public:
    void PushFields() override {}
    void ReadFields() override {}
};
