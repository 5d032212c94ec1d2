#include "board/KelvraViewTemplate.h"

#include "common/Vocabulary.h"
#include "res/resource.h"

#include <array>

namespace Templates {

namespace {

constexpr int kTimers = Kelvra::kTimers;

DialogTemplate MakeBoardForm() {
    DialogTemplate t{IDD_KELVRA_FORM, {}, QStringLiteral("Arial"), 14, 400, {144, 131}, {}};
    constexpr std::array<int, kTimers> radios{IDC_RADIO_1, IDC_RADIO_2, IDC_RADIO_3, IDC_RADIO_4,
                                              IDC_RADIO_5, IDC_RADIO_6, IDC_RADIO_7, IDC_RADIO_8,
                                              IDC_RADIO_9, IDC_RADIO_10};
    auto& c = t.controls;
    // The radio group: Stop, then the ten timer rows; the Stop label starts the next group.
    c.push_back({IDC_RADIO_STOP, ControlKind::RadioButton, {}, {5, 3, 8, 10}, kStyleGroup | kStyleTabStop});
    for (int i = 0; i < kTimers; ++i) {
        c.push_back({radios[i], ControlKind::RadioButton, {}, {5, 12 + 9 * i, 8, 10}, kStyleNone});
    }
    c.push_back({IDC_STOP_LABEL,
                 ControlKind::Static,
                 QStringLiteral("Static"),
                 {12, 4, 64, 8},
                 kStyleGroup | kStyleNotify});
    for (int i = 0; i < kTimers; ++i) {
        const int y = 13 + 9 * i;
        c.push_back({IDC_NAME_FIRST + i,
                     ControlKind::Static,
                     QStringLiteral("Das ist Text 1"),
                     {13, y, i < 8 ? 64 : 65, 8},
                     kStyleNotify});
    }
    for (int i = 0; i < kTimers; ++i) {
        c.push_back({IDC_TIME_FIRST + i,
                     ControlKind::Static,
                     QStringLiteral("000:00:00"),
                     {77, 13 + 9 * i, 35, 8},
                     kStyleRight});
    }
    for (int i = 0; i < kTimers; ++i) {
        c.push_back({IDC_SHARE_FIRST + i,
                     ControlKind::Static,
                     QStringLiteral("100.0%"),
                     {113, 13 + 9 * i, 26, 8},
                     kStyleRight});
    }
    c.push_back(
        {IDC_TOTAL_LABEL, ControlKind::Static, QStringLiteral("Total"), {13, 104, 64, 8}, kStyleNotify});
    c.push_back(
        {IDC_TOTAL_TIME, ControlKind::Static, QStringLiteral("000:00:00"), {77, 104, 35, 8}, kStyleRight});
    c.push_back({IDC_BUTTON_MANUAL,
                 ControlKind::PushButton,
                 QStringLiteral("Online Manual"),
                 {5, 117, 56, 9},
                 kStyleTabStop});
    c.push_back({IDC_BUTTON_SPONSOR,
                 ControlKind::PushButton,
                 QStringLiteral("Sponsor"),
                 {83, 117, 56, 9},
                 kStyleTabStop});
    return t;
}

} // namespace

const DialogTemplate& BoardForm() {
    static const DialogTemplate t = MakeBoardForm();
    return t;
}

} // namespace Templates
