#include "res/Templates.h"

#include "common/Vocabulary.h"
#include "res/resource.h"

#include <array>

namespace Templates {

namespace {

constexpr int kTimers = Kelvra::kTimers;

DialogTemplate MakeAboutBox() {
    DialogTemplate t{
        IDD_ABOUTBOX, QStringLiteral("About Kelvra"), QStringLiteral("MS Sans Serif"), 8, 400, {205, 39}, {}};
    t.controls = {
        {-1, ControlKind::Static, QStringLiteral("Kelvra Version 1.0"), {7, 7, 119, 8}, kStyleNone},
        {-1,
         ControlKind::Static,
         QStringLiteral("Copyright (C) 2026 The Kelvra developers. Free to use."),
         {7, 24, 188, 8},
         kStyleNone},
        {IDOK,
         ControlKind::DefPushButton,
         QStringLiteral("OK"),
         {148, 7, 50, 14},
         kStyleGroup | kStyleTabStop},
    };
    return t;
}

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

DialogTemplate MakeFieldNames() {
    DialogTemplate t{IDD_FIELDNAMES,
                     QStringLiteral("Edit Fields"),
                     QStringLiteral("Arial Black"),
                     12,
                     900,
                     {141, 138},
                     {}};
    constexpr std::array<int, kTimers> edits{IDC_FIELD_1, IDC_FIELD_2, IDC_FIELD_3, IDC_FIELD_4,
                                             IDC_FIELD_5, IDC_FIELD_6, IDC_FIELD_7, IDC_FIELD_8,
                                             IDC_FIELD_9, IDC_FIELD_10};
    constexpr std::array<int, kTimers> resets{IDC_RESET_1, IDC_RESET_2, IDC_RESET_3, IDC_RESET_4,
                                              IDC_RESET_5, IDC_RESET_6, IDC_RESET_7, IDC_RESET_8,
                                              IDC_RESET_9, IDC_RESET_10};
    auto& c = t.controls;
    c.push_back({-1,
                 ControlKind::Static,
                 QStringLiteral("Just overwrite the text ... then Exit"),
                 {9, 3, 126, 8},
                 kStyleNone});
    for (int r = 1; r <= kTimers; ++r) {
        // A two-digit row number starts further left and is wider.
        const QString number = QString::number(r);
        const QRect label = number.size() == 1 ? QRect(11, 3 + 12 * r, 8, 8) : QRect(9, 3 + 12 * r, 9, 8);
        c.push_back({-1, ControlKind::Static, number, label, kStyleNone});
        c.push_back({edits[r - 1],
                     ControlKind::Edit,
                     {},
                     {20, 1 + 12 * r, 82, 12},
                     kStyleBorder | kStyleTabStop | kStyleAutoHScroll});
        c.push_back({resets[r - 1],
                     ControlKind::CheckBox,
                     QStringLiteral("Reset"),
                     {106, 2 + 12 * r, 29, 10},
                     kStyleTabStop});
    }
    c.push_back({IDOK,
                 ControlKind::PushButton,
                 QStringLiteral("OK"),
                 {42, 97, 50, 14},
                 kStyleTabStop | kStyleInvisible | kStyleDisabled});
    c.push_back({IDCANCEL,
                 ControlKind::PushButton,
                 QStringLiteral("Abbrechen"),
                 {45, 94, 50, 14},
                 kStyleTabStop | kStyleInvisible});
    return t;
}

} // namespace

const DialogTemplate& AboutBox() {
    static const DialogTemplate t = MakeAboutBox();
    return t;
}

const DialogTemplate& BoardForm() {
    static const DialogTemplate t = MakeBoardForm();
    return t;
}

const DialogTemplate& FieldNames() {
    static const DialogTemplate t = MakeFieldNames();
    return t;
}

} // namespace Templates
